// The post-processing output's datagrams of a ping, and what the raw-data
// output adds to the recorder's thread per datagram, both to a loopback
// sink (drained outside the timing).
//
//   bench_outputs [--benchmark_filter=...]
#include "outputs/LX750.h"
#include "outputs/QYTriton.h"
#include "recording/Store.h"
#include "sensors/SpeedSource.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

class CSink
{
public:
    CSink()
    {
        m_socket.Create(CSocket::Udp);
        m_socket.Bind(SocketAddress(SocketAddress::kLoopback, 0));
        m_socket.SetReceiveBufferSize(1 << 24);
    }
    std::uint16_t Port() const { return m_socket.LocalAddress().port; }
    void Drain()
    {
        while (m_socket.ReceiveFrom(m_buffer.data(), m_buffer.size(), nullptr, 0) > 0) {
        }
    }

private:
    CSocket m_socket;
    std::vector<char> m_buffer = std::vector<char>(70000);
};

// Four channels with 30 single targets each.
class CFourChannels : public IQYNetPingSource
{
public:
    int GetChannelCount() override { return 4; }
    bool GetChannelPing(int i, SQYNetChannelPing& c) override
    {
        c.processed = true;
        c.pingTime = time;
        c.depth = 40.0 + i;
        c.frequency = 38000.0 * (i + 1);
        c.transceiverSoundVelocity = 1490.0;
        c.pulseLength = 0.001024;
        c.transducer = "T38 38 kHz";
        return true;
    }
    bool GetSamples(int, std::int16_t* out, int n, double, double, int, int) override
    {
        for (int k = 0; k < n; ++k)
            out[k] = std::int16_t(-k);
        return true;
    }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>& out) override
    {
        out.assign(30, {31.0f, -45.0f, -46.0f, 1.5f, -2.0f});
        return 30;
    }
    double GetEnvironmentSoundVelocity() override { return 1490.0; }
    bool GetWaterTemperature(double&) override { return false; }
    std::uint64_t time = 134'000'000'000'000'000ULL;
};

class CNoSpeed : public ISpeedSource
{
public:
    bool GetSpeedKnots(double&) const override { return false; }
};

