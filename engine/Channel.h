// One echo sounder channel: one transducer at one frequency behind one
// transceiver. It takes each ping from its input, turns the raw power words
// into calibrated echograms on demand, finds the bottom once per ping and
// serves the ping to every reader with its own window and pixel count.
//
// Locking: one mutex serialises ping intake, per-ping processing, echogram
// assembly and the locked outputs. Public operations never call each other
// while holding it (they share *Locked helpers instead), and the depth users,
// which read other channels, are called only after it has been released.
#pragma once

#include "engine/CalibrationHandOver.h"
#include "engine/ChannelComponents.h"
#include "engine/ChannelInput.h"
#include "engine/ChannelLinks.h"
#include "engine/ChannelParameters.h"
#include "engine/ColorScaleSettings.h"
#include "engine/TSDetection.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CTransceiver;
class ICalibrationHandOver;

class CChannel
{
public:
    static constexpr int kMaxSamples = 30000;
    static constexpr int kMaxExternalSamples = 2000;

    // Echogram types of GetPingSamples and friends; any other type is the
    // raw power of the ping.
    enum EchogramType : int { Sv = 1, TS = 2, Point20Log = 3, Point30Log = 4 };
    // Where a requested window starts.
    enum Reference : int { FromTransducer = 0, FromBottom = 1, FromTransducer2 = 2, External = 4 };

    struct Construction
    {
        CTransceiver* Transceiver = nullptr;
        std::int32_t ChannelId = 0;
        ChannelParameters Parameters;
        double Frequency = 38000.0;  // Hz
        double BeamTerm = -21.0;     // equivalent beam angle, dB
        double Correction[2] = {};   // kept for the calibration hand-over
        // Beam shape: 1 split beam (with angles), 0 single beam; 3 dB beam
        // widths (degrees) and the beam angle whose half the display shows.
        std::int32_t BeamType = 0;
        double BeamWidthAlongship = 0.0;
        double BeamWidthAthwartship = 0.0;
        double BeamAngle = 0.0;
        // Split beam: electrical degrees per degree of each axis and the
        // angle offsets (degrees) that turn phase into angles.
        double AngleSensitivityAlongship = 0.0;
        double AngleSensitivityAthwartship = 0.0;
        double AngleOffsetAlongship = 0.0;
        double AngleOffsetAthwartship = 0.0;
        std::string ChannelName;
        std::string SourceName;
        IChannelLinks* Links = nullptr;  // not owned; null: a channel on its own
        // With the system's own bottom detector, noise estimate and slope
        // tracker; without, a channel runs bare until parts are set.
        bool StandardParts = false;
    };

    explicit CChannel(const Construction& c);
    virtual ~CChannel();
    CChannel(const CChannel&) = delete;
    CChannel& operator=(const CChannel&) = delete;

    // Settings of the owned parts in the channel frames' layouts, in this
    // order: bottom detector (maximum depth, minimum depth, backstep level),
    // slope (history switch, point capacity), colour scale. A channel
    // without a bottom detector or slope tracker keeps their values itself,
    // so a layout always reads and writes the same bytes.
    virtual void SerializeBottomDetector(CArchive& ar);
    virtual void SerializeSlope(CArchive& ar);
    virtual void SerializeColorScale(CArchive& ar);

