// The rules the program keeps around the history printing: history saving
// follows operation control, a recording line and a replayed file start new
// pages while the message pane is on, and a replay's file, which comes on
// its trigger thread, reaches the printing on the link's own thread.
#include "program/PrintingLink.h"

#include "display/HistoryPrinting.h"
#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

class CLogPrinting final : public IHistoryPrinting
{
public:
    void SetDefaults() override {}
    void ResetSettings() override {}
    void ApplyPrinterOn() override {}
    bool IsPaperPrinting() const override { return false; }
    bool HasPrintingView() const override { return saving; }
    void StartPrinting() override { log.push_back("start"); }
    void StopPrinting() override { log.push_back("stop"); }
    void PrintStatusText(const std::string&) override {}
    void PrintAnnotationText(const std::string&) override {}
    void PrintNavigationText(const std::string&) override {}
    void ClearViewList() override {}
    void CollectEchogramViews(CESDocList*, const std::vector<IPrintedEchogram*>&) override {}

    bool saving = false;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

}  // namespace

TEST(PrintingLink, HistorySavingAndRecordingLinesStartAndStopPages)
{
    struct Case
    {
        const char* legend;
        bool paneOn, saving;
        void (*call)(app::CPrintingLink&);
        Log expected;
    };
    const auto savingOn = [](app::CPrintingLink& link) { link.HistorySaving(true); };
    const auto savingOff = [](app::CPrintingLink& link) { link.HistorySaving(false); };
    const auto lineOn = [](app::CPrintingLink& link) { link.RecordingLine(true); };
    const auto lineOff = [](app::CPrintingLink& link) { link.RecordingLine(false); };
    const Case cases[] = {
        {"saving switched on starts it", false, false, savingOn, {"start"}},
        {"saving switched on while it runs", false, true, savingOn, {}},
        {"saving switched off stops it", false, true, savingOff, {"stop"}},
        {"saving switched off while it does not run", false, false, savingOff, {}},
        {"a new line with the pane off", false, true, lineOn, {}},
        {"a new line starts a new page", true, true, lineOn, {"stop", "start"}},
        {"a new line starts saving", true, false, lineOn, {"start"}},
        {"the line's end stops saving", true, true, lineOff, {"stop"}},
        {"the line's end while not saving", true, false, lineOff, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        CLogPrinting printing;
        printing.saving = c.saving;
        app::CPrintingLink link(printing, [&c] { return c.paneOn; });
        c.call(link);
        EXPECT_EQ(printing.log, c.expected);
    }
}

TEST(PrintingLink, AReplayedFileRestartsARunningHistoryOnTheLinksThread)
{
    struct Case
    {
        const char* legend;
        bool paneOn, saving;
        Log expected;
    };
    const Case cases[] = {
        {"running, pane on", true, true, {"stop", "start"}},
        {"not running", true, false, {}},
        {"pane off", false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        CLogPrinting printing;
        printing.saving = c.saving;
        app::CPrintingLink link(printing, [&c] { return c.paneOn; });
        std::thread trigger([&] { link.PostReplayFileOpened(); });
        trigger.join();
        EXPECT_TRUE(printing.log.empty());
        // The request and a marker after it: once the marker is handled, so
        // is the request.
        bool marked = false;
        const HWND marker = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            marked = true;
            return 0;
        });
        PostMessage(marker, WM_USER, 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return marked; }, std::chrono::seconds(10)));
        DestroyWindow(marker);
        EXPECT_EQ(printing.log, c.expected);
    }
}
