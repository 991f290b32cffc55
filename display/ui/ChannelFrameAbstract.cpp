#include "display/ui/ChannelFrameAbstract.h"

#include "display/DepthDoc.h"
#include "display/ESDocList.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"
#include "display/FrameDocuments.h"
#include "display/ui/DepthView.h"
#include "display/ui/EchoTraceView.h"
#include "display/ui/EchogramView.h"
#include "display/ui/ScopeView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QSplitter>

#include <algorithm>
#include <cmath>

CChannelFrameAbstract::CChannelFrameAbstract(int width, int height, const SFrameContext& context, QWidget* parent)
    : QMdiSubWindow(parent),
      CSerializeSupport(context.settingsFolder),
      m_context(context),
      m_width(width),
      m_height(height)
{
    // A thin border and no caption: the layout places the frame, the user
    // neither moves nor closes it.
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    if (width >= 0 && height >= 0)
        resize(width, height);
}

CChannelFrameAbstract::~CChannelFrameAbstract()
{
    IViewHost& host = m_context.views.Host();
    if (m_depthView)
        host.RegisterView(m_depthView->GetSafeHwnd(), false);
    for (CEchogramView* view : m_echogramViews)
        host.RegisterView(view->GetSafeHwnd(), false);
    for (CScopeView* view : m_scopeViews)
        host.RegisterView(view->GetSafeHwnd(), false);
    for (CEchoTraceView* view : m_echoTraceViews)
        host.RegisterView(view->GetSafeHwnd(), false);
    // A ping update running on another thread is waited for before the
    // documents go; the views go before the documents they show.
    DetachDocuments();
    delete m_outer;
    m_outer = nullptr;
    m_echogramViews.clear();
    m_scopeViews.clear();
    m_echoTraceViews.clear();
    m_docList.clear();
    m_ownedDocs.clear();
}

void CChannelFrameAbstract::closeEvent(QCloseEvent* event)
{
    // Only the layout takes a channel frame down.
    event->ignore();
}

void CChannelFrameAbstract::AttachDocuments(CESDocList* list)
{
    for (CAbstractESDoc* doc : m_docList) {
        doc->SetSource(list);
        doc->AttachToSource();
    }
}

void CChannelFrameAbstract::DetachDocuments()
{
    for (CAbstractESDoc* doc : m_docList)
        doc->DetachFromSource();
}

std::string CChannelFrameAbstract::SettingsFileName(const std::string& channelName, bool replaying)
{
    // A replayed channel is named "Replay ..." already; the mode's prefix
    // stands for it once.
    static const std::string replay = "Replay ";
    const bool named = replaying && channelName.rfind(replay, 0) == 0;
    std::string name = (replaying ? replay : "Normal ") + channelName.substr(named ? replay.size() : 0) + ".ser";
    for (char c : std::string("/\\:*?\"<>|"))
        std::replace(name.begin(), name.end(), c, '_');
    return name;
}

void CChannelFrameAbstract::SetChannel(CChannel* channel, const std::string& title, const std::string& channelName,
                                       bool replaying)
{
    for (CAbstractESDoc* doc : m_docList)
        doc->SetChannel(channel);
    setWindowTitle(QString::fromStdString(title));
    m_strFileName = SettingsFileName(channelName, replaying);
    LoadSettings();
}

bool CChannelFrameAbstract::SaveSettings()
{
    return !m_strFileName.empty() && CSerializeSupport::SaveSettings(m_strFileName) != 0;
}

bool CChannelFrameAbstract::LoadSettings()
{
    return !m_strFileName.empty() && CSerializeSupport::LoadSettings(m_strFileName) != 0;
}

void CChannelFrameAbstract::ArrangeViews()
{
    if (m_outer)
        m_outer->update();
}

void CChannelFrameAbstract::SetSharedMenu(unsigned menuId)
{
    m_sharedMenu = menuId;
    update();
}

void CChannelFrameAbstract::RealizeViewPalettes()
{
    for (CAbstractESDoc* doc : m_docList)
        doc->RealizeViewPalettes();
    for (CEchogramView* view : m_echogramViews)
        view->RealizeViewPalette();
    for (CEchoTraceView* view : m_echoTraceViews)
        view->RealizeViewPalette();
}

