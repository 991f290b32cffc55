// The document behind every echogram view. On every ping it asks its
// channel for one column of samples over its range window, post-processes
// the column by the running model and has its views updated on the
// user-interface thread. It keeps the echogram's display settings, which the
// dialogs edit and the frame's layout stores through Serialize.
//
// Samples are raw power words (85.0413592 per dB); -20000 marks a sample
// without data and no processing step changes it or makes it. Every
// addition saturates at the 16-bit limits instead of wrapping, and every
// division by a range, a row count or a side sum is guarded.
#pragma once

#include "base/ModalSession.h"
#include "base/ModelCodes.h"
#include "display/AbstractESDoc.h"
#include "display/DisplayContext.h"
#include "engine/RawPower.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CArchive;
class CChannelIntegrator;
class CLayer;
class IEchoIntegrator;

// What the document needs of its channel; the default works on a CChannel,
// tests put a synthetic one in its place.
class IEchogramChannel
{
public:
    virtual ~IEchogramChannel() = default;
    // The name under which the external depth table knows the channel: its
    // source name, which names the channel's entry in the table.
    virtual std::string GetSourceName() const = 0;
    virtual void SetFirstEchogramType(int type) = 0;
    virtual void SetEchogramStartRange(double r) = 0;
    virtual void SetEchogramStopRange(double r) = 0;
    virtual void SetEchogramMode(int mode) = 0;
    virtual void SetEchogramInfo(bool sidescan, bool publish, const std::string& partner, bool slant) = 0;
    virtual void SetEchogramValue(double v) = 0;
    virtual void AccumulateFlag(int flag) = 0;
    // Trawl depth and vertical opening (m) with their valid flags.
    virtual void GetTrawl(bool& depthValid, double& depth, bool& openingValid, double& opening) const = 0;
    virtual bool GetPingSamples(std::int16_t* out, int n, double range, double start, int type, int reference) = 0;
    // Bottom depth of the last ping; false when none was found.
    virtual bool GetBottomDepth(double& depth) = 0;
    virtual double FindLevelStep(double milliseconds) = 0;
    virtual bool IsNoiseCompensationOn() const = 0;
    // Five filter values handed once; false when the channel does not want them now.
    virtual bool WantsFilterValues() const = 0;
    virtual void TakeFilterValues(const std::array<int, 5>& values) = 0;
    // Makes the channel want the filter values again (they were edited).
    virtual void RequestFilterValues() {}
    // The external depth switch and source name for the bottom detector.
    virtual void SetBottomDetectorMode(bool externalDepth, const std::string& sourceName) {}
    // Integrates the last ping into the integrator's layers.
    virtual void UpdateDocument(IEchoIntegrator& integrator) = 0;
};

class CEchogramDoc : public CAbstractESDoc
{
public:
    static constexpr int kMaxColumn = 2000;
    // A sample without data: the channel's word for no echo.
    static constexpr std::int16_t kNoData = rawpower::kNoEcho;
    // A single gain or noise addition never adds more than this.
    static constexpr int kMaxAddition = 10000;
    // The range scale has at most this many lines.
    static constexpr unsigned kMaxScaleLines = 50;

    enum EchogramType : int { NOTVG = 0, SV_20 = 1, TS_40 = 2, SS_20 = 3, LOG30 = 4 };
    enum RangeReference : int { SURFACE = 0, BOTTOM = 1, TRAWL = 2, SLOPE = 3, SIDESCAN = 4 };

    // The context's model sets the defaults, dialogs and post-processing.
    explicit CEchogramDoc(const SDisplayContext& context = {});
    ~CEchogramDoc() override;
    const SDisplayContext& GetContext() const { return m_context; }

    void OnSourceUpdate(int flag) override;
    void SetChannel(CChannel* channel) override;
    void SetDefaults() override;
    void Serialize(CArchive& ar);
    // The document's channel seen through the interface; a test sets its own.
    void SetEchogramChannel(IEchogramChannel* channel) { m_access = channel; }

    // A modal dialog that the document has open. The document ends it with
    // -1 when it is destroyed first; the launcher that ran it then touches
    // nothing more.
    using IOpenDialog = CModalSession::IOpenDialog;
    // Called by a dialog runner once its dialog exists and before it runs.
    using DialogOpened = CModalSession::DialogOpened;

