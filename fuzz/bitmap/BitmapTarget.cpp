// Bitmap files as the history dialog reads them back. A picture that loads
// is saved again, and the saved file must load to the same size, colours
// and pixels.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/MemoryFile.h"

#include "base/File.h"
#include "display/DIBSection.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool Load(CDIBSection& dib, const std::string& path)
{
    CFile file;
    return file.Open(path, CFile::modeRead) && dib.Load(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    const CMemoryFile input(std::string_view(reinterpret_cast<const char*>(data), size));
    CDIBSection dib;
    if (!Load(dib, input.Path()))
        return 0;
    SIZE extent;
    dib.GetSize(extent);

    const CMemoryFile saved("");
    {
        CFile file;
        if (!file.Open(saved.Path(), CFile::modeWrite) || !dib.Save(file))
            std::abort();  // a picture in memory can always be written
    }
    CDIBSection back;
    SIZE backExtent;
    if (!Load(back, saved.Path()))
        std::abort();
    back.GetSize(backExtent);
    const DWORD bytes = dib.GetHeader().biSizeImage;
    const auto& colours = dib.ColourTable();
    const auto& backColours = back.ColourTable();
    const bool sameColours =
        colours.size() == backColours.size() &&
        std::equal(colours.begin(), colours.end(), backColours.begin(), [](const RGBQUAD& a, const RGBQUAD& b) {
            return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
                   a.rgbReserved == b.rgbReserved;
        });
    if (backExtent.cx != extent.cx || backExtent.cy != extent.cy || !sameColours ||
        back.GetHeader().biSizeImage != bytes || (bytes > 0 && std::memcmp(back.GetBits(), dib.GetBits(), bytes) != 0))
        std::abort();
    return 0;
}
