#include "display/DIBSection.h"
#include "display/tests/TempFolder.h"

#include "base/File.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t At32(const std::vector<BYTE>& b, std::size_t o)
{
    return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (static_cast<std::uint32_t>(b[o + 3]) << 24);
}

void Put32(std::vector<BYTE>& b, std::size_t o, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[o + static_cast<std::size_t>(i)] = static_cast<BYTE>(v >> (8 * i));
}

bool SaveTo(const CDIBSection& dib, const std::string& path)
{
    CFile f;
    if (!f.Open(path, CFile::modeCreate | CFile::modeWrite))
        return false;
    const bool ok = dib.Save(f);
    f.Close();
    return ok;
}

bool LoadFrom(CDIBSection& dib, const std::string& path)
{
    CFile f;
    if (!f.Open(path, CFile::modeRead))
        return false;
    return dib.Load(f);
}

// 8-bit picture with a recognisable pattern and colour table.
void MakePattern(CDIBSection& dib, int w, int h)
{
    ASSERT_TRUE(dib.Create(w, h, 8, DIB_RGB_COLORS));
    ASSERT_NE(dib.CreateSection(), nullptr);
    const DWORD row = CDIBSection::RowBytes(w, 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            dib.GetBits()[static_cast<std::size_t>(y) * row + static_cast<std::size_t>(x)] =
                static_cast<BYTE>((x + 3 * y) % 256);
    for (int i = 0; i < 256; ++i)
        dib.ColourTable()[static_cast<std::size_t>(i)] =
            RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
}

TEST(DIBSection, SizesOfSavedFilesFollowTheLayout)
{
    TempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    struct Row
    {
        int w, h, bits;
        std::uint32_t sizeImage, offBits;
    };
    const Row rows[] = {
        {100, 50, 8, 5000, 1078},
        {101, 50, 8, 5200, 1078},  // rows padded to 104 bytes
        {100, 50, 4, 2600, 118},   // 4-bit history page: 52-byte rows
        {10, 3, 24, 96, 54},       // no colour table
    };
    for (const Row& r : rows) {
        CDIBSection dib;
        ASSERT_TRUE(dib.Create(r.w, r.h, r.bits, DIB_PAL_COLORS));
        ASSERT_NE(dib.CreateSection(), nullptr);
        const std::string path = tmp.File("size.bmp");
        ASSERT_TRUE(SaveTo(dib, path));
        const auto bytes = ReadFile(path);
        ASSERT_EQ(bytes.size(), r.offBits + r.sizeImage) << r.w << "x" << r.h << "x" << r.bits;
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(At32(bytes, 2), bytes.size());
        EXPECT_EQ(At32(bytes, 10), r.offBits);
        EXPECT_EQ(At32(bytes, 14), 40u);
        EXPECT_EQ(At32(bytes, 34), r.sizeImage);
    }
}

TEST(DIBSection, RoundTripKeepsBitsAndColourTable)
{
    TempFolder tmp;
    CDIBSection dib;
    MakePattern(dib, 101, 7);
    const std::string path = tmp.File("trip.bmp");
    ASSERT_TRUE(SaveTo(dib, path));

    CDIBSection back;
    ASSERT_TRUE(LoadFrom(back, path));
    SIZE size;
    back.GetSize(size);
    EXPECT_EQ(size.cx, 101);
    EXPECT_EQ(size.cy, 7);
    EXPECT_EQ(back.GetColourCount(), 256u);
    ASSERT_EQ(back.GetHeader().biSizeImage, dib.GetHeader().biSizeImage);
    EXPECT_EQ(std::memcmp(back.GetBits(), dib.GetBits(), dib.GetHeader().biSizeImage), 0);
    EXPECT_EQ(back.ColourTable()[200].rgbGreen, 55);
    // Loaded bits belong to the bitmap, not to a section.
    EXPECT_EQ(back.CreateSection(), nullptr);
    // Saving the loaded picture again gives the same bytes.
    ASSERT_TRUE(SaveTo(back, tmp.File("again.bmp")));
    EXPECT_EQ(ReadFile(tmp.File("again.bmp")), ReadFile(path));
}

TEST(DIBSection, FillColourTableAndSectionRules)
{
    CDIBSection rgb;
    ASSERT_TRUE(rgb.Create(4, 4, 24, DIB_RGB_COLORS));
    ASSERT_NE(rgb.CreateSection(), nullptr);
    EXPECT_FALSE(rgb.Fill(78));  // no colour table
    EXPECT_FALSE(rgb.ResetColourTable());
    EXPECT_EQ(rgb.CreateSection(), nullptr);  // second call

    CDIBSection pal;
    ASSERT_TRUE(pal.Create(5, -3, 8, DIB_PAL_COLORS));  // top-down view surface
    EXPECT_EQ(pal.GetHeader().biSizeImage, 24u);
    EXPECT_FALSE(pal.Fill(1));  // no bits yet
    ASSERT_NE(pal.CreateSection(), nullptr);
    EXPECT_TRUE(pal.Fill(78));
    EXPECT_EQ(pal.GetBits()[23], 78);
    EXPECT_TRUE(pal.ResetColourTable());
    EXPECT_EQ(pal.ColourTable()[171].rgbRed, 171);
    EXPECT_EQ(pal.ColourTable()[171].rgbBlue, 0);

    SIZE none{7, 7};
    CDIBSection empty;
    empty.GetSize(none);
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, 0);
}

