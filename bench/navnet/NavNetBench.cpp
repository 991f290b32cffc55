// Decoder per sentence, formatter per telegram, and the network output of a
// ping of four channels with every telegram on, to a loopback sink.
#include "outputs/QYNet.h"
#include "sensors/GeographicInfo.h"
#include "sensors/Navigation.h"
#include "sensors/NavigationSettingsCache.h"
#include "sensors/NmeaDecoder.h"
#include "sensors/SensorHost.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>

namespace {

void BM_DecodeSentence(benchmark::State& state)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(2000);
    struct Host : CNoNmeaDecoderHost
    {
        CGeographicInfo* geo = nullptr;
        bool GetNavigationSettings(SNavigationSettings& s) override
        {
            s.PositionSource = 1;
            s.StartSequence = "$GPGGA";
            s.StartField = 1;
            s.NoOfFields = 6;
            return true;
        }
        bool IsSounderRunning() override { return true; }
        CGeographicInfo* GetGeographicInfo() override { return geo; }
    } host;
    host.geo = &geo;
    CNmeaDecoder decoder(&host);
    const std::string sentences[] = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
        "$HEHDT,274.07,T*19",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A*25",
        "$GPGLL,5957.1234,N,01045.6789,E,123521.00,A,A*65",
    };
    std::uint64_t t = 134'000'000'000'000'000ULL;
    std::size_t i = 0;
    for (auto _ : state) {
        decoder.ParseNmeaTelegram(sentences[i++ & 3], t += 1000, kNmeaFromSerial);
        if ((i & 63) == 0)
            geo.AddPing(t);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeSentence)->Unit(benchmark::kMicrosecond);

// The decoder's host as the program's: navigation's settings of each
// sentence asked of the navigation object behind its shared link (/0), or
// from the copy kept until navigation tells a change (/1).
class CNavigationDecoderHost : public CNoNmeaDecoderHost
{
public:
    CNavigationDecoderHost(std::shared_ptr<CNavigation> navigation, CGeographicInfo& geo, bool keepCopy)
        : m_navigation(std::move(navigation)), m_geo(geo), m_keepCopy(keepCopy)
    {
        m_navigation->SetSettingsChanged([this] { m_cache.Invalidate(); });
    }
    ~CNavigationDecoderHost() override { m_navigation->SetSettingsChanged({}); }
    bool GetNavigationSettings(SNavigationSettings& s) override
    {
        const auto read = [this](SNavigationSettings& fresh) { return Navigation()->GetNavigationSettings(fresh); };
        return m_keepCopy ? m_cache.Get(s, read) : read(s);
    }
    bool IsSounderRunning() override { return true; }
    CGeographicInfo* GetGeographicInfo() override { return &m_geo; }

private:
    std::shared_ptr<INavigationSteps> Navigation()
    {
        std::lock_guard lock(m_linkLock);
        return m_navigation;
    }
    std::mutex m_linkLock;
    std::shared_ptr<CNavigation> m_navigation;
    CGeographicInfo& m_geo;
    bool m_keepCopy;
    CNavigationSettingsCache m_cache;
};

std::shared_ptr<CNavigation> GgaNavigation(const ISensorHost& host, const IDepthTelegramSources& sources)
{
    auto navigation = std::make_shared<CNavigation>(host, sources);
    CNavigation::Settings s = CNavigation::ApplySentence(navigation->GetSettings(), 1);
    s.PositionSource = CNavigation::kSourceSerial;
    s.SpeedType = CNavigation::kSpeedSerial;
    s.DepthOutput = 1;
    s.ChannelSource = "T38 38 kHz hull port forward";
    navigation->StoreSettings(s);
    return navigation;
}

