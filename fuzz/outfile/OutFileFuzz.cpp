// Any bytes as an out file: the converter's stream reader finds the frames
// in them and the record writer turns each into records. The first byte also
// chooses the boxes, so that every branch of the writer is reached.
#include "tools/converter/OutFileConverter.h"
#include "tools/converter/ReadFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zv::converter;
    static const int fd = ::memfd_create("outfile", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        return 0;
    if (size != 0 && ::pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;

    const unsigned boxes = size != 0 ? data[0] : 0xff;
    SConverterOptions options;
    options.gga = boxes & 1;
    options.gll = boxes & 2;
    options.ascii = boxes & 4;
    options.annotation = boxes & 8;
    options.depth = boxes & 16;

    static CReadFile in;  // its window is made once, not for every input
    if (in.Open("/proc/self/fd/" + std::to_string(fd)) != 0)
        return 0;
    COutFileConverter converter(options);
    std::string records;
    zv::recording::SDatagramView datagram;
    while (in.Next(datagram)) {
        converter.Convert(datagram, records);
        records.clear();
    }
    return 0;
}
