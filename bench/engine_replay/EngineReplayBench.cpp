// A generated recording of 4 channels x 10,000 power and angle samples
// replayed through the engine in one thread: the file read, each channel's
// intake, AddPing and ProcessPing (the bottom echogram and the detector),
// and with Sv and TS columns of every sample. Beside it, a block copy of
// the same bytes as the yardstick of what the memory allows.
//
//   bench_engine_replay
//   ZV_BENCH_ENGINE_FILE=/tmp/engine.raw bench_engine_replay   (kept, reused)
//   python3 bench/engine_replay/numpy_peer.py build/bench/engine_replay/bench_engine_replay
#include "engine/Channel.h"
#include "engine/ChannelLinks.h"
#include "recording/ReplayReader.h"
#include "sim/recgen/RecordingGenerator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
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

}  // namespace

BENCHMARK_MAIN();
