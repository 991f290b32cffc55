// The printing document: its settings in the registry, the ping thinning by
// speed, the jobs it starts and stops on its views, the texts it passes on,
// its dialog's values, and the history folder it scans.
#include "display/PrinterDoc.h"
#include "display/tests/TempFolder.h"
#include "display/tests/TestDisplayContext.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class CFakePageView final : public IPrinterPageView
{
public:
    explicit CFakePageView(bool history) : history(history) {}
    bool IsHistoryView() const override { return history; }
    bool HasHistoryJob() const override { return historyJob; }
    bool HasPaperJob() const override { return paperJob; }
    bool StartHistoryJob() override
    {
        log.push_back("start history");
        historyJob = canStart;
        return canStart;
    }
    void StopHistoryJob() override
    {
        log.push_back("stop history");
        historyJob = false;
    }
    bool StartPaperJob() override
    {
        log.push_back("start paper");
        paperJob = canStart;
        return canStart;
    }
    void EndPaperJob() override
    {
        log.push_back("end paper");
        paperJob = false;
    }
    bool AddText(const std::string& text, int priority) override
    {
        texts.push_back(text + "/" + std::to_string(priority));
        return true;
    }
    void QueueNavigationText(const std::string& text, int every) override
    {
        texts.push_back(text + " every " + std::to_string(every));
    }
    void ResetNavigationCounter() override { log.push_back("reset navigation"); }

    bool history;
    bool historyJob = false, paperJob = false, canStart = true;
    std::vector<std::string> log, texts;
};

class CFakeDevices final : public IPrinterDevices
{
public:
    bool GetPrinterDefaults(bool landscape) override
    {
        asked.push_back(landscape);
        return printer;
    }
    bool RunPrintDialog(SPrintDialogValues& values) override
    {
        shown = values;
        if (edit)
            edit(values);
        return ok;
    }
    void RunHistoryDialog(std::function<SHistoryFiles()> files, const std::string& folder) override
    {
        historyFolder = folder;
        historyFiles = std::move(files);
        if (whileOpen)
            whileOpen();
    }
    std::string historyFolder;
    std::function<SHistoryFiles()> historyFiles;
    std::function<void()> whileOpen;
    bool printer = true;
    bool ok = true;
    std::function<void(SPrintDialogValues&)> edit;
    SPrintDialogValues shown;
    std::vector<bool> asked;
};

class PrinterDocTest : public ::testing::Test
{
protected:
    PrinterDocTest()
    {
        root = reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", TRUE);
        doc.SetRootKey(root);
        doc.SetDevices(&devices);
        doc.AddPageView(&paper);
        doc.AddPageView(&history);
    }
    DWORD Stored(const char* name)
    {
        DWORD value = 12345;
        reg.GetDword(root, "Printer", name, value, FALSE);
        return value;
    }

    CTempHives hives;
    CRegistrySupport reg;
    HKEY root = 0;
    CTestDisplayContext context;
    CPrinterDoc doc{context.Context()};
    CFakeDevices devices;
    CFakePageView paper{false}, history{true};
};

TEST_F(PrinterDocTest, MissingValuesAreWrittenWithTheirDefaultsAndStoredOnesRead)
{
    ASSERT_TRUE(reg.SetDword(root, "Printer", "Status", 0));
    ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterEchogramSpeed", 3));
    doc.SetDefaults();
    const CPrinterDoc::SSettings s = doc.GetSettings();
    EXPECT_EQ(s.status, 0u);
    EXPECT_EQ(s.printerEchogramSpeed, 3u);
    EXPECT_EQ(s.navigationTg, 60u);
    EXPECT_EQ(Stored("NavigationTg"), 60u) << "a missing value is written";
    EXPECT_EQ(Stored("ScaleAnnotation"), 1u);
    EXPECT_EQ(Stored("SounderDetails"), 0u);
    EXPECT_EQ(Stored("Status"), 0u) << "a stored value stays";
    EXPECT_EQ(devices.asked, std::vector<bool>{false}) << "the orientation goes to the printer";

    doc.ResetSettings();
    EXPECT_EQ(Stored("Status"), 1u);
    EXPECT_EQ(Stored("PrinterEchogramSpeed"), 0u);
}

