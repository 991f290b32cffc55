// The first kind of channel frame: depth row over a 2 × 2 grid, echogram
// and scope, upper and lower.
#pragma once

#include "display/ui/ChannelFrameAbstract.h"

class CChannelFrame1 : public CChannelFrameAbstract
{
    Q_OBJECT
public:
    static constexpr const char* kVersion = "CChannelFrame1 Version 0.25";
    // Width taken by the splitter bars and borders.
    static constexpr int kBars = 13;

    explicit CChannelFrame1(int width = -1, int height = -1, const SFrameContext& context = {},
                            QWidget* parent = nullptr);
    ~CChannelFrame1() override;

    // Pane sizes of a new client of cx × cy.
    struct Geometry
    {
        int top = 0, col0 = 0, col1 = 0, row0 = 0, row1 = 0;
    };
    static Geometry ComputeGeometry(int cx, int cy, double columnRatio, double topHeight, double rowRatio);

    bool OnCreateClient(int cx, int cy) override;
    void SetDefaults() override;
    void Serialize(CArchive& ar) override;

    double m_columnRatio = 0.15;
    using CChannelFrameAbstract::m_rowRatio;
    using CChannelFrameAbstract::m_topHeight;
    CEchogramDoc* m_upperEchogram = nullptr;
    CEchogramDoc* m_lowerEchogram = nullptr;

private:
    void ApplyProportions();
};
