// The printing's cost on the user-interface thread: one printed ping of
// four 1900 × 500 echograms, a column on the paper page and one on the
// history page, with the page ends that come every page width included
// (each hands its page to the worker, which meanwhile writes a history
// file or prints a PDF page). Reported: the mean per ping, the
// longest single ping in wall time and in the thread's own time, and the
// longest page end. And the ping thread's wait in the update hand-off, as
// the program has it: each document's update is sent to the user-interface
// thread, which draws it while the ping thread waits; side by side without
// a printing document, with one whose jobs are off, and with paper and
// history printing on.
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "bench/OffscreenApp.h"
#include "bench/display/RampChannels.h"
#include "display/EchogramDoc.h"
#include "display/PrinterDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TempFolder.h"
#include "display/ui/EchogramView.h"
#include "display/ui/PaperPrinter.h"
#include "display/ui/PrinterDevices.h"
#include "display/ui/PrinterView.h"
#include "engine/Channel.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"

#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

namespace {

using bench::DirectViewUpdates;
using bench::RampChannel;
using bench::RampViewChannel;

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

// The program's hand-off: the document's update goes as a message to the
// window of the user-interface thread and the sender waits for it.
struct SentViewUpdates : IViewUpdates
{
    void UpdateViews(CAbstractESDoc& document) override
    {
        SendMessage(window, app::WM_ES_UPDATEALLVIEWS, 0, reinterpret_cast<LPARAM>(&document));
    }
    HWND window = 0;
};

struct Echogram
{
    explicit Echogram(const SDisplayContext& context = Context()) : doc(context)
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

// Arg 0: no printing document (four sends a ping); 1: the document joins
// the pings but prints nothing; 2: paper and history printing run. The
// iteration time is the ping thread's wait for the four echograms and the
// printing; page ends included.
void BM_PingThreadWaitWithPrinting(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    OffscreenApp();
    CTempHives hives;
    TempFolder folder;
    SentViewUpdates sent;
    SDisplayContext context;
    context.viewUpdates = &sent;
    sent.window = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM l) -> LRESULT {
        if (message == app::WM_ES_UPDATEALLVIEWS && l)
            reinterpret_cast<CAbstractESDoc*>(l)->UpdateAllViews();
        return 1;
    });
    CPdfPaperPrinter paper(QString::fromStdString(folder.File("")));
    CPrinterDevices devices(paper);
    std::vector<std::unique_ptr<Echogram>> echograms;
    std::vector<IPrintedEchogram*> views;
    for (int i = 0; i < 4; ++i) {
        echograms.push_back(std::make_unique<Echogram>(context));
        views.push_back(echograms.back()->view.get());
    }
    CPrinterDoc printer(context);
    printer.SetDevices(&devices);
    printer.SetHistoryPathSource([&] { return folder.File("history"); });
    CPrinterView paperView(printer, false, QSize(1920, 1080), &paper);
    CPrinterView historyView(printer, true, QSize(1920, 1080));
    printer.CollectEchogramViews(nullptr, views);
    CRegistrySupport reg;
    printer.SetRootKey(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\bench", TRUE));
    printer.SetDefaults();
    if (mode == 2) {
        printer.StartPrinting();
        paperView.StartPaperJob();
    }

    // The ping thread runs one ping when asked and reports its wait.
    std::atomic<bool> go{false}, done{false}, quit{false};
    double wait = 0.0;
    bool pageEnded = false;
    std::thread pings([&] {
        int lastColumn = 0;
        while (true) {
            while (!go.load() && !quit.load())
                std::this_thread::yield();
            if (quit.load())
                return;
            go.store(false);
            const auto start = std::chrono::steady_clock::now();
            for (auto& e : echograms)
                e->doc.OnSourceUpdate(1);
            if (mode > 0)
                printer.OnSourceUpdate(1);
            wait = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const int column = historyView.GetCurrentColumn();
            pageEnded = column < lastColumn;
            lastColumn = column;
            done.store(true);
            PostMessage(sent.window, WM_NULL, 0, 0);
        }
    });
    double longest = 0.0, pageEnd = 0.0;
    for (auto _ : state) {
        done.store(false);
        go.store(true);
        PumpUntil([&] { return done.load(); }, std::chrono::seconds(10));
        state.SetIterationTime(wait);
        longest = std::max(longest, wait);
        if (pageEnded)
            pageEnd = std::max(pageEnd, wait);
    }
    quit.store(true);
    pings.join();
    state.counters["longest_us"] = longest * 1e6;
    state.counters["page_end_us"] = pageEnd * 1e6;
    printer.StopPrinting();
    printer.EndPaperPrinting();
    printer.Worker().WaitIdle();
    DestroyWindow(sent.window);
}
BENCHMARK(BM_PingThreadWaitWithPrinting)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(4000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
