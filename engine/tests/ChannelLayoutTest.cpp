// The channel's part of the channel frames' layouts: byte order of the
// colour scale, the 40-log limit reaching the TVG tables, and damaged
// layouts that must leave the settings as they were.
#include "base/AppIds.h"
#include "base/Archive.h"
#include "engine/Channel.h"
#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

class ModelLinks : public IChannelLinks
{
public:
    SounderModel GetModel() const override { return SounderModel::RM30; }
};

CChannel::Construction Make(IChannelLinks* links)
{
    CChannel::Construction c;
    c.Parameters.SampleDistance = 0.5;
    c.Parameters.SampleInterval = 0.5 * 2.0 / 1500.0;
    c.Links = links;
    return c;
}

double At(const std::vector<BYTE>& b, std::size_t offset)
{
    double v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

TEST(ChannelLayout, ColorScaleFieldOrder)
{
    CChannel ch(Make(nullptr));
    ch.SetValueBySelector(0, -71.0);
    ch.SetValueBySelector(1, -72.0);
    ch.SetValueBySelector(2, -62.0);
    ch.SetValueBySelector(3, -63.0);
    ch.SetValueBySelector(4, -64.0);
    ch.SetLimit40Log(true);
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ch.SerializeColorScale(ar);
    }
    ASSERT_EQ(bytes.size(), 5 * 8 + 4 + 2 * 8u);
    EXPECT_EQ(At(bytes, 0), -71.0);   // default start
    EXPECT_EQ(At(bytes, 8), -72.0);   // selector 1
    EXPECT_EQ(At(bytes, 16), -50.0);  // the further level
    EXPECT_EQ(At(bytes, 24), -63.0);  // selector 3
    EXPECT_EQ(At(bytes, 32), 3.0);    // interval
    EXPECT_EQ(bytes[40], 1);          // 40-log switch
    EXPECT_EQ(At(bytes, 44), -64.0);  // selector 4
    EXPECT_EQ(At(bytes, 52), -62.0);  // selector 2

    CChannel other(Make(nullptr));
    CArchive in(bytes, CArchive::load);
    other.SerializeColorScale(in);
    for (int sel = 0; sel <= 4; ++sel)
        EXPECT_EQ(other.GetValueBySelector(sel), ch.GetValueBySelector(sel)) << sel;
}

TEST(ChannelLayout, Loading40LogLimitRebuildsTheTsTableAtTheNextPing)
{
    ModelLinks links;
    CChannel ch(Make(&links));
    std::vector<std::int16_t> s(2000, 0);
    ch.AddPowerSamples(s.data(), 2000, 0);
    ch.AddPing(1);
    std::int16_t before[1];
    ch.AddEchogramSamples(before, 1, 999.0, CChannel::TS, CChannel::FromTransducer);

    CChannel source(Make(nullptr));
    source.SetLimit40Log(true);
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        source.SerializeColorScale(ar);
    }
    CArchive in(bytes, CArchive::load);
    ch.SerializeColorScale(in);
    ch.AddPowerSamples(s.data(), 2000, 0);
    ch.AddPing(2);
    std::int16_t after[1];
    ch.AddEchogramSamples(after, 1, 999.0, CChannel::TS, CChannel::FromTransducer);
    // 40 log R at 1 km is about 120 dB; the RM30 limit holds it at 100 dB.
    EXPECT_GT(before[0], 100.0 * 85.0413592);
    EXPECT_EQ(after[0], static_cast<std::int16_t>(100.0 * 85.0413592) +
                            static_cast<std::int16_t>(ch.GetTsConstant() * 85.0413592));
}

TEST(ChannelLayout, DamagedColorScaleLeavesSettings)
{
    CChannel ch(Make(nullptr));
    ch.SetValueBySelector(2, -55.0);
    std::vector<BYTE> cut(20, 0);
    CArchive shortIn(cut, CArchive::load);
    EXPECT_THROW(ch.SerializeColorScale(shortIn), CArchiveException);
    EXPECT_EQ(ch.GetValueBySelector(2), -55.0);

    std::vector<BYTE> nan;
    {
        CArchive ar(nan, CArchive::store);
        ar << std::nan("") << -70.0 << -50.0 << -60.0 << 3.0 << LONG{0} << -60.0 << -60.0;
    }
    CArchive nanIn(nan, CArchive::load);
    ch.SerializeColorScale(nanIn);
    EXPECT_EQ(ch.GetValueBySelector(2), -55.0);
    EXPECT_EQ(ch.GetValueBySelector(0), -70.0);
}

