#include "plot/ui/GraphView.h"

#include "plot/ui/GraphContainer.h"
#include "plot/ui/GraphSplitter.h"
#include "plot/ui/PointsView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>

CGraphView::CGraphView(QWidget* parent)
    : QWidget(parent), m_splitter(new CGraphSplitter(this)), m_container(new CGraphContainer(this, m_splitter))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
    m_splitter->addWidget(m_container);
    SetPanes(m_container, nullptr);
    auto* points = new CPointsView;
    SetPointsPane(points, points);
}

CGraphView::~CGraphView()
{
    // The panes go before the curves they show.
    SetPanes(nullptr, nullptr);
    delete m_splitter;
}

CGraphix* CGraphView::GetGraphix() const
{
    return m_container->GetGraphix();
}

void CGraphView::SetPointsPane(QWidget* widget, IGraphPane* pane)
{
    while (m_splitter->count() > 1)
        delete m_splitter->widget(1);
    // Room won by a resize goes to the points pane first, as far as its
    // size; the splitter then hands the rest to the plot.
    m_splitter->addWidget(widget);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    SetPanes(m_container, pane);
    m_splitter->SetSplitPos(IsPointsWindowVisible() ? plot::kPointsPaneWidth : 0, true);
}

void CGraphView::ShowPointsWindow(bool show)
{
    if (!show) {
        m_splitter->SetSplitPos(0, true);
        SetPointsVisibleFlag(false);
        return;
    }
    if (!GetPointsPane())
        return;
    m_splitter->SetSplitPos(plot::kPointsPaneWidth, true);
    SetPointsVisibleFlag(true);
    UpdatePointsWindow();
}

void CGraphView::CopyAsText()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string text = BuildCopyText();
    if (!text.empty())
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    QGuiApplication::restoreOverrideCursor();
}

CGraphView* CGraphView::FromChild(const QWidget* child)
{
    for (QWidget* w = child ? child->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* view = dynamic_cast<CGraphView*>(w))
            return view;
    }
    return nullptr;
}
