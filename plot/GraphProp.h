// One curve of the plot: its points with a name, a colour, display flags and
// the pen and brush it is drawn with. Pen and brush are descriptions; the
// window that draws makes its own drawing objects from them.
#pragma once

#include "plot/PointsCollection.h"

#include <cstdint>
#include <optional>
#include <string>

// Colours are kept as 0x00BBGGRR, as stored settings and callers give them.
using PlotColour = std::uint32_t;

struct CPenDesc
{
    int width = 1;  // always solid
    PlotColour colour = 0;
};

struct CBrushDesc
{
    PlotColour colour = 0;  // always solid
};

class CGraphProp : public CPointsCollection
{
public:
    CGraphProp(PlotColour colour, bool marker, std::string name, bool visible, bool ownPen, int slot, bool sorted,
               bool keepDuplicates);
    // A copy of the properties only (what a property page edits): no points,
    // no markers, unsorted.
    explicit CGraphProp(const CGraphProp& source);
    CGraphProp& operator=(const CGraphProp&) = delete;
    virtual ~CGraphProp() = default;

    // Own-pen flag, colour, name, visible flag and slot, in that order.
    void CopyProperties(const CGraphProp& source);

    void SetColor(PlotColour colour);
    PlotColour GetColor() const { return m_colour; }
    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    int GetSlot() const { return m_slot; }
    void SetSlot(int slot) { m_slot = slot; }
    bool HasMarkers() const { return m_marker; }
    bool OwnsPen() const { return m_ownPen; }
    bool HasPen() const { return m_pen.has_value(); }

    // The owned pen and brush, or fresh ones of the colour.
    CPenDesc CreatePen() const;
    CBrushDesc CreateBrush() const;

private:
    bool m_marker;
    bool m_ownPen;
    std::optional<CPenDesc> m_pen;
    std::optional<CBrushDesc> m_brush;
    PlotColour m_colour = 0;
    std::string m_name;
    bool m_visible;
    int m_slot;
};
