#include "display/EchogramDoc.h"

#include "display/ESDocList.h"
#include "display/EchogramInteraction.h"
#include "display/LayerEchogramBottom.h"
#include "display/LayerEchogramSurface.h"
#include "engine/ChannelIntegrator.h"

#include "base/Archive.h"
#include "base/DepthUnit.h"
#include "base/EchosounderError.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The document's view of a real channel.
class CChannelAccess final : public IEchogramChannel
{
public:
    explicit CChannelAccess(CChannel& c) : m_c(c) {}
    std::string GetSourceName() const override { return m_c.GetSourceName(); }
    void SetFirstEchogramType(int type) override { m_c.SetFirstEchogramType(type); }
    void SetEchogramStartRange(double r) override { m_c.SetEchogramStartRange(r); }
    void SetEchogramStopRange(double r) override { m_c.SetEchogramStopRange(r); }
    void SetEchogramMode(int mode) override { m_c.SetEchogramMode(mode); }
    void SetEchogramInfo(bool s, bool p, const std::string& n, bool sl) override { m_c.SetEchogramInfo(s, p, n, sl); }
    void SetEchogramValue(double v) override { m_c.SetEchogramValue(v); }
    void AccumulateFlag(int flag) override { m_c.AccumulateFlag(flag); }
    void GetTrawl(bool& depthValid, double& depth, bool& openingValid, double& opening) const override
    {
        // Word 0 flags the trawl depth in words 2..3, word 4 the opening in 6..7.
        std::uint32_t w[8] = {};
        m_c.GetStatusWords(w);
        auto asDouble = [](const std::uint32_t* p) {
            const std::uint64_t bits = static_cast<std::uint64_t>(p[0]) | (static_cast<std::uint64_t>(p[1]) << 32);
            double d;
            static_assert(sizeof d == sizeof bits);
            std::memcpy(&d, &bits, sizeof d);
            return d;
        };
        depthValid = w[0] != 0;
        depth = asDouble(w + 2);
        openingValid = w[4] != 0;
        opening = asDouble(w + 6);
    }
    bool GetPingSamples(std::int16_t* out, int n, double range, double start, int type, int reference) override
    {
        return m_c.GetPingSamples(out, n, range, start, type, reference);
    }
    bool GetBottomDepth(double& depth) override
    {
        depth = 0.0;
        return m_c.ProcessPing(&depth, nullptr);
    }
    double FindLevelStep(double ms) override { return m_c.FindLevelStep(ms); }
    bool IsNoiseCompensationOn() const override { return m_c.GetNoiseCompensation() != 0; }
    bool WantsFilterValues() const override { return m_c.WantsFilterValues(); }
    void TakeFilterValues(const std::array<int, 5>& values) override { m_c.TakeFilterValues(values); }
    void RequestFilterValues() override { m_c.RequestFilterValues(); }
    void SetBottomDetectorMode(bool externalDepth, const std::string& sourceName) override
    {
        m_c.SetBottomDetectorMode(0, std::string(), externalDepth ? 1 : 0, sourceName);
    }
    void UpdateDocument(IEchoIntegrator& integrator) override { m_c.UpdateDocument(integrator); }

private:
    CChannel& m_c;
};

bool g_alternate = false;

std::int16_t AddLimited(std::int16_t sample, std::int64_t addition)
{
    if (addition > CEchogramDoc::kMaxAddition)
        addition = CEchogramDoc::kMaxAddition;
    std::int16_t v = rawpower::Saturate16(static_cast<std::int64_t>(sample) + addition);
    // Processing never makes a sample look like one without data.
    if (v == CEchogramDoc::kNoData)
        v = static_cast<std::int16_t>(addition < 0 ? CEchogramDoc::kNoData - 1 : CEchogramDoc::kNoData + 1);
    return v;
}

}  // namespace

namespace {

// An integer from a list's text; text that is not one keeps the old value,
// so that a stray letter never turns a filter size into 0.
int ParseInteger(const std::string& text, int previous)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno != 0 || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return previous;
    return static_cast<int>(v);
}

bool IsQYTemplate(int templateId)
{
    return templateId == CEchogramDoc::kQY210Template || templateId == CEchogramDoc::kQY310Template;
}

// Echogram types behind the TVG buttons of each dialog, in button order.
constexpr int kQYGainTypes[] = {CEchogramDoc::NOTVG, CEchogramDoc::SS_20, CEchogramDoc::LOG30, CEchogramDoc::TS_40};
constexpr int kRM30GainTypes[] = {CEchogramDoc::SV_20, CEchogramDoc::TS_40, CEchogramDoc::SS_20};
constexpr int kGeneralGainTypes[] = {CEchogramDoc::NOTVG, CEchogramDoc::SV_20, CEchogramDoc::TS_40,
                                     CEchogramDoc::SS_20};

template <std::size_t N>
int GainChoiceOf(const int (&types)[N], int type)
{
    for (std::size_t i = 0; i < N; ++i)
        if (types[i] == type)
            return static_cast<int>(i);
    return -1;
}

template <std::size_t N>
int GainTypeOf(const int (&types)[N], int choice, int previous)
{
    return choice >= 0 && choice < static_cast<int>(N) ? types[choice] : previous;
}

}  // namespace

int CEchogramDoc::RealizeViewPalettes()
{
    int result = 0;
    for (IDocumentView* view : GetViews())
        result = view->RealizeViewPalette();
    return result;
}

