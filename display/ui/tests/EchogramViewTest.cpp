#include "display/ui/EchogramView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"
#include "platform/FileTime.h"
#include "sensors/ExternalDepth.h"
#include "testsupport/ui/QtWait.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <set>
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
    std::uint64_t GetPingTime() override { return pingTime; }
    double GetSoundVelocity() override { return soundVelocity; }
    std::uint64_t pingTime = 0;
    double soundVelocity = 1500.0;
};

// What the marks read besides the channel, as each case sets it.
struct FakeMarkSources : IEchogramMarkSources
{
    int states[INetSensors::kSensors] = {};
    double depths[INetSensors::kSensors] = {};
    double pingerDepth = 0.0;  // synchronising while positive
    bool multiPulse = false;
    double smoothed = 0.0, period = 0.0;

    void GetNetSensors(int s[INetSensors::kSensors], double d[INetSensors::kSensors]) const override
    {
        for (int i = 0; i < INetSensors::kSensors; ++i) {
            s[i] = states[i];
            d[i] = depths[i];
        }
    }
    bool GetPingerDepth(double& depth) const override
    {
        depth = pingerDepth;
        return pingerDepth > 0.0;
    }
    bool GetMultiPulseDepths(double& a, double& b) const override
    {
        a = smoothed;
        b = period;
        return multiPulse;
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
public:
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
        doc.m_scale = false;                           // the depth grid: only where a case asks for it
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        SViewContext context;
        context.markSources = &marks;
        view = std::make_unique<ProbeView>(&doc, context);
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
    int Newest(int row) const { return view->Picture().At(view->Picture().NewestColumn(), row); }

    CTestDisplayContext program;
    FakeMarkSources marks;
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

    // A range change: its labels are repainted besides the new column.
    doc.m_newRangeMarker = true;
    Ping();
    view->FlushUpdates();
    QCoreApplication::processEvents();
    view->painted.clear();
    doc.m_range = 50.0;
    Ping();
    view->FlushUpdates();
    ASSERT_TRUE(QtWaitUntil([&] { return !view->painted.empty(); }));
    // The scale strip too: its values changed.
    const QRect column(newest, 0, 1, 100), scale(newest + 1, 0, 54, 100);
    const QRegion labels = view->painted.front() - column - scale;
    EXPECT_TRUE(view->painted.front().contains(column));
    EXPECT_TRUE(view->painted.front().contains(scale));
    ASSERT_EQ(labels.rectCount(), 2) << "a top and a bottom label";
    for (const QRect& label : labels) {
        EXPECT_EQ(label.right(), newest - 1) << "right-aligned at the area's edge, beside the new column";
        EXPECT_LT(label.width(), 30);
        EXPECT_TRUE(label.top() == 0 || label.bottom() == 99) << "at the top or the foot";
    }
    QCoreApplication::processEvents();

    // After a resize there is nothing to scroll: the whole area is repainted.
    Resize(220, 100);
    QCoreApplication::processEvents();
    view->painted.clear();
    Ping();
    ASSERT_TRUE(QtWaitUntil([&] { return !view->painted.empty(); }));
    EXPECT_TRUE(view->painted.back().contains(QRect(0, 0, 220 - 54, 100)));
}

// ---- Marks in the picture ---------------------------------------------------

namespace {
// Pixels of a colour in a rectangle of the picture as it shows.
int Count(const CEchogramPicture& p, const QRect& r, int colour)
{
    int n = 0;
    for (int row = std::max(0, r.top()); row <= std::min(p.GetHeight() - 1, r.bottom()); ++row)
        for (int x = std::max(0, r.left()); x <= std::min(p.GetWidth() - 1, r.right()); ++x)
            n += p.At(x, row) == colour;
    return n;
}
}  // namespace

TEST_F(EchogramViewTest, MarksOfTheNewColumnLandOnTheirDepthsInTheirColours)
{
    struct Case
    {
        const char* legend;
        std::function<void(EchogramViewTest&)> set;
        std::vector<std::pair<int, int>> marked;  // row, colour
        std::vector<int> unmarked;
    };
    // 100 rows over 100 m: a depth's row is its metre.
    const Case cases[] = {
        {"net sensors: only fresh readings",
         [](EchogramViewTest& t) {
             t.doc.m_purseSeineMarker = true;
             t.marks.states[0] = t.marks.states[2] = INetSensors::kFresh;
             t.marks.states[1] = INetSensors::kOld;
             t.marks.depths[0] = 20.0;
             t.marks.depths[1] = 30.0;
             t.marks.depths[2] = 40.0;
         },
         {{20, 193}, {40, 195}},
         {21, 30, 41}},
        {"external depths whose source name holds the filter",
         [](EchogramViewTest& t) {
             t.doc.m_externalDepth = true;
             t.doc.m_depthSourceName = "T38";
             t.program.sources = {{"Geo", 35.0}, {"T38 port", 55.0}, {"", 60.0}, {"T38 aft", 170.0}};
         },
         {{55, 193}, {56, 193}},
         {35, 60, 99}},
        {"the pinger while it synchronises",
         [](EchogramViewTest& t) { t.marks.pingerDepth = 42.0; },
         {{42, 193}, {43, 193}},
         {41, 44}},
        {"multi-pulse depths",
         [](EchogramViewTest& t) {
             t.doc.m_multiPulseMarker = true;
             t.marks.multiPulse = true;
             t.marks.smoothed = 25.0;
             t.marks.period = 70.0;
         },
         {{25, 194}, {26, 194}, {70, 194}, {71, 194}},
         {27, 72}},
        {"marker depth, rounded",
         [](EchogramViewTest& t) {
             t.doc.m_variableDepth = true;
             t.doc.m_variableDepthValue = 33.5;
         },
         {{34, 193}},
         {33, 35}},
        {"marker height above the bottom of a bottom echogram",
         [](EchogramViewTest& t) {
             t.doc.m_rangeReference = CEchogramDoc::BOTTOM;
             t.doc.m_start = 15.0;
             t.doc.m_range = 25.0;
             t.bottom = 60.0;
             t.doc.m_variableDepth = true;
             t.doc.m_variableDepthValue = 5.0;  // (5 + 15) / 25 of the picture
         },
         {{80, 193}},
         {79, 81}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TearDown();
        marks = FakeMarkSources();
        program.sources.clear();
        SetUp();
        fake.echoIndex = -1;
        c.set(*this);
        Ping();
        for (const auto& [row, colour] : c.marked)
            EXPECT_EQ(Newest(row), colour) << "row " << row;
        for (int row : c.unmarked)
            EXPECT_EQ(Newest(row), 78) << "row " << row;
    }
}

TEST_F(EchogramViewTest, LinkedEchogramsWindowIsDashed)
{
    CESDocList list;
    CEchogramDoc partner(program.Context());
    partner.SetChannel(channel.get());
    partner.SetEchogramChannel(&fake);
    partner.m_rangeReference = CEchogramDoc::SURFACE;
    partner.m_start = 20.0;
    partner.m_range = 30.0;
    partner.SetSource(&list);
    partner.AttachToSource();
    doc.SetSource(&list);
    doc.AttachToSource();
    doc.m_rangeOtherMarker = true;
    fake.echoIndex = -1;
    const int newest = view->Picture().NewestColumn();
    for (int ping = 1; ping <= 6; ++ping)
        Ping();
    // Pings 1, 2, 5 and 6 mark the partner's window from 20 to 50 m.
    const std::vector<bool> drawn = {true, true, false, false, true, true};
    for (int ping = 1; ping <= 6; ++ping)
        for (int row : {20, 21, 50, 51})
            EXPECT_EQ(view->Picture().At(newest - (6 - ping), row), drawn[ping - 1] ? 195 : 78)
                << "ping " << ping << " row " << row;
    doc.DetachFromSource();
    partner.DetachFromSource();
}

TEST_F(EchogramViewTest, DepthGridOfQuarterMetresIsDashedAndLabelledWhenItsCountdownRunsOut)
{
    Resize(200, 200);
    doc.m_range = 10.0;
    doc.m_scale = true;
    doc.m_depthLines = 40;
    doc.m_showAnnotation = true;
    fake.echoIndex = -1;
    const CEchogramPicture& p = view->Picture();
    const int newest = p.NewestColumn();
    // Rows between the lines at 5 and 10 cm: only the labels, right-aligned
    // at the area's edge with their foot 5 rows below their line, reach them.
    const QRect between(newest - 40, 6, 41, 4);
    for (int ping = 1; ping <= 28; ++ping) {
        Ping();
        const bool draws = ping % 4 == 1 || ping % 4 == 2;
        EXPECT_EQ(Newest(20), draws ? 79 : 78) << "whole metre, ping " << ping;
        EXPECT_EQ(Newest(21), draws ? 79 : 78) << "whole metres are two rows, ping " << ping;
        EXPECT_EQ(Newest(5), draws ? 79 : 78) << "quarter metre, ping " << ping;
        EXPECT_EQ(Newest(6), 78) << "a quarter metre is one row";
        EXPECT_EQ(Newest(0), 79) << "the top pixel every ping";
        ASSERT_EQ(Count(p, between, 79), 0) << "no label before ping 29";
    }
    Ping();  // the fifteenth ping that draws
    EXPECT_GT(Count(p, between, 79), 5) << "labels now";
    for (int ping = 30; ping <= 40; ++ping)
        Ping();
    EXPECT_EQ(Count(p, QRect(newest - 10, 6, 11, 4), 79), 0) << "and not again until the countdown runs out";
    EXPECT_GT(Count(p, between.translated(-11, 0), 79), 5) << "the labels moved on with the picture";
}

TEST_F(EchogramViewTest, DepthGridOfSixMetresHasSingleRowLines)
{
    doc.m_range = 30.0;
    doc.m_scale = true;
    doc.m_depthLines = 5;
    fake.echoIndex = -1;
    Ping();
    for (int row : {20, 40, 60, 80})
        EXPECT_EQ(Newest(row), 79) << row;
    for (int row : {21, 41, 61, 81})
        EXPECT_EQ(Newest(row), 78) << row;
}

TEST_F(EchogramViewTest, RangeChangeWritesItsLabelsOnlyWhenTheirCountdownHasRunOut)
{
    doc.m_newRangeMarker = true;
    fake.echoIndex = 0;  // row 1 shows the echo unless a label covers it
    Ping();
    EXPECT_EQ(Newest(1), 164) << "the first ping is no change";
    EXPECT_EQ(Newest(3), 78) << "and has no dotted line";

    doc.m_range = 50.0;
    Ping();
    EXPECT_NE(Newest(1), 164) << "labels over the top rows";
    EXPECT_GT(Count(view->Picture(), QRect(view->Picture().NewestColumn() - 20, 0, 21, 14), 79), 5) << "top label";
    EXPECT_GT(Count(view->Picture(), QRect(view->Picture().NewestColumn() - 20, 86, 21, 14), 79), 5) << "bottom label";

    doc.m_range = 80.0;
    Ping();
    EXPECT_EQ(Newest(1), 164) << "the countdown still runs: no labels";
    for (int row : {0, 3, 6, 99})
        EXPECT_EQ(Newest(row), 79) << "dotted line, row " << row;
    EXPECT_EQ(Newest(4), 78);
}

TEST_F(EchogramViewTest, MinuteTickAtTheMinutesChange)
{
    doc.m_minuteMarker = true;
    fake.echoIndex = -1;
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 3;
    t.wDay = 5;
    t.wHour = 12;
    t.wMinute = 0;
    t.wSecond = 59;
    std::uint64_t time = 0;
    ASSERT_TRUE(CFileTime::FromSystemTime(t, time));
    viewChannel.pingTime = time + 9500000;  // 12:00:59.95
    Ping();
    EXPECT_EQ(Newest(4), 78);
    viewChannel.pingTime += 500000;  // 12:01:00.00
    Ping();
    for (int row = 0; row < 100 / 20; ++row)
        EXPECT_EQ(Newest(row), 79) << "tick of H / 20 rows, row " << row;
    EXPECT_EQ(Newest(5), 78);
    viewChannel.pingTime += 500000;
    Ping();
    EXPECT_EQ(Newest(4), 78) << "one tick a minute";
}

TEST_F(EchogramViewTest, SoundSpeedChangeWritesItsTurnedLabelAndADottedLine)
{
    doc.m_newSvpMarker = true;
    fake.echoIndex = -1;
    viewChannel.soundVelocity = 1493.0;
    Ping();
    const CEchogramPicture& p = view->Picture();
    const int newest = p.NewestColumn();
    // Turned text, 4 rows below the top, ending at the area's right edge.
    EXPECT_GT(Count(p, QRect(newest - 14, 4, 15, 60), 79), 20);
    EXPECT_EQ(Count(p, QRect(newest - 14, 0, 15, 4), 79), 2) << "above it only the dotted line (rows 0 and 3)";
    Ping();
    EXPECT_EQ(Newest(3), 78) << "the same speed: no dotted line";
    viewChannel.soundVelocity = 1495.0;
    Ping();
    EXPECT_EQ(Newest(3), 79) << "a new speed: the dotted line";
    EXPECT_EQ(Count(p, QRect(newest, 4, 1, 60), 79), 20) << "and only the dotted line while the countdown runs";
}

TEST_F(EchogramViewTest, AnnotationMarksItsColumnAndWritesItsTextAcrossTheRingsSeam)
{
    doc.m_eventMarker = true;
    fake.echoIndex = -1;
    const CEchogramPicture& p = view->Picture();
    const int area = 200 - 54, newest = p.NewestColumn();
    const QRect box(newest - 20, 0, 21, 100);
    auto annotated = [&] {
        view->SetAnnotation("T38 event");
        Ping();
        std::vector<int> pixels;
        for (int row = 0; row < 100; ++row)
            for (int x = box.left(); x <= box.right(); ++x)
                pixels.push_back(p.At(x, row));
        return pixels;
    };
    for (int ping = 0; ping < 20; ++ping)
        Ping();
    // The ring's seam lies left of the text's 14 columns.
    const std::vector<int> whole = annotated();
    EXPECT_EQ(Count(p, QRect(newest, 0, 1, 100), 193) + Count(p, QRect(newest, 0, 1, 100), 79), 100)
        << "the annotation column";
    EXPECT_GT(Count(p, QRect(newest - 13, 4, 14, 90), 79), 20) << "the turned text";
    // Pings until the seam lies in the middle of the text's columns.
    for (int ping = 0; ping < area - 15; ++ping)
        Ping();
    EXPECT_EQ(annotated(), whole) << "the same text, drawn in two parts";

    for (int ping = 0; ping < 20; ++ping)
        Ping();
    view->SetAnnotation(nullptr);
    Ping();
    EXPECT_EQ(Count(p, QRect(newest - 13, 4, 14, 90), 79), 0) << "no text";
    EXPECT_EQ(Newest(50), 193) << "a mark without text";
    doc.m_eventMarker = false;
    view->SetAnnotation("T38 hidden");
    Ping();
    EXPECT_EQ(Newest(50), 78) << "annotations off";
}

TEST_F(EchogramViewTest, MarksOfAWindowWithoutRangeOrExtentDrawNothing)
{
    fake.echoIndex = -1;
    doc.m_purseSeineMarker = doc.m_externalDepth = doc.m_multiPulseMarker = doc.m_variableDepth = true;
    doc.m_rangeOtherMarker = doc.m_scale = true;
    doc.m_depthLines = 10;
    marks.states[0] = INetSensors::kFresh;
    marks.depths[0] = 0.0;
    marks.pingerDepth = 1e-9;
    marks.multiPulse = true;
    program.sources = {{"T38", 0.0}};
    doc.m_variableDepthValue = 0.0;
    for (double range : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        doc.m_range = range;
        doc.m_start = 0.0;
        Ping();
        for (int row = 0; row < 100; ++row)
            ASSERT_EQ(Newest(row), row == 0 ? 193 : 78) << "range " << range << ", row " << row;
    }

    // Row orientation with no extent on either side.
    doc.m_range = 100.0;
    doc.m_sidescan = true;
    doc.m_rangeReference = CEchogramDoc::SIDESCAN;
    doc.m_sidescanRange[0] = doc.m_sidescanRange[1] = 0.0;
    program.sources = {{"T38", 30.0}};
    Ping();
    const int t = view->GetTopMargin();
    EXPECT_EQ(Count(view->Picture(), QRect(0, t, 200, 1), 193), 0);
}

TEST_F(EchogramViewTest, EveryMarkWritesOnlyItsOwnIndices)
{
    Resize(300, 200);
    doc.m_range = 10.0;
    doc.m_scale = doc.m_showAnnotation = doc.m_minuteMarker = doc.m_newRangeMarker = doc.m_newSvpMarker = true;
    doc.m_purseSeineMarker = doc.m_externalDepth = doc.m_multiPulseMarker = doc.m_variableDepth = true;
    doc.m_eventMarker = doc.m_rangeOtherMarker = doc.m_bottomShown = doc.m_whiteLine = true;
    doc.m_depthLines = 40;
    doc.m_variableDepthValue = 4.2;
    bottom = 7.5;
    for (int i = 0; i < 3; ++i) {
        marks.states[i] = INetSensors::kFresh;
        marks.depths[i] = 2.0 + i;
    }
    marks.pingerDepth = 5.5;
    marks.multiPulse = true;
    marks.smoothed = 6.5;
    program.sources = {{"T38", 8.5}};
    viewChannel.pingTime = 133000000000000000ull;
    for (int ping = 1; ping <= 200; ++ping) {
        fake.echoIndex = ping % 150;
        viewChannel.pingTime += 5000000;  // half a second a ping
        if (ping % 40 == 0) {
            doc.m_range = doc.m_range == 10.0 ? 12.0 : 10.0;
            viewChannel.soundVelocity += 1.0;
        }
        if (ping % 50 == 7)
            view->SetAnnotation("T38 mark");
        Ping();
    }
    const std::set<int> own = {78, 79, 160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 193, 194, 195};
    const CEchogramPicture& p = view->Picture();
    std::set<int> seen;
    for (int row = 0; row < p.GetHeight(); ++row)
        for (int x = 0; x < p.GetWidth(); ++x) {
            ASSERT_TRUE(own.count(p.At(x, row))) << x << "," << row << " = " << int(p.At(x, row));
            seen.insert(p.At(x, row));
        }
    for (int colour : {79, 193, 194, 195})
        EXPECT_TRUE(seen.count(colour)) << colour;
}
