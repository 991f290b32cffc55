#include "plot/ui/GraphSplitter.h"

#include "plot/PlotIds.h"

#include <algorithm>

CGraphSplitter::CGraphSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent), m_paneSize(plot::kPointsPaneWidth)
{
    setChildrenCollapsible(false);
    connect(this, &QSplitter::splitterMoved, this, [this] { KeepBound(); });
}

void CGraphSplitter::SetSplitPos(int size, bool relayout)
{
    m_paneSize = std::max(0, size);
    if (relayout)
        Relayout();
}

void CGraphSplitter::Relayout()
{
    if (count() < 2)
        return;
    widget(1)->setVisible(m_paneSize > 0);
    refresh();
    if (m_paneSize == 0)
        return;
    const int total = std::max(0, width() - handleWidth());
    const int paneWidth = std::min(m_paneSize, total);
    setSizes({total - paneWidth, paneWidth});
}

void CGraphSplitter::KeepBound()
{
    if (count() < 2 || m_paneSize == 0)
        return;
    const int bound = width() - handleWidth() - m_paneSize;
    if (sizes().value(0) < bound)
        Relayout();
}

void CGraphSplitter::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    KeepBound();
}