bool CChannelFrameAbstract::CreateOuter(int cx, int topHeight)
{
    m_outer = new QSplitter(Qt::Vertical);
    m_outer->setChildrenCollapsible(true);
    auto depth = std::make_unique<CDepthDoc>(m_context.documents);
    m_depthDoc = depth.get();
    m_docList.push_back(depth.get());
    m_ownedDocs.push_back(std::move(depth));
    m_depthView = new CDepthView(m_depthDoc, m_context.views, m_outer);
    m_depthView->resize(cx, topHeight);
    m_outer->addWidget(m_depthView);
    setWidget(m_outer);
    return true;
}

CEchogramDoc* CChannelFrameAbstract::AddEchogram(QSplitter* row, int width, int height)
{
    auto doc = std::make_unique<CEchogramDoc>(m_context.documents);
    CEchogramDoc* raw = doc.get();
    m_docList.push_back(raw);
    m_ownedDocs.push_back(std::move(doc));
    auto* view = new CEchogramView(raw, m_context.views, row);
    view->resize(width, height);
    row->addWidget(view);
    m_echogramViews.push_back(view);
    return raw;
}

CEchoTraceDoc* CChannelFrameAbstract::AddEchoTrace(QSplitter* row, int width, int height)
{
    auto doc = std::make_unique<CEchoTraceDoc>(m_context.documents);
    CEchoTraceDoc* raw = doc.get();
    m_docList.push_back(raw);
    m_ownedDocs.push_back(std::move(doc));
    auto* view = new CEchoTraceView(raw, m_context.views, row);
    view->resize(width, height);
    row->addWidget(view);
    m_echoTraceViews.push_back(view);
    return raw;
}

void CChannelFrameAbstract::AddScope(QSplitter* row, CEchogramDoc* document, int width, int height)
{
    // Large (its trace buffers), so on the heap like every pane.
    auto* view = new CScopeView(document, m_context.views, row);
    view->resize(width, height);
    row->addWidget(view);
    m_scopeViews.push_back(view);
}

void CChannelFrameAbstract::SendInitialUpdates()
{
    // Registered first: the initial update asks the main window for the palette.
    IViewHost& host = m_context.views.Host();
    if (m_depthView)
        host.RegisterView(m_depthView->GetSafeHwnd(), true);
    for (CEchogramView* view : m_echogramViews)
        host.RegisterView(view->GetSafeHwnd(), true);
    for (CScopeView* view : m_scopeViews)
        host.RegisterView(view->GetSafeHwnd(), true);
    for (CEchoTraceView* view : m_echoTraceViews)
        host.RegisterView(view->GetSafeHwnd(), true);
    if (m_depthView)
        m_depthView->OnInitialUpdate();
    for (CEchogramView* view : m_echogramViews)
        view->OnInitialUpdate();
    for (CScopeView* view : m_scopeViews)
        view->OnInitialUpdate();
    for (CEchoTraceView* view : m_echoTraceViews)
        view->OnInitialUpdate();
}

int CChannelFrameAbstract::ReferenceWidth() const
{
    return m_width >= 0 ? m_width : width();
}

double CChannelFrameAbstract::SafeRatio(double a, double b, double fallback)
{
    if (!(b > 0.0))
        return fallback;
    return CheckedShare(a / b, fallback);
}

double CChannelFrameAbstract::CheckedShare(double value, double fallback)
{
    return std::isfinite(value) && value >= 0.0 && value <= 1.0 ? value : fallback;
}

double CChannelFrameAbstract::CheckedHeight(double value, double fallback)
{
    // A depth row higher than any screen is as wrong as a negative one.
    return std::isfinite(value) && value >= 0.0 && value <= 10000.0 ? value : fallback;
}

void CChannelFrameAbstract::ApplyRowProportions(int h)
{
    const int top = static_cast<int>(m_topHeight);
    m_outer->setSizes({top, std::max(0, h - top)});
    const double rest = h - m_topHeight - 20.0;
    m_inner->setSizes(
        {std::max(0, static_cast<int>(rest * m_rowRatio)), std::max(0, static_cast<int>(rest * (1.0 - m_rowRatio)))});
}

void CChannelFrameAbstract::SerializeDocuments(CArchive& ar)
{
    CFrameDocuments::Serialize(ar, m_docList);
}

void CChannelFrameAbstract::SetDocumentDefaults()
{
    for (CAbstractESDoc* doc : m_docList)
        doc->SetDefaults();
}

void CChannelFrameAbstract::TakeRowProportions()
{
    const QList<int> outer = m_outer->sizes();
    const QList<int> rows = m_inner->sizes();
    if (outer.size() == 2 && outer[0] + outer[1] > 0)
        m_topHeight = outer[0];
    if (rows.size() == 2)
        m_rowRatio = SafeRatio(rows[0], rows[0] + rows[1], m_rowRatio);
}

