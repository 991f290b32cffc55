#include "plot/ui/GrPointsCombo.h"

#include "plot/GraphProp.h"
#include "plot/PlotIds.h"

CGrPointsCombo::CGrPointsCombo(const Copies& copies, QWidget* parent) : CCurveCombo(parent), m_copies(copies)
{
    setObjectName(QString::number(plot::IDC_GRAPH_COMBO));
}

const CGraphProp* CGrPointsCombo::EntryCurve(int entry) const
{
    const QVariant at = itemData(entry);
    if (!at.isValid() || at.toInt() < 0 || at.toInt() >= static_cast<int>(m_copies.size()))
        return nullptr;
    return m_copies[static_cast<size_t>(at.toInt())].get();
}