template <typename Run>
int CEchogramDoc::RunOpenDialog(Run&& run)
{
    const int result = run([this](IOpenDialog* dialog) { m_openDialog = dialog; });
    // -1: the dialog was ended because this document is being destroyed.
    if (result == -1)
        return -1;
    m_openDialog = nullptr;
    return result;
}

int CEchogramDoc::SettingsTemplateOf(SounderModel model)
{
    switch (model) {
    case SounderModel::QY210:
        return kQY210Template;
    case SounderModel::QY310:
    case SounderModel::QYNVU:
        return kQY310Template;
    case SounderModel::RM30:
        return kRM30Template;
    default:
        return kGeneralTemplate;
    }
}

bool CEchogramDoc::IsKnownReference(SounderModel model, int reference)
{
    const int last = IsQYTemplate(SettingsTemplateOf(model)) ? SIDESCAN : TRAWL;
    return reference >= SURFACE && reference <= last;
}

CEchogramDoc::SettingsDialogValues CEchogramDoc::MakeSettingsDialogValues() const
{
    std::lock_guard lock(m_settingsLock);
    SettingsDialogValues v;
    v.templateId = SettingsTemplateOf(m_context.model);
    const bool qy = IsQYTemplate(v.templateId);
    if (qy)
        v.gainType = GainChoiceOf(kQYGainTypes, m_echogramType);
    else if (v.templateId == kRM30Template)
        v.gainType = m_echogramType == NOTVG ? 0 : GainChoiceOf(kRM30GainTypes, m_echogramType);
    else
        v.gainType = GainChoiceOf(kGeneralGainTypes, m_echogramType);
    v.trawlLine = m_externalDepth;
    v.scaleLineCount = static_cast<unsigned>(std::clamp(m_depthLines, 0, 50));
    v.scaleLines = m_scale;
    v.pingFilter = m_pingFilter;
    v.minuteMarkers = m_minuteMarker;
    v.variableDepthLines = m_variableDepth;
    switch (m_rangeReference) {
    case SURFACE:
        v.echogramKind = m_surfaceAutoRange   ? kSurfaceAutoRange
                         : m_surfaceAutoStart ? kSurfaceAutoStart
                                              : kSurfaceManual;
        break;
    case BOTTOM:
        v.echogramKind = kBottom;
        break;
    case TRAWL:
        v.echogramKind = qy ? -1 : kTrawlOrSidescan;
        break;
    case SIDESCAN:
        v.echogramKind = qy ? kTrawlOrSidescan : -1;
        break;
    case SLOPE:
        v.echogramKind = qy ? kAlongTrackSlope : -1;
        break;
    default:
        break;
    }
    v.bottomLine = !m_bottomShown ? 0 : (qy && m_contourLine) ? 3 : m_whiteLine ? 2 : 1;
    v.newRangeMarkers = m_newRangeMarker;
    v.eventMarkers = m_eventMarker;
    v.rangeOther = m_rangeOtherMarker;
    v.purseSeine = m_purseSeineMarker;
    v.newSvpMarkers = m_newSvpMarker;
    v.showAnnotation = m_showAnnotation;
    v.subBottomGainOn = m_subBottomGainOn;
    v.subBottomGain = m_subBottomGain;
    v.externalDepthOn = m_externalDepth;
    v.externalDepthSource = m_depthSourceName;
    v.sidescanSide = m_sidescanSide;
    v.sidescanView = m_slantCorrection ? 1 : 0;
    v.importOn = m_publishPartner;
    v.importSource = m_partnerName;
    v.bottomDetectionLines = m_multiPulseMarker;
    if (qy) {
        for (const SExternalSource& source : m_context.ExternalDepth().GetSources())
            if (!source.name.empty())
                v.externalDepthList.push_back(source.name);
        v.importList = v.externalDepthList;
    }
    v.pingerMode = m_context.EchogramHost().IsPingerMode();
    if (qy && m_access && m_access->IsNoiseCompensationOn()) {
        // With noise compensation the picture is shown without TVG.
        v.noiseCompensation = true;
        v.gainType = GainChoiceOf(kQYGainTypes, NOTVG);
        v.noiseOffset = m_noiseOffset;
        v.noiseTracking = m_noiseTracking;
    }
    return v;
}

