// Layer of an echogram window measured up from the bottom (reference kind
// 5): its start is a distance above the bottom until the interval test
// turns it into a depth.
#pragma once

#include "engine/Layer.h"

class CLayerEchogramBottom : public CLayer
{
public:
    static constexpr int kKind = 5;
    int GetReferenceKind() const override { return kKind; }
    int GetRangeLimits(double bottomDepth, double& start, double& stop, double upperLimit,
                       double minimumStart) override;
};
