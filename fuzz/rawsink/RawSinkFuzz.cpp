// Any bytes to the raw-data sink: as one datagram body, decoded and
// described, and as a recording it reads to compare with.
#include "sim/rawsink/RawStreamDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using zv::sim::CRawStreamDecoder;
    zv::sim::SRawDatagram d;
    std::string why;
    if (CRawStreamDecoder::Decode(std::span(data, size), d, why))
        CRawStreamDecoder::Describe(d);

    static const int fd = ::memfd_create("rawsink", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        return 0;
    if (size != 0 && ::pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    std::vector<zv::sim::SRawDatagram> file;
    CRawStreamDecoder::ReadFile("/proc/self/fd/" + std::to_string(fd), file, why);
    return 0;
}