void CEchogramDoc::ApplySettingsDialogValues(const SettingsDialogValues& v)
{
    std::lock_guard lock(m_settingsLock);
    const bool qy = IsQYTemplate(v.templateId);
    if (qy)
        m_echogramType = GainTypeOf(kQYGainTypes, v.gainType, m_echogramType);
    else if (v.templateId == kRM30Template)
        m_echogramType = GainTypeOf(kRM30GainTypes, v.gainType, m_echogramType);
    else
        m_echogramType = GainTypeOf(kGeneralGainTypes, v.gainType, m_echogramType);
    m_externalDepth = qy ? v.externalDepthOn : v.trawlLine;
    m_depthLines = static_cast<int>(std::min(v.scaleLineCount, 50u));
    m_scale = v.scaleLines;
    m_pingFilter = v.pingFilter;
    m_minuteMarker = v.minuteMarkers;
    m_variableDepth = v.variableDepthLines;

    const bool wasSidescan = m_sidescan;
    switch (v.echogramKind) {
    case kSurfaceManual:
        m_rangeReference = SURFACE;
        m_range = m_surfaceRange;
        m_start = m_surfaceStart;
        m_surfaceAutoRange = m_surfaceAutoStart = false;
        m_sidescan = false;
        break;
    case kSurfaceAutoRange:
        m_rangeReference = SURFACE;
        m_start = m_surfaceStart;
        m_surfaceAutoRange = true;
        m_surfaceAutoStart = false;
        m_sidescan = false;
        break;
    case kSurfaceAutoStart:
        m_rangeReference = SURFACE;
        m_range = m_surfaceRange;
        m_surfaceAutoStart = true;
        m_surfaceAutoRange = false;
        m_sidescan = false;
        break;
    case kBottom:
        m_rangeReference = BOTTOM;
        m_range = m_bottomRange;
        m_start = m_bottomOffset;
        m_sidescan = false;
        break;
    case kTrawlOrSidescan:
        if (qy) {
            m_rangeReference = SIDESCAN;
            m_sidescan = true;
            m_range = m_surfaceRange;
            m_start = m_surfaceStart;
        } else {
            m_rangeReference = TRAWL;
            m_range = m_start = 0.0;
            m_sidescan = false;
        }
        break;
    case kAlongTrackSlope:
        if (qy) {
            m_rangeReference = SLOPE;
            m_range = m_slopeRange;
            m_start = m_slopeOffset;
            m_sidescan = false;
        }
        break;
    default:  // no choice: the echogram stays as it is
        break;
    }
    // The picture's geometry changes with side-scan: the view starts afresh.
    if (qy && wasSidescan != m_sidescan)
        m_resetRequest = true;

    switch (v.bottomLine) {
    case 0:
        m_bottomShown = false;
        break;
    case 1:
        m_bottomShown = true;
        m_whiteLine = m_contourLine = false;
        break;
    case 2:
        m_bottomShown = m_whiteLine = true;
        m_contourLine = false;
        break;
    case 3:
        if (qy) {
            m_bottomShown = m_contourLine = true;
            m_whiteLine = false;
        }
        break;
    default:
        break;
    }
    m_newRangeMarker = v.newRangeMarkers;
    m_eventMarker = v.eventMarkers;
    m_rangeOtherMarker = v.rangeOther;
    if (!qy) {
        m_purseSeineMarker = v.purseSeine;
        return;
    }
    m_newSvpMarker = v.newSvpMarkers;
    m_showAnnotation = v.showAnnotation;
    m_subBottomGainOn = v.subBottomGainOn;
    m_subBottomGain = std::isfinite(v.subBottomGain) ? std::clamp(v.subBottomGain, 0.0f, 5.0f) : m_subBottomGain;
    m_depthSourceName = v.externalDepthSource;
    if (v.sidescanSide == 0 || v.sidescanSide == 1)
        m_sidescanSide = v.sidescanSide;
    if (v.sidescanView == 0 || v.sidescanView == 1)
        m_slantCorrection = v.sidescanView == 1;
    m_publishPartner = v.importOn;
    m_partnerName = v.importSource;
    m_multiPulseMarker = v.bottomDetectionLines;
    if (v.noiseCompensation) {
        if (std::isfinite(v.noiseOffset))
            m_noiseOffset = v.noiseOffset;
        m_noiseTracking = v.noiseTracking == 1 ? 1 : 0;
    }
}

int CEchogramDoc::OnEchogramSettings()
{
    // The dialogs have no choice for any other reference; a loaded layout
    // never brings one (Serialize refuses it).
    if (!IsKnownReference(m_context.model, m_rangeReference))
        ECHOSOUNDER_FATAL_ERROR("Invalid EGTYPE (%d)", m_rangeReference);
    IEchogramDialogs* dialogs = m_context.echogramDialogs;
    if (!dialogs)
        return 0;
    SettingsDialogValues v = MakeSettingsDialogValues();
    const int result =
        RunOpenDialog([&v, dialogs](const DialogOpened& opened) { return dialogs->RunSettings(v, opened); });
    if (result == -1 || result == 0)
        return 0;
    if (result != IDOK)
        return 1;
    ApplySettingsDialogValues(v);
    if (m_access)
        m_access->SetBottomDetectorMode(m_externalDepth, m_depthSourceName);
    m_context.EchogramHost().ChannelStatusChanged();
    return 1;
}

