#include "display/DepthDoc.h"

#include "base/Archive.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {
// A channel whose bottom and filter switch the case sets.
struct FakeChannel : IDepthChannel
{
    double depth = 0.0;
    bool found = true;
    bool filter = false;
    bool GetBottom(double& d) override
    {
        d = depth;
        return found;
    }
    bool GetCorrectedDepth(double& d) override
    {
        d = 0.0;
        return false;
    }
    bool IsDepthFilterOn() const override { return filter; }
};

class DepthDocTest : public ::testing::Test
{
protected:
    void SetUp() override { doc.SetDepthChannel(&channel); }
    void Ping(double d, bool bottom = true)
    {
        channel.depth = d;
        channel.found = bottom;
        doc.OnSourceUpdate(1);
    }

    CTestDisplayContext program;
    FakeChannel channel;
    CDepthDoc doc{program.Context()};
    bool& filter = channel.filter;
    double& pinger = program.pingerDepth;
    std::vector<unsigned>& messages = program.statusMessages;
    std::vector<unsigned>& alarms = program.alarms;
    const int& updates = program.updates;
};
}  // namespace

TEST_F(DepthDocTest, MedianOfTheLastThreeDepthsWhenTheChannelFilters)
{
    filter = true;
    const double in[] = {10.0, 50.0, 12.0, 11.0, 90.0, 13.0};
    const double out[] = {0.0, 10.0, 12.0, 12.0, 12.0, 13.0};
    for (int i = 0; i < 6; ++i) {
        Ping(in[i]);
        EXPECT_DOUBLE_EQ(doc.GetDepth(), out[i]) << "ping " << i;
    }
    filter = false;
    Ping(90.0);
    EXPECT_DOUBLE_EQ(doc.GetDepth(), 90.0);
    EXPECT_EQ(updates, 7);
}

TEST_F(DepthDocTest, AlarmsAtTheirLimitsAndBottomLost)
{
    doc.m_minimumAlarm = doc.m_maximumAlarm = doc.m_bottomLostMessage = true;
    doc.m_minimumDepth = 5.0;
    doc.m_maximumDepth = 100.0;
    struct Case
    {
        double depth;
        bool found;
        std::vector<unsigned> alarms;
        std::vector<unsigned> messages;
    };
    const Case cases[] = {
        {5.0, true, {CDepthDoc::IDS_BOTTOM_MINIMUM}, {}},
        {5.01, true, {}, {}},
        {99.99, true, {}, {}},
        {100.0, true, {CDepthDoc::IDS_BOTTOM_MAXIMUM}, {}},
        {1.0, false, {}, {CDepthDoc::IDS_BOTTOM_LOST}},
        {std::numeric_limits<double>::quiet_NaN(), true, {}, {CDepthDoc::IDS_BOTTOM_LOST}},
    };
    for (const Case& c : cases) {
        alarms.clear();
        messages.clear();
        Ping(c.depth, c.found);
        EXPECT_EQ(alarms, c.alarms) << c.depth;
        EXPECT_EQ(messages, c.messages) << c.depth;
    }
    doc.m_maximumDepth = 0.0;  // a limit of 0 switches the maximum alarm off
    alarms.clear();
    Ping(500.0);
    EXPECT_TRUE(alarms.empty());
}

TEST_F(DepthDocTest, PingerDepthReplacesTheBottom)
{
    pinger = 42.0;
    Ping(10.0);
    EXPECT_TRUE(doc.IsPingerDepthInUse());
    EXPECT_DOUBLE_EQ(doc.GetDepth(), 42.0);
    pinger = 0.0;
    Ping(10.0);
    EXPECT_FALSE(doc.IsPingerDepthInUse());
    EXPECT_DOUBLE_EQ(doc.GetDepth(), 10.0);
}

