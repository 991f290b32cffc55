// The printing's cost on the user-interface thread: one printed ping of
// four 1900 × 500 echograms, a column on the paper page and one on the
// history page, with the page ends that come every page width included
// (each hands a copy of its page to the worker, which meanwhile writes a
// history file or prints a PDF page). Reported: the mean per ping, the
// longest single ping in wall time and in the thread's own time, and the
// longest page end.
#include "base/RegistrySupport.h"
#include "bench/OffscreenApp.h"
#include "display/EchogramDoc.h"
#include "display/PrinterDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TempFolder.h"
#include "display/ui/EchogramView.h"
#include "display/ui/PaperPrinter.h"
#include "display/ui/PrinterDevices.h"
#include "display/ui/PrinterView.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"

#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>

namespace {

struct DirectViewUpdates : IViewUpdates
{
    void UpdateViews(CAbstractESDoc& document) override { document.UpdateAllViews(); }
};

struct RampViewChannel : IEchogramViewChannel
{
    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -70.0);
        scale.SetInterval(3.0);
    }
    bool GetDepth(double& d) override
    {
        d = 60.0;
        return true;
    }
    bool IsSkipping() override { return false; }
    void SetSlopeHistorySize(int) override {}
    int GetSlopeHalfPointCount() override { return 0; }
    void UpdateSlopeValidity(bool) override {}
    bool GetSlopeAngle(double&) override { return false; }
    bool GetSecondSide(const std::string&, std::vector<std::int16_t>&) override { return false; }
    std::uint64_t GetPingTime() override { return pingTime += 500000; }
    double GetSoundVelocity() override { return 1500.0; }
    std::uint64_t pingTime = 0;
};

class RampChannel : public CStubEchogramChannel
{
public:
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = static_cast<std::int16_t>(-6000 + (i % 400) * 10);
        return true;
    }
};

double ThreadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

SDisplayContext Context()
{
    static DirectViewUpdates updates;
    SDisplayContext context;
    context.viewUpdates = &updates;
    return context;
}

struct Echogram
{
    Echogram() : doc(Context())
    {
        CChannel::Construction cc;
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&samples);
        doc.m_range = 100.0;
        doc.m_rangeReference = CEchogramDoc::SURFACE;
        view = std::make_unique<CEchogramView>(&doc);
        view->SetChannelAccess(&levels);
        view->resize(1900, 500);
        QResizeEvent event(QSize(1900, 500), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->OnInitialUpdate();
        doc.OnSourceUpdate(1);
    }
    std::unique_ptr<CChannel> channel;
    RampChannel samples;
    RampViewChannel levels;
    CEchogramDoc doc;
    std::unique_ptr<CEchogramView> view;
};

void BM_PrintedPingOfFourEchograms(benchmark::State& state)
{
    OffscreenApp();
    CTempHives hives;
    TempFolder folder;
    CPdfPaperPrinter paper(QString::fromStdString(folder.File("")));
    CPrinterDevices devices(paper);
    std::vector<std::unique_ptr<Echogram>> echograms;
    std::vector<IPrintedEchogram*> views;
    for (int i = 0; i < 4; ++i) {
        echograms.push_back(std::make_unique<Echogram>());
        views.push_back(echograms.back()->view.get());
    }
    CPrinterDoc printer(Context());
    printer.SetDevices(&devices);
    printer.SetHistoryPathSource([&] { return folder.File("history"); });
    {
        CPrinterView paperView(printer, false, QSize(1920, 1080), &paper);
        CPrinterView historyView(printer, true, QSize(1920, 1080));
        printer.CollectEchogramViews(nullptr, views);
        CRegistrySupport reg;
        printer.SetRootKey(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\bench", TRUE));
        printer.SetDefaults();
        printer.StartPrinting();
        paperView.StartPaperJob();
        // Wall time includes the machine's other work; the thread's own
        // time is what the printing costs it.
        double longest = 0.0, longestCpu = 0.0, pageEnds = 0.0;
        std::int64_t pings = 0;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = ThreadCpuMicroseconds();
            printer.UpdateAllViews();
            const double cpu = ThreadCpuMicroseconds() - cpuStart;
            const double us =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
            longest = std::max(longest, us);
            longestCpu = std::max(longestCpu, cpu);
            if ((pings + 1) % 960 == 0)
                pageEnds = std::max(pageEnds, us);
            ++pings;
        }
        state.counters["longest_us"] = longest;
        state.counters["longest_cpu_us"] = longestCpu;
        state.counters["page_end_us"] = pageEnds;
        state.counters["pages"] = static_cast<double>(pings / 960);
        printer.StopPrinting();
        printer.EndPaperPrinting();
        printer.Worker().WaitIdle();
    }
}
BENCHMARK(BM_PrintedPingOfFourEchograms)->Unit(benchmark::kMicrosecond)->Iterations(4000);

}  // namespace

BENCHMARK_MAIN();
