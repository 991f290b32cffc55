// Our bitmap files read back by an independent reader (Qt's image loader).
#include "display/DIBSection.h"
#include "display/tests/TempFolder.h"

#include "base/File.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(DIBSectionReader, QtReadsOurFilesPixelForPixel)
{
    TempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    struct Row
    {
        int w, h, bits;
        QImage::Format format;
    };
    for (const Row& r : {Row{100, 50, 8, QImage::Format_Indexed8}, Row{101, 9, 4, QImage::Format_Indexed8}}) {
        CDIBSection dib;
        ASSERT_TRUE(dib.Create(r.w, r.h, r.bits, DIB_RGB_COLORS));
        ASSERT_NE(dib.CreateSection(), nullptr);
        const int colours = 1 << r.bits;
        for (int i = 0; i < colours; ++i)
            dib.ColourTable()[static_cast<std::size_t>(i)] =
                RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(2 * i), static_cast<BYTE>(255 - i), 0};
        const DWORD stride = CDIBSection::RowBytes(r.w, r.bits);
        auto indexAt = [&](int x, int y) { return (x * 7 + y * 3) % colours; };
        // File rows run bottom-up: file row y is picture row h - 1 - y.
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x) {
                BYTE* row = dib.GetBits() + static_cast<std::size_t>(r.h - 1 - y) * stride;
                const int v = indexAt(x, y);
                if (r.bits == 8)
                    row[x] = static_cast<BYTE>(v);
                else
                    row[x / 2] =
                        static_cast<BYTE>(x % 2 == 0 ? (row[x / 2] & 0x0F) | (v << 4) : (row[x / 2] & 0xF0) | v);
            }
        const std::string path = tmp.File("qt.bmp");
        {
            CFile f;
            ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
            ASSERT_TRUE(dib.Save(f));
            f.Close();
        }
        if (r.w == 100) {
            EXPECT_EQ(std::filesystem::file_size(path), 6078u);
        }

        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(path), "BMP")) << r.bits;
        EXPECT_EQ(image.width(), r.w);
        EXPECT_EQ(image.height(), r.h);
        EXPECT_EQ(image.format(), r.format);
        for (auto [x, y] :
             {std::pair{0, 0}, std::pair{r.w - 1, 0}, std::pair{3, r.h - 1}, std::pair{r.w / 2, r.h / 2}}) {
            const int v = indexAt(x, y);
            EXPECT_EQ(image.pixelIndex(x, y), v) << x << "," << y;
            EXPECT_EQ(image.pixel(x, y), qRgb(255 - v, 2 * v, v)) << x << "," << y;
        }
    }
}

}  // namespace
