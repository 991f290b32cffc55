// Datagrams to the BOOTP server as its thread hands them over, against one
// address table (in memory) for the whole input. The first byte sets the
// length of the boot folder, so that boot paths about the size of the
// reply's file field come up; then each choice byte either hands over one
// datagram (a 16-bit size, then its bytes) or, one time in four, gives a
// unit an address as unit discovery does (six bytes of hardware address,
// four of address). An answer must be the reply the request asked for.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "platform/Socket.h"
#include "transceivers/Bootp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const std::string bootPath = CBootp::BootPathOf("/" + std::string(in.Byte() % 128, 'd'));
    CIpAddressTable table("");
    std::vector<std::uint8_t> reply;
    while (!in.Empty()) {
        const std::uint8_t choice = in.Byte();
        if (choice % 4 == 3) {
            std::uint8_t hardware[6];
            const std::uint32_t high = in.Dword();
            const std::uint16_t low = in.Word();
            std::memcpy(hardware, &high, 4);
            std::memcpy(hardware + 4, &low, 2);
            table.SetAddress(CIpAddressTable::HardwareAddressText(hardware), SocketAddress::IpText(in.Dword()));
            continue;
        }
        const std::string_view datagram = in.Sized();
        const std::string request(datagram.substr(0, CBootp::kReceiveSize));
        reply.clear();
        const auto outcome = CBootp::HandleRequest(reinterpret_cast<const std::uint8_t*>(request.data()),
                                                   request.size(), table, bootPath, &reply);
        if (outcome != CBootp::Outcome::Answered)
            continue;
        const auto* file = reinterpret_cast<const char*>(reply.data() + CBootp::kFile);
        if (request.size() < CBootp::kMinimumSize || std::memcmp(request.data() + CBootp::kFile, "NVU", 4) != 0 ||
            reply.size() != CBootp::kMessageSize || reply[0] != CBootp::kReply ||
            std::string(file, strnlen(file, CBootp::kFileSize)) != bootPath)
            std::abort();
    }
    return 0;
}
