// The left pane of the plot view: the plot window framed by its two rulers,
// the vertical one along the left edge and the horizontal one along the top.
// It stands for the plot window towards the view: message 50000, ranges,
// flags, fitting and the edit mode all go on to the plot window.
#pragma once

#include "plot/GraphMessage.h"

#include <QWidget>

class CGraphView;
class CGraphix;
class FHRuler;
class FVRuler;

class CGraphContainer : public QWidget, public IGraphPlotPane
{
public:
    CGraphContainer(CGraphView* view, QWidget* parent);

    FVRuler* GetVRuler() const { return m_vRuler; }
    FHRuler* GetHRuler() const { return m_hRuler; }
    CGraphix* GetGraphix() const { return m_graphix; }

    long OnGraphMessage(const CGraphMessage& message) override;
    CPlotRanges GetAxisRanges() const override;
    unsigned GetDisplayFlags() const override;
    void FitToData() override;
    void SetEditMode(int mode) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    FVRuler* m_vRuler;
    FHRuler* m_hRuler;
    CGraphix* m_graphix;
};
