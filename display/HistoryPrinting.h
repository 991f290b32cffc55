// The history printing as the rest of the program reaches it: the one
// printing document, which prints the channel layout's echograms on paper
// page after page and keeps them as history pages, one file a page. The
// shell refreshes its settings and shows its state, operation control
// switches history saving, the recorder and replay start new pages, the
// screen layout hands over its echograms, and the status, annotation and
// navigation texts are printed beside them.
//
// Threads: its calls come on the user-interface thread, except the texts,
// which come on whichever thread has them; the printing locks for itself.
#pragma once

#include <string>
#include <vector>

class CESDocList;
class IPrintedEchogram;

class IHistoryPrinting
{
public:
    virtual ~IHistoryPrinting() = default;

    // Settings: read again (the end of start-up, a frame's settings
    // changed), and the factory settings written (operation control's reset).
    virtual void SetDefaults() = 0;
    virtual void ResetSettings() = 0;
    // Paper printing started or stopped as the settings say; whether a paper
    // job runs (the status bar's printing indicator).
    virtual void ApplyPrinterOn() = 0;
    virtual bool IsPaperPrinting() const = 0;

    // History saving: whether a view saves history; a new history page on
    // every view that does not; the pages so far written and saving ended.
    virtual bool HasPrintingView() const = 0;
    virtual void StartPrinting() = 0;
    virtual void StopPrinting() = 0;

    // Texts printed beside the echograms, each under its own switch.
    virtual void PrintStatusText(const std::string& text) = 0;
    virtual void PrintAnnotationText(const std::string& text) = 0;
    virtual void PrintNavigationText(const std::string& text) = 0;

    // The screen layout: its echogram views leave, and the printing leaves
    // the layout's document list, before its frames go; once it is
    // arranged, the printing takes its echogram views and joins the list
    // of documents that take the pings.
    virtual void ClearViewList() = 0;
    virtual void CollectEchogramViews(CESDocList* documents, const std::vector<IPrintedEchogram*>& echograms) = 0;
};

// The printing the program does not have yet: named, so that the program
// can list it as absent; it prints nothing and never saves history.
class CAbsentHistoryPrinting final : public IHistoryPrinting
{
public:
    explicit CAbsentHistoryPrinting(const char* name) : m_name(name) {}
    const char* Name() const { return m_name; }

    void SetDefaults() override {}
    void ResetSettings() override {}
    void ApplyPrinterOn() override {}
    bool IsPaperPrinting() const override { return false; }
    bool HasPrintingView() const override { return false; }
    void StartPrinting() override {}
    void StopPrinting() override {}
    void PrintStatusText(const std::string&) override {}
    void PrintAnnotationText(const std::string&) override {}
    void PrintNavigationText(const std::string&) override {}
    void ClearViewList() override {}
    void CollectEchogramViews(CESDocList*, const std::vector<IPrintedEchogram*>&) override {}

private:
    const char* m_name;
};
