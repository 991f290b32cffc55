// What a unit answers the TFTP client, as one transfer takes it: the first
// byte chooses sending (odd) or fetching, the next two the size of the file
// sent; then each reply is a sender (the unit's first port, another port of
// the unit, another address) and a packet (a 16-bit size, then its bytes).
// The transfer ends when it succeeds or fails; what it fetched goes to a
// private file.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "transceivers/Tftp.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path folder = CFuzzEnvironment::Get().Folder();
    CFuzzInput in(data, size);
    const bool send = (in.Byte() & 1) != 0;
    const std::size_t fileSize = in.Word() % 4096;
    const std::filesystem::path path = folder / (send ? "tftp-sent.bin" : "tftp-fetched.bin");
    if (send)
        std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(fileSize, 's');
    const int fd = send ? open(path.c_str(), O_RDONLY | O_CLOEXEC)
                        : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    const SocketAddress server(SocketAddress::kLoopback, CTftp::kPort);
    CTftp::ClientTransfer transfer(send, fd, "file.bin", server);
    std::size_t blocks = 0;
    while (!in.Empty()) {
        const std::uint8_t choice = in.Byte();
        const std::string_view packet = in.Sized();
        const SocketAddress from(choice % 3 == 2 ? SocketAddress::kLoopback + 1 : SocketAddress::kLoopback,
                                 static_cast<std::uint16_t>(40000 + choice % 3 % 2));
        const auto step = transfer.Take(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(), from);
        using Step = CTftp::ClientTransfer::Step;
        if (step == Step::Send || step == Step::SendAndDone) {
            // What goes back is always one whole packet to the unit's port.
            if (transfer.Packet().size() < 4 || transfer.Packet().size() > CTftp::kPacket ||
                transfer.Peer().ip != SocketAddress::kLoopback)
                std::abort();
            ++blocks;
        }
        if (step == Step::Done || step == Step::SendAndDone || step == Step::Failed)
            break;
    }
    // No more blocks went out than the file holds, and one more for its end.
    if (send && blocks > fileSize / CTftp::kBlock + 1)
        std::abort();
    close(fd);
    return 0;
}
