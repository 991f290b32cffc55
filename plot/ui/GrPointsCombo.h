// The curve combo of the curve page: one entry per copy the page edits, with
// the copy's place in the page's list as item data.
#pragma once

#include "plot/ui/CurveCombo.h"

#include <memory>
#include <vector>

class CGrPointsCombo : public CCurveCombo
{
public:
    using Copies = std::vector<std::unique_ptr<CGraphProp>>;

    CGrPointsCombo(const Copies& copies, QWidget* parent);

    const CGraphProp* EntryCurve(int entry) const override;

private:
    const Copies& m_copies;
};
