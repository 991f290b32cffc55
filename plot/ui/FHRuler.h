// The ruler above the plot window: the x axis, values rising to the right.
#pragma once

#include "plot/ui/FRuler.h"

class FHRuler : public FRuler
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
