// The printing document: prints the channel layout's echograms on paper
// page after page while pings arrive, and keeps the same kind of page as
// history pictures, one bitmap file a page. It holds the print settings
// (registry key "Printer"), thins the pings it prints by the chosen speed,
// keeps the list of history files, starts and stops both jobs for the rest
// of the program, and hands status, annotation and navigation texts to its
// two views, the paper view and the history view.
//
// Threads: a printed ping reaches the views like any document's result,
// posted to the main window and run on the user-interface thread after the
// echogram views drew the same ping, where the columns are copied from
// them; the ping-data thread only counts.
// Start, stop and settings are the user-interface thread's; texts come from
// any thread. One lock (PageLock) guards every view's page and the history
// file list and number; a finished page is handed over whole to the one
// worker that writes or spools it.
#pragma once

#include "base/CommandTarget.h"
#include "display/AbstractESDoc.h"
#include "display/DisplayContext.h"
#include "display/HistoryPrinting.h"
#include "display/PrinterWorker.h"
#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class IPrintedEchogram;

// A view of the printing document as the document drives it: the paper
// view prints, the history view writes files. User-interface thread but
// for the texts.
class IPrinterPageView
{
public:
    virtual ~IPrinterPageView() = default;
    virtual bool IsHistoryView() const = 0;
    virtual bool HasHistoryJob() const = 0;
    virtual bool HasPaperJob() const = 0;
    // A new history page; false when none could be started.
    virtual bool StartHistoryJob() = 0;
    // The page so far is written.
    virtual void StopHistoryJob() = 0;
    // Page 1 of paper printing; false when no job could be started.
    virtual bool StartPaperJob() = 0;
    // The page so far is printed and the job ends.
    virtual void EndPaperJob() = 0;
    // A text beside the current column; false when no job runs.
    virtual bool AddText(const std::string& text, int priority) = 0;
    // One navigation telegram in `every` is printed.
    virtual void QueueNavigationText(const std::string& text, int every) = 0;
    virtual void ResetNavigationCounter() = 0;
};

// The printer of the user interface: the default printer and its set-up,
// and the settings dialog.
class IPrinterDevices
{
public:
    // What the settings dialog shows and edits.
    struct SPrintDialogValues
    {
        int annotation = 0, navigation = 0, status = 0, print = 0;
        int navigationTg = 0;
        int textBackground = 0;
        int speed = 0;
        int scaleAnnotation = 0, sounderDetails = 0;
        // Set by "Print Setup..", kept whatever the dialog ends with.
        int landscape = 0;
    };
    virtual ~IPrinterDevices() = default;
    // The default printer's defaults, with the orientation applied; false
    // without a default printer.
    virtual bool GetPrinterDefaults(bool landscape) = 0;
    // Runs the settings dialog; true on OK.
    virtual bool RunPrintDialog(SPrintDialogValues& values) = 0;

    // The history files as one copy: the list and the 1-based position of
    // its newest file (0: none).
    struct SHistoryFiles
    {
        bool exists = false;
        int newest = 0;
        std::vector<std::string> files;
    };
    // Runs the history dialog on a folder's files; `files` gives a fresh
    // copy whenever the dialog asks.
    virtual void RunHistoryDialog(std::function<SHistoryFiles()> files, const std::string& folder) = 0;
};

class CPrinterDoc final : public CAbstractESDoc, public IHistoryPrinting, public app::ICommandTarget
{
public:
    // The speed table: every n-th stored ping is printed.
    static constexpr std::array<int, 5> kSpeeds = {1, 2, 3, 5, 10};
    static constexpr const char* kKey = "Printer";

    struct SSettings
    {
        DWORD status = 1;
        DWORD navigation = 1;
        DWORD annotation = 1;
        DWORD scaleAnnotation = 1;
        DWORD sounderDetails = 0;
        DWORD printerOn = 0;
        DWORD orientationLandscape = 0;
        DWORD navigationTg = 60;
        DWORD textBackground = 0;
        DWORD printerEchogramSpeed = 0;
    };

    // One echogram of the layout: what was last printed beside it on paper
    // [0] and in the history [1].
    struct SViewAndRange
    {
        IPrintedEchogram* view = nullptr;
        std::array<std::string, 2> rangeText;
        std::array<int, 2> height{};
    };

    explicit CPrinterDoc(const SDisplayContext& context = {});
    ~CPrinterDoc() override;