int CEchogramDoc::OnRangeSettings()
{
    RangeDialogValues v;
    std::unique_lock lock(m_settingsLock);
    v.reference = m_rangeReference;
    switch (m_rangeReference) {
    case SURFACE:
        v.range = CDepthUnit::FromMeters(m_surfaceRange);
        v.start = CDepthUnit::FromMeters(m_surfaceStart);
        v.autoRange = m_surfaceAutoRange;
        v.autoStart = m_surfaceAutoStart;
        break;
    case BOTTOM:
        v.range = CDepthUnit::FromMeters(m_bottomRange);
        v.start = CDepthUnit::FromMeters(m_bottomOffset);
        break;
    case SLOPE:
        // Slope limits are angles (degrees): no depth unit applies.
        v.range = m_slopeRange;
        v.start = m_slopeOffset;
        break;
    case SIDESCAN:
        v.range = CDepthUnit::FromMeters(m_sidescanRange[0]);
        v.range1 = CDepthUnit::FromMeters(m_sidescanRange[1]);
        v.autoRange = m_surfaceAutoRange;
        v.autoStart = m_surfaceAutoStart;
        break;
    case TRAWL:
        v.start = CDepthUnit::FromMeters(m_trawlMargin);
        break;
    default:
        ECHOSOUNDER_FATAL_ERROR("Invalid EGTYPE (%d)", m_rangeReference);
    }
    lock.unlock();
    IEchogramDialogs* dialogs = m_context.echogramDialogs;
    if (!dialogs)
        return 0;
    const int result =
        RunOpenDialog([&v, dialogs](const DialogOpened& opened) { return dialogs->RunRange(v, opened); });
    if (result == -1 || result == 0)
        return 0;
    if (result != IDOK)
        return 1;
    lock.lock();
    switch (m_rangeReference) {
    case SURFACE:
        if (!m_surfaceAutoRange)
            m_surfaceRange = CDepthUnit::ToMeters(v.range);
        if (!m_surfaceAutoStart)
            m_surfaceStart = CDepthUnit::ToMeters(v.start);
        m_range = m_surfaceRange;
        m_start = m_surfaceStart;
        break;
    case BOTTOM:
        m_bottomRange = CDepthUnit::ToMeters(v.range);
        m_bottomOffset = CDepthUnit::ToMeters(v.start);
        m_range = m_bottomRange;
        m_start = m_bottomOffset;
        break;
    case SLOPE:
        m_slopeRange = v.range;
        m_slopeOffset = v.start;
        m_range = m_slopeRange;
        m_start = m_slopeOffset;
        break;
    case SIDESCAN:
        if (!m_surfaceAutoRange)
            m_sidescanRange[0] = CDepthUnit::ToMeters(v.range);
        if (!m_surfaceAutoStart)
            m_sidescanRange[1] = CDepthUnit::ToMeters(v.range1);
        m_start = 0.0;
        m_surfaceRange = m_range = m_sidescanRange[m_sidescanSide == 0 ? 0 : 1];
        break;
    case TRAWL:
        m_trawlMargin = CDepthUnit::ToMeters(v.start);
        m_range = 0.0;
        m_start = 0.0;
        break;
    default:
        break;
    }
    return 1;
}

void CEchogramDoc::OnEchogramFilter()
{
    FilterDialogValues v;
    v.echoAmplifier = m_echoAmplifier;
    v.medianFilter = m_medianFilter;
    v.secondStageFilter = m_secondStageFilter;
    v.value1 = std::to_string(m_filterValue1);
    v.value2 = std::to_string(m_filterValue2);
    v.pingToPingMedian = m_pingToPingMedian;
    IEchogramDialogs* dialogs = m_context.echogramDialogs;
    if (!dialogs)
        return;
    // The filter dialog, too, is ended when the document goes away, and then
    // nothing is written into it.
    if (RunOpenDialog([&v, dialogs](const DialogOpened& opened) { return dialogs->RunFilter(v, opened); }) != IDOK)
        return;
    std::lock_guard lock(m_settingsLock);
    m_echoAmplifier = v.echoAmplifier;
    m_medianFilter = v.medianFilter;
    m_secondStageFilter = v.secondStageFilter;
    m_filterValue1 = ParseInteger(v.value1, m_filterValue1);
    m_filterValue2 = ParseInteger(v.value2, m_filterValue2);
    m_pingToPingMedian = v.pingToPingMedian;
    // The channel took the old values; it is to take the new ones.
    if (m_access)
        m_access->RequestFilterValues();
}

CEchogramDoc::CEchogramDoc(const SDisplayContext& context) : m_context(context)
{
    SetDefaults();
    m_recentLayerValues.fill(0.0);
    m_layerCounter = 0;
    m_partner = nullptr;
    for (auto& h : m_history)
        h.fill(kNoData);
}

CEchogramDoc::~CEchogramDoc()
{
    EndHandOff();
    if (IOpenDialog* dialog = m_openDialog) {
        m_openDialog = nullptr;
        dialog->EndDialog(-1);
    }
    // No update may run on a half-destroyed document.
    DetachFromSource();
}

std::unique_ptr<CLayer> CEchogramDoc::MakeLayer(int rangeReference)
{
    if (rangeReference == SURFACE || rangeReference == TRAWL)
        return std::make_unique<CLayerEchogramSurface>();
    if (rangeReference == BOTTOM)
        return std::make_unique<CLayerEchogramBottom>();
    return nullptr;
}

void CEchogramDoc::StartWithMatchingLayer()
{
    if (std::unique_ptr<CLayer> layer = MakeLayer(m_rangeReference)) {
        layer->m_areaBackscattering = 0.0;
        m_integrator->AddLayer(std::move(layer));
    }
    m_integrator->StartIntegration();
}

void CEchogramDoc::IntegrateLayers()
{
    if (!m_integrator) {
        if (IsQYModel(m_context.model))
            return;
        m_integrator = std::make_unique<CChannelIntegrator>();
        StartWithMatchingLayer();
        return;
    }
    if (!m_integrator->IsIntegrating() || !m_integrator->HasLayers())
        return;
    CLayer* first = m_integrator->GetLayer(0);
    if (!first) {
        m_integrator->StopIntegration();
        return;
    }
    const int kind = first->GetReferenceKind();
    const bool matches =
        (kind == CLayerEchogramSurface::kKind && (m_rangeReference == SURFACE || m_rangeReference == TRAWL)) ||
        (kind == CLayerEchogramBottom::kKind && m_rangeReference == BOTTOM);
    if (matches) {
        first->m_range = m_range;
        first->m_start = m_start;
        first->m_bottomMargin = 0.5;
        first->m_threshold = -100.0;
        m_access->UpdateDocument(*m_integrator);
        StepRecentLayerValues();
    } else {
        while (m_integrator->GetLayerCount() > 0)
            m_integrator->DeleteLayer(0);
        StartWithMatchingLayer();
    }
}