    // Values a range dialog shows and edits, in the selected depth unit.
    struct RangeDialogValues
    {
        int reference = SURFACE;
        double range = 0.0;      // surface, bottom or slope range; side 0 range
        double start = 0.0;      // surface start, bottom offset, slope offset; trawl margin
        double range1 = 0.0;     // side-scan: side 1 range
        bool autoRange = false;  // surface: auto range; side-scan: side 0 automatic
        bool autoStart = false;  // surface: auto start; side-scan: side 1 automatic
    };
    // Values of the filter dialog; the two lists hold integers as text.
    struct FilterDialogValues
    {
        bool echoAmplifier = false;
        bool medianFilter = false;
        bool secondStageFilter = true;
        std::string value1;
        std::string value2;
        bool pingToPingMedian = false;
    };
    // Dialog templates of the settings dialog: the general one, the RM30
    // one and the two of the QY models.
    enum SettingsTemplate : int {
        kGeneralTemplate = 131,
        kQY210Template = 208,
        kRM30Template = 209,
        kQY310Template = 252,
    };
    // Choices of the settings dialog's echogram group.
    enum EchogramKind : int {
        kSurfaceManual = 0,
        kSurfaceAutoRange = 1,
        kSurfaceAutoStart = 2,
        kBottom = 3,
        kTrawlOrSidescan = 4,  // trawl in the general and RM30 dialogs, side-scan in the QY ones
        kAlongTrackSlope = 5,  // QY dialogs only
    };
    // Values of the echogram settings dialog, as its controls hold them:
    // radios as the index of the checked button (-1 none).
    struct SettingsDialogValues
    {
        int templateId = kGeneralTemplate;
        int gainType = -1;
        bool trawlLine = false;       // general and RM30: the external depth switch
        unsigned scaleLineCount = 0;  // at most kMaxScaleLines
        bool scaleLines = false;
        bool pingFilter = false;
        bool minuteMarkers = false;
        bool variableDepthLines = false;
        int echogramKind = -1;
        int bottomLine = -1;
        bool newRangeMarkers = false;
        bool eventMarkers = false;
        bool rangeOther = false;
        bool purseSeine = false;
        // QY dialogs.
        bool newSvpMarkers = false;
        bool showAnnotation = false;
        bool subBottomGainOn = false;
        float subBottomGain = 0.0f;
        bool externalDepthOn = false;
        std::string externalDepthSource;
        std::vector<std::string> externalDepthList;
        int sidescanSide = -1;
        int sidescanView = -1;
        bool importOn = false;
        std::string importSource;
        std::vector<std::string> importList;
        bool bottomDetectionLines = false;
        double pingerGain = 0.0;
        int pingerGainMode = -1;
        bool pingerMode = false;
        // Shown only while the channel compensates noise.
        bool noiseCompensation = false;
        double noiseOffset = 0.0;
        int noiseTracking = 0;
    };
    // Dialog launchers: values go in, and come back only on IDOK. The range
    // and settings launchers return 0 when no dialog ran to its end.
    int OnEchogramSettings();
    int OnRangeSettings();
    void OnEchogramFilter();
    // Realizes the palette of every view of the document; the last view's
    // result, 0 without views.
    int RealizeViewPalettes() override;
    // The dialog the document has open, null when none.
    IOpenDialog* GetOpenDialog() const { return m_openDialog; }

    // The settings dialog's values from the document, and the document's
    // settings from the values on OK.
    SettingsDialogValues MakeSettingsDialogValues() const;
    void ApplySettingsDialogValues(const SettingsDialogValues& v);
    // Template of the settings dialog of a model.
    static int SettingsTemplateOf(SounderModel model);
    // Range references the running model's dialogs know.
    static bool IsKnownReference(SounderModel model, int reference);

    double GetRangeStart() const;
    double GetRangeOffset() const;
    double GetMeanLayerValue() const;
    // What an echo trace beside the echogram reads of it on the ping
    // thread, taken together under the settings lock: the window (range
    // reference, start, range), the number of echogram columns and the
    // freeze flag.
    struct STraceWindow
    {
        int reference = SURFACE;
        double start = 0.0;
        double range = 100.0;
        int columns = 0;
        bool frozen = false;
    };
    STraceWindow GetTraceWindow() const;
    static double RoundHalfAway(double x) { return x > 0.0 ? x + 0.5 : x - 0.5; }