TEST_F(PrinterDocTest, EveryNthPingReachesTheViewsByTheSpeed)
{
    struct Case
    {
        const char* legend;
        DWORD stored;
        int pings, expected;
    };
    const Case cases[] = {
        {"1:1", 0, 7, 7},
        {"1:5", 3, 12, 2},
        {"1:10: only every tenth", 4, 25, 2},
        {"outside the table counts as 1:1", 7, 4, 4},
        {"far outside the table", 0xFFFFFFFF, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterEchogramSpeed", c.stored));
        CPrinterDoc fresh(context.Context());
        fresh.SetRootKey(root);
        fresh.SetDefaults();
        CFakePageView historyView{true};
        fresh.AddPageView(&historyView);
        fresh.StartPrinting();
        context.updates = 0;
        fresh.OnSourceUpdate(0);
        for (int i = 0; i < c.pings; ++i)
            fresh.OnSourceUpdate(1);
        EXPECT_EQ(context.updates, c.expected);
    }
}

TEST_F(PrinterDocTest, PingsReachTheViewsOnlyWhileAJobRuns)
{
    doc.SetDefaults();
    auto pings = [&](int n) {
        context.updates = 0;
        for (int i = 0; i < n; ++i)
            doc.OnSourceUpdate(1);
        return context.updates;
    };
    EXPECT_EQ(pings(3), 0) << "no job";
    doc.StartPrinting();
    EXPECT_EQ(pings(3), 3) << "history";
    doc.StopPrinting();
    EXPECT_EQ(pings(3), 0) << "history stopped";
    ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterOn", 1));
    doc.SetDefaults();
    doc.ApplyPrinterOn();
    ASSERT_TRUE(doc.IsPaperPrinting());
    EXPECT_EQ(pings(3), 3) << "paper";
    doc.EndPaperPrinting();
    EXPECT_EQ(pings(3), 0) << "paper ended";
    doc.StartPrinting();
    doc.RemovePageView(&history);
    EXPECT_EQ(pings(3), 0) << "the view with the job left";
}

TEST_F(PrinterDocTest, ASpeedChangedInTheDialogRestartsTheCount)
{
    doc.SetDefaults();
    doc.StartPrinting();
    devices.edit = [](IPrinterDevices::SPrintDialogValues& v) { v.speed = 1; };
    context.updates = 0;
    doc.OnSourceUpdate(1);  // 1:1 prints it
    EXPECT_EQ(context.updates, 1);
    doc.OnFilePrint();
    doc.OnSourceUpdate(1);
    EXPECT_EQ(context.updates, 1);
    doc.OnSourceUpdate(1);
    EXPECT_EQ(context.updates, 2);
    EXPECT_EQ(Stored("PrinterEchogramSpeed"), 1u);
}

TEST_F(PrinterDocTest, HistoryStartsAndStopsOnTheHistoryViewAlone)
{
    doc.StartPrinting();
    EXPECT_TRUE(doc.HasPrintingView());
    EXPECT_TRUE(paper.log.empty());
    doc.StartPrinting();
    EXPECT_EQ(history.log, std::vector<std::string>{"start history"}) << "a running job is not started again";
    doc.StopPrinting();
    doc.StopPrinting();
    EXPECT_EQ(history.log, (std::vector<std::string>{"start history", "stop history"}));
    EXPECT_FALSE(doc.HasPrintingView());
}

TEST_F(PrinterDocTest, PaperFollowsPrinterOnAndAJobThatCannotStartClearsItInMemoryOnly)
{
    ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterOn", 1));
    int refreshes = 0;
    doc.refreshMainFrame = [&] {
        ++refreshes;
        doc.ApplyPrinterOn();
    };
    doc.SetDefaults();
    EXPECT_EQ(refreshes, 1) << "PrinterOn set: the main frame is refreshed";
    EXPECT_TRUE(doc.IsPaperPrinting());
    EXPECT_TRUE(history.log.empty());

    devices.edit = [](IPrinterDevices::SPrintDialogValues& v) { v.print = 0; };
    doc.OnFilePrint();
    EXPECT_FALSE(doc.IsPaperPrinting()) << "switched off: the last page is printed";
    EXPECT_EQ(paper.log, (std::vector<std::string>{"start paper", "end paper"}));
    EXPECT_EQ(Stored("PrinterOn"), 0u);

    ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterOn", 1));
    paper.canStart = false;
    doc.SetDefaults();
    EXPECT_FALSE(doc.IsPaperPrinting());
    EXPECT_EQ(doc.GetSettings().printerOn, 0u);
    EXPECT_EQ(Stored("PrinterOn"), 1u) << "the registry keeps the wish";
}

TEST_F(PrinterDocTest, TextsPassOnlyUnderTheirSwitches)
{
    doc.SetDefaults();
    doc.PrintStatusText("status");
    doc.PrintAnnotationText("note");
    doc.PrintNavigationText("$GPGGA");
    EXPECT_EQ(history.texts, (std::vector<std::string>{"status/0", "note/1", "$GPGGA every 60"}));

    struct Case
    {
        const char* legend;
        std::function<void(IPrinterDevices::SPrintDialogValues&)> edit;
    };
    const Case cases[] = {
        {"all off", [](auto& v) { v.status = v.annotation = v.navigation = 0; }},
        {"navigation on, but every 0th telegram", [](auto& v) { v.navigationTg = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        doc.ResetSettings();
        devices.edit = c.edit;
        doc.OnFilePrint();
        paper.texts.clear();
        doc.PrintNavigationText("$GPGGA");
        if (std::string(c.legend) == "all off") {
            doc.PrintStatusText("status");
            doc.PrintAnnotationText("note");
        }
        EXPECT_TRUE(paper.texts.empty());
    }
    EXPECT_EQ(paper.log.back(), "reset navigation") << "a changed count restarts the views' counters";
}

TEST_F(PrinterDocTest, CancelKeepsEverythingButAnOrientationChosenBySetUp)
{
    doc.SetDefaults();
    devices.ok = false;
    devices.edit = [](IPrinterDevices::SPrintDialogValues& v) {
        v.landscape = 1;
        v.status = 0;
    };
    doc.OnFilePrint();
    EXPECT_EQ(doc.GetSettings().status, 1u);
    EXPECT_EQ(doc.GetOrientation(), 1);
    EXPECT_EQ(Stored("OrientationLandscape"), 0u) << "not written on Cancel";
    devices.ok = true;
    devices.edit = {};
    doc.OnFilePrint();
    EXPECT_EQ(devices.shown.landscape, 1);
    EXPECT_EQ(Stored("OrientationLandscape"), 1u) << "written with the next OK";
}

TEST_F(PrinterDocTest, PrintIsRoutedToTheDocumentAndAlwaysEnabled)
{
    app::CCmdUI ui;
    ui.id = app::cmd::FILE_PRINT;
    ui.enabled = false;
    EXPECT_TRUE(doc.OnUpdateCommand(ui));
    EXPECT_TRUE(ui.enabled);
    ui.id = app::cmd::HISTORY;
    EXPECT_FALSE(doc.OnUpdateCommand(ui));
    EXPECT_TRUE(doc.OnCommand(app::cmd::FILE_PRINT));
    EXPECT_FALSE(doc.OnCommand(app::cmd::HISTORY));
    EXPECT_EQ(devices.asked.size(), 1u);
}

TEST_F(PrinterDocTest, TheHistoryFolderIsScannedWhenItChangesAndNumbersFollowTheHighest)
{
    TempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string folder = tmp.File("history");
    std::filesystem::create_directories(folder);
    std::string named = folder;
    doc.SetHistoryPathSource([&] { return named; });
    const std::string cwd = std::filesystem::current_path().string();
    doc.RefreshHistoryFolder();
    EXPECT_EQ(doc.GetHistoryFileNumber(), 0) << "an empty folder";
    EXPECT_EQ(doc.GetNewestHistoryFile(), 0);
    EXPECT_EQ(doc.GetHistoryPath(), folder + "/");

    // Three files whose newest is the second in name order, and a foreign one.
    const std::pair<const char*, int> files[] = {{"H0003-D20260101-T000000.bmp", 100},
                                                 {"H0007-D20260101-T000100.bmp", 50},
                                                 {"H0005-D20260101-T000200.bmp", 1},
                                                 {"Harbour.bmp", 50}};
    for (const auto& [name, hours] : files) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "x";
        std::filesystem::last_write_time(path,
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(hours));
    }
    doc.RefreshHistoryFolder();
    EXPECT_EQ(doc.GetHistoryFiles().size(), 0u) << "the same folder is not scanned again";
    named = folder + "/";
    doc.SetHistoryPathSource([&] { return folder + "/./"; });
    doc.RefreshHistoryFolder();
    ASSERT_EQ(doc.GetHistoryFiles().size(), 4u);
    EXPECT_EQ(doc.GetNewestHistoryFile(), 2) << "H0005 sorts second and is the newest";
    EXPECT_EQ(doc.GetHistoryFileNumber(), 8) << "one above the highest number";
    EXPECT_EQ(std::filesystem::current_path().string(), cwd) << "the process's folder stays";

    doc.HistoryFileWritten(folder + "/H0008-D20260101-T010000.bmp", true);
    EXPECT_EQ(doc.GetHistoryFiles().size(), 5u) << "appended: no entry is overwritten";
    EXPECT_EQ(doc.GetHistoryFileNumber(), 9);
    EXPECT_EQ(doc.GetNewestHistoryFile(), 5);
}

TEST_F(PrinterDocTest, HistoryDialogOpensOnARefreshedFolderAndCopiesTheListAfresh)
{
    TempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string folder = tmp.File("history");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/H0001-D20260101-T000000.bmp") << "x";
    doc.SetHistoryPathSource([&] { return folder; });
    // A page written while the dialog is open reaches its next copy, and a
    // copy taken before stays as it was.
    IPrinterDevices::SHistoryFiles before, after;
    devices.whileOpen = [&] {
        before = devices.historyFiles();
        doc.HistoryFileWritten(folder + "/H0002-D20260101-T000100.bmp", true);
        after = devices.historyFiles();
    };
    doc.OpenHistoryDialog();
    EXPECT_EQ(devices.historyFolder, folder + "/");
    EXPECT_TRUE(before.exists);
    EXPECT_EQ(before.files.size(), 1u);
    EXPECT_EQ(before.newest, 1);
    EXPECT_EQ(after.files.size(), 2u);
    EXPECT_EQ(after.newest, 2);
}

}  // namespace
