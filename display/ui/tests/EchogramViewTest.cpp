#include "display/ui/EchogramView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"
#include "sensors/ExternalDepth.h"
#include "testsupport/ui/QtWait.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr std::int16_t kWeak = -9000;
constexpr std::int16_t kEcho = -850;  // about -10 dB

// A channel whose column has one echo at a chosen sample index.
class OneEchoChannel : public CStubEchogramChannel
{
public:
    int echoIndex = 10;
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = i == echoIndex ? kEcho : kWeak;
        return true;
    }
};

// The channel as the views under test read it: the echo (-10 dB) at level
// 5 and nothing below -20 dB, the bottom the case sets, a slope tracker that records what it is
// told, and the second side from the case's external depth table.
struct FakeViewChannel : IEchogramViewChannel
{
    double bottom = 0.0;  // none while not positive
    int halfPoints = 0;
    bool haveAngle = false;
    double angle = 0.0;
    const CExternalDepth* table = nullptr;
    std::vector<int> historySizes;
    std::vector<bool> validity;

    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -20.0);
        scale.SetInterval(2.5);
    }
    bool GetDepth(double& d) override
    {
        d = bottom;
        return bottom > 0.0;
    }
    bool IsSkipping() override { return false; }
    void SetSlopeHistorySize(int columns) override { historySizes.push_back(columns); }
    int GetSlopeHalfPointCount() override { return halfPoints; }
    void UpdateSlopeValidity(bool valid) override { validity.push_back(valid); }
    bool GetSlopeAngle(double& degrees) override
    {
        degrees = angle;
        return haveAngle;
    }
    bool GetSecondSide(const std::string& name, std::vector<std::int16_t>& samples) override
    {
        return CEchogramView::ReadSecondSide(table, name, samples);
    }
};

// The view as the window system paints it: each paint's region recorded.
class ProbeView : public CEchogramView
{
public:
    using CEchogramView::CEchogramView;
    std::vector<QRegion> painted;

protected:
    void OnDraw(QPainter& painter) override
    {
        painted.push_back(PaintRegion());
        CEchogramView::OnDraw(painter);
    }
};

class EchogramViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        CChannel::Construction cc;
        cc.SourceName = "T38";
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&fake);
        doc.m_range = 100.0;
        doc.m_start = 0.0;
        doc.m_rangeReference = CEchogramDoc::SURFACE;  // new documents alternate their defaults
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        view = std::make_unique<ProbeView>(&doc);
        view->SetChannelAccess(&viewChannel);
        Resize(200, 100);
        view->OnInitialUpdate();
    }
    void TearDown() override { view.reset(); }
    void Resize(int w, int h)
    {
        view->resize(w, h);
        QResizeEvent event(QSize(w, h), QSize());
        QApplication::sendEvent(view.get(), &event);
    }
    void Ping() { doc.OnSourceUpdate(1); }

    CTestDisplayContext program;
    OneEchoChannel fake;
    FakeViewChannel viewChannel;
    std::unique_ptr<CChannel> channel;
    CEchogramDoc doc{program.Context()};
    std::unique_ptr<ProbeView> view;
    double& bottom = viewChannel.bottom;
};
}  // namespace

TEST_F(EchogramViewTest, PingsScrollLeftAndEachWritesItsColumn)
{
    ASSERT_TRUE(view->IsEnabled());
    EXPECT_EQ(doc.GetColumnLength(), 100);
    const int newest = 200 - 54 - 1;
    fake.echoIndex = 10;
    Ping();
    fake.echoIndex = 30;
    Ping();
    const CEchogramPicture& p = view->Picture();
    EXPECT_EQ(p.At(newest, 31), 164);
    EXPECT_EQ(p.At(newest, 11), 78);
    EXPECT_EQ(p.At(newest - 1, 11), 164) << "the first ping moved one column left";
    EXPECT_EQ(p.At(newest - 1, 31), 78);
    EXPECT_EQ(p.At(newest + 1, 31), 193) << "the scale strip keeps its first fill";
}