TEST(DIBSection, ColoursUsedFromTheFileAreKept)
{
    TempFolder tmp;
    CDIBSection dib;
    MakePattern(dib, 8, 2);
    const std::string path = tmp.File("used.bmp");
    ASSERT_TRUE(SaveTo(dib, path));
    auto bytes = ReadFile(path);
    Put32(bytes, 46, 16);  // colours used
    Put32(bytes, 50, 0);
    WriteFile(path, bytes);
    CDIBSection back;
    ASSERT_TRUE(LoadFrom(back, path));
    EXPECT_EQ(back.GetColourCount(), 16u);
    EXPECT_EQ(back.GetHeader().biClrUsed, 16u);
    EXPECT_EQ(back.GetHeader().biClrImportant, 16u);
}

// Files that lie about their sizes are refused with a message, and nothing
// is read past what the file holds.
TEST(DIBSection, MalformedFilesAreRefused)
{
    TempFolder tmp;
    CDIBSection good;
    MakePattern(good, 16, 4);
    const std::string goodPath = tmp.File("good.bmp");
    ASSERT_TRUE(SaveTo(good, goodPath));
    const auto original = ReadFile(goodPath);

    struct Case
    {
        const char* legend;
        std::function<void(std::vector<BYTE>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"ten bytes only", [](auto& b) { b.resize(10); }, "read error 1"},
        {"second byte not M", [](auto& b) { b[1] = 'X'; }, "Invalid bitmap file"},
        {"file header only", [](auto& b) { b.resize(14); }, "Read error 1"},
        {"bits cut short", [](auto& b) { b.resize(b.size() - 1); }, "Invalid bitmap file"},
        {"offset past the end", [](auto& b) { Put32(b, 10, 0x7FFFFFF0); }, "Invalid bitmap file"},
        {"offset inside the header", [](auto& b) { Put32(b, 10, 20); }, "Invalid bitmap file"},
        {"header size huge", [](auto& b) { Put32(b, 14, 0xFFFFFFF0); }, "Invalid bitmap file"},
        {"header size too small", [](auto& b) { Put32(b, 14, 12); }, "Invalid bitmap file"},
        {"image size larger than the file", [](auto& b) { Put32(b, 34, 0x40000000); }, "Invalid bitmap file"},
        {"image size smaller than the rows", [](auto& b) { Put32(b, 34, 8); }, "Invalid bitmap file"},
        {"width huge", [](auto& b) { Put32(b, 18, 0x7FFFFFFF); }, "Invalid bitmap file"},
        {"width negative", [](auto& b) { Put32(b, 18, 0xFFFFFFF0); }, "Invalid bitmap file"},
        {"height zero", [](auto& b) { Put32(b, 22, 0); }, "Invalid bitmap file"},
        {"bit count 7", [](auto& b) { b[28] = 7; }, "Invalid bitmap file"},
        {"compressed", [](auto& b) { Put32(b, 30, 1); }, "Invalid bitmap file"},
        {"more colours than the bit count allows", [](auto& b) { Put32(b, 46, 300); }, "Invalid bitmap file"},
    };
    for (const Case& c : cases) {
        auto bytes = original;
        c.damage(bytes);
        const std::string path = tmp.File("bad.bmp");
        WriteFile(path, bytes);
        ClearMessageBoxRecord();
        CDIBSection dib;
        EXPECT_FALSE(LoadFrom(dib, path)) << c.legend;
        const auto boxes = MessageBoxRecord();
        ASSERT_EQ(boxes.size(), 1u) << c.legend;
        EXPECT_EQ(boxes[0].text, c.message) << c.legend;
        SIZE size{1, 1};
        dib.GetSize(size);
        EXPECT_EQ(size.cx, 0) << c.legend;
        EXPECT_EQ(dib.GetBits(), nullptr) << c.legend;
    }
}

}  // namespace
