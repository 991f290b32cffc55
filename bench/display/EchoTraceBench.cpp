// The echo trace: one ping's update of the document with 99 targets (the
// detection aside: the channel hands a ready record), and one update of a
// 400 x 500 pane showing both pictures, the figures that bound what an echo
// trace adds to each ping on the ping thread and the user-interface thread.
#include "bench/OffscreenApp.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"
#include "display/ui/EchoTraceView.h"

#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// 99 targets spread over the window and the beam.
struct BenchChannel : IEchoTraceChannel
{
    BenchChannel()
    {
        scale.SetValueBySelector(2, -60.0);
        scale.SetInterval(3.0);
        record.Count = SingleTargetRecord::kMaxTargets;
        for (int i = 0; i < SingleTargetRecord::kMaxTargets; ++i) {
            TSTarget& t = record.Targets[static_cast<std::size_t>(i)];
            t.Range = 10.0 + 0.2 * i;
            t.TS = -60.0 + (i * 7) % 36;
            t.AlongAngle = (i % 9) - 4.0;
            t.AthwartAngle = (i % 7) - 3.0;
        }
    }
    int GetSingleTargets(SingleTargetRecord& out) override
    {
        out = record;
        return 1;
    }
    bool GetBottom(double& depth) override
    {
        depth = 100.0;
        return true;
    }
    int GetPingCount() override { return ++pings; }
    void GetColorScale(CColorScaleSettings& s) override { s = scale; }
    void GetBeam(int& type, double& along, double& athwart) override
    {
        type = 1;
        along = 7.0;
        athwart = 7.0;
    }
    CTSDetection* GetDetection() override { return nullptr; }
    SingleTargetRecord record;
    CColorScaleSettings scale;
    int pings = 0;
};

// The views' updates are left waiting; the queue keeps the newest.
struct NoViews : IViewUpdates
{
    void UpdateViews(CAbstractESDoc&) override {}
};

void BM_EchoTraceDocPing99Targets(benchmark::State& state)
{
    BenchChannel channel;
    NoViews views;
    SDisplayContext context;
    context.viewUpdates = &views;
    CEchogramDoc echogram(context);
    echogram.m_rangeReference = CEchogramDoc::SURFACE;
    echogram.m_start = 10.0;
    echogram.m_range = 30.0;
    echogram.SetViewCount(1000);
    CEchoTraceDoc doc(context);
    doc.SetEchoTraceChannel(&channel);
    doc.SetCompanion(&echogram);
    for (auto _ : state)
        doc.OnSourceUpdate(1);
}
BENCHMARK(BM_EchoTraceDocPing99Targets)->Unit(benchmark::kMicrosecond);

// Each ping's update drawn on the user-interface thread.
struct DirectViews : IViewUpdates
{
    void UpdateViews(CAbstractESDoc& document) override { document.UpdateAllViews(); }
};

void BM_EchoTraceViewUpdate400x500Both(benchmark::State& state)
{
    OffscreenApp();
    BenchChannel channel;
    DirectViews views;
    SDisplayContext context;
    context.viewUpdates = &views;
    CEchogramDoc echogram(context);
    echogram.m_rangeReference = CEchogramDoc::SURFACE;
    echogram.m_start = 10.0;
    echogram.m_range = 30.0;
    echogram.SetViewCount(1000);
    CEchoTraceDoc doc(context);
    doc.SetEchoTraceChannel(&channel);
    doc.SetCompanion(&echogram);
    doc.m_presentation = CEchoTraceDoc::kBoth;
    auto view = std::make_unique<CEchoTraceView>(&doc);
    view->resize(400, 500);
    QResizeEvent event(QSize(400, 500), QSize());
    QApplication::sendEvent(view.get(), &event);
    view->setAttribute(Qt::WA_PendingResizeEvent, false);
    view->OnInitialUpdate();
    for (int k = 0; k < 10; ++k)
        doc.OnSourceUpdate(1);
    for (auto _ : state)
        view->OnUpdate();
}
BENCHMARK(BM_EchoTraceViewUpdate400x500Both)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
