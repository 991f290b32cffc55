// Pinger mode on synthetic pings: the data file and the archive, the set-up,
// the pulse search with its hostile widths, intervals and edges, the 50
// searches before "ready", the period measured over 300 periods, and the
// tracked distance with the samples moved to start at the pinger.
#include "engine/PingerMode.h"

#include "base/AppIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::int16_t kNoise = -15000;
constexpr std::int16_t kPulse = -3000;

struct Host : IPingerModeHost
{
    Host()
        : folder(fs::temp_directory_path() / ("zv-pinger-" + std::to_string(::getpid()) + "-" +
                                              std::to_string(reinterpret_cast<std::uintptr_t>(this))))
    {
        fs::create_directories(folder);
    }
    ~Host() override { fs::remove_all(folder); }
    std::string GetSerializePath() override { return folder.string() + "/"; }
    bool IsReplaying() override { return replaying; }
    bool RunPingerDialog(SPingerDialogValues& v) override
    {
        shown = v;
        return dialog ? dialog(v) : false;
    }
    void PostToFrame(unsigned message, std::intptr_t w, std::intptr_t l) override { posts.push_back({message, w, l}); }
    int Count(unsigned message) const
    {
        int n = 0;
        for (const auto& p : posts)
            n += p.message == message;
        return n;
    }
    struct Post
    {
        unsigned message;
        std::intptr_t w, l;
    };
    fs::path folder;
    bool replaying = false;
    std::function<bool(SPingerDialogValues&)> dialog;
    SPingerDialogValues shown;
    std::vector<Post> posts;
};

void WriteBytes(const fs::path& path, const std::vector<double>& values, std::size_t cut = 0)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()),
              static_cast<std::streamsize>(values.size() * sizeof(double) - cut));
}

// A ping of noise with a pulse of `width` samples at `at`.
std::vector<std::int16_t> Ping(int count, int at, int width, std::int16_t level = kPulse)
{
    std::vector<std::int16_t> s(static_cast<std::size_t>(count), kNoise);
    for (int i = at; i < at + width && i < count; ++i)
        if (i >= 0)
            s[static_cast<std::size_t>(i)] = level;
    return s;
}

// Pinger mode set up through its dialog with these values.
void SetUpPinger(CPingerMode& pinger, Host& host, double cable, double depth, double pulseMs, double period, bool sync)
{
    host.dialog = [=](SPingerDialogValues& v) {
        v.cableLength = cable;
        v.depth = depth;
        v.pulseLength = pulseMs;
        v.period = period;
        v.synchronise = sync;
        return true;
    };
    ASSERT_TRUE(pinger.Synchronise());
}

constexpr double kInterval = 1e-4;  // s per sample: 0.075 m

// "Pinger.dta" holds the period then the pulse length, the archive the
// other way round; what no pinger has reads as 0.0 from the file and leaves
// the archive's values in force.
TEST(PingerMode, DataFileAndArchive)
{
    Host host;
    CPingerMode pinger(host);
    const fs::path file = host.folder / CPingerMode::kDataFile;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row
    {
        const char* legend;
        std::vector<double> values;
        std::size_t cut;
        bool exists;
        double period, pulse;
    } rows[] = {
        {"period, then pulse length", {1.25, 2.5}, 0, true, 1.25, 2.5},
        {"a missing file", {}, 0, false, 0.0, 0.0},
        {"a short file", {1.25, 2.5}, 3, true, 0.0, 0.0},
        {"not a number and a negative period", {nan, -2.0}, 0, true, 0.0, 0.0},
        {"an infinite pulse length", {0.5, std::numeric_limits<double>::infinity()}, 0, true, 0.5, 0.0},
        {"a period beyond any ping interval", {1e12, 2.5}, 0, true, 0.0, 2.5},
    };
    for (const Row& r : rows) {
        fs::remove(file);
        if (r.exists)
            WriteBytes(file, r.values, r.cut);
        double period = -1.0, pulse = -1.0;
        pinger.ReadDataFile(period, pulse);
        EXPECT_EQ(period, r.period) << r.legend;
        EXPECT_EQ(pulse, r.pulse) << r.legend;
    }

    ASSERT_TRUE(pinger.WriteDataFile(0.75, 3.0));
    EXPECT_EQ(fs::file_size(file), 16u);
    std::ifstream in(file, std::ios::binary);
    double back[2];
    in.read(reinterpret_cast<char*>(back), sizeof back);
    EXPECT_EQ(back[0], 0.75);
    EXPECT_EQ(back[1], 3.0);

    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << 4.0 << 2.0;  // pulse length, period
    }
    {
        CArchive ar(bytes, CArchive::load);
        pinger.Serialize(ar);
    }
    EXPECT_EQ(pinger.GetPulseLength(), 4.0);
    EXPECT_EQ(pinger.GetPeriod(), 2.0);
    bytes.clear();
    {
        CArchive ar(bytes, CArchive::store);
        ar << nan << -1.0;
    }
    {
        CArchive ar(bytes, CArchive::load);
        pinger.Serialize(ar);
    }
    EXPECT_EQ(pinger.GetPulseLength(), 4.0);
    EXPECT_EQ(pinger.GetPeriod(), 2.0);
    bytes.clear();
    {
        CArchive ar(bytes, CArchive::store);
        pinger.Serialize(ar);
    }
    ASSERT_EQ(bytes.size(), 16u);
    double stored[2];
    std::memcpy(stored, bytes.data(), sizeof stored);
    EXPECT_EQ(stored[0], 4.0);
    EXPECT_EQ(stored[1], 2.0);
}

