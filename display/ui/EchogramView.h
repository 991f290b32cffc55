// The echogram of one echogram document. Every ping moves the picture one
// column left and writes the new column into the view's surface (see
// CEchogramPicture); painting copies the surface and draws the range scale
// beside it. Only the echogram area and, when its values change, the scale
// strip are repainted.
//
// User-interface thread only: OnUpdate runs when the document has its views
// updated.
#pragma once

#include "display/EchogramPicture.h"
#include "display/ui/SCView.h"

#include <functional>
#include <string>
#include <vector>

class CEchogramDoc;

class CEchogramView : public CSCView
{
    Q_OBJECT
public:
    // What the view asks of the document's channel; the defaults ask the
    // channel itself, tests put their own in.
    struct ChannelAccess
    {
        std::function<int(double db, int selector)> level;
        // The channel's current bottom depth (m); false when none.
        std::function<bool(double& depth)> depth;
        // True while the channel skips its display.
        std::function<bool()> skipping;
    };

    explicit CEchogramView(CEchogramDoc* document, QWidget* parent = nullptr);
    ~CEchogramView() override;

    void SetChannelAccess(ChannelAccess access) { m_access = std::move(access); }
    CEchogramDoc* GetDocument() const { return m_document; }

    void OnInitialUpdate();
    // The per-ping update.
    void OnUpdate();
    int IsSideScan() const override;
    int RealizeViewPalette() override;

    bool IsEnabled() const { return m_enabled; }
    const CEchogramPicture& Picture() const { return m_picture; }
    int GetScaleMargin() const { return m_picture.GetScaleMargin(); }

    // Scale values as written (top, bottom) in the depth unit.
    static std::string FormatScaleValue(double value, const std::string& unit);
    // Rows of the scale's ticks: k × H / 10 rounded, k = 1..9.
    static int TickRow(int k, int height);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;

private:
    void Reattach();
    void CarryOver(const std::vector<BYTE>& old, int oldArea, int oldHeight);
    void DrawScale(QPainter& painter);
    ChannelAccess DefaultAccess();

    CEchogramDoc* m_document;
    ChannelAccess m_access;
    CEchogramPicture m_picture;
    bool m_enabled = false;
    double m_scaleTop = 0.0;
    double m_scaleBottom = 0.0;
};
