// Bottom detection of one channel. The main detector keeps up to six bottom
// tracks over pings and scores up to four echoes of each ping against them,
// so that a school or a passing spike has to persist for several pings
// before it can take the bottom over; an alternative detector follows one
// echo with a narrowing window instead. A second-layer mode favours an echo
// below the depth another channel reports, for a hard layer under a soft
// one. The settings the operator makes live in the channel's
// "ChannelBottom.sav" (104 bytes).
#pragma once

#include "base/ModalSession.h"
#include "engine/ChannelComponents.h"
#include "engine/ChannelLinks.h"
#include "engine/MedianFilter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CArchive;
class IDetectionDialogs;

class CBottomDetector : public IBottomDetector
{
public:
    static constexpr int kArraySize = 32000;
    static constexpr int kTrackCount = 6;
    static constexpr int kCandidateCount = 4;
    static_assert(kCandidateCount == kMaxCandidates);

    // The smallest word whose level reaches -70 dB, the spike removal's
    // floor: w >= SpikeFloor() holds exactly when w in dB is -70 or more.
    static int SpikeFloor();
    // The first index from i, below end, that ends a run of no-echo words
    // (noEcho) or of words with an echo (!noEcho); end when the run lasts.
    // Long runs are checked a block of words at a time.
    static int SkipRun(const std::int16_t* words, int i, int end, bool noEcho);
    // The echo test over words [from, to): a word stays when it reaches
    // enter, or stay right after a word that stayed; the others become no
    // echo. The count of words kept.
    static int EchoTest(std::int16_t* words, int from, int to, int enter, int stay);
    // The strongest word over [from, to) and, in index, the first place it
    // holds; -32768 and from when the range is empty.
    static int Strongest(const std::int16_t* words, int from, int to, int& index);
    static constexpr int kFileSize = 104;
    static constexpr int kTextSize = 20;
    static constexpr int kExternalSources = 8;
    // Spike records kept for the display; the detection itself needs none.
    static constexpr int kMaxSpikeRecords = 64;
    static constexpr const char* kFileSuffix = "ChannelBottom.sav";

    struct Track
    {
        std::uint8_t Matched = 0;
        std::uint8_t Confidence = 0;  // 0 = free slot, at most 9
        std::int32_t Index = 0;       // start sample
    };
    struct Candidate
    {
        std::uint8_t Taken = 0;
        std::uint8_t Total = 0;
        std::uint8_t Age = 0;
        std::int32_t Start = 0;
        std::int16_t Peak = 0;
        std::int32_t Length = 0;
        std::int32_t Distance = 0;
        std::uint8_t LevelScore = 0;
        std::uint8_t DepthScore = 0;
        std::uint8_t DistanceScore = 0;
    };
    // A rejected (or, last, the accepted) peak of the spike removal.
    struct SpikeRecord
    {
        std::int16_t Peak = 0;
        std::int32_t WindowStart = 0;
        std::int32_t Kept = 0;
    };

    // The external-depth object's sources by index (0 .. 7): false when the
    // index holds none.
    using ExternalDepthSource = std::function<bool(int index, std::string& name, double& depth)>;

    struct Construction
    {
        std::string SourceName;
        std::string SecondName;
        double SampleDistance = 0.1;  // m, for the default maximum depth
        SounderModel Model = SounderModel::QY310;
        // Folder of the settings file, ending with '/'; empty: the detector
        // keeps no file of its own.
        std::string SettingsFolder;
        bool UseSettingsFolder = true;
        ExternalDepthSource ExternalDepth;
        // The settings dialog and its notice; none: no dialog is shown.
        IDetectionDialogs* Dialogs = nullptr;
    };

    // What the settings dialog edits; depths in metres.
    struct DialogValues
    {
        double MinimumDepth = 0.0;
        double MaximumDepth = 0.0;
        bool BottomLostWarning = false;
        bool MinimumDepthAlarm = false;
        bool MaximumDepthAlarm = false;
        double MinimumAlarmDepth = 0.0;
        double MaximumAlarmDepth = 0.0;
        double BackstepLevel = -50.0;
        bool BottomSmoothing = false;
        bool AlternativeDetector = false;
        bool SecondLayer = false;
        std::vector<std::string> ReferenceChoices;
        std::string Reference;
        double Gain = 0.0;
    };

    explicit CBottomDetector(const Construction& c);
    ~CBottomDetector() override;
    CBottomDetector(const CBottomDetector&) = delete;
    CBottomDetector& operator=(const CBottomDetector&) = delete;

    bool DetectBottom(const std::int16_t* w, int count, double offset, double pulseLength, double d, double range,
                      double& depth, double& levelDb, double& nextRange) override;
    double GetMaximumDepth() const override { return m_maxDepth; }
    void SetMaximumDepth(double metres) override { m_maxDepth = metres; }
    double GetMinimumDepth() const { return m_minDepth; }
    Limits GetLimits() const override;
    void SetMinimumDepth(double metres) { m_minDepth = metres; }
    bool IsBottomSmoothingOn() const override { return m_smoothing; }
    void SetBottomSmoothing(bool on) { m_smoothing = on; }
    bool IsAlternativeDetectorOn() const override { return m_alternative; }
    void SetAlternativeDetector(bool on) { m_alternative = on; }
    void SetTrackedBottom(double range, double levelDb) override;
    double GetTrackedBottom() const { return m_tracked; }
    int GetBottomIndexPlusOne() const override { return m_bottomIndexPlusOne; }
    double GetNegatedFraction() const override { return m_negatedFraction; }
    // Maximum depth, minimum depth, backstep level.
    void Serialize(CArchive& ar) override;
    void SetDisplayMode(int mode, const std::string& text) override;

