#include "display/ui/SCView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "platform/MessageBox.h"

#include <QPainter>
#include <QResizeEvent>

#include <gtest/gtest.h>

namespace {

class TestView : public CSCView
{
public:
    using CSCView::CSCView;
    int sideScan = 0;
    int colourChanges = 0;
    int lastPalette = -1;
    int IsSideScan() const override { return sideScan; }
    void OnColorChange(int palette, const LOGPALETTE*) override
    {
        ++colourChanges;
        lastPalette = palette;
    }
    void Init()
    {
        OnInitialUpdate();
        CreateMemoryDC();
        CreateDibSection();
        GetSurface()->Fill(CPaletteControl::kBackgroundIndex);
    }
};

class SCViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        context.host = &host;
        ClearMessageBoxRecord();
    }

    LRESULT Background(TestView& v, int palette)
    {
        return SendMessage(v.GetSafeHwnd(), app::WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(palette),
                           reinterpret_cast<LPARAM>(palettes.GetLogPalette(palette)));
    }
    std::vector<int> EchoGreys(const TestView& v) const
    {
        std::vector<int> out;
        for (int k = 0; k < 12; ++k) {
            const QRgb c = v.GetColourTable()[160 + k];
            EXPECT_EQ(qRed(c), qGreen(c));
            out.push_back(qRed(c));
        }
        return out;
    }

    // A 24-bit display and the side-scan choices a case sets.
    struct Host : IViewHost
    {
        SSideScanScales scales;
        SSideScanScales GetSideScanScales() const override { return scales; }
        int GetDisplayDepth() const override { return 24; }
    } host;
    SSideScanScales& scales = host.scales;
    SViewContext context;
    CPaletteControl palettes;
};

TEST_F(SCViewTest, PaletteMessageFillsTheTableAndTheTwoColours)
{
    TestView v(context);
    Background(v, 3);  // Bright Day
    EXPECT_EQ(v.GetColourTable()[78], qRgb(255, 255, 255));
    EXPECT_EQ(v.GetColourTable()[79], qRgb(0, 0, 0));
    EXPECT_EQ(v.GetBackgroundColour(), 0xFFFFFFu);
    EXPECT_EQ(v.GetTextColour(), 0u);
    EXPECT_EQ(v.GetColourTable()[10], qRgb(0, 0, 0));
    // Palette entry 235 is not copied: slot 245 keeps what it had.
    EXPECT_EQ(v.GetColourTable()[245], qRgb(245, 0, 0));
    EXPECT_EQ(v.GetColourTable()[5], qRgb(5, 0, 0));
    EXPECT_EQ(v.colourChanges, 1);
    EXPECT_EQ(v.lastPalette, 3);

    // Anything but a palette block is not read.
    SendMessage(v.GetSafeHwnd(), app::WM_ES_BACKGROUNDCOLOR, 3, 3);
    EXPECT_EQ(v.colourChanges, 1);

    SendMessage(v.GetSafeHwnd(), app::WM_ES_COLORTABLE, 0, 0);
    EXPECT_EQ(v.GetColourTable()[78], qRgb(78, 0, 0));
    EXPECT_EQ(v.GetBackgroundColour(), PALETTEINDEX(78));
    EXPECT_EQ(v.GetTextColour(), PALETTEINDEX(79));
    Background(v, 4);
    EXPECT_EQ(v.GetBackgroundColour(), 0u);
    EXPECT_EQ(v.GetTextColour(), 0xFFFFFFu);
}

