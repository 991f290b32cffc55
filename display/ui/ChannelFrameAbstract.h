// A channel's window in the screen layout: a depth row over a grid of
// echogram panes, with the documents behind them. The frame owns its
// documents and views, registers the documents with the sounder's document
// list and keeps the proportions of its panes, together with the documents'
// own settings, in a settings file per channel and mode.
//
// Each view registers with the document it shows, so a document reaches its
// views through the main window's update message, never through the frame.
//
// User-interface thread only.
#pragma once

#include "app/Skjerm.h"
#include "base/SerializeSupport.h"
#include "display/ui/ViewContext.h"
#include "platform/WinTypes.h"

#include <QMdiSubWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAbstractESDoc;
class CChannel;
class CDepthDoc;
class CDepthView;
class CEchoTraceDoc;
class CEchoTraceView;
class CEchogramDoc;
class CEchogramView;
class CESDocList;
class CScopeView;
class QSplitter;

class CChannelFrameAbstract : public QMdiSubWindow, public CSerializeSupport, public app::ILayoutFrame
{
    Q_OBJECT
public:
    // Row of the depth strip and the inner grid's minimum sizes.
    static constexpr int kMinimumTop = 12;
    static constexpr int kMinimumPane = 20;

    // The context goes to every document and view the frame makes.
    CChannelFrameAbstract(int width, int height, const SFrameContext& context = {}, QWidget* parent = nullptr);
    ~CChannelFrameAbstract() override;

    // Builds the splitters, documents and views for a client of cx × cy.
    virtual bool OnCreateClient(int cx, int cy) = 0;
    void AttachDocuments(CESDocList* list);
    void DetachDocuments();
    // Gives every document the channel, titles the frame, names the settings
    // file and loads it.
    void SetChannel(CChannel* channel, const std::string& title, const std::string& channelName, bool replaying);
    void RealizeViewPalettes();
    const std::vector<CAbstractESDoc*>& GetDocList() const { return m_docList; }

    // "Normal " or "Replay " + channel name + ".ser", with every character a
    // file name cannot hold replaced by "_"; a replayed channel's own
    // "Replay " is not repeated.
    static std::string SettingsFileName(const std::string& channelName, bool replaying);
    // Ideal heights of the echogram rows when the depth row's bar was
    // dragged by d pixels (down positive) from rows of h0 and h1 under a
    // depth row of t: the upper row gives and takes, so that the lower row
    // keeps its height; the lower row gives only what the upper one has not.
    struct RowIdeals
    {
        int upper = 0, lower = 0;
    };
    static RowIdeals DepthBarIdeals(int d, int h0, int h1, int t);
    // Ideal width of the echogram column when the first column bar was
    // dragged by dx from columns of w0 and w1, so that the column right of
    // it keeps its width; -1 when the drag passes the whole echogram column.
    static int ColumnBarIdeal(int dx, int w0, int w1);

    // The layout's view of the frame.
    bool SaveSettings() override;
    bool LoadSettings() override;
    void ArrangeViews() override;
    void SetSharedMenu(unsigned menuId) override;
    void SetDefaults() override = 0;

    int GetCreationWidth() const { return m_width; }
    int GetCreationHeight() const { return m_height; }
    QSplitter* OuterSplitter() const { return m_outer; }
    CDepthDoc* GetDepthDoc() const { return m_depthDoc; }
    const std::vector<CEchogramView*>& EchogramViews() const { return m_echogramViews; }
    const std::vector<CScopeView*>& ScopeViews() const { return m_scopeViews; }
    const std::vector<CEchoTraceView*>& EchoTraceViews() const { return m_echoTraceViews; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The drags of the depth row's bar and of the first column bar.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Watches the bars; frames with an echo trace column watch its bar too.
    void WatchSplitBars(bool firstColumnBar);

    // Helpers of the frame kinds.
    bool CreateOuter(int cx, int topHeight);
    CEchogramDoc* AddEchogram(QSplitter* row, int width, int height);
    // The echo trace pane of an echogram row, on a document of its own,
    // which the row's echogram document is then given to as companion.
    CEchoTraceDoc* AddEchoTrace(QSplitter* row, int width, int height);
    // The scope pane of an echogram row, on the row's echogram document.
    void AddScope(QSplitter* row, CEchogramDoc* document, int width, int height);
    void SendInitialUpdates();
    // Width that the ratios refer to: the creation width, else the current one.
    int ReferenceWidth() const;
    // Ratio a / b, or the fallback when b is not positive or the result is
    // not a share between 0 and 1.
    static double SafeRatio(double a, double b, double fallback);
    // A stored share or height: kept only when it is a number in range.
    static double CheckedShare(double value, double fallback);
    static double CheckedHeight(double value, double fallback);
    // The depth row's height and the share of the upper echogram row, set on
    // the splitters for a frame of height h, and read back from them.
    void ApplyRowProportions(int h);
    void TakeRowProportions();
    // The documents' own settings follow the frame's proportions in its
    // file, in the order the documents were made.
    void SerializeDocuments(CArchive& ar);
    void SetDocumentDefaults();

    const SFrameContext m_context;
    int m_width;
    int m_height;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    QSplitter* m_rows[2] = {};
    double m_topHeight = 20.0;
    double m_rowRatio = 0.65;
    CDepthDoc* m_depthDoc = nullptr;
    CDepthView* m_depthView = nullptr;
    std::vector<CAbstractESDoc*> m_docList;
    std::vector<std::unique_ptr<CAbstractESDoc>> m_ownedDocs;
    std::vector<CEchogramView*> m_echogramViews;
    std::vector<CScopeView*> m_scopeViews;
    std::vector<CEchoTraceView*> m_echoTraceViews;
    unsigned m_sharedMenu = 0;

private:
    void FollowDepthBar(int d);
    void FollowColumnBar(int dx);
    // Lets the splitter handle the event, then runs `after`.
    bool PassThen(QObject* watched, QEvent* event, const std::function<void()>& after);

    QWidget* m_depthBar = nullptr;
    QWidget* m_columnBars[2] = {};
    struct Drag
    {
        bool active = false;
        int start = 0;
        int size0 = 0, size1 = 0, size2 = 0;
    };
    Drag m_rowDrag;
    Drag m_columnDrag;
};
