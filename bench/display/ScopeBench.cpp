// The scope pane: the A-scope bars of one ping written into a 500-row
// surface, and one paint of the analog debug display with the four A/D
// columns and the amplitude column, the figures that bound what a pane
// adds to each ping on the user-interface thread.
#include "bench/OffscreenApp.h"
#include "display/EchogramDoc.h"
#include "display/ScopePicture.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/ui/ScopeView.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"

#include <QImage>
#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A ramp of echoes over every row, so that every row has a bar.
std::vector<std::int16_t> Ramp(int n)
{
    std::vector<std::int16_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(-6000 + (i * 37) % 6000);
    return v;
}

void BM_AScopePing500Rows(benchmark::State& state)
{
    constexpr int kWidth = 120, kHeight = 500, kStride = 120;
    std::vector<BYTE> bits(kStride * kHeight);
    const std::vector<std::int16_t> column = Ramp(kHeight);
    CColorScaleSettings scale;
    CScopePicture picture;
    CScopePicture::SColumn input;
    input.values = column.data();
    input.delivered = kHeight;
    input.bottomRow = 400;
    input.echogramType = 1;
    for (auto _ : state) {
        std::fill(bits.begin(), bits.end(), CScopePicture::kBackground);
        picture.DrawAScope(bits.data(), kStride, kWidth, kHeight, input, scale);
        benchmark::DoNotOptimize(bits.data());
    }
}
BENCHMARK(BM_AScopePing500Rows)->Unit(benchmark::kMicrosecond);

// Four A/D outputs of 187 samples with changing gains, and samples of a
// ramp in dB.
struct BenchScopeChannel : IScopeViewChannel
{
    void GetColorScale(CColorScaleSettings&) override {}
    ChannelParameters GetParameters() override { return {}; }
    void GetMotion(double (&motion)[6]) override { std::fill_n(motion, 6, 0.0); }
    double GetNoiseLevel() override { return -150.0; }
    bool GetBottom(double& level) override
    {
        level = -30.0;
        return true;
    }
    int GetBeamType() override { return 1; }
    bool GetSlopeAngle(double&) override { return false; }
    void GetPingRecord(ChannelPingRecord& record, double, int) override
    {
        record.Stride = 4;
        record.Count = 187;
        for (int k = 0; k < 748; ++k)
            record.Words[k] = static_cast<std::int16_t>(((k * 97) % 4096 - 2048) * 16 + k % 8);
    }
    void AddEchogramSamples(std::int16_t* out, int n, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = static_cast<std::int16_t>(-8000 + (i * 13) % 7000);
    }
    void AddEchogramAngles(std::uint16_t* out, int n, double, int) override { std::fill_n(out, n, 0x1020); }
    int GetScopeTrace(CChannel::TraceKind, int, double*, int, double, double, double& d) override
    {
        d = 0.0;
        return 0;
    }
    void GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) override
    {
        for (auto& c : out)
            c = {};
    }
    IBottomDetector::Limits GetBottomLimits() override { return {}; }
    void GetBottomSamplesDb(double* out, int n, int) override { std::fill_n(out, n, -100.0); }
    int RangeToSample(double, double) override { return 0; }
    double GetScopeSampleTime() override { return 0.0; }
};

// Argument: 1 the four A/D columns, 2 the amplitude column, 3 both.
void BM_AnalogDebugPaint(benchmark::State& state)
{
    const int variant = static_cast<int>(state.range(0));
    OffscreenApp();
    CStubEchogramChannel stub;
    CChannel channel{CChannel::Construction{}};
    CEchogramDoc doc;
    doc.SetChannel(&channel);
    doc.SetEchogramChannel(&stub);
    BenchScopeChannel access;
    auto view = std::make_unique<CScopeView>(&doc);
    view->SetChannelAccess(&access);
    view->resize(600, 500);
    QResizeEvent event(QSize(600, 500), QSize());
    QApplication::sendEvent(view.get(), &event);
    view->setAttribute(Qt::WA_PendingResizeEvent, false);
    view->OnInitialUpdate();
    CScopeDebugDlg& d = view->GetDebugDialog();
    d.SelectAnalog();
    for (int& ad : d.adOutput)
        ad = variant & 1;
    d.amplitude = (variant & 2) ? 1 : 0;
    d.ApplySettings();
    view->OnUpdate();
    QImage target(600, 500, QImage::Format_RGB32);
    for (auto _ : state) {
        // The pane is opaque: no background is drawn under it.
        view->render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(BM_AnalogDebugPaint)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