    // The view's size as a resize leaves it: column length (height), total
    // rows (width) and the frozen flag of a pane too low to show pings,
    // written together under the settings lock, which the ping reads them
    // under. Freezing forgets the recent layer values.
    void SetViewSize(int columnLength, int totalRows, bool frozen);
    // What the operator's wheel and pointer change outside a dialog, each
    // read and written under the settings lock while pings read it.
    // One wheel step over the scale strip (see CEchogramInteraction::
    // StripWheel), with the trawl's depth and opening as the channel has
    // them; true when the window changed.
    bool StripWheel(int delta, bool shift, bool trawlDepthValid, double trawlDepth, bool trawlOpeningValid,
                    double trawlOpening);
    // The automatic range and start of a surface window after a ping with
    // this depth (m); false when the automatic start refused the depth or
    // the range and kept the start.
    bool FollowBottom(double depth);
    void SetMarkerValue(double value);
    // The ten recent layer values and their counter, for tests.
    const std::array<double, 10>& GetRecentLayerValues() const { return m_recentLayerValues; }
    int GetLayerCounter() const { return m_layerCounter; }

    // Set by the view; both are limited to the column memory.
    void SetColumnLength(int n);
    void SetTotalRows(int n);
    // Under the settings lock: a ping reads the count on the ping thread.
    void SetViewCount(int n);
    int GetColumnLength() const { return m_columnLength; }
    int GetTotalRows() const { return m_totalRows; }
    int GetColumnLengthDelivered() const { return m_delivered; }
    const std::int16_t* GetColumn() const { return m_column.data(); }
    int GetBottomRow() const { return m_bottomRow; }
    bool IsBottomSubstituted() const { return m_bottomSubstituted; }
    CEchogramDoc* GetPartner() const { return m_partner; }

    // What a ping leaves for the views to draw: taken on the ping thread
    // when the ping is done, put in place on the user-interface thread just
    // before the views draw it, so that a view reads the ping it draws
    // however far the ping thread has gone on meanwhile.
    struct SShownPing
    {
        // Counts the document's results from 1; 0: none shown yet.
        std::uint64_t number = 0;
        std::vector<std::int16_t> column;  // the delivered samples
        int bottomRow = 0;
        bool bottomSubstituted = false;
        double range = 100.0;
        double start = 0.0;
        // The scale's ends, as GetRangeStart and GetRangeOffset give them.
        double rangeStart = 0.0;
        double rangeOffset = 100.0;
        // The other echogram of the channel (see GetPartner), only to be
        // found again: ShownPartner.
        const CAbstractESDoc* partner = nullptr;
    };
    // The ping the views draw now. User-interface thread only.
    const SShownPing& Shown() const { return m_shown; }
    // The scale's ends of the ping shown; before the first one, those of
    // the settings (a partner that shows no ping yet is drawn as set).
    // User-interface thread only.
    double ShownRangeStart() const { return m_shown.number ? m_shown.rangeStart : GetRangeStart(); }
    double ShownRangeOffset() const { return m_shown.number ? m_shown.rangeOffset : GetRangeOffset(); }
    // The window's start and range likewise.
    double ShownStart() const { return m_shown.number ? m_shown.start : m_start; }
    double ShownRange() const { return m_shown.number ? m_shown.range : m_range; }
    // The shown ping's partner while it is still a document of the list;
    // null otherwise. User-interface thread only, where documents go.
    const CEchogramDoc* ShownPartner() const;
    std::size_t GetWaitingPings() const;

    // Post-processing steps, kept apart so that each can be checked alone.
    static void AddSubBottomGain(std::int16_t* column, int length, int bottomRow, double range, float gainDbPerMetre);
    static void AddOffset(std::int16_t* column, int length, double offsetDb);
    static void PingToPingMedian(std::int16_t* column, int length, const std::int16_t* h1, const std::int16_t* h2,
                                 const std::int16_t* h3);
    // Rows of one side of a side-scan pane: total × R / (R + R').
    static int SideRows(int totalRows, double range, double otherRange);

