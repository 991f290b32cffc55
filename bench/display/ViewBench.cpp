// The echogram view in a window: one ping's update of the view (picture,
// marks and the areas it marks for repainting) at 1900 × 500 and at twice
// that each way, which must cost no more per ping; the paint of what one
// ping leaves to repaint, and one full paint of a 1900 × 500 view; and a
// ping of four channels' views with the paint of all four, the figure that
// bounds the ping rate the display keeps up with.
#include "bench/OffscreenApp.h"
#include "bench/display/RampChannels.h"
#include "display/EchogramDoc.h"
#include "display/EchogramInteraction.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/ui/EchogramView.h"
#include "engine/Channel.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using bench::DirectViewUpdates;
QApplication& App()
{
    return OffscreenApp();
}

// What the marks read: three fresh net sensors, a synchronising pinger, a
// multi-pulse tracker, two external depth sources.
struct AllMarkSources : IEchogramMarkSources, IExternalDepthExchange
{
    void GetNetSensors(int states[INetSensors::kSensors], double depths[INetSensors::kSensors]) const override
    {
        for (int i = 0; i < INetSensors::kSensors; ++i) {
            states[i] = INetSensors::kFresh;
            depths[i] = 20.0 + 10.0 * i;
        }
    }
    bool GetPingerDepth(double& depth) const override
    {
        depth = 45.0;
        return true;
    }
    bool GetMultiPulseDepths(double& smoothed, double& period) const override
    {
        smoothed = 58.0;
        period = 0.0;
        return true;
    }
    std::vector<SExternalSource> GetSources() const override { return {{"T38 38 kHz", 61.0}, {"Geo", 59.5}}; }
};

// The ramp with its bottom, for the bottom line of the marks.
class BottomRampChannel : public bench::RampChannel
{
public:
    bool GetBottomDepth(double& d) override
    {
        d = 60.0;
        return true;
    }
};

struct Channel
{
    explicit Channel(int w, int h) : doc(Context())
    {
        CChannel::Construction cc;
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&ramp);
        doc.m_rangeReference = CEchogramDoc::SURFACE;
        doc.m_bottomShown = true;
        // Every mark the picture takes.
        doc.m_minuteMarker = doc.m_rangeOtherMarker = doc.m_newRangeMarker = doc.m_newSvpMarker = true;
        doc.m_purseSeineMarker = doc.m_externalDepth = doc.m_multiPulseMarker = doc.m_variableDepth = true;
        doc.m_eventMarker = doc.m_showAnnotation = doc.m_scale = true;
        doc.m_depthLines = 10;
        doc.m_variableDepthValue = 35.0;
        SViewContext views;
        views.markSources = &sources;
        view = std::make_unique<CEchogramView>(&doc, views);
        view->SetChannelAccess(&viewChannel);
        view->resize(w, h);
        QResizeEvent event(QSize(w, h), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->OnInitialUpdate();
    }
    SDisplayContext Context()
    {
        SDisplayContext context;
        context.viewUpdates = &updates;
        context.externalDepth = &sources;
        return context;
    }
    // A document's ping: its column from the channel, then its view.
    void Ping() { doc.OnSourceUpdate(1); }
    DirectViewUpdates updates;
    AllMarkSources sources;
    BottomRampChannel ramp;
    // A ping every 50 ms from a whole minute on.
    bench::RampViewChannel viewChannel{133000000000000000ull};
    std::unique_ptr<CChannel> channel;
    CEchogramDoc doc;
    std::unique_ptr<CEchogramView> view;
};

void BM_ViewUpdatePerPing(benchmark::State& state)
{
    App();
    Channel c(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        c.Ping();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ViewUpdatePerPing)
    ->Args({1900, 500})
    ->Args({3800, 500})
    ->Args({3800, 1000})
    ->Unit(benchmark::kMicrosecond);

// The view on the screen, one ping at a time: the next frame scrolls what
// the window shows (offscreen, a move of the window's whole backing store in
// this process; a display server moves its own copy), and the paint of the
// region the ping left to repaint. Timed apart, with the marker line over
// the picture and without it.
void ViewOnScreenPerPing(benchmark::State& state, bool timeScroll)
{
    App();
    Channel c(1900, 500);
    c.doc.m_variableDepth = state.range(0) != 0;
    c.view->show();
    c.Ping();
    c.view->FlushUpdates();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        c.Ping();
        if (timeScroll) {
            state.ResumeTiming();
            c.view->FlushUpdates();
            state.PauseTiming();
            QCoreApplication::processEvents();
        } else {
            c.view->FlushUpdates();
            state.ResumeTiming();
            QCoreApplication::processEvents();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}

void BM_ViewPaintPerPing(benchmark::State& state)
{
    ViewOnScreenPerPing(state, false);
}
BENCHMARK(BM_ViewPaintPerPing)->ArgName("marker_line")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ViewScrollPerPing(benchmark::State& state)
{
    ViewOnScreenPerPing(state, true);
}
BENCHMARK(BM_ViewScrollPerPing)->ArgName("marker_line")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ViewPaint(benchmark::State& state)
{
    App();
    Channel c(1900, 500);
    c.Ping();
    QImage target(1900, 500, QImage::Format_RGB32);
    for (auto _ : state) {
        c.view->render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(BM_ViewPaint)->Unit(benchmark::kMicrosecond);

// The tool tip's hit test as the mouse moves over the picture.
void BM_ToolHitTest(benchmark::State& state)
{
    App();
    Channel c(1900, 500);
    c.Ping();
    CEchogramInteraction::SToolHit tool;
    int x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.view->OnToolHitTest(QPoint(x, 250), &tool));
        x = (x + 7) % 1800;
    }
}
BENCHMARK(BM_ToolHitTest);

// Four channels in a 1900 × 1000 screen (four panes of 1900 × 250, as a
// layout stacks them): a ping updates all four and each is painted once.
void BM_FourChannelPingWithPaint(benchmark::State& state)
{
    App();
    std::vector<std::unique_ptr<Channel>> channels;
    for (int i = 0; i < 4; ++i)
        channels.push_back(std::make_unique<Channel>(1900, 250));
    QImage target(1900, 250, QImage::Format_RGB32);
    for (auto _ : state)
        for (auto& c : channels) {
            c->Ping();
            c->view->FlushUpdates();
            c->view->render(&target);
        }
    state.SetItemsProcessed(state.iterations());  // pings per second
}
BENCHMARK(BM_FourChannelPingWithPaint)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
