// A drop-down list of curves, each entry drawn as a sample of the curve's
// colour and its name, read from the curve whenever it is drawn. The entry's
// item data tells the derived combo which curve it stands for.
#pragma once

#include <QComboBox>

class CGraphProp;

class CCurveCombo : public QComboBox
{
public:
    explicit CCurveCombo(QWidget* parent = nullptr);

    // The curve of an entry, or none.
    virtual const CGraphProp* EntryCurve(int entry) const = 0;

    // Draws one entry: the colour sample from 2 to 22 pixels, the name from
    // 25; highlight colours when selected, a focus frame when focused.
    void DrawEntry(QPainter& p, const QRect& rect, int entry, bool selected, bool focused) const;

    // Takes up changed names and colours.
    void Repaint();

protected:
    void paintEvent(QPaintEvent* event) override;
};