    double GetBackstepLevel() const { return m_backstep; }
    void SetBackstepLevel(double db) { m_backstep = db; }
    bool IsSecondLayerOn() const override { return m_secondLayer; }
    void SetSecondLayer(bool on, const std::string& reference, double gain);
    void SetSecondLayerOn(bool on) override;
    const std::string& GetReferenceName() const { return m_reference; }
    double GetSecondLayerGain() const { return m_gain; }
    double GetReferenceDepth() const { return m_referenceDepth; }
    std::int32_t GetDisplayModeValue() const { return m_mode2; }
    const std::string& GetDisplayModeText() const { return m_mode2Text; }

    // n words of the working array from index first as dB.
    void GetBottomSamplesDb(double* out, int n, int first) const override;
    const std::array<Candidate, kCandidateCount>& GetCandidateSnapshot() const { return m_candidateSnapshot; }
    // A copy of the snapshot, taken under the detector's lock, for readers
    // on other threads than the detection's.
    void GetCandidates(SBottomCandidate (&out)[kMaxCandidates]) const override;
    const std::array<Track, kTrackCount>& GetTrackSnapshot() const { return m_trackSnapshot; }
    const std::array<Track, kTrackCount>& GetTracks() const { return m_tracks; }
    const std::vector<SpikeRecord>& GetSpikeRecords() const { return m_spikes; }
    int GetRejectedSpikeCount() const { return m_rejectedSpikes; }
    CMedianFilter& GetMedianFilter() { return m_median; }

    // Runs the settings dialog with the depth view's alarm settings as
    // in/out values; true when it was shown. When the detector is destroyed
    // while the dialog runs, neither it nor the values are written.
    bool RunDialog(bool& bottomLostWarning, bool& minAlarm, bool& maxAlarm, double& minAlarmDepth,
                   double& maxAlarmDepth) override;

    // The settings file's path and its 104 bytes.
    std::string GetSettingsPath() const;
    std::array<std::uint8_t, kFileSize> EncodeSettings() const;
    // False (and nothing changed) unless the record is sound.
    bool DecodeSettings(const std::uint8_t* bytes, std::size_t size);
    bool LoadSettingsFile();
    bool SaveSettingsFile() const;

private:
    // The range window searched below the transducer (offset o): the whole set
    // range while nothing is tracked, else a window around the tracked depth.
    void SearchWindow(double o, double& hi, double& lo, double& nextRange) const;
    bool DetectMain(const std::int16_t* in, int count, double o, double tau, double d, double range, double& depth,
                    double& levelDb, double& nextRange);
    bool DetectAlternative(const std::int16_t* in, int count, double o, double tau, double d, double range,
                           double& depth, double& levelDb, double& nextRange);
    void UpdateReferenceDepth();
    // Copies the ping into W up to and including iEnd, smoothing and adding
    // the second-layer gain over iStart+1 .. iEnd-2.
    void PrepareWorkingArray(const std::int16_t* in, int count, int iStart, int iEnd, double o, double d, bool smooth,
                             int* largest, int* smallest);
    void SetDefaults(double d);

    // Guards everything below against the dialog on the user-interface
    // thread while the ping thread detects.
    mutable std::mutex m_lock;

    // Settings.
    std::array<std::uint8_t, 8> m_reserved{};  // kept as read, written back
    double m_minDepth = 0.0;
    double m_maxDepth = 1000.0;
    double m_backstep = -50.0;
    std::int32_t m_mode1 = 0;
    std::string m_mode1Text;
    std::int32_t m_mode2 = 0;
    std::string m_mode2Text;
    bool m_smoothing = false;
    bool m_alternative = false;
    bool m_secondLayer = false;
    double m_gain = 0.0;
    std::string m_reference;
    double m_referenceDepth = 0.0;

    // State kept from ping to ping.
    double m_tracked = 0.0;  // range from the transducer, 0 = none
    double m_level = 0.0;    // dB
    std::array<Track, kTrackCount> m_tracks{};
    std::array<Candidate, kCandidateCount> m_candidateSnapshot{};
    std::array<Track, kTrackCount> m_trackSnapshot{};
    int m_bottomIndexPlusOne = 0;
    double m_negatedFraction = 0.0;
    std::int32_t m_altPrevious = 0;
    std::int32_t m_altMisses = 0;
    std::int32_t m_altWindowStart = 0;
    std::int32_t m_altWindowEnd = 0;

    std::vector<std::int16_t> m_s;  // smoothed copy
    std::vector<std::int16_t> m_w;  // working array
    std::vector<std::uint32_t> m_heap;
    std::vector<SpikeRecord> m_spikes;
    int m_rejectedSpikes = 0;

    std::string m_sourceName;
    std::string m_secondName;
    std::string m_folder;
    ExternalDepthSource m_external;
    IDetectionDialogs* m_dialogs;
    CMedianFilter m_median;
    // The settings dialog open on this detector (user-interface thread).
    CModalSession* m_dialog = nullptr;
};