    // Identity.
    CTransceiver* GetTransceiver() const { return m_transceiver; }
    // What the channel was given of the program; its own defaults when none.
    const IChannelLinks& GetLinks() const { return *m_links; }
    // The channel's index over all transceivers of its sounder, which the
    // sounder gives it once every transceiver is made.
    std::int32_t GetChannelId() const { return m_channelId.load(std::memory_order_relaxed); }
    void SetChannelId(std::int32_t id) { m_channelId.store(id, std::memory_order_relaxed); }
    const std::string& GetChannelName() const { return m_channelName; }
    // The simple pinger transmits on this channel: its name carries
    // " Pinger". Set by the sounder as it is made, before any ping and
    // before anything reads the name on another thread.
    void MakeSimplePingerChannel();
    bool IsSimplePingerChannel() const { return m_simplePinger.load(std::memory_order_relaxed); }
    const std::string& GetSourceName() const { return m_sourceName; }
    double GetFrequency() const { return m_frequency; }
    std::int32_t GetBeamType() const { return m_beamType; }
    double GetBeamWidthAlongship() const { return m_beamWidthAlong; }
    double GetBeamWidthAthwartship() const { return m_beamWidthAthwart; }
    double GetBeamAngle() const { return m_beamAngle; }
    double GetBeamTerm() const { return m_beamTerm; }
    double GetAngleSensitivityAlongship() const { return m_sensitivityAlong; }
    double GetAngleSensitivityAthwartship() const { return m_sensitivityAthwart; }
    double GetAngleOffsetAlongship() const { return m_offsetAlong; }
    double GetAngleOffsetAthwartship() const { return m_offsetAthwart; }

    // Flags the display keeps in the channel: skip echogram updates (1),
    // noise compensation of the echogram (non-zero).
    void SetSkip(int v) { m_skip.store(v, std::memory_order_relaxed); }
    int GetSkip() const { return m_skip.load(std::memory_order_relaxed); }
    void SetNoiseCompensation(int v) { m_noiseCompensation.store(v, std::memory_order_relaxed); }
    int GetNoiseCompensation() const { return m_noiseCompensation.load(std::memory_order_relaxed); }

    // Single targets of the current ping. The first request of a ping runs
    // the detection (and, on the scientific models, the lobe telegram and
    // the calibration hand-over); every request copies the same record.
    // Returns the detection result of the last detected ping: 1 when it ran,
    // 0 when it could not (the record is then empty) or no ping came yet.
    int GetSingleTargets(SingleTargetRecord& out);
    // The calibration link flag: set by the start of the link, cleared when
    // the link fails or goes off. At most one channel of a sounder has it.
    // Each start's component is new, so a start wants the parameter set sent
    // again.
    void SetLinkFlag(bool on);
    bool GetLinkFlag() const { return m_linkFlag.load(); }
    // The hand-over of the sounder that owns the link; given once, before
    // any request (null: the channel hands nothing over).
    void SetCalibrationHandOver(ICalibrationHandOver* handOver);

    // Parts owned by the channel that live in their own files.
    void SetBottomDetector(std::unique_ptr<IBottomDetector> detector);
    // "Second Layer": the detector's second-layer switch, its reference and
    // gain kept.
    void SetSecondLayer(bool on);
    bool IsSecondLayerOn() const;
    void SetNoiseEstimator(std::unique_ptr<INoiseEstimator> noise);
    void SetSlopeTracker(std::unique_ptr<ISlopeTracker> slope);
    // The bottom detector, noise estimate and slope tracker of the system.
    void AttachStandardParts();

