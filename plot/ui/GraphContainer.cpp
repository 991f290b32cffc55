#include "plot/ui/GraphContainer.h"

#include "plot/RulerText.h"
#include "plot/ui/FHRuler.h"
#include "plot/ui/FVRuler.h"
#include "plot/ui/Graphix.h"

#include <algorithm>

CGraphContainer::CGraphContainer(CGraphView* view, QWidget* parent)
    : QWidget(parent), m_vRuler(new FVRuler(this)), m_hRuler(new FHRuler(this)), m_graphix(new CGraphix(view, this))
{
    m_vRuler->SetRange(0.0, 10.0, false);
    m_hRuler->SetRange(0.0, 10.0, false);
    m_graphix->SetAxisRanges(0.0, 10.0, 0.0, 10.0, false);
}

long CGraphContainer::OnGraphMessage(const CGraphMessage& message)
{
    m_graphix->OnGraphMessage(message);
    return 0;
}

CPlotRanges CGraphContainer::GetAxisRanges() const
{
    return m_graphix->GetAxisRanges();
}

unsigned CGraphContainer::GetDisplayFlags() const
{
    return m_graphix->GetDisplayFlags();
}

void CGraphContainer::FitToData()
{
    m_graphix->FitToData();
}

void CGraphContainer::SetEditMode(int mode)
{
    m_graphix->SetEditMode(mode);
}

void CGraphContainer::resizeEvent(QResizeEvent*)
{
    const int t = ruler::kThickness;
    m_vRuler->setGeometry(0, 0, t, height());
    m_hRuler->setGeometry(0, 0, width(), t);
    m_graphix->setGeometry(t, t, std::max(0, width() - t), std::max(0, height() - t));
}