TEST_F(SCViewTest, SideScanGreyScaleIsClampedNotWrapped)
{
    scales.greyScaleOnSidescan = 1;
    TestView v(context);
    v.sideScan = 1;
    Background(v, 4);  // black background, white text: step 36
    EXPECT_EQ(EchoGreys(v), (std::vector<int>{39, 75, 111, 147, 183, 219, 255, 255, 255, 255, 255, 255}));
    Background(v, 3);  // white background, black text: step -36
    EXPECT_EQ(EchoGreys(v), (std::vector<int>{219, 183, 147, 111, 75, 39, 3, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(MessageBoxRecord().empty());

    TestView plain(context);  // not a side-scan echogram: settings ignored
    Background(plain, 4);
    EXPECT_EQ(plain.GetColourTable()[167], qRgb(palettes.GetLogPalette(4)->palPalEntry[157].peRed,
                                                palettes.GetLogPalette(4)->palPalEntry[157].peGreen,
                                                palettes.GetLogPalette(4)->palPalEntry[157].peBlue));
}

TEST_F(SCViewTest, CopperScaleWinsAndGreyBackgroundsAreReported)
{
    scales.greyScaleOnSidescan = 1;
    scales.copperOnSidescan = 1;
    TestView v(context);
    v.sideScan = 1;
    Background(v, 4);
    EXPECT_EQ(v.GetColourTable()[160], qRgb(0xFE, 0xC7, 0x6B));
    EXPECT_EQ(v.GetColourTable()[171], qRgb(0x1C, 0x09, 0x00));
    EXPECT_TRUE(MessageBoxRecord().empty());

    // A grey background has no base grey: reported; the copper scale is still written.
    palettes.SetEntry(1, PALETTEINDEX(78), "", RGB(100, 100, 100));
    Background(v, 1);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Illegal background color");
    EXPECT_EQ(v.GetColourTable()[165], qRgb(0xDE, 0x53, 0x07));
}

TEST_F(SCViewTest, SurfaceFollowsTheSizeAndKeepsItsTable)
{
    TestView v(context);
    QResizeEvent early(QSize(40, 30), QSize());
    QCoreApplication::sendEvent(&v, &early);
    EXPECT_EQ(v.GetWidth(), 40);
    EXPECT_EQ(v.GetSurface(), nullptr);
    EXPECT_EQ(v.CreateDibSection(), 0);

    v.Init();
    ASSERT_NE(v.GetSurface(), nullptr);
    EXPECT_EQ(v.ShowImage().size(), QSize(40, 30));
    Background(v, 2);

    QResizeEvent grow(QSize(57, 21), QSize(40, 30));
    QCoreApplication::sendEvent(&v, &grow);
    const QImage shown = v.ShowImage();
    EXPECT_EQ(shown.size(), QSize(57, 21));
    EXPECT_EQ(shown.format(), QImage::Format_Indexed8);
    EXPECT_EQ(shown.colorTable()[78], qRgb(255, 255, 255));

    // A size of nothing leaves the view without a surface, and no crash.
    QResizeEvent none(QSize(0, 0), QSize(57, 21));
    QCoreApplication::sendEvent(&v, &none);
    EXPECT_TRUE(v.ShowImage().isNull());
}

TEST_F(SCViewTest, GreyDrawingWritesExactIndices)
{
    TestView v(context);
    QResizeEvent size(QSize(64, 48), QSize());
    QCoreApplication::sendEvent(&v, &size);
    v.Init();
    Background(v, 3);
    {
        QImage surface = v.DrawImage();
        QPainter p(&surface);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(0, 0, 10, 48), QColor(160, 160, 160));
        p.setPen(QColor(171, 171, 171));
        p.drawLine(12, 3, 60, 40);
        p.drawEllipse(QPoint(40, 20), 9, 6);
    }
    const QImage shown = v.ShowImage();
    EXPECT_EQ(shown.pixelIndex(5, 47), 160);
    EXPECT_EQ(shown.pixel(5, 47), v.GetColourTable()[160]);
    EXPECT_EQ(shown.pixelIndex(12, 3), 171);
    // Only the three indices used appear: no blended values.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int i = shown.pixelIndex(x, y);
            ASSERT_TRUE(i == 78 || i == 160 || i == 171) << x << "," << y << " = " << i;
        }
}

}  // namespace