// Per ping: PR (sound velocity once, then three per channel), Q of 500 + 200
// samples and E of 30 targets per channel: 18 datagrams.
void BM_PostProcessingPing(benchmark::State& state)
{
    CSink sink;
    CNoSpeed speed;
    CLX750 out(nullptr, speed, [] { return false; });
    CLX750::Settings s;
    s.DestPort = sink.Port();
    s.EchoTraceDatagram = s.EchogramDatagram = s.ParameterDatagram = 1;
    s.EchogramSurfaceCount = 500;
    s.EchogramBottomCount = 200;
    out.ApplySettings(s);
    CFourChannels ping;
    for (auto _ : state) {
        out.SendPingDatagrams(ping);
        ping.time += 10'000'000;
        state.PauseTiming();
        sink.Drain();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PostProcessingPing)->Unit(benchmark::kMicrosecond);

// Four channels of range(0) power and angle samples, recorded to no file.
class CStoreSounder : public zv::recording::IStoreSounder
{
public:
    explicit CStoreSounder(std::size_t samples) : m_power(samples), m_angle(samples)
    {
        for (std::size_t i = 0; i < samples; ++i) {
            m_power[i] = std::int16_t(i * 7);
            m_angle[i] = std::int16_t(i);
        }
    }
    bool IsReplaying() const override { return false; }
    int ReplaySaveDataOption() const override { return 0; }
    void GetReplayNames(std::string&, std::string&, std::string&, std::string&) const override {}
    std::string ProgramName() const override { return "BENCH"; }
    void MotionOffsets(double& x, double& y, double& z) const override { x = y = z = 0; }
    std::size_t ChannelCount() const override { return 4; }
    bool GetConfigChannel(std::size_t i, zv::recording::SConfigChannel& out) const override
    {
        out = zv::recording::SConfigChannel{};
        out.frequency = 38000.0 * double(i + 1);
        return true;
    }
    bool GetPingChannel(std::size_t, zv::recording::SSampleData& out) override
    {
        out = zv::recording::SSampleData{};
        out.header.time = ++time;
        out.power = m_power;
        out.angle = m_angle;
        return true;
    }
    bool GetChannelDepth(std::size_t, zv::recording::SDepthEntry& out) override
    {
        out = zv::recording::SDepthEntry{10.0, 0.0};
        return true;
    }
    // Read by the side products only, which this recording leaves off.
    bool GetProductChannel(std::size_t, zv::recording::SProductChannel&) const override { return false; }
    bool GetPingSamples(std::size_t, std::int16_t*, int, double, double, int, int) override { return false; }
    zv::recording::FileTime PingTime() const override { return time; }
    bool PositionAtTime(zv::recording::FileTime, double&, double&) const override { return false; }
    double HeadingAtTime(zv::recording::FileTime) const override { return 0.0; }
    double SoundVelocity() const override { return 1500.0; }
    std::string FileVersionText() const override { return {}; }
    zv::recording::FileTime time = 1;

private:
    std::vector<std::int16_t> m_power, m_angle;
};

class CQuietEvents : public zv::recording::IStoreEvents
{
public:
    void RaiseAlarm(const std::string&) override {}
    void PostStatusMessage(const std::string&) override {}
    void RecordingState(bool, int) override {}
    void SendLogLine(const std::string&) override {}
    void Notify(const std::string&) override {}
};

class CNoConfiguration : public IRawDataRecorder
{
public:
    void WriteConfiguration() override {}
};

// The recorder recording raw files of four channels of range(0) power and
// angle samples, without (range(1) 0) and with (1) the raw-data output on:
// the difference per datagram is what the output adds to the recorder's
// thread. Items are sample datagrams.
void BM_RecorderPingRawData(benchmark::State& state)
{
    std::string folder = "/tmp/zvbenchrawXXXXXX";
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    CSink sink;
    CNoConfiguration configuration;
    CQYTriton out(nullptr, configuration);
    if (state.range(1)) {
        const CQYTriton::DialogValues opened = out.GetDialogValues();
        CQYTriton::DialogValues on = opened;
        on.port = sink.Port();
        on.enabled = true;
        out.ApplyDialogValues(opened, on);
    }
    CStoreSounder sounder(std::size_t(state.range(0)));
    CQuietEvents events;
    zv::recording::SStoreSettings settings;
    settings.filePath = folder;
    settings.saveRawData = 1;
    {
        zv::recording::CStore store(sounder, events, &out, settings);
        store.OnToggleLogging();
        std::int64_t pings = 0;
        for (auto _ : state) {
            store.WritePing();
            if (++pings % 16 == 0) {
                state.PauseTiming();
                sink.Drain();
                // Keep the disk use bounded: drop every file but the open one.
                if (pings % 1024 == 0)
                    for (const auto& e : std::filesystem::directory_iterator(folder))
                        if (e.path().string() != store.GetFilePath())
                            std::filesystem::remove(e.path());
                state.ResumeTiming();
            }
        }
        if (store.UdpFailedCount() != 0)
            state.SkipWithError("raw-data sends failed");
    }
    std::filesystem::remove_all(folder);
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_RecorderPingRawData)
    ->ArgsProduct({{1000, 10000}, {0, 1}})
    ->ArgNames({"samples", "output"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// One body of range(0) bytes through the raw-data output's socket.
void BM_RawDataSend(benchmark::State& state)
{
    CSink sink;
    CNoConfiguration configuration;
    CQYTriton out(nullptr, configuration);
    const CQYTriton::DialogValues opened = out.GetDialogValues();
    CQYTriton::DialogValues on = opened;
    on.port = sink.Port();
    on.enabled = true;
    out.ApplyDialogValues(opened, on);
    const std::vector<std::uint8_t> body(std::size_t(state.range(0)), 0x5A);
    int n = 0;
    for (auto _ : state) {
        out.Send(body);
        if (++n % 64 == 0) {
            state.PauseTiming();
            sink.Drain();
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawDataSend)->Arg(528)->Arg(4084)->Arg(40084)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