TEST_F(EchogramViewTest, EveryViewOfTheDocumentTakesItsPingsUntilItGoes)
{
    auto second = std::make_unique<CEchogramView>(&doc);
    second->SetChannelAccess(&viewChannel);
    second->resize(200, 100);
    QResizeEvent event(QSize(200, 100), QSize());
    QApplication::sendEvent(second.get(), &event);
    second->OnInitialUpdate();
    fake.echoIndex = 10;
    Ping();
    const int newest = view->Picture().NewestColumn();
    EXPECT_EQ(view->Picture().At(newest, 11), 164);
    EXPECT_EQ(second->Picture().At(newest, 11), 164);

    second.reset();
    EXPECT_EQ(doc.GetViews(), std::vector<IDocumentView*>{view.get()});
    view.reset();
    EXPECT_TRUE(doc.GetViews().empty());
    Ping();  // no view left to reach
}

TEST_F(EchogramViewTest, BottomOfTheChannelDrawsTheLineWhereTheDepthLies)
{
    doc.m_bottomShown = true;
    bottom = 60.5;  // 100 rows over 100 m
    Ping();

    EXPECT_EQ(view->Picture().At(view->Picture().NewestColumn(), 60), 79);
    EXPECT_EQ(view->Picture().At(view->Picture().NewestColumn(), 61), 79);
}

TEST_F(EchogramViewTest, LowPaneFreezesAndTinyPaneDisables)
{
    Resize(200, 14);
    EXPECT_TRUE(doc.m_frozen);
    Resize(200, 5);
    EXPECT_FALSE(view->IsEnabled());
    EXPECT_EQ(doc.GetColumnLength(), 5);
    Ping();  // nothing to draw on: must not touch anything
    Resize(58, 40);
    EXPECT_TRUE(view->IsEnabled());
    EXPECT_FALSE(doc.m_frozen);
    EXPECT_EQ(view->GetScaleMargin(), 0);
    Ping();
    EXPECT_EQ(view->Picture().At(57, 11), 164) << "without a scale strip the newest column is the last";
}

TEST_F(EchogramViewTest, PaintedWindowShowsTheEchoInItsPaletteColour)
{
    Ping();
    const QImage shot = view->grab().toImage();
    const int newest = view->Picture().NewestColumn();
    EXPECT_EQ(shot.pixel(newest, 11), view->GetColourTable()[164]);
    EXPECT_EQ(shot.pixel(newest, 50), view->GetColourTable()[78]);
}

TEST(EchogramViewScale, TextsAndTicks)
{
    EXPECT_EQ(CEchogramView::FormatScaleValue(25.0, "m"), " 25m");
    EXPECT_EQ(CEchogramView::FormatScaleValue(1500.0, "m"), " 1500");
    EXPECT_EQ(CEchogramView::TickRow(1, 95), 10);  // 9.5 rounds away from zero
    EXPECT_EQ(CEchogramView::TickRow(9, 100), 90);
}

TEST_F(EchogramViewTest, ResizeKeepsTheOldPictureAtTheRightStretchedToTheNewHeight)
{
    Resize(354, 100);  // echogram area 300 columns
    fake.echoIndex = 49;
    Ping();            // row 50 of the newest column
    Resize(454, 200);  // 100 more columns, twice the height
    const CEchogramPicture& p = view->Picture();
    EXPECT_EQ(p.At(399, 100), 164);
    EXPECT_EQ(p.At(399, 101), 164);
    EXPECT_EQ(p.At(399, 99), 78);
    for (int x : {0, 50, 99})
        EXPECT_EQ(p.At(x, 100), 78) << "new column " << x;
    Resize(254, 200);  // shrinking keeps the newest columns
    EXPECT_EQ(p.At(199, 100), 164);
}

// ---- Slope echogram ---------------------------------------------------------

