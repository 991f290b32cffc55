// The ruler left of the plot window: the y axis, the first value at the
// bottom, labels written upwards and without their sign.
#pragma once

#include "plot/ui/FRuler.h"

class FVRuler : public FRuler
{
public:
    using FRuler::FRuler;
    int GetLabelCapacity() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void DrawTick(QPainter& p, int at, int length) override;
    std::string LabelOf(double value, int exponent) const override;
    bool LabelFits(int at, int half, int captionWidth) const override;
    void DrawLabel(QPainter& p, int at, int half, const QString& text) override;
};