// The dialog starts from the file with no cable length and no depth; a
// cancel leaves pinger mode off; values no pinger has are refused even when
// a dialog lets them through; OK starts acquiring and writes the file.
TEST(PingerMode, SetUpThroughTheDialog)
{
    Host host;
    CPingerMode pinger(host);
    WriteBytes(host.folder / CPingerMode::kDataFile, {0.9, 1.5});
    pinger.SetActive(true);
    host.dialog = [](SPingerDialogValues&) { return false; };
    EXPECT_FALSE(pinger.Synchronise());
    EXPECT_EQ(host.shown.period, 0.9);
    EXPECT_EQ(host.shown.pulseLength, 1.5);
    EXPECT_EQ(host.shown.cableLength, 0.0);
    EXPECT_EQ(host.shown.depth, 0.0);
    EXPECT_FALSE(pinger.IsActive()) << "a cancel leaves pinger mode off";

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> refused = {
        {0.0, 500.0, 1.5, 0.9},
        {120.0, 0.0, 1.5, 0.9},
        {120.0, 500.0, 0.0, 0.9},
        {120.0, 500.0, 1.5, -1.0},
        {120.0, 500.0, 1.5, nan},
        {120.0, 500.0, nan, 0.9},
        // Longer than the longest ping interval: 1e12 s would not fit the
        // interval's 100-ns count.
        {120.0, 500.0, 1.5, 1e12},
        {120.0, 500.0, 1.5, 3600.5},
        {120.0, 500.0, 1e12, 0.9},
    };
    for (const auto& r : refused) {
        host.dialog = [&](SPingerDialogValues& v) {
            v.cableLength = r[0];
            v.depth = r[1];
            v.pulseLength = r[2];
            v.period = r[3];
            return true;
        };
        EXPECT_FALSE(pinger.Synchronise()) << r[0] << " " << r[1] << " " << r[2] << " " << r[3];
        double seconds = 0.0;
        EXPECT_FALSE(pinger.GetPingInterval(seconds));
    }

    SetUpPinger(pinger, host, 120.0, 500.0, 2.0, 1.1, false);
    EXPECT_TRUE(pinger.IsActive());
    EXPECT_TRUE(pinger.IsTracking());
    EXPECT_FALSE(pinger.IsSynchronising());
    EXPECT_EQ(pinger.GetResult(), 120.0) << "the history starts at the cable length";
    EXPECT_EQ(pinger.GetState(), CPingerMode::kAcquiring);
    double seconds = 0.0, scaled = 0.0, ms = 0.0;
    ASSERT_TRUE(pinger.GetPingInterval(seconds));
    EXPECT_DOUBLE_EQ(seconds, 1.1);
    ASSERT_TRUE(pinger.GetPingerScaledInterval(scaled));
    EXPECT_DOUBLE_EQ(scaled, 1.1 * 0.8);
    ASSERT_TRUE(pinger.GetPulseLength(ms));
    EXPECT_EQ(ms, 2.0);
    double period = 0.0, pulse = 0.0;
    pinger.ReadDataFile(period, pulse);
    EXPECT_EQ(period, 1.1);
    EXPECT_EQ(pulse, 2.0);
    pinger.SetActive(false);
    EXPECT_FALSE(pinger.GetPingInterval(seconds));
    EXPECT_FALSE(pinger.GetPulseLength(ms));
}

