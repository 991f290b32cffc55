#include "display/ui/EchogramView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/EchogramDoc.h"
#include "engine/Channel.h"

#include <QResizeEvent>

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr std::int16_t kWeak = -9000;
constexpr std::int16_t kEcho = -850; // about -10 dB

// A channel whose column has one echo at a chosen sample index.
class OneEchoChannel : public IEchogramChannel
{
public:
    int echoIndex = 10;
    std::string GetChannelName() const override { return "38 kHz"; }
    void SetFirstEchogramType(int) override {}
    void SetEchogramStartRange(double) override {}
    void SetEchogramStopRange(double) override {}
    void SetEchogramMode(int) override {}
    void SetEchogramInfo(bool, bool, const std::string&, bool) override {}
    void SetEchogramValue(double) override {}
    void AccumulateFlag(int) override {}
    void GetTrawl(bool& dv, double& d, bool& ov, double& o) const override
    {
        dv = ov = false;
        d = o = 0.0;
    }
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = i == echoIndex ? kEcho : kWeak;
        return true;
    }
    bool GetBottomDepth(double&) override { return false; }
    double FindLevelStep(double) override { return 0.0; }
    bool IsNoiseCompensationOn() const override { return false; }
    bool WantsFilterValues() const override { return false; }
    void TakeFilterValues(const std::array<int, 5>&) override {}
    void UpdateDocument(IEchoIntegrator&) override {}
};

class EchogramViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        CChannel::Construction cc;
        cc.SourceName = "ES38";
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&fake);
        doc.m_range = 100.0;
        doc.m_start = 0.0;
        doc.m_rangeReference = CEchogramDoc::SURFACE; // new documents alternate their defaults
        CEchogramDoc::Environment env;
        env.updateViews = [this](CEchogramDoc*) { view->OnUpdate(); };
        CEchogramDoc::SetEnvironment(env);
        view = std::make_unique<CEchogramView>(&doc);
        CEchogramView::ChannelAccess access;
        access.level = [](double db, int) { return db > -20.0 ? 5 : 0; };
        access.depth = [this](double& d) {
            d = bottom;
            return bottom > 0.0;
        };
        access.skipping = [] { return false; };
        view->SetChannelAccess(access);
        Resize(200, 100);
        view->OnInitialUpdate();
    }
    void TearDown() override
    {
        view.reset();
        CEchogramDoc::SetEnvironment({});
    }
    void Resize(int w, int h)
    {
        view->resize(w, h);
        QResizeEvent event(QSize(w, h), QSize());
        QApplication::sendEvent(view.get(), &event);
    }
    void Ping() { doc.OnSourceUpdate(1); }

    OneEchoChannel fake;
    std::unique_ptr<CChannel> channel;
    CEchogramDoc doc;
    std::unique_ptr<CEchogramView> view;
    double bottom = 0.0;
};
} // namespace

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

TEST_F(EchogramViewTest, BottomOfTheChannelDrawsTheLineWhereTheDepthLies)
{
    doc.m_bottomShown = true;
    bottom = 60.5; // 100 rows over 100 m
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
    Ping(); // nothing to draw on: must not touch anything
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
    EXPECT_EQ(CEchogramView::TickRow(1, 95), 10); // 9.5 rounds away from zero
    EXPECT_EQ(CEchogramView::TickRow(9, 100), 90);
}

TEST_F(EchogramViewTest, ResizeKeepsTheOldPictureAtTheRightStretchedToTheNewHeight)
{
    Resize(354, 100); // echogram area 300 columns
    fake.echoIndex = 49;
    Ping(); // row 50 of the newest column
    Resize(454, 200); // 100 more columns, twice the height
    const CEchogramPicture& p = view->Picture();
    EXPECT_EQ(p.At(399, 100), 164);
    EXPECT_EQ(p.At(399, 101), 164);
    EXPECT_EQ(p.At(399, 99), 78);
    for (int x : {0, 50, 99})
        EXPECT_EQ(p.At(x, 100), 78) << "new column " << x;
    Resize(254, 200); // shrinking keeps the newest columns
    EXPECT_EQ(p.At(199, 100), 164);
}
