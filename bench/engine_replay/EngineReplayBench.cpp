// A generated recording of 4 channels x 10,000 power and angle samples
// replayed through the engine in one thread: the file read, each channel's
// intake, AddPing and ProcessPing (the bottom echogram and the detector),
// and with Sv and TS columns of every sample. Beside it, a block copy of
// the same bytes as the yardstick of what the memory allows; the same file
// replayed by the replay unit through the sounder's own threads without
// pacing; and the demo recording replayed at the maximum rate, for the
// share of a core its trigger thread takes.
//
//   bench_engine_replay
//   ZV_BENCH_ENGINE_FILE=/tmp/engine.raw bench_engine_replay   (kept, reused)
//   python3 bench/engine_replay/numpy_peer.py build/bench/engine_replay/bench_engine_replay
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "engine/Channel.h"
#include "engine/ChannelLinks.h"
#include "platform/TempHives.h"
#include "recording/Replay.h"
#include "recording/ReplayReader.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace zv::recording;
namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 4;
constexpr int kSamples = 10000;

// The recording, made once for the process: kept at ZV_BENCH_ENGINE_FILE
// when set (and reused when it is there), else in a temporary folder.
class CRecording
{
public:
    static const CRecording& Get()
    {
        static const CRecording r;
        return r;
    }
    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }
    ~CRecording()
    {
        if (!m_keep && !m_folder.empty())
            fs::remove_all(m_folder);
    }

private:
    CRecording()
    {
        const char* kept = std::getenv("ZV_BENCH_ENGINE_FILE");
        m_keep = kept && *kept;
        if (m_keep) {
            m_path = kept;
        } else {
            std::string t = "/tmp/zvbenchengineXXXXXX";
            m_folder = mkdtemp(t.data());
            m_path = (fs::path(m_folder) / "engine.raw").string();
        }
        if (m_keep && fs::exists(m_path))
            return;
        zv::recgen::SRecGenScene scene;
        for (double f : {38000.0, 70000.0, 120000.0, 200000.0}) {
            zv::recgen::SRecGenChannel c;
            c.frequencyHz = f;
            c.samples = kSamples;
            c.sampleInterval = 0.000025;
            scene.channels.push_back(c);
        }
        scene.pings = 200;
        scene.bottomDepth = 120.0;
        zv::recgen::CRecordingGenerator gen(scene);
        if (!gen.Write(m_path, nullptr, &m_error) && m_error.empty())
            m_error = "the recording could not be written";
    }

    bool m_keep = false;
    std::string m_folder, m_path, m_error;
};

// Settings files of the bottom detectors go to a folder of their own.
class CBenchLinks : public IChannelLinks
{
public:
    explicit CBenchLinks(std::string folder) : m_folder(std::move(folder)) {}
    std::string GetSettingsFolder() const override { return m_folder; }

private:
    std::string m_folder;
};

// The replay's hand-over to the channels, made from the file's configuration.
class CEngineSink : public IReplaySink
{
public:
    CEngineSink(const SConfiguration& config, IChannelLinks* links)
    {
        for (std::size_t i = 0; i < config.channels.size(); ++i) {
            const SConfigChannel& cc = config.channels[i];
            CChannel::Construction c;
            c.ChannelId = static_cast<std::int32_t>(i);
            c.Frequency = cc.frequency;
            c.ChannelName = "T" + std::to_string(static_cast<int>(cc.frequency / 1000)) + " bench";
            c.SourceName = c.ChannelName;
            c.Links = links;
            c.StandardParts = true;
            m_channels.push_back(std::make_unique<CChannel>(c));
        }
        m_scratch.resize(kSamples);
    }
    void OnPingStart(const SSampleView&) override {}
    void OnSample(const SSampleView& s) override
    {
        const std::size_t ch = s.header.channel - 1u;
        if (ch >= m_channels.size() || !s.power)
            return;
        CChannel& c = *m_channels[ch];
        if (m_first[ch]) {
            ChannelParameters p = c.GetParameters();
            p.SampleInterval = s.header.sampleInterval;
            p.SampleDistance = s.header.sampleInterval * s.header.soundVelocity * 0.5;
            p.PulseLength = s.header.pulseDuration;
            p.TransmitPower = s.header.power;
            p.Absorption = s.header.absorption;
            c.SetChannelParameters(p);
            m_first[ch] = false;
        }
        m_scratch.resize(s.count);
        s.power.CopyTo(std::span(m_scratch));
        c.AddPowerSamples(m_scratch.data(), static_cast<int>(s.count), 0);
        m_time = s.header.time;
    }
    void OnSentence(const std::string&, FileTime) override {}
    void OnAnnotation(const std::string&, FileTime) override {}
    void OnProfile(std::uint32_t, const std::string&, FileTime) override {}
    void OnUnknownDatagram(std::uint32_t) override {}