    // Hooks of the program, set before start-up ends.
    // The folder the settings name for history files; empty: none named.
    // Read at every settings refresh and history start.
    void SetHistoryPathSource(std::function<std::string()> source);
    // The application refreshes the printing and its indicator.
    std::function<void()> refreshMainFrame;
    void SetDevices(IPrinterDevices* devices) { m_devices = devices; }
    // The registry key the "Printer" key lies under; by default the user's root.
    void SetRootKey(HKEY root) { m_root = root; }

    // The views.
    void AddPageView(IPrinterPageView* view);
    void RemovePageView(IPrinterPageView* view);

    // IHistoryPrinting
    void SetDefaults() override;
    void ResetSettings() override;
    void ApplyPrinterOn() override;
    bool IsPaperPrinting() const override;
    bool HasPrintingView() const override;
    void StartPrinting() override;
    void StopPrinting() override;
    void PrintStatusText(const std::string& text) override;
    void PrintAnnotationText(const std::string& text) override;
    void PrintNavigationText(const std::string& text) override;
    void ClearViewList() override;
    void CollectEchogramViews(CESDocList* documents, const std::vector<IPrintedEchogram*>& echograms) override;

    // The per-ping count: every n-th stored ping has the views draw it,
    // while a paper or history job runs.
    void OnSourceUpdate(int flag) override;

    // ICommandTarget: "Print...".
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(app::CCmdUI& ui) override;
    void OnFilePrint();

    void WriteSettings();
    void EndPaperPrinting();
    bool GetPrinterDefaults(bool landscape);
    int GetOrientation() const { return static_cast<int>(m_settings.orientationLandscape); }
    void SetOrientation(int landscape) { m_settings.orientationLandscape = landscape ? 1 : 0; }
    SSettings GetSettings() const;
    // The speed in force: a stored index outside the table counts as 0.
    int SpeedDivisor() const;

    // The history folder, rescanned when the settings name another.
    void RefreshHistoryFolder();
    // "History...": the folder refreshed, then the history dialog on it.
    void OpenHistoryDialog();
    // List and newest position under one lock.
    IPrinterDevices::SHistoryFiles GetHistoryList() const;
    std::string GetHistoryPath();
    // The folder as last refreshed; the caller holds the page lock.
    const std::string& GetHistoryPathLocked() const { return m_historyFolder; }
    std::vector<std::string> GetHistoryFiles() const;
    // The number the next history file takes, and the 1-based position of
    // the newest file in the list (0: none).
    int GetHistoryFileNumber() const;
    int GetNewestHistoryFile() const;
    // A history file was written: listed, and the number moves on.
    void HistoryFileWritten(const std::string& path, bool saving);

    // The views' page state and the history files, under one lock.
    std::mutex& PageLock() const { return m_pageLock; }
    CPrinterWorker& Worker() { return m_worker; }
    std::vector<SViewAndRange>& ViewList() { return m_viewList; }

private:
    void PostHistoryState(bool on, int number);
    // The switches the texts read on any thread, after a settings change.
    void PublishSwitches();
    std::vector<IPrinterPageView*> Views() const;
    // Whether a view runs a job, for the ping thread: refreshed wherever the
    // document starts or ends jobs or the views change. A job a view ends on
    // its own (a refused paper page) costs a few idle hand-offs until then.
    void RefreshJobs();
    struct SJobsRefresh
    {
        CPrinterDoc& doc;
        ~SJobsRefresh() { doc.RefreshJobs(); }
    };

    const SDisplayContext m_context;
    HKEY m_root = 0;
    IPrinterDevices* m_devices = nullptr;
    std::function<std::string()> m_historyPath;
    SSettings m_settings;
    std::atomic<int> m_pingCounter{0};
    std::atomic<bool> m_jobsRunning{false};
    std::atomic<DWORD> m_speed{0};
    std::atomic<bool> m_statusOn{true}, m_annotationOn{true}, m_navigationOn{true};
    std::atomic<int> m_navigationTg{60};
    std::vector<SViewAndRange> m_viewList;
    std::vector<IPrinterPageView*> m_views;

    mutable std::mutex m_pageLock;
    bool m_folderKnown = false;
    std::string m_historyFolder;
    std::vector<std::string> m_historyFiles;
    int m_historyFileNumber = 0;
    int m_newestHistoryFile = 0;

    // Last: it finishes its pages while the rest is still here.
    CPrinterWorker m_worker;
};