void CEchogramDoc::StepRecentLayerValues()
{
    const int k = m_viewCount / 10;
    if (k == 0 || m_frozen) {
        m_recentLayerValues.fill(0.0);
        m_layerCounter = 0;
        return;
    }
    ++m_layerCounter;
    int slot = m_layerCounter / k;
    if (slot >= 10) {
        m_layerCounter = 0;
        slot = 0;
    }
    if (m_layerCounter % k == 0) {
        m_integrator->ComputeLayerResults();
        m_recentLayerValues[static_cast<std::size_t>(slot)] = 0.0;
    }
    // Without a layer there is no value to keep, rather than an exception
    // on the ping thread.
    if (const CLayer* first = m_integrator->GetLayer(0))
        m_recentLayerValues[static_cast<std::size_t>(slot)] = first->m_areaBackscattering;
}

void CEchogramDoc::SetChannel(CChannel* channel)
{
    CAbstractESDoc::SetChannel(channel);
    m_ownAccess = channel ? std::make_unique<CChannelAccess>(*channel) : nullptr;
    m_access = m_ownAccess.get();
}

void CEchogramDoc::SetDefaults()
{
    const SounderModel model = m_context.model;
    g_alternate = !g_alternate;
    if (g_alternate) {
        m_rangeReference = SURFACE;
        m_range = 100.0;
        m_start = 0.0;
    } else {
        m_rangeReference = BOTTOM;
        m_range = 25.0;
        m_start = 15.0;
    }
    m_surfaceRange = 100.0;
    m_surfaceStart = 0.0;
    m_bottomRange = 25.0;
    m_bottomOffset = 15.0;
    m_slopeRange = 10.0;
    m_slopeOffset = 5.0;
    m_trawlMargin = 1.0;
    m_bottomSubstituted = 0;
    m_bottomRow = 0;
    m_frozen = false;
    m_variableDepthValue = 0.0;
    m_variableDepth = false;
    m_echogramType = IsQYModel(model) ? SS_20 : TS_40;
    m_scale = true;
    m_depthLines = 10;
    m_purseSeineMarker = false;
    m_externalDepth = false;
    m_subBottomGainOn = false;
    m_subBottomGain = 0.0f;
    m_depthSourceName.clear();
    m_sidescanSide = 0;
    m_slantCorrection = false;
    m_publishPartner = false;
    m_partnerName.clear();
    m_multiPulseMarker = false;
    m_sidescanRange[0] = m_sidescanRange[1] = 200.0;
    m_resetRequest = false;
    m_whiteLine = m_contourLine = m_bottomShown = false;
    m_rangeOtherMarker = m_eventMarker = m_minuteMarker = m_newRangeMarker = m_newSvpMarker = false;
    m_pingFilter = model == SounderModel::RM30;
    m_surfaceAutoRange = m_surfaceAutoStart = false;
    m_sidescan = false;
    m_showAnnotation = false;
    m_noiseOffset = 0.0;
    m_noiseTracking = 0;
    m_echoAmplifier = false;
    m_medianFilter = false;
    m_secondStageFilter = true;
    m_filterValue1 = 3;
    m_filterValue2 = 1;
    m_pingToPingMedian = false;
}

void CEchogramDoc::SetViewCount(int n)
{
    std::lock_guard lock(m_settingsLock);
    m_viewCount = n < 0 ? 0 : n;
}

CEchogramDoc::STraceWindow CEchogramDoc::GetTraceWindow() const
{
    std::lock_guard lock(m_settingsLock);
    return {m_rangeReference, m_start, m_range, m_viewCount, m_frozen};
}

void CEchogramDoc::SetViewSize(int columnLength, int totalRows, bool frozen)
{
    std::lock_guard lock(m_settingsLock);
    SetColumnLength(columnLength);
    SetTotalRows(totalRows);
    m_frozen = frozen;
    if (frozen) {
        m_recentLayerValues.fill(0.0);
        m_layerCounter = 0;
    }
}

bool CEchogramDoc::StripWheel(int delta, bool shift, bool trawlDepthValid, double trawlDepth, bool trawlOpeningValid,
                              double trawlOpening)
{
    CEchogramInteraction::SWindow w;
    w.trawlDepthValid = trawlDepthValid;
    w.trawlDepth = trawlDepth;
    w.trawlOpeningValid = trawlOpeningValid;
    w.trawlOpening = trawlOpening;
    std::lock_guard lock(m_settingsLock);
    w.reference = m_rangeReference;
    w.range = m_range;
    w.start = m_start;
    w.autoRange = m_surfaceAutoRange;
    w.autoStart = m_surfaceAutoStart;
    w.surfaceRange = m_surfaceRange;
    w.surfaceStart = m_surfaceStart;
    w.bottomRange = m_bottomRange;
    w.bottomOffset = m_bottomOffset;
    w.slopeRange = m_slopeRange;
    w.slopeOffset = m_slopeOffset;
    w.trawlMargin = m_trawlMargin;
    if (!CEchogramInteraction::StripWheel(w, delta, shift))
        return false;
    m_range = w.range;
    m_start = w.start;
    m_surfaceRange = w.surfaceRange;
    m_surfaceStart = w.surfaceStart;
    m_bottomRange = w.bottomRange;
    m_bottomOffset = w.bottomOffset;
    m_slopeRange = w.slopeRange;
    m_slopeOffset = w.slopeOffset;
    m_trawlMargin = w.trawlMargin;
    return true;
}