// The search on hostile pings: never reads outside the ping, searches
// nothing without room for its width or without a sample interval, and
// rejects a pulse at position 0.
TEST(PingerMode, PulseSearchEdges)
{
    struct Row
    {
        const char* legend;
        double pulseMs;   // sets the width on the first ping
        double interval;  // s
        std::vector<std::int16_t> samples;
        bool found;
        int position;
    } rows[] = {
        {"a pulse length shorter than a sample (width 0) searches single samples", 0.05, kInterval, Ping(200, 50, 3),
         true, 50},
        {"a width above the count searches nothing", 100.0, kInterval, Ping(50, 10, 5), false, 0},
        {"a sample interval of 0 searches nothing", 1.0, 0.0, Ping(200, 50, 10), false, 0},
        {"a negative sample interval searches nothing", 1.0, -1e-4, Ping(200, 50, 10), false, 0},
        {"a sample interval of over a second searches nothing", 1.0, 1e300, Ping(200, 50, 10), false, 0},
        {"a pulse at the start is rejected", 1.0, kInterval, Ping(200, 0, 10), false, 0},
        {"a pulse at the first sample after it is taken", 1.0, kInterval, Ping(200, 1, 10), true, 1},
        {"a pulse that ends the ping: the width window stops there", 1.0, kInterval, Ping(200, 190, 10), true, 190},
        {"equal pulses: the first", 0.5, kInterval,
         [] {
             auto s = Ping(300, 40, 5);
             for (int i = 200; i < 205; ++i)
                 s[static_cast<std::size_t>(i)] = kPulse;
             return s;
         }(),
         true, 40},
    };
    for (Row& r : rows) {
        Host host;
        CPingerMode pinger(host);
        SetUpPinger(pinger, host, 50.0, 500.0, r.pulseMs, 1.0, false);
        const int kept =
            pinger.ProcessPingerSamples(r.samples.data(), static_cast<int>(r.samples.size()), r.interval, 100000000);
        EXPECT_GE(pinger.GetPulseWidth(), 1) << r.legend;
        EXPECT_EQ(kept > 0, r.found) << r.legend;
        if (r.found) {
            EXPECT_EQ(pinger.GetPulsePosition(), r.position) << r.legend;
        }
    }
}

// Past the acquiring state the search keeps to 20 m each side of the last
// pulse and moves the pulse by 6 m a ping at most; 0.1 ms samples are
// 0.075 m, so 20 m is 266 samples and 6 m 80.
TEST(PingerMode, TrackingSearchKeepsToTheWindowAndTheStep)
{
    constexpr int kLast = 3000, kWidth = 20;
    struct Row
    {
        const char* legend;
        int pulseAt;
        bool found;
        int position;
    } rows[] = {
        {"a move within the step is followed", kLast + 50, true, kLast + 50},
        {"a move back within the step is followed", kLast - 79, true, kLast - 79},
        {"a move of 15 m goes 6 m", kLast + 200, true, kLast + 80},
        {"a move of 15 m back goes 6 m back", kLast - 200, true, kLast - 80},
        {"the last position inside 20 m is searched", kLast + 266, true, kLast + 80},
        {"the first pulse wholly beyond 20 m is not", kLast + 266 + kWidth, false, kLast},
        {"a pulse farther off is not searched for", kLast + 400, false, kLast},
        {"nor one beyond 20 m before the last", kLast - 400, false, kLast},
    };
    for (const Row& r : rows) {
        Host host;
        CPingerMode pinger(host);
        SetUpPinger(pinger, host, 150.0, 500.0, 2.0, 1.0, false);
        for (int i = 0; i < CPingerMode::kSearchesBeforeReady; ++i) {
            auto ping = Ping(20000, kLast, kWidth);
            pinger.ProcessPingerSamples(ping.data(), 20000, kInterval, 130000000000000000ull + i * 10000000ull);
        }
        ASSERT_EQ(pinger.GetState(), CPingerMode::kTrackingState) << r.legend;
        ASSERT_EQ(pinger.GetPulsePosition(), kLast) << r.legend;
        const auto ping = Ping(20000, r.pulseAt, kWidth);
        EXPECT_EQ(pinger.FindPulse(ping.data(), 20000), r.found) << r.legend;
        EXPECT_EQ(pinger.GetPulsePosition(), r.position) << r.legend;
        EXPECT_EQ(pinger.GetPulseWidth(), kWidth) << r.legend;
    }
}