CChannelFrameAbstract::RowIdeals CChannelFrameAbstract::DepthBarIdeals(int d, int h0, int h1, int t)
{
    RowIdeals ideals{h0, h1};
    if (d > 0 && d < h0) {
        ideals.upper = h0 - d;
    } else if (d > 0) {
        ideals.upper = 0;
        ideals.lower = d < h0 + h1 ? h0 + h1 - d : 0;
    } else {
        // Dragged up: the upper row grows by no more than the depth row had.
        ideals.upper = t + d > 0 ? h0 - d : h0 + t;
    }
    return ideals;
}

int CChannelFrameAbstract::ColumnBarIdeal(int dx, int w0, int w1)
{
    if (w0 + dx < 0)
        dx = -w0;
    return dx < w1 ? w1 - dx : -1;
}

void CChannelFrameAbstract::WatchSplitBars(bool firstColumnBar)
{
    // The bar between a splitter's first and second pane is its handle 1.
    if (m_outer && m_outer->count() > 1) {
        m_depthBar = m_outer->handle(1);
        m_depthBar->installEventFilter(this);
    }
    for (int r = 0; r < 2 && firstColumnBar; ++r)
        if (m_rows[r] && m_rows[r]->count() > 2) {
            m_columnBars[r] = m_rows[r]->handle(1);
            m_columnBars[r]->installEventFilter(this);
        }
}

bool CChannelFrameAbstract::PassThen(QObject* watched, QEvent* event, const std::function<void()>& after)
{
    watched->removeEventFilter(this);
    QCoreApplication::sendEvent(watched, event);
    watched->installEventFilter(this);
    after();
    return true;
}

bool CChannelFrameAbstract::eventFilter(QObject* watched, QEvent* event)
{
    const bool depthBar = watched == m_depthBar && m_depthBar;
    const bool columnBar = watched && (watched == m_columnBars[0] || watched == m_columnBars[1]);
    if (!depthBar && !columnBar)
        return QMdiSubWindow::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->globalPosition().toPoint();
    Drag& drag = depthBar ? m_rowDrag : m_columnDrag;
    if (type == QEvent::MouseButtonPress) {
        if (mouse->button() != Qt::LeftButton)
            return false;
        // The sizes before the drag: the splitter changes them as it goes.
        drag = Drag{};
        drag.active = true;
        if (depthBar) {
            const QList<int> rows = m_inner->sizes();
            drag.start = at.y();
            drag.size0 = rows.value(0);
            drag.size1 = rows.value(1);
            drag.size2 = m_outer->sizes().value(0);
        } else {
            const QList<int> columns = m_rows[0]->sizes();
            drag.start = at.x();
            drag.size0 = columns.value(0);
            drag.size1 = columns.value(1);
            drag.size2 = columns.value(2);
        }
        return false;
    }
    if (!drag.active || (type == QEvent::MouseMove && !(mouse->buttons() & Qt::LeftButton)))
        return false;
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->button() != Qt::LeftButton)
            return false;
        drag.active = false;
    }
    const int distance = (depthBar ? at.y() : at.x()) - drag.start;
    if (depthBar)
        return PassThen(watched, event, [this, distance] { FollowDepthBar(distance); });
    return PassThen(watched, event, [this, distance] { FollowColumnBar(distance); });
}

void CChannelFrameAbstract::FollowDepthBar(int d)
{
    if (!m_inner)
        return;
    const RowIdeals ideals = DepthBarIdeals(d, m_rowDrag.size0, m_rowDrag.size1, m_rowDrag.size2);
    // The lower row takes what the splitter left over, as the last pane of
    // a splitter does.
    const QList<int> rows = m_inner->sizes();
    const int available = rows.value(0) + rows.value(1);
    const int upper = std::clamp(ideals.upper, 0, available);
    m_inner->setSizes({upper, available - upper});
}

void CChannelFrameAbstract::FollowColumnBar(int dx)
{
    const Drag& drag = m_columnDrag;
    const int ideal = ColumnBarIdeal(dx, drag.size0, drag.size1);
    if (ideal < 0)
        return;
    const int first = drag.size0 + (drag.size1 - ideal);
    for (QSplitter* row : m_rows) {
        if (!row || row->count() < 3)
            continue;
        const QList<int> columns = row->sizes();
        const int total = columns.value(0) + columns.value(1) + columns.value(2);
        const int last = std::max(0, total - first - ideal);
        row->setSizes({first, total - first - last, last});
    }
}