bool CEchogramDoc::FollowBottom(double depth)
{
    std::lock_guard lock(m_settingsLock);
    if (m_surfaceAutoRange)
        m_range = CEchogramInteraction::AutoRange(depth, m_range);
    if (!m_surfaceAutoStart)
        return true;
    double start = m_start;
    const bool taken = CEchogramInteraction::AutoStart(depth, m_start, m_range, start);
    m_start = start;
    return taken;
}

void CEchogramDoc::SetMarkerValue(double value)
{
    std::lock_guard lock(m_settingsLock);
    m_variableDepthValue = value;
}

void CEchogramDoc::SetColumnLength(int n)
{
    m_columnLength = std::clamp(n, 0, kMaxColumn);
}
void CEchogramDoc::SetTotalRows(int n)
{
    m_totalRows = std::clamp(n, 0, kMaxColumn);
}

int CEchogramDoc::SideRows(int totalRows, double range, double otherRange)
{
    const double sum = range + otherRange;
    if (!(sum > 0.0) || !(range >= 0.0) || totalRows <= 0)
        return 0;
    const double n = std::trunc(static_cast<double>(totalRows) * range / sum);
    return static_cast<int>(std::clamp(n, 0.0, static_cast<double>(std::min(totalRows, kMaxColumn))));
}

double CEchogramDoc::GetRangeStart() const
{
    switch (m_rangeReference) {
    case SURFACE:
    case SLOPE:
    case SIDESCAN:
        return m_start;
    case BOTTOM:
        return -m_start;
    case TRAWL:
        return -m_trawlMargin;
    default:
        return 0.0;
    }
}

double CEchogramDoc::GetRangeOffset() const
{
    switch (m_rangeReference) {
    case SURFACE:
    case SIDESCAN:
        return m_start + m_range;
    case BOTTOM:
        return m_range - m_start;
    case SLOPE:
        return m_start - m_range;
    case TRAWL: {
        bool dv = false, ov = false;
        double depth = 0.0, opening = 0.0;
        if (m_access)
            m_access->GetTrawl(dv, depth, ov, opening);
        return m_trawlMargin + depth;
    }
    default:
        return 0.0;
    }
}

double CEchogramDoc::GetMeanLayerValue() const
{
    double sum = 0.0;
    for (double v : m_recentLayerValues)
        sum += v;
    return sum / 10.0;
}

void CEchogramDoc::AddSubBottomGain(std::int16_t* column, int length, int bottomRow, double range, float gainDbPerMetre)
{
    if (length <= 0 || bottomRow <= 0 || bottomRow >= length)
        return;
    const double metresPerRow = range / length;
    for (int i = bottomRow; i < length; ++i) {
        if (column[i] == kNoData)
            continue;
        const std::int64_t add =
            rawpower::Trunc((i - bottomRow) * metresPerRow * gainDbPerMetre * rawpower::kUnitsPerDb);
        column[i] = AddLimited(column[i], add);
    }
}

void CEchogramDoc::AddOffset(std::int16_t* column, int length, double offsetDb)
{
    const std::int64_t add = rawpower::Trunc(offsetDb * rawpower::kUnitsPerDb);
    for (int i = 0; i < length; ++i)
        if (column[i] != kNoData)
            column[i] = AddLimited(column[i], add);
}

void CEchogramDoc::PingToPingMedian(std::int16_t* column, int length, const std::int16_t* h1, const std::int16_t* h2,
                                    const std::int16_t* h3)
{
    for (int i = 0; i < length; ++i) {
        if (column[i] == kNoData)
            continue;
        const std::int16_t a = h1[i], b = h2[i], c = h3[i];
        // Only three samples with data give a median; otherwise the sample
        // keeps its value rather than taking a marker or a missing ping.
        if (a == kNoData || b == kNoData || c == kNoData)
            continue;
        column[i] = std::max(std::min(a, b), std::min(std::max(a, b), c));
    }
}

