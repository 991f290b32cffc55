#include "display/ui/ChannelFrameAbstract.h"

#include "display/DepthDoc.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "display/ui/DepthView.h"
#include "display/ui/EchogramView.h"

#include <QCloseEvent>
#include <QSplitter>

#include <algorithm>
#include <cmath>

namespace
{
std::vector<CChannelFrameAbstract*>& LiveFrames()
{
    static std::vector<CChannelFrameAbstract*> frames;
    return frames;
}
std::function<void(HWND, bool)>& Registration()
{
    static std::function<void(HWND, bool)> hook;
    return hook;
}
} // namespace

void CChannelFrameAbstract::SetViewRegistration(std::function<void(HWND, bool)> hook)
{
    Registration() = std::move(hook);
}

CChannelFrameAbstract::CChannelFrameAbstract(int width, int height, QWidget* parent)
    : QMdiSubWindow(parent), m_width(width), m_height(height)
{
    // A thin border and no caption: the layout places the frame, the user
    // neither moves nor closes it.
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    if (width >= 0 && height >= 0)
        resize(width, height);
    LiveFrames().push_back(this);
}

CChannelFrameAbstract::~CChannelFrameAbstract()
{
    std::erase(LiveFrames(), this);
    if (Registration())
    {
        if (m_depthView)
            Registration()(m_depthView->GetSafeHwnd(), false);
        for (CEchogramView* view : m_echogramViews)
            Registration()(view->GetSafeHwnd(), false);
    }
    // A ping update running on another thread is waited for before the
    // documents go; the views go before the documents they show.
    DetachDocuments();
    delete m_outer;
    m_outer = nullptr;
    m_echogramViews.clear();
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
    for (CAbstractESDoc* doc : m_docList)
    {
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
    std::string name = (replaying ? "Replay " : "Normal ") + channelName + ".ser";
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
}

bool CChannelFrameAbstract::UpdateViewsOf(const void* document)
{
    bool found = false;
    for (CChannelFrameAbstract* frame : LiveFrames())
    {
        if (frame->m_depthDoc == document && frame->m_depthView)
        {
            frame->m_depthView->OnUpdate();
            found = true;
        }
        for (CEchogramView* view : frame->m_echogramViews)
            if (view->GetDocument() == document)
            {
                view->OnUpdate();
                found = true;
            }
    }
    return found;
}

bool CChannelFrameAbstract::CreateOuter(int cx, int topHeight)
{
    m_outer = new QSplitter(Qt::Vertical);
    m_outer->setChildrenCollapsible(true);
    auto depth = std::make_unique<CDepthDoc>();
    m_depthDoc = depth.get();
    m_docList.push_back(depth.get());
    m_ownedDocs.push_back(std::move(depth));
    m_depthView = new CDepthView(m_depthDoc, m_outer);
    m_depthView->resize(cx, topHeight);
    m_outer->addWidget(m_depthView);
    setWidget(m_outer);
    return true;
}

CEchogramDoc* CChannelFrameAbstract::AddEchogram(QSplitter* row, int width, int height)
{
    auto doc = std::make_unique<CEchogramDoc>();
    CEchogramDoc* raw = doc.get();
    m_docList.push_back(raw);
    m_ownedDocs.push_back(std::move(doc));
    auto* view = new CEchogramView(raw, row);
    view->resize(width, height);
    row->addWidget(view);
    m_echogramViews.push_back(view);
    return raw;
}

void CChannelFrameAbstract::AddPlaceholder(QSplitter* row, int width, int height)
{
    auto* pane = new QWidget(row);
    pane->setAutoFillBackground(true);
    QPalette palette = pane->palette();
    palette.setColor(QPalette::Window, Qt::black);
    pane->setPalette(palette);
    pane->resize(width, height);
    row->addWidget(pane);
}

void CChannelFrameAbstract::SendInitialUpdates()
{
    // Registered first: the initial update asks the main window for the palette.
    if (Registration())
    {
        if (m_depthView)
            Registration()(m_depthView->GetSafeHwnd(), true);
        for (CEchogramView* view : m_echogramViews)
            Registration()(view->GetSafeHwnd(), true);
    }
    if (m_depthView)
        m_depthView->OnInitialUpdate();
    for (CEchogramView* view : m_echogramViews)
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
    m_inner->setSizes({std::max(0, static_cast<int>(rest * m_rowRatio)),
                       std::max(0, static_cast<int>(rest * (1.0 - m_rowRatio)))});
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