// Pings as the pinger sends them: one pulse per true period, at a fixed
// place in each ping; the sounder's ping times follow the pinger.
struct Scene
{
    double truePeriod;  // s
    int position;       // sample of the pulse
    int count = 20000;
    int width = 20;  // 2 ms at 0.1 ms
    std::int64_t start = 130000000000000000;
    int ping = 0;

    std::uint64_t Time() const { return static_cast<std::uint64_t>(start + std::llround(ping * truePeriod * 1e7)); }
    // The kept count.
    int Next(CPingerMode& pinger, std::vector<std::int16_t>* samples = nullptr)
    {
        auto s = Ping(count, position, width);
        const int kept = pinger.ProcessPingerSamples(s.data(), count, kInterval, Time());
        ++ping;
        if (samples)
            *samples = std::move(s);
        return kept;
    }
};

// The first 49 searches use the ping as it is and stay acquiring; the 50th
// makes the pinger ready (or starts the period measurement when asked for).
TEST(PingerMode, ReadyAfterFiftySearches)
{
    for (const bool sync : {false, true}) {
        Host host;
        CPingerMode pinger(host);
        SetUpPinger(pinger, host, 150.0, 500.0, 2.0, 1.0, sync);
        Scene scene{1.0, 3000};
        for (int i = 1; i < CPingerMode::kSearchesBeforeReady; ++i) {
            EXPECT_EQ(scene.Next(pinger), scene.count) << "search " << i;
            ASSERT_EQ(pinger.GetState(), CPingerMode::kAcquiring) << "search " << i;
        }
        EXPECT_TRUE(host.posts.empty());
        scene.Next(pinger);
        EXPECT_EQ(pinger.GetState(), sync ? CPingerMode::kSynchronisingState : CPingerMode::kTrackingState);
        ASSERT_EQ(host.posts.size(), 1u);
        EXPECT_EQ(host.posts[0].message, sync ? app::WM_ES_SHOWPINGERSYNC : app::WM_ES_SHOWPINGERREADY);
    }
}

// "Syncronize": 300 periods count down with the drift shown, then the
// period is the pinger's within 1e-4 s, "Pinger.dta" holds it, and the
// tracked distance is the pulse's; the samples then start at the pulse.
TEST(PingerMode, SynchronisesThePeriodAndTracksTheDistance)
{
    Host host;
    CPingerMode pinger(host);
    const double assumed = 1.0, actual = 1.0004;  // 0.6 m of drift per period
    SetUpPinger(pinger, host, 150.0, 400.0, 2.0, assumed, true);
    Scene scene{actual, 3000};
    for (int i = 0; i < CPingerMode::kSearchesBeforeReady; ++i)
        scene.Next(pinger);
    ASSERT_EQ(pinger.GetState(), CPingerMode::kSynchronisingState);
    int guard = 0;
    while (pinger.GetState() == CPingerMode::kSynchronisingState && ++guard < 1000)
        EXPECT_EQ(scene.Next(pinger), 0) << "synchronising pings are not used";
    ASSERT_EQ(pinger.GetState(), CPingerMode::kTrackingState);

    std::vector<int> left;
    for (const auto& p : host.posts)
        if (p.message == app::WM_ES_PINGERDRIFT) {
            left.push_back(static_cast<int>(p.w));
            EXPECT_NEAR(p.l, 60, 1) << "drift x 100 (m per period)";
        }
    ASSERT_EQ(left.size(), 300u);
    EXPECT_EQ(left.front(), 299);
    EXPECT_EQ(left.back(), 0);
    EXPECT_EQ(host.Count(app::WM_ES_HIDEPINGERSYNC), 1);
    EXPECT_EQ(host.Count(app::WM_ES_SHOWPINGERREADY), 1);
    EXPECT_NEAR(pinger.GetPeriod(), actual, 1e-4);
    double period = 0.0, pulse = 0.0;
    pinger.ReadDataFile(period, pulse);
    EXPECT_EQ(period, pinger.GetPeriod());

    std::vector<std::int16_t> samples;
    int kept = 0;
    for (int i = 0; i < 10; ++i)
        kept = scene.Next(pinger, &samples);
    const double distance = 3000 * kInterval * 750.0 - 100.0;
    EXPECT_NEAR(pinger.GetResult(), distance, 1.0);
    EXPECT_TRUE(pinger.IsTracking());
    EXPECT_EQ(kept, scene.count - 3000) << "the samples moved: count - position";
    EXPECT_EQ(samples[0], kPulse) << "the ping starts at the pulse";
    EXPECT_EQ(samples[static_cast<std::size_t>(scene.width)], kNoise);
}

