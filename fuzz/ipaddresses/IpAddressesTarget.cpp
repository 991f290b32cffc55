// The BOOTP server's address table file "IpAdresses.ini", read as the
// server reads it at start-up; what it takes must come out of its own
// writer unchanged, and a unit new to it gets an address of the default
// range or none.
#include "fuzz/support/FuzzEnvironment.h"

#include "platform/Socket.h"
#include "transceivers/IpAddressTable.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    const std::filesystem::path folder = std::filesystem::path(CFuzzEnvironment::Get().Folder()) / "bootp";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / CIpAddressTable::kFileName, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    CIpAddressTable table(folder.string());
    if (!table.Load())
        return 0;
    const auto entries = table.Entries();
    if (CIpAddressTable::Parse(CIpAddressTable::Format(entries)) != entries)
        std::abort();
    // The same entries in a table of memory alone, which then gives a unit
    // its own address, or a new unit one of the default range that no entry
    // holds, or none.
    CIpAddressTable memory("");
    for (const sIp& entry : entries)
        if (table.Find(entry.hardwareAddress) != entry.ip || !memory.SetAddress(entry.hardwareAddress, entry.ip))
            std::abort();
    constexpr const char* kNewUnit = "fe:ff:ff:ff:ff:ff";
    const auto known = memory.Find(kNewUnit);
    const auto given = memory.GiveAddress(kNewUnit);
    if (known) {
        if (given != known)
            std::abort();
    } else if (given) {
        std::uint32_t ip = 0;
        if (!SocketAddress::ParseIp(*given, ip) || ip < CIpAddressTable::kFirstAddress ||
            ip > CIpAddressTable::kLastAddress)
            std::abort();
        for (const sIp& entry : entries)
            if (entry.ip == *given)
                std::abort();
    }
    return 0;
}