TEST_F(EchogramViewTest, SlopeReferenceDrawsTheAngleQColumnsBackAndTellsTheTracker)
{
    const std::vector<int>& historySizes = viewChannel.historySizes;
    const std::vector<bool>& validity = viewChannel.validity;
    bool& haveAngle = viewChannel.haveAngle;
    viewChannel.halfPoints = 3;
    viewChannel.angle = 2.5;
    haveAngle = true;
    doc.m_rangeReference = CEchogramDoc::SLOPE;
    doc.m_start = 5.0;  // +5 degrees at the top, -5 at the foot of 100 rows
    doc.m_range = 10.0;

    Ping();
    const CEchogramPicture& p = view->Picture();
    const int slopeColumn = p.NewestColumn() - 3;
    EXPECT_EQ(p.At(slopeColumn, 50), 79) << "zero line";
    EXPECT_EQ(p.At(slopeColumn, 25), 193) << "2.5 degrees";
    EXPECT_EQ(p.At(slopeColumn, 26), 193);
    EXPECT_EQ(p.At(slopeColumn, 11), 78) << "no samples in a slope column";
    for (int x = slopeColumn + 1; x <= p.NewestColumn(); ++x)
        EXPECT_EQ(p.At(x, 25), 78) << "lag strip column " << x;
    EXPECT_EQ(historySizes, std::vector<int>{200 - 54 - 1});
    EXPECT_EQ(validity, std::vector<bool>{true});
    EXPECT_EQ(view->GetSlopeLag(), 3);

    haveAngle = false;  // no fit: the slope column only moves on
    Ping();
    EXPECT_EQ(p.At(slopeColumn - 1, 25), 193);
    EXPECT_EQ(p.At(slopeColumn, 25), 78);

    doc.m_rangeReference = CEchogramDoc::SURFACE;
    doc.m_range = 100.0;
    doc.m_start = 0.0;
    Ping();
    EXPECT_EQ(validity, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(p.At(p.NewestColumn(), 11), 164) << "other references write samples again";
}

// ---- Row orientation --------------------------------------------------------

TEST_F(EchogramViewTest, SideLookingDocumentWritesRowsWithTheSecondSideFromTheExternalTable)
{
    CExternalDepth table;
    ASSERT_EQ(table.SetSourceName(0, "Starboard"), 1);
    std::array<std::uint32_t, CExternalDepth::kBlockWords> block{};
    for (std::uint32_t& word : block)
        word = 0xDCD8DCD8u;  // -9000 in both halves: weak
    block[2] = 0xDCD8FCAEu;  // sample 4 is an echo (-850), sample 5 weak
    ASSERT_EQ(table.SetSourceBlock("Starboard", block.data()), 1);
    viewChannel.table = &table;

    doc.m_sidescan = true;
    doc.m_rangeReference = CEchogramDoc::SIDESCAN;
    doc.m_sidescanRange[0] = 50.0;
    doc.m_sidescanRange[1] = 50.0;
    doc.m_publishPartner = true;
    doc.m_partnerName = "Starboard";
    fake.echoIndex = 10;
    Ping();
    const CEchogramPicture& p = view->Picture();
    ASSERT_TRUE(p.IsRowOrientation());
    const int t = view->GetTopMargin();
    EXPECT_EQ(t, 20);
    EXPECT_EQ(p.At(100 - 10, t), 164) << "this side: sample 10 left of the split at 100";
    EXPECT_EQ(p.At(100 + 4, t), 164) << "second side: sample 4 right of the split";
    EXPECT_EQ(p.At(100 + 5, t), 78);
    EXPECT_EQ(p.At(100 - 11, t), 78);

    doc.m_sidescanSide = 1;
    Ping();
    EXPECT_EQ(p.At(199 - 90, t), 164) << "side 1 is the mirror";
    EXPECT_EQ(p.At(199 - 104, t), 164);
    EXPECT_EQ(p.At(90, t + 1), 164) << "the previous row moved down";

    viewChannel.table = nullptr;
    Ping();
    EXPECT_EQ(p.At(199 - 104, t), 78) << "no table: no second side";
    EXPECT_EQ(p.At(199 - 90, t), 164);
}

// ---- Printer copy -----------------------------------------------------------

// The page colours of the copies: echo level 5 prints as 5, the background
// as 0, anything else as 14; 9 stands for a pixel left as it was.
CPrinterPage::ColourMap PrintMap()
{
    CPrinterPage::ColourMap map;
    map.fill(14);
    map[164] = 5;
    map[78] = 0;
    return map;
}

TEST_F(EchogramViewTest, PrinterCopyStretchesTheNewestColumnAndAdvancesY)
{
    fake.echoIndex = 10;  // picture row 11
    Ping();
    CPrinterPage page;
    ASSERT_TRUE(page.Create(40, 400));
    page.Clear(9);
    int y = 10;
    view->CopyNewestLine(page, PrintMap(), 7, y, 1.5);
    EXPECT_EQ(y, 10 + 150);
    y = 200;
    view->CopyNewestLine(page, PrintMap(), 8, y, 0.0);
    EXPECT_EQ(y, 200) << "a scale of 0 prints nothing";
    int extent = 5;
    view->AddLineExtent(extent);
    EXPECT_EQ(extent, 105);
    EXPECT_EQ(page.Pixel(7, 10 + 17), 5) << "row 11 x 1.5";
    EXPECT_EQ(page.Pixel(7, 10 + 15), 0);
    EXPECT_EQ(page.Pixel(7, 159), 0);
    EXPECT_EQ(page.Pixel(7, 160), 9) << "exactly 150 rows";
    EXPECT_EQ(page.Pixel(6, 27), 9);
    EXPECT_EQ(page.Pixel(8, 27), 9);
}

TEST_F(EchogramViewTest, PrinterCopyOfARowStandsItUpWithoutGapsAndKeepsY)
{
    doc.m_sidescan = true;
    doc.m_rangeReference = CEchogramDoc::SIDESCAN;
    doc.m_sidescanRange[0] = 50.0;
    doc.m_sidescanRange[1] = 50.0;
    fake.echoIndex = 10;  // column 90
    Ping();
    CPrinterPage page;
    ASSERT_TRUE(page.Create(10, 500));
    page.Clear(9);
    int y = 20;
    view->CopyNewestLine(page, PrintMap(), 3, y, 2.0);
    EXPECT_EQ(y, 20) << "a row does not advance y";
    int extent = 0;
    view->AddLineExtent(extent);
    EXPECT_EQ(extent, 200);
    EXPECT_EQ(page.Pixel(3, 20 + 180), 5);
    EXPECT_EQ(page.Pixel(3, 20 + 181), 5) << "a scale of 2 widens the pixel";
    EXPECT_EQ(page.Pixel(3, 20 + 182), 0);
    for (int yy = 22; yy < 20 + 400; ++yy)
        ASSERT_NE(page.Pixel(3, yy), 9) << "gap at " << yy;
}

TEST_F(EchogramViewTest, SideLookingViewShowsItsScaleAsAHeaderAndKeepsItsPicturesWidthOnResize)
{
    doc.m_sidescan = true;
    doc.m_rangeReference = CEchogramDoc::SIDESCAN;
    doc.m_sidescanRange[0] = 50.0;
    doc.m_sidescanRange[1] = 50.0;
    fake.echoIndex = 10;  // column 90 of 200
    Ping();
    const QImage shot = view->grab().toImage();
    const QRgb text = view->GetColourTable()[79];
    const QRgb background = view->GetColourTable()[78];
    const int t = view->GetTopMargin();
    EXPECT_EQ(shot.pixel(60, t - 3), text) << "the header's line";
    EXPECT_EQ(shot.pixel(101, t - 6), text) << "tick 5 at 5 x 199 / 10 rounded, plus one";
    EXPECT_EQ(shot.pixel(100, t - 6), background);
    EXPECT_EQ(shot.pixel(90, t), view->GetColourTable()[164]) << "the newest row under the header";

    // Starboard side, 10 m of 100: sample 10 lies at column 199 - 10, where
    // a column picture would have its scale strip.
    doc.m_sidescanSide = 1;
    doc.m_sidescanRange[0] = 90.0;
    doc.m_sidescanRange[1] = 10.0;
    Ping();
    ASSERT_EQ(view->Picture().At(189, t), 164);
    Resize(300, 100);  // a wider pane keeps the rows, all of their width, at its right edge
    EXPECT_EQ(view->Picture().At(289, t), 164);
    EXPECT_EQ(view->Picture().At(190, t + 1), 164) << "the first ping";
    EXPECT_EQ(view->Picture().At(50, t), 78) << "new columns are background";
}

// ---- The picture as a ring --------------------------------------------------

TEST_F(EchogramViewTest, OnceTheRingHasWrappedTheWindowThePrinterAndTheResizeSeeTheNewestPingsInOrder)
{
    // Echo k rows down for ping k: the picture shows a slope of echoes.
    const int area = 200 - 54;
    const int pings = area + 40;
    for (int k = 1; k <= pings; ++k) {
        fake.echoIndex = k % 90;
        Ping();
    }
    const CEchogramPicture& p = view->Picture();
    const QRgb echo = view->GetColourTable()[164];
    auto echoRow = [&](int x) { return (pings - (area - 1 - x)) % 90 + 1; };
    const QImage shot = view->grab().toImage();
    const QImage shown = view->ShowImage();
    for (int x : {0, 1, 39, 40, 100, area - 1}) {
        EXPECT_EQ(p.At(x, echoRow(x)), 164) << "column " << x;
        EXPECT_EQ(shot.pixel(x, echoRow(x)), echo) << "window column " << x;
        EXPECT_EQ(shown.pixelIndex(x, echoRow(x)), 164) << "shown image column " << x;
    }

    CPrinterPage page;
    ASSERT_TRUE(page.Create(4, 200));
    page.Clear(9);
    int y = 0;
    view->CopyNewestLine(page, PrintMap(), 1, y, 1.0);
    EXPECT_EQ(page.Pixel(1, echoRow(area - 1)), 5) << "the printer copies the newest ping";
    EXPECT_EQ(page.Pixel(1, echoRow(area - 2)), 0);

    Resize(200 + 30, 100);  // 30 new columns on the left, the old ones in order
    for (int x : {0, 1, 39, 40, 100, area - 1})
        EXPECT_EQ(view->Picture().At(x + 30, echoRow(x)), 164) << "carried column " << x;
}

// ---- What a ping repaints ---------------------------------------------------

TEST_F(EchogramViewTest, APingRepaintsOnlyTheNewColumnOnceTheWindowShowsThePicture)
{
    using zv::test::QtWaitUntil;
    view->show();
    Ping();
    // The first frame after the window appears shows the whole area.
    ASSERT_TRUE(QtWaitUntil([&] { return !view->HasPendingUpdates() && !view->painted.empty(); }));
    QCoreApplication::processEvents();
    const int newest = view->Picture().NewestColumn();

    view->painted.clear();
    Ping();
    ASSERT_TRUE(QtWaitUntil([&] { return !view->painted.empty(); }));
    EXPECT_EQ(view->painted.front(), QRegion(newest, 0, 1, 100));

    // Pings between two frames scroll in together.
    view->painted.clear();
    Ping();
    Ping();
    Ping();
    view->FlushUpdates();
    ASSERT_TRUE(QtWaitUntil([&] { return !view->painted.empty(); }));
    EXPECT_EQ(view->painted.front(), QRegion(newest - 2, 0, 3, 100));
    EXPECT_EQ(view->painted.size(), 1u);

    // What the window shows, scrolled piecewise, is the picture.
    for (int k = 0; k < 30; ++k) {
        fake.echoIndex = k;
        Ping();
        if (k % 7 == 0)
            view->FlushUpdates();
    }
    view->FlushUpdates();
    QCoreApplication::processEvents();
    const QImage shown = view->screen()->grabWindow(view->winId()).toImage();
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (int x = 0; x <= newest; ++x)
        for (int row = 0; row < 100; ++row)
            ASSERT_EQ(shown.pixel(x, row), view->GetColourTable()[view->Picture().At(x, row)]) << x << "," << row;

    // After a resize there is nothing to scroll: the whole area is repainted.
    Resize(220, 100);
    QCoreApplication::processEvents();
    view->painted.clear();
    Ping();
    ASSERT_TRUE(QtWaitUntil([&] { return !view->painted.empty(); }));
    EXPECT_TRUE(view->painted.back().contains(QRect(0, 0, 220 - 54, 100)));
}