// A pinger farther than 450 m above the given depth is not tracked: its
// depth stands for the bottom (synchronising) and the pings are not used.
// A pulse that jumps by more than 20 m of offset only starts a new
// reference; times before the reference count as negative periods.
TEST(PingerMode, FarPingerAndJumps)
{
    Host host;
    CPingerMode pinger(host);
    SetUpPinger(pinger, host, 150.0, 1000.0, 2.0, 1.0, false);
    Scene scene{1.0, 3000};
    for (int i = 0; i < CPingerMode::kSearchesBeforeReady + 10; ++i)
        scene.Next(pinger);
    EXPECT_TRUE(pinger.IsSynchronising());
    double depth = 0.0;
    ASSERT_TRUE(pinger.GetPingerDepth(depth));
    EXPECT_NEAR(depth, 125.0, 1.0);

    // A ping time half a period late: an offset of 750 m, no distance.
    const double before = pinger.GetResult();
    scene.start += 5000000;
    EXPECT_EQ(scene.Next(pinger), 0);
    EXPECT_EQ(pinger.GetResult(), before);
    // A clock set back by ten periods: no wrapped count, the reference moves.
    scene.start -= 100000000;
    EXPECT_EQ(scene.Next(pinger), 0);
    EXPECT_EQ(pinger.GetResult(), before);
    scene.Next(pinger);
    EXPECT_NEAR(pinger.GetResult(), before, 1e-9);
}

// In replay the sounder pings every 0.1 s; outside it the interval grows a
// little with the distance.
TEST(PingerMode, IntervalFollowsTheDistance)
{
    for (const bool replay : {false, true}) {
        Host host;
        host.replaying = replay;
        CPingerMode pinger(host);
        SetUpPinger(pinger, host, 150.0, 500.0, 2.0, 1.0, false);
        Scene scene{1.0, 3000};
        scene.Next(pinger);
        const double distance = 3000 * kInterval * 750.0 - 100.0;
        EXPECT_DOUBLE_EQ(pinger.GetParameter(), replay ? 0.1 : distance * 0.05 / 1500.0 + 1.0);
        EXPECT_DOUBLE_EQ(pinger.GetParameterScaled(), pinger.GetParameter() * 0.8);
    }
    // A pinger nearer than 100 m with a period shorter than the time that
    // takes off: the interval stays the period instead of going negative.
    Host host;
    CPingerMode pinger(host);
    SetUpPinger(pinger, host, 150.0, 500.0, 2.0, 1e-6, false);
    std::vector<std::int16_t> ping = Ping(3000, 900, 20);
    pinger.ProcessPingerSamples(ping.data(), 3000, kInterval, 130000000000000000ull);
    double seconds = 0.0;
    ASSERT_TRUE(pinger.GetPingInterval(seconds));
    EXPECT_DOUBLE_EQ(seconds, 1e-6);
}

// The ping-data thread's pings and the user-interface thread's set-up and
// readings share the state under the pinger's own lock.
TEST(PingerModeThreads, PingsAndReadersMeet)
{
    Host host;
    CPingerMode pinger(host);
    SetUpPinger(pinger, host, 150.0, 500.0, 2.0, 1.0, false);
    std::atomic<bool> stop{false};
    std::thread pings([&] {
        Scene scene{1.0, 3000, 4000};
        while (!stop.load())
            scene.Next(pinger);
    });
    double sum = 0.0;
    for (int i = 0; i < 2000; ++i) {
        sum += pinger.GetResult() + pinger.GetParameter();
        double d = 0.0;
        pinger.GetPingerDepth(d);
        pinger.SetActive(i % 2 == 0);
        sum += pinger.IsTracking() ? 1.0 : 0.0;
    }
    stop = true;
    pings.join();
    EXPECT_GT(sum, 0.0);
}

}  // namespace