void CEchogramDoc::OnSourceUpdate(int flag)
{
    IEchogramHost& host = m_context.EchogramHost();
    IExternalDepthExchange& external = m_context.ExternalDepth();
    std::unique_lock lock(m_settingsLock);
    m_partner = nullptr;
    if (m_frozen)
        return;
    double interval = 0.0;
    if (host.GetFixedInterval(interval)) {
        const double c = host.GetSoundVelocity();
        m_range = interval * c * 0.5;
    }
    if (flag != 0 && m_access) {
        IEchogramChannel& ch = *m_access;
        if (CESDocList* list = GetSource()) {
            for (CAbstractESDoc* d : list->GetDocList()) {
                auto* e = dynamic_cast<CEchogramDoc*>(d);
                if (e && e != this && e->GetChannel() == GetChannel())
                    m_partner = e;
            }
        }
        m_bottomSubstituted = 0;
        m_bottomRow = 0;
        ch.SetFirstEchogramType(m_echogramType);
        ch.SetEchogramStartRange(m_range + m_surfaceStart);
        if (m_rangeReference == SURFACE) {
            host.SetApplicationEchogramValue(m_echogramType);
            ch.SetEchogramStopRange(m_surfaceRange + m_surfaceStart);
        }
        if (m_rangeReference == TRAWL) {
            bool dv = false, ov = false;
            double depth = 0.0, opening = 0.0;
            ch.GetTrawl(dv, depth, ov, opening);
            m_range = 2.0 * m_trawlMargin + opening;
            m_start = depth - m_trawlMargin;
        }
        ch.SetEchogramMode(2);

        if (!m_sidescan) {
            ch.GetPingSamples(m_column.data(), m_columnLength, m_range, m_start, m_echogramType, m_rangeReference);
            m_delivered = m_columnLength;
        } else {
            ch.SetEchogramMode(m_sidescanSide);
            const int side = m_sidescanSide == 0 ? 0 : 1;
            const double r = m_sidescanRange[side];
            const double other = m_sidescanRange[1 - side];
            const int n = SideRows(m_totalRows, r, other);
            ch.GetPingSamples(m_column.data(), n, r, 0.0, m_echogramType, m_rangeReference);
            m_delivered = n;
        }

        // External range.
        std::string name = ch.GetSourceName();
        if (name.find("Replay") != std::string::npos) {
            const auto at = name.find("Replay ");
            if (at != std::string::npos)
                name.erase(at, 7);
        }
        double externalRange = 0.0;
        if (external.GetSourceDepth(name, externalRange)) {
            m_surfaceStart = 0.0;
            m_start = 0.0;
            m_surfaceRange = externalRange;
            m_range = externalRange;
        }

        const std::vector<SExternalSource> sources = external.GetSources();
        auto matches = [this](const SExternalSource& s) {
            return !s.name.empty() && s.name.find(m_depthSourceName) != std::string::npos;
        };
        if (m_sidescan) {
            const int side = m_sidescanSide == 0 ? 0 : 1;
            if (m_publishPartner) {
                const double r = m_sidescanRange[side];
                const double other = m_sidescanRange[1 - side];
                external.PublishPartner(m_partnerName, other, SideRows(m_totalRows, other, r),
                                        m_sidescanSide == 0 ? 1 : 0, m_echogramType, m_slantCorrection);
            }
            double slant = 0.0;
            if (m_externalDepth)
                for (const SExternalSource& s : sources)
                    if (matches(s))
                        slant = s.depth;
            external.SetSlantOffset(slant);
        }
        ch.SetEchogramInfo(m_sidescan, m_publishPartner, m_partnerName, m_slantCorrection);
        if (m_externalDepth) {
            int any = 0;
            for (const SExternalSource& s : sources)
                if (matches(s)) {
                    ch.SetEchogramValue(s.depth);
                    any = 1;
                }
            ch.AccumulateFlag(any);
        } else {
            ch.AccumulateFlag(0);
        }

        IntegrateLayers();

        double d = 0.0;
        ch.GetBottomDepth(d);
        const double s = m_rangeReference == BOTTOM ? d - m_start : m_start;
        if (m_range > 0.0 && s < d && d < s + m_range && m_delivered > 0) {
            const double row = std::trunc((d - s) / m_range * m_delivered);
            m_bottomRow = static_cast<int>(std::clamp(row, 0.0, static_cast<double>(m_delivered - 1)));
        }
        PostProcess();
    }
    lock.unlock();
    QueueResult();
    m_context.ViewUpdates().UpdateViews(*this);
}

void CEchogramDoc::QueueResult()
{
    SShownPing ping;
    {
        std::lock_guard lock(m_settingsLock);
        ping.column.assign(m_column.begin(), m_column.begin() + std::clamp(m_delivered, 0, kMaxColumn));
        ping.bottomRow = m_bottomRow;
        ping.bottomSubstituted = m_bottomSubstituted != 0;
        ping.range = m_range;
        ping.start = m_start;
        ping.rangeStart = GetRangeStart();
        ping.rangeOffset = GetRangeOffset();
        ping.partner = m_partner;
    }
    std::lock_guard lock(m_resultLock);
    ping.number = ++m_resultCount;
    if (m_results.size() >= kMaxWaitingResults)
        m_results.pop_front();
    m_results.push_back(std::move(ping));
}

std::uint64_t CEchogramDoc::NewestResult() const
{
    std::lock_guard lock(m_resultLock);
    return m_resultCount;
}

bool CEchogramDoc::TakeResult(std::uint64_t upTo)
{
    std::lock_guard lock(m_resultLock);
    if (m_results.empty() || m_results.front().number > upTo)
        return false;
    m_shown = std::move(m_results.front());
    m_results.pop_front();
    return true;
}

const CEchogramDoc* CEchogramDoc::ShownPartner() const
{
    // The partner may have gone since the ping: only a document still in
    // the list is looked at.
    const CESDocList* list = GetSource();
    if (!m_shown.partner || !list)
        return nullptr;
    for (CAbstractESDoc* d : list->GetDocList())
        if (d == m_shown.partner)
            return dynamic_cast<const CEchogramDoc*>(d);
    return nullptr;
}

std::size_t CEchogramDoc::GetWaitingPings() const
{
    std::lock_guard lock(m_resultLock);
    return m_results.size();
}

