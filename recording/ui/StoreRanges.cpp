#include "recording/ui/StoreRanges.h"

#include "base/DepthUnit.h"
#include "display/ui/RangeBottomDialog.h"
#include "display/ui/RangeSurfaceDialog.h"

namespace zv::recording {

bool EditStoreSurfaceRange(QWidget* parent, double& range, double& start)
{
    CRangeSurfaceDialog dialog(CDepthUnit::FromMeters(range), CDepthUnit::FromMeters(start), false, false, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    range = CDepthUnit::ToMeters(dialog.Range());
    start = CDepthUnit::ToMeters(dialog.Start());
    return true;
}

bool EditStoreBottomRange(QWidget* parent, double& range, double& start)
{
    CRangeBottomDialog dialog(CDepthUnit::FromMeters(range), CDepthUnit::FromMeters(range - start), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    range = CDepthUnit::ToMeters(dialog.Range());
    start = range - CDepthUnit::ToMeters(dialog.Offset());
    return true;
}

}  // namespace zv::recording