    // Bottom detector's dialog and working array; the dialog runs without
    // the channel lock, so pings go on meanwhile.
    bool RunBottomDetectorDialog(bool& bottomLostWarning, bool& minAlarm, bool& maxAlarm, double& minAlarmDepth,
                                 double& maxAlarmDepth);
    void GetBottomSamplesDb(double* out, int n, int first) const;
    // The bottom detector's candidates of the last ping and its limits
    // (minimum depth, backstep level), copied under the channel's lock; all
    // invalid and zero without a detector.
    void GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) const;
    IBottomDetector::Limits GetBottomLimits() const;
    // Single-target detection settings of this channel.
    CTSDetection& GetTSDetection() { return m_tsDetection; }

    // Sonar equation, dB. 1470.6 m/s is the fixed sound speed of the
    // wavelength term.
    static double ComputeTsConstant(double power, double gain, double frequency);
    static double ComputeSvConstant(double power, double gain, double frequency, double psi, double pulse);
    static double ComputeTsConstantEx(double power, double gain, double frequency, double psi);
    // TVG table of log factor k and limit L (dB) over kMaxSamples words.
    static void BuildTvgTable(std::int16_t* table, int size, double k, double alpha, double frequency, double pulse,
                              double d, double limitDb, double range);

    struct FilterSwitches
    {
        bool Compression = false;
        bool Median = false;
        int MedianWidth = 3;
        double CompressionScale = 1.0;
    };
    // Calibrates in[0 .. round(range/d)) into out with the TVG table, the
    // constant and the noise threshold; at most size words. The TVG index
    // (with the pinger offset) is clamped to the table and every sum
    // saturates.
    static void FilterRawSamples(std::int16_t* out, const std::int16_t* in, int size, const std::int16_t* tvg,
                                 int tvgSize, double d, double thresholdDb, double constantDb, double range,
                                 const FilterSwitches& sw, int tvgOffset = 0);
    void SetFilterSwitches(const FilterSwitches& sw);

    // The echogram filter values of the QY models' echogram documents, in
    // this order: echo amplifier, median filter, second stage filter,
    // filter value 1, filter value 2. The first document of a ping that sees
    // the channel wanting them hands them over once; the channel wants them
    // again only after RequestFilterValues.
    static constexpr int kFilterValueCount = 5;
    using FilterValues = std::array<std::int32_t, kFilterValueCount>;
    bool WantsFilterValues() const;
    // Stores the values unless they were already taken; true when stored.
    bool TakeFilterValues(const std::array<int, kFilterValueCount>& values);
    void RequestFilterValues();
    FilterValues GetFilterValues() const;

    // Intake, forwarded to the channel input without the channel lock.
    const std::int16_t* SetSampleBlock(std::uint32_t blockId, int stride, int count, const std::int16_t* words,
                                       int availableWords);
    void AddPowerSamples(const std::int16_t* words, int n, int blockNumber);
    void AddFloatSamples(const float* first, const float* second, const std::uint32_t* third, float floatValue, int n,
                         double doubleValue);
    void AddAngleSamples(const std::uint16_t* words, int n, int blockNumber);
    // A ping staged whole in a buffer of kMaxSamples words is handed over by
    // exchanging buffers (CChannelInput::ExchangePowerSamples).
    void ExchangePowerSamples(std::vector<std::int16_t>& words, int n, int blockNumber);
    void ExchangeAngleSamples(std::vector<std::uint16_t>& words, int n, int blockNumber);
    void SetInputHeader(const std::uint32_t words[8]);
    void SetInputParameters(const std::uint32_t words[12]);
    bool SetDiagnostics(int adCount, const std::uint32_t* perAdWords);
    bool SetAdDiagnostics(int adCount, const std::uint32_t* perAdWords);
    void SetChannelParameters(const ChannelParameters& params);
    int GetInputErrorCount() const { return m_input.GetErrorCount(); }

    // Closes the ping (time in 100-ns units).
    void AddPing(std::uint64_t pingTime);
    // Once per ping: bottom detection and depth hand-over; later calls in
    // the same ping return the stored result.
    bool ProcessPing(double* depth = nullptr, double* levelDb = nullptr);
    bool ProcessPingData();

    // Sample count of the next ping, in samples of the given distance.
    int ComputeSampleCount(double distance, bool* recordTaken = nullptr, int* recordStart = nullptr);
    void RequestRange(double range);
    int RangeToSample(double range, double distance = 0.0) const;
    double SampleToRange(int index, double distance = 0.0) const;

    // Echogram assembly.
    bool GetPingSamples(std::int16_t* out, int n, double length, double start, int echogramType, int reference);
    void GetPingRecord(ChannelPingRecord& out, double start, int reference);
    void AddEchogramSamples(std::int16_t* out, int n, double start, int echogramType, int reference);
    void AddReplaySamples(double* out, int n, double start, int reference);
    void AddEchogramAngles(std::uint16_t* out, int n, double start, int reference);
    void UpdateDocument(IEchoIntegrator& integrator);
    double FindLevelStep(double milliseconds);
    // The traces' value over the growth of the running counter at the head
    // of their third buffer: from the ping's counter to one handed since,
    // or else from the ping before's counter to the ping's; 0.0 without a
    // growth or with fewer than three trace samples.
    double GetTraceRate();

    // Scope traces: window [start, stop) metres at the traces' own sample
    // distance, at most maxCount values; returns the count, distance out.
    enum class TraceKind { Float, Linear, Packed, Combined, Angle };
    int GetScopeTrace(TraceKind kind, int which, double* out, int maxCount, double start, double stop,
                      double& sampleDistance);
    double GetTraceStartTime();

    // Slope tracker; without one there is no slope (false, 0).
    bool GetSlopeAngle(double& degrees) const;
    bool GetSlopeHistoryValue(int placesBack, double& value) const;
    double GetSlopeDistance(int a, int b) const;
    int GetSlopeHalfPointCount() const;
    void UpdateSlopeValidity(bool valid);
    bool IsSlopeValid() const;
    void SetSlopeHistorySize(int columns);
    bool IsSlopeEnabled() const;
    bool EditSlopeSettings();

    // Colour scale.
    double GetValueBySelector(int selector) const;
    void SetValueBySelector(int selector, double levelDb);
    int GetColorIndex(double valueDb, int selector) const;
    // The whole scale as it is now, taken under one lock: a column's levels
    // are then looked up without the channel.
    void GetColorScale(CColorScaleSettings& scale) const;
    void SetLimit40Log(bool on);
    // The colour scale dialog of the running model on the start levels,
    // which take its values only on OK. 0 when no dialog could be shown or
    // the channel went while it was open (then nothing of it is touched),
    // else 1. User-interface thread.
    int OnColorScale();

    // The depth documents' 3-point median of the depth, while the channel
    // input's switch is set.
    int GetDepthFilter() const { return m_input.GetDepthFilter(); }
    void SetDepthFilter(int on) { m_input.SetDepthFilter(on); }

    // Echogram document's values kept for the assembly.
    void SetEchogramInfo(bool sidescan, bool publish, const std::string& partner, bool slantCorrection);
    // The name shown after the channel's own in its depth row: the partner
    // name its side is published under, while the echogram shows a side and
    // publishes it; empty otherwise.
    std::string GetSecondName() const;
    void SetEchogramValue(double v);
    double GetEchogramValue() const;
    void AccumulateFlag(int flag);
    int GetAccumulatedFlag() const;
    void SetFirstEchogramType(int type);
    int GetFirstEchogramType() const;
    void SetEchogramStartRange(double r);
    void SetEchogramStopRange(double r);
    // The echogram document's mode: 2, or in a side-looking display the
    // side it shows the channel on, 0 or 1. The recorder lists the sides.
    void SetEchogramMode(int mode);
    int GetEchogramSide() const;

    // Outputs.
    struct ParameterCopy
    {
        ChannelParameters Parameters;
        double Frequency = 0.0;
        double Motion[6] = {};
        std::uint32_t Header[8] = {};
        std::vector<std::int16_t> Power;
        std::vector<std::uint16_t> Angles;
    };
    void GetChannelParameters(ParameterCopy& out) const;
    // The six motion values of the ping in hand, without the sample copy
    // that GetChannelParameters makes.
    void GetPingMotion(double (&out)[6]) const;
    struct TraceCopy
    {
        std::vector<double> First;
        std::vector<double> Second;
        std::vector<std::uint32_t> Third;
        float Value = 0.0f;
        double SampleDistance = 0.0;
    };
    void GetTraceBuffers(TraceCopy& out) const;
    // The echogram document's display mode for this channel; also handed to
    // the bottom detector.
    void SetBottomDetectorMode(int, const std::string&, int mode, const std::string& text);
    int GetDisplayMode() const;
    std::string GetDisplayText() const;
    // The settings of the ping in hand.
    ChannelParameters GetParameters() const;
    // The settings the next ping takes: a change handed over and not yet
    // applied, else those of the ping in hand. A change of one value starts
    // from these, so that it keeps a change that waits for its ping.
    ChannelParameters GetNextParameters() const;
    // What the channel status window shows, copied under the locks of the
    // channel and its bottom detector.
    struct StatusValues
    {
        double Draught = 0.0;                           // m
        double Power = 0.0;                             // W
        double PulseLength = 0.0;                       // s
        double MinimumDepth = 0.0, MaximumDepth = 0.0;  // m
        double BackStep = 0.0;                          // dB
        int TvgType = 0;                                // the first echogram's type: 3 20 log R, 4 30 log R
    };
    StatusValues GetStatusValues() const;
    // The TVG an echogram type is drawn with: the depths (m) its table runs
    // over and the gain (dB) where it is limited; all 0 for a type without.
    struct TvgRecord
    {
        double from = 0.0;
        double to = 0.0;
        double limitDb = 0.0;
    };
    TvgRecord GetTvgRecord(int echogramType) const;
    void GetPingCounters(std::uint32_t& low, std::uint32_t& high) const;
    std::uint64_t GetPingTime() const;
    int GetPingCount() const { return m_pingCount.load(std::memory_order_relaxed); }
    double GetBottomDepth() const { return m_bottomDepth.load(std::memory_order_relaxed); }
    bool GetCorrectedBottomDepth(double& depth) const;
    double GetLastPingValue() const;  // heave of the last ping
    // The bottom detection's echo level of the last ping (dB), 0 when it
    // found no bottom.
    double GetBottomLevelValue() const;
    void GetStatusWords(std::uint32_t out[8]) const;
    void GetStatusWords12(std::uint32_t out[12]) const;
    void GetStatusRecord17(AdDiagnostics& out) const;
    void GetStatusRecord9(AdValues& out) const;
    double GetSoundVelocity() const { return m_soundVelocity.load(std::memory_order_relaxed); }
    double GetNoiseLevel() const;
    void SetNoiseThresholdSwitch(bool on, double marginDb = 6.0);
    int GetSampleCount() const;
    double GetTsConstant() const;
    double GetSvConstant() const;
    double GetPointConstant() const;

