// What peers send to the TFTP server, as its poll takes it: each packet (a
// 16-bit size, then its bytes) from one of three peers, with the timer run
// between packets; the server serves a private folder holding one file and
// one subfolder, and writes what it is sent beneath it.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "transceivers/Tftp.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    const std::filesystem::path root = std::filesystem::path(CFuzzEnvironment::Get().Folder()) / "tftp";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "sub");
    std::ofstream(root / "boot.bin", std::ios::binary) << std::string(1300, 'b');
    CFuzzInput in(data, size);
    CTftp server;
    server.SetRoot(root.string());
    while (!in.Empty()) {
        const std::uint8_t choice = in.Byte();
        if (choice % 8 == 7) {
            server.TimerStep(1 + choice / 8 % 12);
            continue;
        }
        const std::string_view packet = in.Sized();
        const SocketAddress from(SocketAddress::kLoopback, static_cast<std::uint16_t>(40000 + choice % 3));
        server.HandlePacket(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(), from);
    }
    return 0;
}
