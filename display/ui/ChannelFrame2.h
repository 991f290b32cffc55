// The second kind of channel frame: depth row over a 2 × 3 grid, echo
// trace, echogram and scope, upper and lower.
#pragma once

#include "display/ui/ChannelFrameAbstract.h"

class CChannelFrame2 : public CChannelFrameAbstract
{
    Q_OBJECT
public:
    static constexpr const char* kVersion = "CChannelFrame2 Version 0.25";
    static constexpr int kBars = 20;

    explicit CChannelFrame2(int width = -1, int height = -1, const SFrameContext& context = {},
                            QWidget* parent = nullptr);
    ~CChannelFrame2() override;

    struct Geometry
    {
        int top = 0, col0 = 0, col1 = 0, col2 = 0, row0 = 0, row1 = 0;
    };
    static Geometry ComputeGeometry(int cx, int cy, double firstRatio, double lastRatio, double topHeight,
                                    double rowRatio);

    bool OnCreateClient(int cx, int cy) override;
    void SetDefaults() override;
    void Serialize(CArchive& ar) override;

    double m_firstColumnRatio = 0.2;
    double m_lastColumnRatio = 0.15;
    using CChannelFrameAbstract::m_rowRatio;
    using CChannelFrameAbstract::m_topHeight;

private:
    void ApplyProportions();
};
