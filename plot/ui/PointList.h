// The list of the points view: depth and sound velocity of each point of the
// current curve, one row per point in curve order. A right button press
// opens the view's menu.
#pragma once

#include "plot/ui/ListCtrlEx.h"

class CPointsView;

class CPointList : public CListCtrlEx
{
public:
    explicit CPointList(CPointsView* view);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    CPointsView* m_view;
};
