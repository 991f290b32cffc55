// The curve combo of the points view: one entry per curve of the plot view,
// with the curve's slot as item data.
#pragma once

#include "plot/ui/CurveCombo.h"

class CPointsView;

class CPViewPointCombo : public CCurveCombo
{
public:
    explicit CPViewPointCombo(CPointsView* view);

    const CGraphProp* EntryCurve(int entry) const override;

private:
    CPointsView* m_view;
};