    // The ping-data thread's per-ping work for every channel.
    void ProcessPing(bool svTs)
    {
        for (auto& c : m_channels) {
            c->AddPing(m_time);
            double depth = 0.0;
            c->ProcessPing(&depth);
            benchmark::DoNotOptimize(depth);
            if (svTs) {
                const int n = c->GetSampleCount();
                m_column.resize(static_cast<std::size_t>(std::max(n, 1)));
                const double range = n * c->GetParameters().SampleDistance;
                c->GetPingSamples(m_column.data(), n, range, 0.0, CChannel::Sv, CChannel::FromTransducer);
                c->GetPingSamples(m_column.data(), n, range, 0.0, CChannel::TS, CChannel::FromTransducer);
                benchmark::DoNotOptimize(m_column.data());
            }
        }
    }

private:
    std::vector<std::unique_ptr<CChannel>> m_channels;
    bool m_first[8] = {true, true, true, true, true, true, true, true};
    std::vector<std::int16_t> m_scratch, m_column;
    FileTime m_time = 0;
};

// Arg 0: bottom only; 1: with Sv and TS of every sample.
void BM_EngineReplay(benchmark::State& state)
{
    const CRecording& rec = CRecording::Get();
    if (!rec.Error().empty()) {
        state.SkipWithError(rec.Error().c_str());
        return;
    }
    CReplayReader reader;
    std::string error;
    if (!reader.Open(rec.Path(), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const fs::path settings = fs::path(rec.Path()).parent_path() / "engine-bench-settings";
    fs::create_directories(settings);
    CBenchLinks links(settings.string());
    auto sink = std::make_unique<CEngineSink>(reader.Configuration(), &links);
    const bool svTs = state.range(0) != 0;
    std::int64_t pings = 0;
    for (auto _ : state) {
        if (reader.AtEnd())
            reader.Seek(0);
        if (reader.ReadPing(*sink).sawSample) {
            sink->ProcessPing(svTs);
            ++pings;
        }
    }
    state.SetItemsProcessed(pings);
    // The power and angle words of a ping: what a copy of them would move.
    state.SetBytesProcessed(pings * kChannels * kSamples * 4);
    sink.reset();
    reader.Close();
}
BENCHMARK(BM_EngineReplay)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The yardstick: a block copy of a ping's power and angle words, taken in
// turn from a buffer the size of the recording, so that they come from
// memory as the file's pings do, not from the cache.
void BM_MemcpyPing(benchmark::State& state)
{
    constexpr std::size_t kPing = kChannels * kSamples * 4;
    constexpr std::size_t kPings = 200;
    std::vector<char> from(kPing * kPings, 1), to(kPing);
    std::size_t ping = 0;
    for (auto _ : state) {
        std::memcpy(to.data(), from.data() + ping * kPing, kPing);
        ping = (ping + 1) % kPings;
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kPing));
}
BENCHMARK(BM_MemcpyPing)->Unit(benchmark::kMicrosecond);

// CPU seconds a thread of this process has run so far.
double ThreadCpuSeconds(pthread_t thread)
{
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0)
        return 0.0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The replay unit, noting the thread that triggers it: the trigger thread,
// which also reads the file.
class CNotedReplay : public CReplay
{
public:
    using CReplay::CReplay;
    int Trigger(int kind) override
    {
        if (!m_known.load(std::memory_order_acquire)) {
            m_thread = pthread_self();
            m_known.store(true, std::memory_order_release);
        }
        return CReplay::Trigger(kind);
    }
    bool Known() const { return m_known.load(std::memory_order_acquire); }
    pthread_t Thread() const { return m_thread; }

private:
    std::atomic<bool> m_known{false};
    pthread_t m_thread{};
};

// A recording replayed in a loop by the replay unit through CEchoSounder's
// trigger and ping-data threads, with settings in temporary hives; counts
// the pings the ping-data thread hands to the documents.
class CThreadedReplay
{
public:
    ~CThreadedReplay()
    {
        m_sounder.reset();  // joins both threads
        m_registry.CloseRootKeys();
    }

    bool Start(const std::string& path, int rateMode, std::string& error)
    {
        if (!m_registry.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\")) {
            error = "the settings hives could not be opened";
            return false;
        }
        m_files.AddTail(path);
        m_files.m_loop = 1;
        CEchoSounder::Context context;
        context.host = &m_host;
        context.workerStartDelayMs = 0;
        context.model = SounderModel::QY310;
        m_host.createReplay = [this](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
            if (!files)
                return nullptr;
            auto r = std::make_unique<CNotedReplay>(*files, nullptr);
            if (!r->IsOpen())
                return nullptr;
            m_replay = r.get();
            return r;
        };
        // The bench thread is woken only once the count it waits for is
        // reached, not for every ping: its wakes would load the threads it
        // measures.
        m_host.documentsNotify = [this] {
            bool reached = false;
            {
                std::lock_guard lock(m_lock);
                if (m_pings == 0)
                    m_pingThread = pthread_self();
                ++m_pings;
                reached = m_pings == m_wanted;
            }
            if (reached)
                m_changed.notify_one();
        };
        m_sounder = std::make_unique<CEchoSounder>();
        if (!m_sounder->Create(context, nullptr, CEchoSounder::kReplay, rateMode, &m_files,
                               CEchoSounder::kTriggerInternal, 0, "", 0)) {
            error = "the sounder could not be created";
            return false;
        }
        return true;
    }

    // Waits until at least `count` pings have been handed on; their count.
    std::uint64_t WaitFor(std::uint64_t count)
    {
        std::unique_lock lock(m_lock);
        m_wanted = count;
        m_changed.wait(lock, [&] { return m_pings >= count; });
        return m_pings;
    }
    std::uint64_t WaitBeyond(std::uint64_t seen) { return WaitFor(seen + 1); }
    double TriggerCpu() const { return m_replay && m_replay->Known() ? ThreadCpuSeconds(m_replay->Thread()) : 0.0; }
    double PingDataCpu()
    {
        std::lock_guard lock(m_lock);
        return m_pings > 0 ? ThreadCpuSeconds(m_pingThread) : 0.0;
    }

private:
    CTempHives m_hives;
    CRegistrySupport m_registry;
    CTestEchoSounderHost m_host;
    CReplayFileList m_files;
    CNotedReplay* m_replay = nullptr;  // owned by the sounder
    std::unique_ptr<CEchoSounder> m_sounder;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_pings = 0;
    std::uint64_t m_wanted = 1;
    pthread_t m_pingThread{};
};

// The generated recording through the real threads without pacing
// (interval mode without an interval): the time a ping of all four
// channels takes, to set beside BM_EngineReplay/0's one thread, and the
// CPU each thread spends on it.
void BM_ThreadedReplay(benchmark::State& state)
{
    const CRecording& rec = CRecording::Get();
    if (!rec.Error().empty()) {
        state.SkipWithError(rec.Error().c_str());
        return;
    }
    CThreadedReplay replay;
    std::string error;
    if (!replay.Start(rec.Path(), CEchoSounder::kInterval, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // From the first ping on: the start-up is not the replay's pace.
    std::uint64_t seen = replay.WaitBeyond(0);
    const double trigger0 = replay.TriggerCpu();
    const double ping0 = replay.PingDataCpu();
    const std::uint64_t first = seen;
    // An iteration a ping; the bench thread waits for a batch of them at a
    // time, never beyond the iterations of the run.
    const std::uint64_t last = first + static_cast<std::uint64_t>(state.max_iterations);
    std::uint64_t counted = first;
    for (auto _ : state)
        if (++counted > seen)
            seen = replay.WaitFor(std::min(counted + 63, last));
    const double pings = static_cast<double>(seen - first);
    state.counters["trigger_cpu_us"] = (replay.TriggerCpu() - trigger0) * 1e6 / pings;
    state.counters["ping_data_cpu_us"] = (replay.PingDataCpu() - ping0) * 1e6 / pings;
    state.SetItemsProcessed(static_cast<std::int64_t>(pings));
}
BENCHMARK(BM_ThreadedReplay)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The demo recording the build makes, replayed as the program starts it:
// at the maximum rate, which paces pings by the machine's load (the test
// host reports a load below the threshold, so pings follow as fast as the
// pacing allows). The trigger thread's CPU as a share of one core.
void BM_DemoTriggerShare(benchmark::State& state)
{
    if (!fs::exists(ZV_DEMO_RECORDING)) {
        state.SkipWithError("the demo recording is not built");
        return;
    }
    CThreadedReplay replay;
    std::string error;
    if (!replay.Start(ZV_DEMO_RECORDING, CEchoSounder::kMaximumRate, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::uint64_t seen = replay.WaitBeyond(0);
    const double trigger0 = replay.TriggerCpu();
    const auto wall0 = std::chrono::steady_clock::now();
    const std::uint64_t first = seen;
    for (auto _ : state)
        seen = replay.WaitBeyond(seen);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double trigger = replay.TriggerCpu() - trigger0;
    const double pings = static_cast<double>(seen - first);
    state.counters["trigger_share_pct"] = wall > 0.0 ? 100.0 * trigger / wall : 0.0;
    state.counters["trigger_cpu_us"] = trigger * 1e6 / pings;
    state.counters["pings_per_s"] = wall > 0.0 ? pings / wall : 0.0;
}
BENCHMARK(BM_DemoTriggerShare)->UseRealTime()->Iterations(400)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