    // Settings (public like the dialog members that edit them).
    double m_range = 100.0;
    double m_surfaceRange = 100.0;
    double m_surfaceStart = 0.0;
    double m_bottomRange = 25.0;
    double m_bottomOffset = 15.0;
    double m_slopeRange = 10.0;
    double m_slopeOffset = 5.0;
    double m_trawlMargin = 1.0;
    bool m_frozen = false;
    double m_start = 0.0;
    int m_rangeReference = SURFACE;
    double m_variableDepthValue = 0.0;
    bool m_variableDepth = false;
    int m_echogramType = SS_20;
    bool m_scale = true;
    int m_depthLines = 10;
    bool m_purseSeineMarker = false;
    bool m_externalDepth = false;
    bool m_subBottomGainOn = false;
    float m_subBottomGain = 0.0f;
    std::string m_depthSourceName;
    int m_sidescanSide = 0;
    bool m_slantCorrection = false;
    bool m_publishPartner = false;
    std::string m_partnerName;
    bool m_multiPulseMarker = false;
    double m_sidescanRange[2] = {200.0, 200.0};
    bool m_resetRequest = false;
    bool m_whiteLine = false;
    bool m_contourLine = false;
    bool m_bottomShown = false;
    bool m_rangeOtherMarker = false;
    bool m_eventMarker = false;
    bool m_minuteMarker = false;
    bool m_newRangeMarker = false;
    bool m_newSvpMarker = false;
    bool m_pingFilter = false;
    bool m_surfaceAutoRange = false;
    bool m_surfaceAutoStart = false;
    bool m_sidescan = false;
    bool m_showAnnotation = false;
    double m_noiseOffset = 0.0;
    int m_noiseTracking = 0;
    bool m_echoAmplifier = false;
    bool m_medianFilter = false;
    bool m_secondStageFilter = true;
    int m_filterValue1 = 3;
    int m_filterValue2 = 1;
    bool m_pingToPingMedian = false;

    CChannelIntegrator* GetIntegrator() const { return m_integrator.get(); }
    // The layer that matches a range reference; null for slope and side-scan.
    static std::unique_ptr<CLayer> MakeLayer(int rangeReference);

protected:
    bool QueuesResults() const override { return true; }
    std::uint64_t NewestResult() const override;
    bool TakeResult(std::uint64_t upTo) override;

private:
    // The ping's result, queued for the views (ping thread).
    void QueueResult();
    void IntegrateLayers();
    void StepRecentLayerValues();
    void StartWithMatchingLayer();
    void PostProcess();

    // Runs a dialog with the open-dialog member pointing at it; false when
    // it did not run to its end (then the document may already be gone).
    template <typename Run>
    int RunOpenDialog(Run&& run);

    // The settings are edited on the user-interface thread (dialogs, the
    // layout file) while a ping reads them and moves the range on the ping
    // thread: both sides hold this while they touch them. Never held while
    // the views are updated, since a hand-off may wait for the
    // user-interface thread.
    mutable std::mutex m_settingsLock;
    const SDisplayContext m_context;
    IOpenDialog* m_openDialog = nullptr;
    std::unique_ptr<CChannelIntegrator> m_integrator;
    std::unique_ptr<IEchogramChannel> m_ownAccess;
    IEchogramChannel* m_access = nullptr;
    int m_bottomSubstituted = 0;
    int m_bottomRow = 0;
    int m_columnLength = 0;
    int m_totalRows = 0;
    int m_viewCount = 0;
    int m_delivered = 0;
    std::array<double, 10> m_recentLayerValues{};
    int m_layerCounter = 0;
    std::array<std::int16_t, kMaxColumn> m_column{};
    std::array<std::array<std::int16_t, kMaxColumn>, 3> m_history{};
    std::array<std::int16_t, kMaxColumn> m_secondColumn{};
    CEchogramDoc* m_partner = nullptr;
    // Pings' results on their way to the views, oldest first, and the one
    // they draw now.
    mutable std::mutex m_resultLock;
    std::deque<SShownPing> m_results;
    std::uint64_t m_resultCount = 0;
    SShownPing m_shown;
};

// The dialogs of the echogram documents, which the user interface provides.
// Each runs its dialog modally on the caller's values: IDOK, IDCANCEL, -1
// when the document that opened it went away meanwhile, 0 when it could not
// be made.
class IEchogramDialogs
{
public:
    using DialogOpened = CEchogramDoc::DialogOpened;
    virtual ~IEchogramDialogs() = default;
    virtual int RunRange(CEchogramDoc::RangeDialogValues& values, const DialogOpened& opened) = 0;
    virtual int RunFilter(CEchogramDoc::FilterDialogValues& values, const DialogOpened& opened) = 0;
    virtual int RunSettings(CEchogramDoc::SettingsDialogValues& values, const DialogOpened& opened) = 0;
};