void BM_DecodeWithNavigation(benchmark::State& state)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(2000);
    const CLiveSensorHost sensorHost;
    const CNoDepthTelegramSources sources;
    CNavigationDecoderHost host(GgaNavigation(sensorHost, sources), geo, state.range(0) != 0);
    CNmeaDecoder decoder(&host);
    const std::string sentences[] = {
        "$GPGGA,123519,5957.1234,N,01043.5678,E,1,08,0.9,545.4,M,46.9,M,,*45",
        "$HEHDT,274.07,T*19",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A*25",
        "$SDDPT,63.25,0.5*50",
    };
    std::uint64_t t = 134'000'000'000'000'000ULL;
    std::size_t i = 0;
    for (auto _ : state) {
        decoder.ParseNmeaTelegram(sentences[i++ & 3], t += 1000, kNmeaFromSerial);
        if ((i & 63) == 0)
            geo.AddPing(t);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeWithNavigation)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// The settings read alone, as each sentence did it (/0) and does it (/1).
void BM_NavigationSettingsRead(benchmark::State& state)
{
    CGeographicInfo geo;
    const CLiveSensorHost sensorHost;
    const CNoDepthTelegramSources sources;
    CNavigationDecoderHost host(GgaNavigation(sensorHost, sources), geo, state.range(0) != 0);
    SNavigationSettings s;
    for (auto _ : state) {
        host.GetNavigationSettings(s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_NavigationSettingsRead)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

void BM_DepthTelegram(benchmark::State& state)
{
    const auto type = static_cast<std::uint32_t>(state.range(0));
    const CNoDepthTelegramSources sources;
    double depth = 12.34;
    for (auto _ : state) {
        auto s = FormatDepthTelegram(sources, type, 1, 0, 134'000'000'000'000'000ULL, depth, 1.5, 0.0, 0.1);
        benchmark::DoNotOptimize(s);
        depth += 0.01;
    }
}
BENCHMARK(BM_DepthTelegram)->DenseRange(0, 7)->Unit(benchmark::kNanosecond);

class FourChannels : public IQYNetPingSource
{
public:
    int GetChannelCount() override { return 4; }
    bool GetChannelPing(int i, SQYNetChannelPing& c) override
    {
        c.processed = true;
        c.pingTime = 134'000'000'000'000'000ULL;
        c.depth = 20.0 + i;
        c.second = 1.0;
        c.transducerDepth = 1.5;
        c.frequency = 38000.0;
        c.soundVelocity = 1490.0;
        c.pulseLength = 0.001;
        c.transducer = "T";
        return true;
    }
    bool GetSamples(int, std::int16_t* out, int n, double, double, int, int) override
    {
        for (int k = 0; k < n; ++k)
            out[k] = static_cast<std::int16_t>(k);
        return true;
    }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>& out) override
    {
        out.assign(10, {1.f, 2.f, 3.f, 4.f, 5.f});
        return 10;
    }
    double GetEnvironmentSoundVelocity() override { return 1490.0; }
    bool GetWaterTemperature(double& c) override
    {
        c = 8.0;
        return true;
    }
};

void BM_NetworkOutputPing(benchmark::State& state)
{
    CSocket sink;  // loopback sink; its buffer may overflow, which costs the sender nothing
    sink.Create(CSocket::Udp);
    sink.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    CQYNet net;
    CQYNet::Settings s;
    s.DestAddr = "127.0.0.1";
    s.DestPort = sink.LocalAddress().port;
    s.EchoTraceDatagram = s.ParameterDatagram = s.MotionSensorDatagram = s.TemperatureSensorDatagram = 1;
    s.DepthHymas = s.DepthNMEADatagramDBS = s.DepthNMEADatagramDPT = s.DepthNMEADatagramDBT = 1;
    s.DepthDatagram = {1, 1, 1, 1};
    s.Echogram = {1, 1, 1, 1};
    net.ApplySettings(s);
    FourChannels ping;
    std::vector<char> drain(70000);
    for (auto _ : state) {
        net.SendPingDatagrams(ping);
        net.SendPingTelegram(ping);
        state.PauseTiming();
        while (sink.ReceiveFrom(drain.data(), drain.size(), nullptr, 0) > 0) {
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NetworkOutputPing)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
