// The narrow oscilloscope pane beside each echogram, on the same echogram
// document: the newest ping as an A-scope (one bar per display row, centred,
// its length and colour following the echo), the slope circle for a slope
// echogram, an information panel (a plain right click), and through its
// debug dialog (Ctrl + left click, or a right double click with the left
// button held) the engineering displays of the channel's raw data.
//
// Each ping's update copies what the paint uses, the document's column and
// the channel's values, so a paint never reads what the ping thread writes
// meanwhile; painting draws the copies into the view's surface and copies
// the surface to the window. User-interface thread only.
#pragma once

#include "display/ScopePicture.h"
#include "display/ui/SCView.h"
#include "display/ui/ScopeDebugDlg.h"
#include "engine/Channel.h"

#include <QFont>
#include <QPoint>
#include <QVector>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CEchogramDoc;

// What a scope pane reads of its document's channel; the real channel's
// unless a test puts its own in.
class IScopeViewChannel
{
public:
    virtual ~IScopeViewChannel() = default;
    virtual void GetColorScale(CColorScaleSettings& scale) = 0;
    virtual ChannelParameters GetParameters() = 0;
    // The six motion values of the ping; heave is the last.
    virtual void GetMotion(double (&motion)[6]) = 0;
    virtual double GetNoiseLevel() = 0;
    // The bottom of this ping and its level (dB); false when none.
    virtual bool GetBottom(double& levelDb) = 0;
    virtual int GetBeamType() = 0;
    virtual bool GetSlopeAngle(double& degrees) = 0;
    virtual void GetPingRecord(ChannelPingRecord& record, double start, int reference) = 0;
    virtual void AddEchogramSamples(std::int16_t* out, int n, double start, int kind, int reference) = 0;
    virtual void AddEchogramAngles(std::uint16_t* out, int n, double start, int reference) = 0;
    virtual int GetScopeTrace(CChannel::TraceKind kind, int which, double* out, int maxCount, double start, double stop,
                              double& sampleDistance) = 0;
    virtual void GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) = 0;
    virtual IBottomDetector::Limits GetBottomLimits() = 0;
    virtual void GetBottomSamplesDb(double* out, int n, int first) = 0;
    virtual int RangeToSample(double range, double distance) = 0;
    // Seconds per sample of the scope traces; 0 when there are none.
    virtual double GetScopeSampleTime() = 0;
};

class CScopeView : public CSCView
{
    Q_OBJECT
public:
    static constexpr int kTooSmall = 15;
    static constexpr int kTraceLength = 60000;
    static constexpr int kPenCount = 12;
    // The seven labels of the information panel.
    static constexpr unsigned kFirstLabel = 45106;

    explicit CScopeView(CEchogramDoc* document, const SViewContext& context = {}, QWidget* parent = nullptr);
    ~CScopeView() override;

    // The channel the pane reads; null: its document's real channel again.
    void SetChannelAccess(IScopeViewChannel* channel);
    CEchogramDoc* GetDocument() const { return m_document; }

    void OnInitialUpdate();
    // The per-ping update: copies the ping and invalidates the pane.
    void OnUpdate() override;
    int RealizeViewPalette() override;
    void OnColorChange(int palette, const LOGPALETTE* block) override;