// A bottom detector that finds the listed depths, one a ping.
class ListedBottoms final : public IBottomDetector
{
public:
    explicit ListedBottoms(std::vector<double> depths) : m_depths(std::move(depths)) {}
    bool DetectBottom(const std::int16_t*, int, double, double, double, double, double& depth, double& level,
                      double& next) override
    {
        if (m_next >= m_depths.size())
            return false;
        depth = m_depths[m_next++];
        level = -20.0;
        next = depth + 20.0;
        return true;
    }
    double GetMaximumDepth() const override { return 500.0; }
    void SetMaximumDepth(double) override {}
    bool IsBottomSmoothingOn() const override { return false; }
    bool IsAlternativeDetectorOn() const override { return false; }
    void SetTrackedBottom(double, double) override {}
    int GetBottomIndexPlusOne() const override { return 0; }
    double GetNegatedFraction() const override { return 0.0; }
    void Serialize(CArchive&) override {}

private:
    std::vector<double> m_depths;
    std::size_t m_next = 0;
};

// A real channel's depth-filter switch reaches the document: off by
// default, and while on the first pings take their median with the history's
// initial 0.0 entries.
TEST(DepthDocChannel, MedianWhileTheChannelsSwitchIsOn)
{
    CChannel::Construction cc;
    cc.Parameters.SampleDistance = 0.1;
    cc.Parameters.SampleInterval = 0.2 / 1500.0;
    CChannel channel(cc);
    channel.SetBottomDetector(std::make_unique<ListedBottoms>(std::vector<double>{30.0, 10.0, 50.0, 12.0, 11.0, 90.0}));
    CTestDisplayContext program;
    CDepthDoc doc(program.Context());
    doc.SetChannel(&channel);
    const std::vector<std::int16_t> samples(2000, -3000);
    std::uint64_t time = 0;
    auto ping = [&] {
        channel.AddPowerSamples(samples.data(), static_cast<int>(samples.size()), 0);
        channel.AddPing(++time);
        doc.OnSourceUpdate(1);
        return doc.GetDepth();
    };
    EXPECT_EQ(channel.GetDepthFilter(), 0);
    EXPECT_DOUBLE_EQ(ping(), 30.0) << "unsmoothed while the switch is off";
    channel.SetDepthFilter(1);
    // The unsmoothed ping left the history as it was: 0.0 throughout.
    EXPECT_DOUBLE_EQ(ping(), 0.0) << "10 with two 0.0";
    EXPECT_DOUBLE_EQ(ping(), 10.0) << "50, 10 and 0.0";
    EXPECT_DOUBLE_EQ(ping(), 12.0) << "12, 50 and 10";
    channel.SetDepthFilter(0);
    EXPECT_DOUBLE_EQ(ping(), 11.0);
}

TEST(DepthDocSettings, RoundTripWithTheChannelsSettingsAndNoNumbersRefused)
{
    CChannel::Construction cc;
    CChannel channel(cc);
    CDepthDoc out;
    out.SetChannel(&channel);
    out.m_minimumDepth = 3.5;
    out.m_maximumDepth = 250.0;
    out.m_maximumAlarm = true;
    out.m_bottomLostMessage = true;
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        out.Serialize(ar);
        ar << 0x5A5A5A5Au;  // what follows in the frame's file
        ar.Close();
    }
    ASSERT_GT(bytes.size(), 2 * 8 + 3 * 4 + 4u) << "the channel's settings follow the alarms";
    CDepthDoc in;
    in.SetChannel(&channel);
    {
        CArchive ar(bytes.data(), bytes.size());
        in.Serialize(ar);
        DWORD marker = 0;
        ar >> marker;
        EXPECT_EQ(marker, 0x5A5A5A5Au);
    }
    EXPECT_DOUBLE_EQ(in.m_minimumDepth, 3.5);
    EXPECT_DOUBLE_EQ(in.m_maximumDepth, 250.0);
    EXPECT_FALSE(in.m_minimumAlarm);
    EXPECT_TRUE(in.m_maximumAlarm);
    EXPECT_TRUE(in.m_bottomLostMessage);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(bytes.data(), &nan, sizeof nan);
    CArchive ar(bytes.data(), bytes.size());
    in.Serialize(ar);
    EXPECT_DOUBLE_EQ(in.m_minimumDepth, 0.0);
}
