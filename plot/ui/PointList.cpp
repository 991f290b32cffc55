#include "plot/ui/PointList.h"

#include "plot/PlotIds.h"
#include "plot/ui/PointsView.h"

#include <QMouseEvent>

CPointList::CPointList(CPointsView* view) : CListCtrlEx(view), m_view(view)
{
    setObjectName(QString::number(plot::IDC_POINTS_LIST));
    setSelectionMode(QAbstractItemView::SingleSelection);
    SetShowSelectionAlways(true);
    // The rows keep the curve's order: the header has no buttons.
    GetHeaderCtrl()->setSectionsClickable(false);
}

void CPointList::mousePressEvent(QMouseEvent* event)
{
    CListCtrlEx::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        m_view->ShowListMenu(event->globalPosition().toPoint());
}
