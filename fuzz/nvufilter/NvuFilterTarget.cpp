// A wide-band unit's receive filter file, read as the process thread loads
// it before a ping: the first line's length, divisor and gain, then up to
// 10,000 coefficient lines; a file that states more than it holds is
// refused whole.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/MemoryFile.h"

#include "transceivers/NVU.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CMemoryFile file(std::string_view(reinterpret_cast<const char*>(data), size));
    CNVU::FilterRecord filter;
    std::string why;
    if (CNVU::ReadFilter(file.Path(), filter, &why)) {
        // What was taken is what the correlation may read.
        if (filter.length < 0 || filter.length > static_cast<int>(filter.real.size()) ||
            filter.real.size() != filter.imaginary.size() || filter.real.size() > CNVU::kMaxFilterLength)
            __builtin_trap();
    }
    return 0;
}
