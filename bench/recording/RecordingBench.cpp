// Recorder cost per ping, replay pings per second over a large generated
// file, and resynchronisation speed over garbage.
//
//   bench_recording [--benchmark_filter=...]
//   ZV_BENCH_REPLAY_MB=1024 bench_recording --benchmark_filter=Replay
#include "recording/CreateXyz.h"
#include "recording/ReplayReader.h"
#include "recording/Store.h"
#include "sim/recgen/RecordingGenerator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <thread>

using namespace zv::recording;
namespace fs = std::filesystem;

namespace {

fs::path MakeTempFolder(const char* tag)
{
    std::string t = std::string("/tmp/zvbench") + tag + "XXXXXX";
    return fs::path(mkdtemp(t.data()));
}

// Eight (or fewer) channels of 10,000 power and angle samples each.
class CBenchSounder : public IStoreSounder
{
public:
    explicit CBenchSounder(std::size_t channels = 8) : m_channels(channels), m_power(10000), m_angle(10000)
    {
        for (std::size_t i = 0; i < m_power.size(); ++i) {
            m_power[i] = std::int16_t(i * 7);
            m_angle[i] = std::int16_t(i);
        }
    }
    bool IsReplaying() const override { return false; }
    int ReplaySaveDataOption() const override { return 0; }
    void GetReplayNames(std::string&, std::string&, std::string&, std::string&) const override {}
    std::string ProgramName() const override { return "BENCH"; }
    void MotionOffsets(double& x, double& y, double& z) const override { x = y = z = 0; }
    std::size_t ChannelCount() const override { return m_channels; }
    bool GetConfigChannel(std::size_t i, SConfigChannel& out) const override
    {
        out = SConfigChannel{};
        out.frequency = 38000.0 * double(i + 1);
        return true;
    }
    bool GetPingChannel(std::size_t, SSampleData& out) override
    {
        out = SSampleData{};
        out.header.time = ++time;
        out.power = m_power;
        out.angle = m_angle;
        return true;
    }
    bool GetChannelDepth(std::size_t, SDepthEntry& out) override
    {
        out = SDepthEntry{10.0, 0.0};
        return true;
    }
    bool GetProductChannel(std::size_t i, SProductChannel& out) const override
    {
        out = SProductChannel{};
        out.name = "Bench " + std::to_string(i + 1);
        out.frequency = 38000.0 * double(i + 1);
        out.sampleCount = std::uint32_t(m_power.size());
        out.rangePerSample = 0.1;
        out.soundVelocity = 1480.0;
        out.firstEchogramType = 3;
        out.lastPingTime = time;
        out.side = int(i % 2);
        return true;
    }
    bool GetPingSamples(std::size_t, std::int16_t* out, int n, double, double, int, int) override
    {
        // As a channel resamples its echogram into the window.
        for (int k = 0; k < n; ++k)
            out[k] = m_power[std::size_t(k) * m_power.size() / std::size_t(n)];
        return true;
    }
    FileTime PingTime() const override { return time; }
    bool PositionAtTime(FileTime, double& first, double& second) const override
    {
        first = 6030.0;
        second = 515.0;
        return true;
    }
    double HeadingAtTime(FileTime) const override { return 45.0; }
    double SoundVelocity() const override { return 1480.0; }
    std::string FileVersionText() const override { return "1.0.0.0"; }
    FileTime time = 1;

private:
    std::size_t m_channels;
    std::vector<std::int16_t> m_power, m_angle;
};

class CQuietEvents : public IStoreEvents
{
public:
    void RaiseAlarm(const std::string&) override {}
    void PostStatusMessage(const std::string&) override {}
    void RecordingState(bool, int) override {}
    void SendLogLine(const std::string&) override {}
    void Notify(const std::string&) override {}
};

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The recorder as it runs, its files synced once a second by its own
// thread: pings a second sustained, and the CPU of the whole process (the
// syncer's included) a ping. Given a rate (pings a second), the pings come
// at that rate, as a sounder sends them: the same bytes reach the disk a
// second whatever the recorder's own speed, so that the kernel's share of
// the work stays the same (at full speed, more of the writing back falls to
// the kernel's flusher threads, outside the process, the faster it runs).
void RecorderPings(benchmark::State& state, double rate)
{
    const fs::path dir = MakeTempFolder("store");
    CBenchSounder sounder;
    CQuietEvents events;
    SStoreSettings s;
    s.filePath = dir.string();
    s.saveRawData = 1;
    std::int64_t pings = 0, late = 0;
    double cpu = 0.0;
    std::uint64_t syncs = 0;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        const auto interval = std::chrono::nanoseconds(rate > 0 ? std::int64_t(1e9 / rate) : 0);
        auto next = std::chrono::steady_clock::now();
        const double cpu0 = ProcessCpuSeconds();
        for (auto _ : state) {
            if (rate > 0) {
                next += interval;
                const auto now = std::chrono::steady_clock::now();
                if (now < next) {
                    std::this_thread::sleep_until(next);
                } else if (now - next > 10 * interval) {
                    // Far behind: start again from now rather than in a burst.
                    next = now;
                    ++late;
                }
            }
            store.WritePing();
            ++pings;
            // Keep the disk use bounded: drop every file but the open one.
            if (pings % 300 == 0) {
                state.PauseTiming();
                for (const auto& e : fs::directory_iterator(dir))
                    if (e.path().string() != store.GetFilePath())
                        fs::remove(e.path());
                state.ResumeTiming();
            }
        }
        cpu = ProcessCpuSeconds() - cpu0;
        syncs = store.SyncedCount();
    }
    state.SetItemsProcessed(pings);
    state.counters["cpu_us_per_ping"] = pings ? cpu * 1e6 / double(pings) : 0.0;
    state.counters["syncs"] = double(syncs);
    if (rate > 0)
        state.counters["late"] = double(late);
    state.SetBytesProcessed(pings * 8 * (84 + 40000 + 8));
    fs::remove_all(dir);
}