private:
    enum EchoIndex { kBottom = 0, kSv = 1, kTs = 2, kPoint20 = 3, kPoint30 = 4, kEchoCount = 5 };
    enum TvgIndex { kTvg20 = 0, kTvg30 = 1, kTvgBottom = 2, kTvg40 = 3, kTvgCount = 4 };

    using Lock = std::unique_lock<std::mutex>;

    void BuildConstants();
    void BuildTvgTables();
    const std::int16_t* EchogramLocked(int echogramType);
    void DetectSingleTargetsLocked(std::optional<DepthReport>& report, SCalibrationHandOverResult& handOver);
    bool ProcessPingLocked(std::optional<DepthReport>& report);
    void DeliverDepth(const DepthReport& report);
    void RequestRangeLocked(double range);
    bool GetPingSamplesLocked(std::int16_t* out, int n, double length, double start, int echogramType, int reference,
                              std::optional<DepthReport>& report);
    double WindowStartLocked(double start, int reference) const;
    double PingRangeLocked() const;
    void UpdateMotionLocked();
    IChannelLinks& Links() const { return *m_links; }

    // Identity.
    CTransceiver* const m_transceiver;
    std::atomic<std::int32_t> m_channelId;
    std::string m_channelName;
    std::atomic<bool> m_simplePinger{false};
    const std::string m_sourceName;
    const double m_frequency;
    const double m_beamTerm;
    double m_correction[2];
    const std::int32_t m_beamType;
    const double m_beamWidthAlong;
    const double m_beamWidthAthwart;
    const double m_beamAngle;
    const double m_sensitivityAlong;
    const double m_sensitivityAthwart;
    const double m_offsetAlong;
    const double m_offsetAthwart;
    std::atomic<int> m_skip{0};
    std::atomic<int> m_noiseCompensation{0};
    IChannelLinks m_defaultLinks;
    IChannelLinks* m_links;

    mutable std::mutex m_lock;

    ChannelParameters m_params;
    ChannelParameters m_pending;
    bool m_pendingSet = false;

    double m_tsConstant = 0.0;
    double m_svConstant = 0.0;
    double m_pointConstant = 0.0;
    std::atomic<double> m_soundVelocity{1500.0};

    std::array<std::vector<std::int16_t>, kTvgCount> m_tvg;
    std::array<std::vector<std::int16_t>, kEchoCount> m_echo;
    std::array<bool, kEchoCount> m_computed{};
    FilterSwitches m_switches;
    FilterValues m_filterValues{};
    bool m_filterValuesTaken = false;

    CChannelInput m_input;
    ChannelPing m_ping;
    std::uint32_t m_traceCounterAtPing = 0;
    std::uint32_t m_traceCounterBefore = 0;
    int m_tracedPings = 0;  // pings with traces so far, counted up to two

    // Per-ping results.
    std::atomic<int> m_pingCount{0};
    bool m_processed = false;
    // Nothing to process, and no depth to hand over, before the first ping.
    bool m_hasPing = false;
    bool m_found = false;
    std::atomic<double> m_bottomDepth{0.0};
    double m_bottomLevel = -99.0;
    double m_nextRange = 0.0;
    double m_correctedDepth = 0.0;
    bool m_realSvp = false;
    int m_requested = 0;
    std::atomic<int> m_previousRequested{0};
    // What sizes the next ping while the ping just added has not been read
    // or processed yet: the range its predecessor's readers asked for (m),
    // and whether any ping's bottom was processed (its outcome stays in
    // m_found and m_nextRange until the next one is).
    double m_previousRange = 0.0;
    bool m_bottomProcessed = false;
    bool m_recordTaken = false;
    int m_recordStart = 0;
    double m_noise = -100.0;
    double m_noiseThreshold = -200.0;
    bool m_noiseSwitch = false;
    double m_noiseMargin = 6.0;
    // Bridging of missed bottoms.
    double m_lastDepth = 0.0;
    double m_lastLevel = -99.0;
    double m_lastCorrected = 0.0;
    int m_missCount = 0;

    // Echogram document's values.
    bool m_sidescan = false;
    bool m_publish = false;
    std::string m_partner;
    bool m_slantCorrection = false;
    double m_echogramValue = 0.0;
    int m_accumulated = 0;
    int m_accumulateCalls = 0;
    int m_firstType = 0;
    bool m_firstTypeSet = false;
    // The first type the last ping was asked for, kept from ping to ping.
    int m_statusTvgType = 0;
    double m_echogramStart = 0.0;
    double m_echogramStop = 0.0;
    // No side until an echogram document shows the channel on one.
    int m_echogramMode = 2;
    int m_displayMode = 0;
    std::string m_displayText;

    // Layout values kept while no detector or slope tracker is plugged in.
    double m_bottomLayout[3] = {1000.0, 0.0, -50.0};
    std::int32_t m_slopeLayout[2] = {0, 12};

    std::unique_ptr<IBottomDetector> m_detector;
    std::unique_ptr<INoiseEstimator> m_noiseEstimator;
    std::unique_ptr<ISlopeTracker> m_slope;
    CColorScaleSettings m_colorScale;
    CTSDetection m_tsDetection;

    // Single targets of the ping: detected once (the intake clears the
    // flag), then copied to every requester.
    SingleTargetRecord m_singleTargets;
    bool m_detected = false;
    int m_detectionResult = 0;
    // The calibration link: the flag the start sets, and the parameter set
    // that goes out once per channel object.
    std::atomic<bool> m_linkFlag{false};
    bool m_parametersPending = true;
    ICalibrationHandOver* m_handOver = nullptr;
};
