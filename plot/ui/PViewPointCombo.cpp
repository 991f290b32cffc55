#include "plot/ui/PViewPointCombo.h"

#include "plot/PlotIds.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/PointsView.h"

CPViewPointCombo::CPViewPointCombo(CPointsView* view) : CCurveCombo(view), m_view(view)
{
    setObjectName(QString::number(plot::IDC_POINTS_COMBO));
}

const CGraphProp* CPViewPointCombo::EntryCurve(int entry) const
{
    const CGraphView* graphs = m_view->GetGraphView();
    const QVariant slot = itemData(entry);
    return graphs && slot.isValid() ? graphs->GetGraph(slot.toInt()) : nullptr;
}