void BM_RecorderPing8x10000(benchmark::State& state)
{
    RecorderPings(state, 0.0);
}
BENCHMARK(BM_RecorderPing8x10000)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(5.0);

void BM_RecorderPing8x10000Paced(benchmark::State& state)
{
    RecorderPings(state, double(state.range(0)));
}
BENCHMARK(BM_RecorderPing8x10000Paced)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(5.0);

// What the side products add to a ping on the ping-data thread: four
// channels of 10,000 samples recorded raw (range(0) 0), and with every
// product on (1): txt, geo, xyz and dg of every channel (windows of 250 and
// 500 samples) and an xtf file listing the four as sides (2000 samples a
// channel). Each ping's position sentence comes first, as the decoder hands
// it in between pings; it is counted in the ping.
void BM_RecorderPingProducts4x10000(benchmark::State& state)
{
    const fs::path dir = MakeTempFolder("products");
    CBenchSounder sounder(4);
    CQuietEvents events;
    SStoreSettings s;
    s.filePath = dir.string();
    s.saveRawData = 1;
    if (state.range(0)) {
        s.txt = s.geoRef = s.saveXyzData = s.saveEchogramData = s.saveXtfData = 1;
        for (int c = 0; c < 4; ++c)
            s.xyz[c] = s.echogram[c] = 1;
    }
    constexpr FileTime kSecond = 10'000'000;
    constexpr FileTime kStart = (11644473600ULL + 1782864000ULL) * kSecond;
    std::int64_t pings = 0;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        for (auto _ : state) {
            const FileTime t = kStart + FileTime(pings) * kSecond;
            char gga[96];
            std::snprintf(gga, sizeof gga, "$GPGGA,000000,60%07.4f,N,00515.000,E,1,08,0.9,5.4,M,46.9,M,,",
                          double(pings % 1000) * 0.01);
            store.WriteNmeaToFiles(gga, t - kSecond / 5);
            sounder.time = t;
            store.WritePing();
            store.WriteXtfPing();
            ++pings;
            if (pings % 300 == 0) {
                state.PauseTiming();
                for (const auto& e : fs::directory_iterator(dir))
                    if (e.path().string() != store.GetFilePath())
                        fs::remove(e.path());
                state.ResumeTiming();
            }
        }
    }
    state.SetItemsProcessed(pings);
    fs::remove_all(dir);
}
BENCHMARK(BM_RecorderPingProducts4x10000)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

