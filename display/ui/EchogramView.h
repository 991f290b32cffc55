// The echogram of one echogram document. Every ping moves the picture one
// column left and writes the new column into the view's surface (see
// CEchogramPicture); painting copies the surface and draws the range scale
// beside it. Only the echogram area and, when its values change, the scale
// strip are repainted. Side-looking documents turn the picture: pings are
// rows, the scale is a header across the top. With the slope reference each
// ping draws the bottom's angle instead of its samples.
//
// User-interface thread only: OnUpdate runs when the document has its views
// updated.
#pragma once

#include "display/EchogramPicture.h"
#include "display/ui/PrintedEchogram.h"
#include "display/ui/SCView.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CEchogramDoc;
class CExternalDepth;
class CGeographicInfo;
class QPainter;

class CEchogramView : public CSCView, public IPrintedEchogram
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
        // The channel's slope tracker.
        std::function<void(int columns)> setSlopeHistorySize;
        std::function<int()> slopeHalfPointCount;
        std::function<void(bool valid)> updateSlopeValidity;
        // The slope angle in degrees; false while the fit is not valid.
        std::function<bool(double& degrees)> slopeAngle;
        // Samples of the external source of this name, the other side of a
        // side-looking echogram; false when there is none.
        std::function<bool(const std::string& name, std::vector<std::int16_t>& samples)> secondSide;
    };
    // The program's external depth table, where a side-looking partner
    // leaves its samples; without one there is no second side.
    static void SetExternalDepth(const CExternalDepth* table);
    // The second side as the channel access reads it from that table.
    static std::function<bool(const std::string&, std::vector<std::int16_t>&)> TableSecondSide();
    // The program's geographic history, which keeps as many pings as the
    // widest view shows; without one there is none to size.
    static void SetGeographicHistory(CGeographicInfo* history);

    explicit CEchogramView(CEchogramDoc* document, QWidget* parent = nullptr);
    ~CEchogramView() override;

    void SetChannelAccess(ChannelAccess access) { m_access = std::move(access); }
    CEchogramDoc* GetDocument() const { return m_document; }

    void OnInitialUpdate();
    // The per-ping update.
    void OnUpdate() override;
    int IsSideScan() const override;
    int RealizeViewPalette() override;

    bool IsEnabled() const { return m_enabled; }
    const CEchogramPicture& Picture() const { return m_picture; }
    int GetScaleMargin() const { return m_picture.GetScaleMargin(); }
    int GetTopMargin() const { return EchogramMapping::TopMargin(GetHeight()); }
    // Q: the columns by which the slope echogram lags.
    int GetSlopeLag() const { return m_q; }

    // What the history printing copies of it.
    void CopyNewestLine(QPainter& printer, int x, int& y, double scale) override;
    void AddLineExtent(int& y) const override;

    // Colours of texts written into the picture, set by RealizeViewPalette.
    BYTE GetPictureTextIndex() const { return m_pictureText; }
    BYTE GetPictureBackgroundIndex() const { return m_pictureBackground; }

    // Scale values as written (top, bottom) in the depth unit.
    static std::string FormatScaleValue(double value, const std::string& unit);
    // Extent values of the header in row orientation.
    static std::string FormatExtentValue(double value);
    // Rows of the scale's ticks: k × H / 10 rounded, k = 1..9.
    static int TickRow(int k, int height);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;

private:
    void Reattach();
    void CarryOver(const std::vector<BYTE>& old, int oldArea, int oldHeight);
    void DrawScale(QPainter& painter);
    void DrawRowScale(QPainter& painter);
    // The scale's values as the document has them now, in the depth unit.
    std::pair<double, double> ScaleValues() const;
    void WritePing(CEchogramDoc& doc, CEchogramPicture::Column& column);
    ChannelAccess DefaultAccess();

    CEchogramDoc* m_document;
    ChannelAccess m_access;
    CEchogramPicture m_picture;
    bool m_enabled = false;
    double m_scaleTop = 0.0;
    double m_scaleBottom = 0.0;
    int m_q = 0;
    // The last update drew a slope column: the printer copies from there.
    bool m_slopeReference = false;
    BYTE m_pictureText = EchogramMapping::kLine;
    BYTE m_pictureBackground = EchogramMapping::kMarker;
    std::vector<std::int16_t> m_secondSide;
};