void CEchogramDoc::PostProcess()
{
    IEchogramChannel& ch = *m_access;
    const int n = m_delivered;
    switch (m_context.model) {
    case SounderModel::RM30:
        if (m_echogramType != NOTVG && m_bottomRow > 0) {
            m_bottomSubstituted = 1;
            ch.GetPingSamples(m_secondColumn.data(), n, m_range, m_start, SS_20, m_rangeReference);
            std::copy(m_secondColumn.begin() + m_bottomRow, m_secondColumn.begin() + n, m_column.begin() + m_bottomRow);
        }
        break;
    case SounderModel::QY210:
    case SounderModel::QY310:
    case SounderModel::TOTAL:
    case SounderModel::QYNVU:
        if (ch.WantsFilterValues())
            ch.TakeFilterValues({m_echoAmplifier ? 1 : 0, m_medianFilter ? 1 : 0, m_secondStageFilter ? 1 : 0,
                                 m_filterValue1, m_filterValue2});
        if (m_subBottomGainOn && m_bottomRow > 0)
            AddSubBottomGain(m_column.data(), n, m_bottomRow, m_range, m_subBottomGain);
        if (ch.IsNoiseCompensationOn()) {
            if (m_noiseTracking == 1) {
                const double level = ch.FindLevelStep(m_context.EchogramHost().GetLevelTime());
                m_noiseOffset = (-30.0 - level) * 0.05 + m_noiseOffset * 0.95;
            }
            AddOffset(m_column.data(), n, m_noiseOffset);
        }
        if (m_pingToPingMedian) {
            m_history[2] = m_history[1];
            m_history[1] = m_history[0];
            std::copy(m_column.begin(), m_column.begin() + n, m_history[0].begin());
            std::fill(m_history[0].begin() + n, m_history[0].end(), kNoData);
            PingToPingMedian(m_column.data(), n, m_history[0].data(), m_history[1].data(), m_history[2].data());
        }
        break;
    default:
        break;
    }
}

void CEchogramDoc::Serialize(CArchive& ar)
{
    std::lock_guard lock(m_settingsLock);
    auto flag = [&ar](bool& b) {
        if (ar.IsStoring()) {
            ar << static_cast<LONG>(b ? 1 : 0);
        } else {
            LONG v = 0;
            ar >> v;
            b = v != 0;
        }
    };
    auto integer = [&ar](int& i) {
        if (ar.IsStoring()) {
            ar << static_cast<LONG>(i);
        } else {
            LONG v = 0;
            ar >> v;
            i = static_cast<int>(v);
        }
    };
    auto real = [&ar](double& d) {
        if (ar.IsStoring())
            ar << d;
        else
            ar >> d;
    };
    auto text = [&ar](std::string& s) {
        if (ar.IsStoring())
            ar << s;
        else
            ar >> s;
    };
    const int previousReference = m_rangeReference;
    const int previousType = m_echogramType;
    integer(m_rangeReference);
    integer(m_echogramType);
    flag(m_frozen);
    flag(m_bottomShown);
    flag(m_whiteLine);
    flag(m_scale);
    integer(m_depthLines);
    flag(m_externalDepth);
    flag(m_rangeOtherMarker);
    flag(m_purseSeineMarker);
    flag(m_eventMarker);
    flag(m_minuteMarker);
    flag(m_newRangeMarker);
    flag(m_variableDepth);
    real(m_variableDepthValue);
    flag(m_pingFilter);
    flag(m_surfaceAutoRange);
    flag(m_surfaceAutoStart);
    real(m_surfaceStart);
    real(m_surfaceRange);
    real(m_bottomOffset);
    real(m_bottomRange);
    real(m_trawlMargin);
    real(m_start);
    real(m_range);
    text(m_depthSourceName);
    real(m_slopeRange);
    real(m_slopeOffset);
    flag(m_subBottomGainOn);
    if (ar.IsStoring())
        ar << m_subBottomGain;
    else
        ar >> m_subBottomGain;
    flag(m_newSvpMarker);
    flag(m_sidescan);
    flag(m_contourLine);
    flag(m_showAnnotation);
    flag(m_publishPartner);
    text(m_partnerName);
    integer(m_sidescanSide);
    flag(m_slantCorrection);
    real(m_sidescanRange[0]);
    real(m_sidescanRange[1]);
    flag(m_multiPulseMarker);
    real(m_noiseOffset);
    integer(m_noiseTracking);
    flag(m_echoAmplifier);
    flag(m_medianFilter);
    flag(m_secondStageFilter);
    integer(m_filterValue1);
    integer(m_filterValue2);
    flag(m_pingToPingMedian);
    if (ar.IsLoading()) {
        m_echoAmplifier = false;
        m_medianFilter = false;
        m_pingToPingMedian = false;
        // A damaged layout must not leave values the views divide by or
        // index with.
        m_depthLines = std::clamp(m_depthLines, 0, 50);
        m_sidescanSide = m_sidescanSide == 0 ? 0 : 1;
        // A reference this model's dialogs have no choice for (a damaged
        // file, or one of another model) keeps the echogram as it was.
        if (!IsKnownReference(m_context.model, m_rangeReference))
            m_rangeReference = previousReference;
        if (m_echogramType < NOTVG || m_echogramType > LOG30)
            m_echogramType = previousType;
    }
}