// One position sentence parsed and one xyz line out, the depth placed
// between the sentence before and this one.
void BM_XyzSentenceAndLine(benchmark::State& state)
{
    CCreateXyz xyz;
    constexpr FileTime kSecond = 10'000'000;
    FileTime t = (11644473600ULL + 1782864000ULL) * kSecond;
    std::int64_t lines = 0;
    const std::string gga = "$GPGGA,000000,6030.1234,N,00515.0000,E,1,08,0.9,5.4,M,46.9,M,,";
    xyz.ParseSentence(gga, t);
    for (auto _ : state) {
        xyz.AddDepth(42.5, 0.0, t + kSecond / 2);
        t += kSecond;
        xyz.ParseSentence(gga, t);
        lines += !xyz.NextLine().empty();
    }
    if (lines != state.iterations())
        state.SkipWithError("a depth was not placed");
}
BENCHMARK(BM_XyzSentenceAndLine);

// The sample datagram alone, without the disk: one channel of 10,000 power
// and angle samples written field by field into a reused buffer.
void BM_BuildSample10000(benchmark::State& state)
{
    std::vector<std::int16_t> power(10000), angle(10000);
    for (std::size_t i = 0; i < power.size(); ++i) {
        power[i] = std::int16_t(i * 7);
        angle[i] = std::int16_t(i);
    }
    SSampleData data;
    data.header.time = 1;
    data.power = power;
    data.angle = angle;
    CFramedDatagram d;
    for (auto _ : state) {
        CDatagramWriter::BuildSample(data, d);
        benchmark::DoNotOptimize(d.BodyData());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(d.Framed().size()));
}
BENCHMARK(BM_BuildSample10000)->Unit(benchmark::kMicrosecond);

struct NullSink : IReplaySink
{
    void OnPingStart(const SSampleView& s) override { benchmark::DoNotOptimize(s.header.time); }
    void OnSample(const SSampleView& s) override
    {
        // Copy the samples out as replay does for a channel.
        scratch.resize(s.count);
        s.power.CopyTo(std::span(scratch));
        benchmark::DoNotOptimize(scratch.data());
    }
    void OnSentence(const std::string& t, FileTime) override { benchmark::DoNotOptimize(t.data()); }
    void OnAnnotation(const std::string&, FileTime) override {}
    void OnProfile(std::uint32_t, const std::string&, FileTime) override {}
    void OnUnknownDatagram(std::uint32_t) override {}
    std::vector<std::int16_t> scratch;
};

void BM_ReplayPings(benchmark::State& state)
{
    const char* mb = std::getenv("ZV_BENCH_REPLAY_MB");
    const double targetMb = mb ? std::atof(mb) : 256.0;
    const fs::path dir = MakeTempFolder("replay");
    zv::recgen::SRecGenScene scene;
    std::string error;
    zv::recgen::ApplySetting(scene, "channels=38,120", &error);
    zv::recgen::ApplySetting(scene, "samples=5000", &error);
    // About 20 kB a ping with two channels of 5000 samples and angles.
    const double perPing = 2 * (84 + 5000 * 4 + 8) + 3 * 100;
    scene.pings = std::max(1, int(targetMb * 1048576.0 / perPing));
    zv::recgen::CRecordingGenerator gen(scene);
    const fs::path file = dir / "large.raw";
    zv::recgen::SRecGenSummary sum;
    if (!gen.Write(file.string(), &sum, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CReplayReader reader;
    if (!reader.Open(file.string(), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    reader.BuildPositionTable();
    NullSink sink;
    std::int64_t pings = 0;
    for (auto _ : state) {
        if (reader.AtEnd())
            reader.Seek(0);
        pings += reader.ReadPing(sink).sawSample;
    }
    state.SetItemsProcessed(pings);
    state.counters["file_MB"] = double(sum.bytes) / 1048576.0;
    reader.Close();
    fs::remove_all(dir);
}
BENCHMARK(BM_ReplayPings)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(200000);

void BM_ResyncOver10MBGarbage(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(10 * 1048576);
    std::mt19937 rng(7);
    for (auto& b : bytes)
        b = std::uint8_t(rng());
    const CFramedDatagram tail = CDatagramWriter::BuildText(kTypeNME0, "$GPGGA,found", 1);
    bytes.insert(bytes.end(), tail.Framed().begin(), tail.Framed().end());
    for (auto _ : state) {
        CDatagramReader r(bytes.data(), bytes.size());
        SDatagramView v;
        int found = 0;
        while (r.Next(v))
            ++found;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_ResyncOver10MBGarbage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
