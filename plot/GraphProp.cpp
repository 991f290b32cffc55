#include "plot/GraphProp.h"

CGraphProp::CGraphProp(PlotColour colour, bool marker, std::string name, bool visible, bool ownPen, int slot,
                       bool sorted, bool keepDuplicates)
    : CPointsCollection(sorted, keepDuplicates),
      m_marker(marker),
      m_ownPen(ownPen),
      m_name(std::move(name)),
      m_visible(visible),
      m_slot(slot)
{
    SetColor(colour);
}

CGraphProp::CGraphProp(const CGraphProp& source)
    : CPointsCollection(false, false), m_marker(false), m_ownPen(false), m_visible(false), m_slot(-1)
{
    CopyProperties(source);
}

void CGraphProp::CopyProperties(const CGraphProp& source)
{
    m_ownPen = source.m_ownPen;
    SetColor(source.m_colour);
    m_name = source.m_name;
    m_visible = source.m_visible;
    m_slot = source.m_slot;
}

void CGraphProp::SetColor(PlotColour colour)
{
    m_colour = colour;
    if (m_ownPen) {
        m_pen = CPenDesc{1, colour};
        m_brush = CBrushDesc{colour};
    } else {
        m_pen.reset();
        m_brush.reset();
    }
}

CPenDesc CGraphProp::CreatePen() const
{
    return m_pen.value_or(CPenDesc{1, m_colour});
}

CBrushDesc CGraphProp::CreateBrush() const
{
    return m_brush.value_or(CBrushDesc{m_colour});
}
