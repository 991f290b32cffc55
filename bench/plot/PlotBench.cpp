// The plot window offscreen at 1200 x 800 with grid and markers: one full
// redraw of 100,000 points of a sound velocity profile (most share a pixel
// with their neighbour) and of 100,000 points scattered at random (every
// one a line and a marker of its own); and 100,000 points added one by one
// through the view, each told to both panes and drawn where it lands. The
// points view beside it: its list filled anew with 100,000 points (code 12),
// and 10,000 points added one by one at the top of the curve (code 1).
#include "bench/OffscreenApp.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PointList.h"
#include "plot/ui/PointsView.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <utility>

namespace {

constexpr int kPoints = 100000;

QApplication& App()
{
    return OffscreenApp();
}

// Column 1 of the view, listening as the points view will.
class CountingPane : public QWidget, public IGraphPane
{
public:
    long OnGraphMessage(const CGraphMessage&) override
    {
        ++heard;
        return 0;
    }
    long heard = 0;
};

// A warm surface layer over a thermocline, then slowly rising with depth.
double Velocity(double depth)
{
    return 1486.0 + 24.0 / (1.0 + std::exp((depth - 20.0) / 4.0)) + 0.016 * depth;
}

void Open(CGraphView& view, int plotWidth)
{
    view.resize(plotWidth + 15, 815);
    view.show();
    view.SetRangeOptions(plot::DF_MARKERS | plot::DF_GRID, 0);
}

// Full redraws of one curve of kPoints (velocity, -depth) points.
template <typename Point>
void FullRedraw(benchmark::State& state, Point point)
{
    App();
    CGraphView view;
    view.ShowPointsWindow(false);
    Open(view, 1200);
    const int slot = view.AddGraph(128, true, "curve", 0);
    for (int i = 0; i < kPoints; ++i) {
        const auto [velocity, depth] = point(i);
        view.AddPoint(slot, velocity, -depth, 0, 0, -1, 1);
    }
    view.FitToData();
    CGraphix* graphix = view.GetGraphix();
    for (auto _ : state)
        graphix->Redraw(false);
    state.counters["points/s"] = benchmark::Counter(kPoints, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FullRedrawProfile(benchmark::State& state)
{
    FullRedraw(state, [](int i) {
        const double depth = 300.0 * i / kPoints;
        return std::pair(Velocity(depth), depth);
    });
}
BENCHMARK(BM_FullRedrawProfile)->Unit(benchmark::kMillisecond);

void BM_FullRedrawScatter(benchmark::State& state)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> velocity(1400.0, 1700.0);
    std::uniform_real_distribution<double> depth(0.0, 300.0);
    FullRedraw(state, [&](int) { return std::pair(velocity(random), depth(random)); });
}
BENCHMARK(BM_FullRedrawScatter)->Unit(benchmark::kMillisecond);

void BM_AddPointBothPanes(benchmark::State& state)
{
    App();
    CGraphView view;
    auto* pane = new CountingPane;
    view.SetPointsPane(pane, pane);
    Open(view, 1200 + 180);
    view.SetAxisRanges(1400, 1700, -310, 10, 0);
    view.GetGraphix()->Redraw(false);
    for (auto _ : state) {
        state.PauseTiming();
        view.RemoveGraph(0, 0);
        const int slot = view.AddGraph(128, true, "profile", 0);
        state.ResumeTiming();
        for (int i = 0; i < kPoints; ++i) {
            const double depth = 300.0 * i / kPoints;
            view.AddPoint(slot, Velocity(depth), -depth, 1, 1, -1, 0);
        }
    }
    state.counters["points/s"] = benchmark::Counter(kPoints, benchmark::Counter::kIsIterationInvariantRate);
    benchmark::DoNotOptimize(pane->heard);
}
BENCHMARK(BM_AddPointBothPanes)->Unit(benchmark::kMillisecond);

// The plot with its points view, as the profile editor shows it.
struct PointsPlot
{
    PointsPlot()
    {
        view.SetPointsPane(points, points);
        Open(view, 1200 + 180);
        view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
        view.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
        view.SetAxisRanges(1400, 1700, -310, 10, 0);
    }
    QApplication& app = App();  // before any widget
    CGraphView view;
    CPointsView* points = new CPointsView;
};

void BM_PointsListFill(benchmark::State& state)
{
    PointsPlot plot;
    const int slot = plot.view.AddGraph(128, true, "profile", 1);
    for (int i = 0; i < kPoints; ++i) {
        const double depth = 300.0 * i / kPoints;
        plot.view.AddPoint(slot, Velocity(depth), -depth, 0, 0, -1, 1);
    }
    for (auto _ : state)
        plot.view.UpdatePointsWindow();
    if (plot.points->GetList()->GetItemCount() != kPoints)
        state.SkipWithError("the list was not filled");
    state.counters["rows/s"] = benchmark::Counter(kPoints, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PointsListFill)->Unit(benchmark::kMillisecond);

void BM_PointsInsertAtTop(benchmark::State& state)
{
    constexpr int kInserts = 10000;
    PointsPlot plot;
    for (auto _ : state) {
        state.PauseTiming();
        plot.view.RemoveGraph(0, 0);
        const int slot = plot.view.AddGraph(128, true, "profile", 1);
        state.ResumeTiming();
        for (int i = 0; i < kInserts; ++i)
            plot.view.AddPoint(slot, Velocity(i * 0.03), -i * 0.03, 1, 1, 0, 1);
    }
    if (plot.points->GetList()->GetItemCount() != kInserts)
        state.SkipWithError("the rows did not arrive");
    state.counters["rows/s"] = benchmark::Counter(kInserts, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PointsInsertAtTop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