    CScopeDebugDlg& GetDebugDialog() { return m_dialog; }
    bool IsInfoPanelShown() const { return m_infoPanel != 0; }
    bool IsTooSmall() const { return m_tooSmall != 0; }
    const CScopePicture& Picture() const { return m_picture; }
    COLORREF GetColourSlot(int slot) const { return m_slots[static_cast<std::size_t>(slot)]; }
    // The palette index each pen draws with.
    static BYTE PenIndex(int pen);
    // How many pings the pane has copied; what a test waits for.
    std::uint64_t GetCopiedPings() const { return m_copiedPings; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;
    // The surface in colours, converted by the paint that copies it.
    QImage PaintImage() const override { return m_colours; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Opens the debug dialog modally; a test replaces it.
    virtual void OpenDebugDialog();

private:
    // What one ping left for the paint.
    struct SPing
    {
        bool valid = false;
        std::array<std::int16_t, 2000> column{};
        int delivered = 0;
        int bottomRow = 0;
        bool bottomSubstituted = false;
        bool sidescan = false;
        bool pingFilter = false;
        int echogramType = 0;
        int reference = 0;
        double start = 0.0;
        double range = 0.0;
        CColorScaleSettings scale;
        ChannelParameters parameters;
        double heave = 0.0;
        double noiseDb = 0.0;
        bool bottomFound = false;
        double bottomLevelDb = 0.0;
        int beamType = 0;
        bool slopeValid = false;
        double slopeAngle = 0.0;
        std::int16_t amplitudeAt100 = 0;
        std::uint16_t angleAt100 = 0;
        // The engineering displays' copies: the raw A/D record (taken only
        // while an A/D output is shown) and the bottom detector's candidates.
        bool recordTaken = false;
        ChannelPingRecord record;
        SBottomCandidate candidates[IBottomDetector::kMaxCandidates] = {};
        IBottomDetector::Limits limits;
    };
    // The reference the channel's sample reads take: the document's, or the
    // surface for a slope or side-scan echogram, which those reads refuse.
    int SampleReference() const;
    void DrawNumeric(QPainter& p);
    void DrawAnalog(QPainter& p);
    void DrawAdOutputs(QPainter& p);
    void DrawAmplitude(QPainter& p);
    void DrawCandidates(QPainter& p, const CScopeDebugSettings::Rect& r, int n, double maximum, double minimum,
                        const std::string& maxLabel, const std::string& minLabel);
    void DrawAngles(QPainter& p);
    void DrawWideBand(QPainter& p);
    // One curve of values between the limits; values beyond them are
    // clamped in the buffer itself. No curve for no values or flat limits.
    void DrawTrace(QPainter& p, double* values, int n, const CScopeDebugSettings::Rect& r, double maximum,
                   double minimum, const std::string& leftLabel, const std::string& rightLabel, int pen,
                   double reference);
    // Signed 12-bit samples about the column's centre, each segment in its
    // gain's pen when gains are given.
    void DrawAdTrace(QPainter& p, const int* values, const int* gains, int n, const CScopeDebugSettings::Rect& r,
                     const char* leftLabel, const char* rightLabel);
    void DrawVerticalText(QPainter& p, int x, int y, const std::string& text);
    void DrawText(QPainter& p, int x, int y, const std::string& text);
    // A line straight into the surface, as the curves draw theirs.
    void Segment(int x0, int y0, int x1, int y1, BYTE colour);
    void CopyPing();
    // The surface through the colour table into the colour picture, in one
    // pass on this thread.
    void ConvertSurface();
    // The surface as a grey image to draw palette indices on.
    void DrawAScope();
    void DrawSlope(QPainter& p);
    void DrawInfoText(QPainter& p);

    CEchogramDoc* m_document;
    std::unique_ptr<IScopeViewChannel> m_ownAccess;
    IScopeViewChannel* m_access = nullptr;
    CScopePicture m_picture;
    int m_tooSmall = 0;
    std::array<COLORREF, 14> m_slots{};
    CScopeDebugDlg m_dialog;
    QFont m_verticalFont;
    QFont m_textFont;
    int m_infoPanel = 0;
    std::string m_labels[7];
    SPing m_ping;
    std::uint64_t m_copiedPings = 0;
    // Buffers of the debug curves, kept so that no drawing allocates.
    std::array<double, kTraceLength> m_traceA{};
    std::array<double, kTraceLength> m_traceB{};
    std::array<double, kTraceLength> m_traceC{};
    std::array<std::int16_t, kTraceLength> m_samples{};
    std::array<std::uint16_t, CChannel::kMaxSamples> m_angles{};
    std::array<int, CChannel::kMaxSamples> m_values{};
    std::array<int, ChannelPingRecord::kMaxWords> m_gains{};
    QVector<QPoint> m_points;
    QImage m_colours;
};
