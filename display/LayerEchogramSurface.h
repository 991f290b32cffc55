// Layer of an echogram window measured from the surface (reference kind 4):
// used with the surface and trawl references.
#pragma once

#include "engine/Layer.h"

class CLayerEchogramSurface : public CLayer
{
public:
    static constexpr int kKind = 4;
    int GetReferenceKind() const override { return kKind; }
    // 0 no bottom, 1 no usable interval, 2 [start, stop] valid. The window
    // is cut by the upper limit, the minimum start and the bottom margin.
    int GetRangeLimits(double bottomDepth, double& start, double& stop, double upperLimit,
                       double minimumStart) override;
};
