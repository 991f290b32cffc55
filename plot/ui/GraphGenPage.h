// The general page: the plot window's ranges and display flags.
#pragma once

#include "plot/ui/GraphSheetPage.h"

class CGraphView;
class CGraphix;
class QCheckBox;
class QLineEdit;

class CGraphGenPage : public CGraphSheetPage
{
public:
    CGraphGenPage(CGraphView& view, QWidget* parent);

    bool Validate() override;
    void Apply() override;

private:
    CGraphix& m_graphix;
    QLineEdit* m_xFrom;
    QLineEdit* m_xTo;
    QLineEdit* m_yFrom;
    QLineEdit* m_yTo;
    QCheckBox* m_autoRange;
    QCheckBox* m_markers;
    QCheckBox* m_mouseTip;
    QCheckBox* m_grid;
    double m_ranges[4] = {};
};
