// The serial I/O hub's depth telegrams of one channel with every telegram
// on (NMEA, FZ, Atlas, the record with its frequency fields), formatted and
// handed to the line; the line itself is left out.
#include "outputs/QYSerial.h"

#include <benchmark/benchmark.h>

namespace {

class CCountingHub final : public CQYSerial
{
public:
    using CQYSerial::CQYSerial;
    std::size_t bytes = 0;

protected:
    void Transmit(const std::string& text) override { bytes += text.size(); }
};

void BM_QYSerialSendDepth(benchmark::State& state)
{
    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    CCountingHub hub(host, sources, {});
    CQYSerial::Settings s;
    s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    s.AtlasChannel = {1, 1, 0, 0};
    s.FZChannel = {1, 1, 0, 0};
    s.ZelvarChannel = {1, 1, 0, 0};
    s.AddFrequency = 1;
    hub.StoreSettings(s);
    DepthReport r;
    r.SourceName = "T38 38 kHz";
    r.Depth = 42.5;
    r.DraughtAndOffset = 5.0;
    r.BottomLevel = -20.0;
    r.Frequency = 38000.0;
    r.TransducerDepth = 4.5;
    r.FurtherValue = 1490.0;
    std::uint64_t time = 134'000'000'000'000'000ULL;
    for (auto _ : state) {
        r.PingTime = time += 500'000;
        r.ChannelId = 0;
        hub.SendDepth(r);
        r.ChannelId = 1;
        hub.SendDepth(r);
    }
    benchmark::DoNotOptimize(hub.bytes);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2);  // channels
}
BENCHMARK(BM_QYSerialSendDepth);

}  // namespace