TEST(ChannelLayout, PartsWithoutTheirObjectsKeepTheLayoutInStep)
{
    // Bottom detector, slope and colour scale one after the other: a reader
    // must find the colour scale where the writer put it.
    CChannel ch(Make(nullptr));
    ch.SetValueBySelector(4, -44.0);
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ch.SerializeBottomDetector(ar);
        ch.SerializeSlope(ar);
        ch.SerializeColorScale(ar);
    }
    EXPECT_EQ(bytes.size(), 3 * 8 + 2 * 4 + 60u);
    CChannel other(Make(nullptr));
    CArchive in(bytes, CArchive::load);
    other.SerializeBottomDetector(in);
    other.SerializeSlope(in);
    other.SerializeColorScale(in);
    EXPECT_EQ(other.GetValueBySelector(4), -44.0);
}

}  // namespace

namespace {

// The channel status window reads the depths and backstep that a layout
// gave the channel, from its bottom detector or, without one, from the
// channel itself, together with the transmit values in force.
TEST(ChannelLayout, StatusValuesShowTheBottomSettingsInForce)
{
    for (bool standardParts : {false, true}) {
        SCOPED_TRACE(standardParts ? "bottom detector" : "bare channel");
        CChannel::Construction c = Make(nullptr);
        c.Parameters.TransmitPower = 2000.0;
        c.Parameters.PulseLength = 0.000512;
        c.Parameters.TransducerDepth = 4.5;
        c.StandardParts = standardParts;
        CChannel ch(c);
        std::vector<BYTE> bytes;
        {
            CArchive ar(bytes, CArchive::store);
            ar << 250.0 << 3.0 << -35.0;  // maximum, minimum, backstep
        }
        {
            CArchive ar(bytes, CArchive::load);
            ch.SerializeBottomDetector(ar);
        }
        ch.SetFirstEchogramType(4);
        const CChannel::StatusValues v = ch.GetStatusValues();
        EXPECT_EQ(v.MaximumDepth, 250.0);
        EXPECT_EQ(v.MinimumDepth, 3.0);
        EXPECT_EQ(v.BackStep, -35.0);
        EXPECT_EQ(v.Power, 2000.0);
        EXPECT_EQ(v.PulseLength, 0.000512);
        EXPECT_EQ(v.Draught, 4.5);
        EXPECT_EQ(v.TvgType, 4);
    }
}

// The TVG type the status window shows is the channel's echogram type: it
// stays from ping to ping, before the echogram has asked for the new ping
// too, and the window is told when it is first known or changes.
TEST(ChannelLayout, StatusTvgTypeStaysAcrossPingsAndIsAnnounced)
{
    int updates = 0;
    const HWND frame = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == app::WM_ES_UPDATECHANNELSTATUS)
            ++updates;
        return 0;
    });
    SetMainWindow(frame);
    const auto pump = [] {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    };
    CChannel ch(Make(nullptr));
    struct Step
    {
        const char* legend;
        bool newPing;
        int type;  // what the echogram asks for; 0: nothing yet
        int shown;
        int updates;
    };
    const Step steps[] = {
        {"before any echogram", false, 0, 0, 0},          {"the first echogram type", false, 3, 3, 1},
        {"a new ping, not yet asked for", true, 0, 3, 1}, {"the same type again", false, 3, 3, 1},
        {"a new ping of another type", true, 4, 4, 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.legend);
        if (s.newPing)
            ch.AddPing(0);
        if (s.type)
            ch.SetFirstEchogramType(s.type);
        pump();
        EXPECT_EQ(ch.GetStatusValues().TvgType, s.shown);
        EXPECT_EQ(updates, s.updates);
    }
    SetMainWindow(0);
    DestroyWindow(frame);
}

}  // namespace
