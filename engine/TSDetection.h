// Single-target detection: finds the echoes of single fish in one ping and
// gives, for each, its range, its target strength with and without beam
// compensation, its two angles (split beam) and its backscattering.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

class CArchive;
class IDetectionDialogs;

struct TSTarget
{
    double Range = 0.0;            // m
    double TS = 0.0;               // dB, beam-compensated
    double TSUncompensated = 0.0;  // dB
    double AlongAngle = 0.0;       // degrees
    double AthwartAngle = 0.0;     // degrees
    double Backscattering = 0.0;   // m^2/nmi^2

    // The six values in record order.
    std::array<double, 6> Values() const
    {
        return {Range, TS, TSUncompensated, AlongAngle, AthwartAngle, Backscattering};
    }
};

// A channel's single targets of one ping, copied whole to every requester:
// room for 100 records, at most 99 filled, so the last record and every
// record at and behind Count stay zero.
struct SingleTargetRecord
{
    static constexpr int kCapacity = 100;
    static constexpr int kMaxTargets = 99;
    std::uint16_t Count = 0;
    std::array<TSTarget, kCapacity> Targets{};
};

struct TSPingParameters
{
    double FirstRange = 0.0;        // m, range of sample 0
    double WindowEnd = 0.0;         // m, range where the search stops
    double SampleDistance = 0.0;    // m
    double PulseDuration = 0.0;     // s
    double MinimumTS = -60.0;       // dB
    double SurfaceReference = 0.0;  // m
    double BottomDepth = 0.0;       // m, 0 when none
    bool SplitBeam = false;
    double AlongSensitivity = 0.0;  // electrical degrees per degree
    double AthwartSensitivity = 0.0;
    double AlongOffset = 0.0;  // degrees
    double AthwartOffset = 0.0;
    double AlongBeamWidth = 0.0;  // degrees, 3 dB
    double AthwartBeamWidth = 0.0;
    // Range whose 20 log10 is taken off every peak; 1 m (no correction)
    // when the samples are already range-compensated.
    double CorrectionRange = 1.0;
};

class CTSDetection
{
public:
    static constexpr double kDefaultMinEcho = 0.8;
    static constexpr double kDefaultMaxEcho = 1.8;
    static constexpr double kDefaultMaxGain = 6.0;
    static constexpr double kDefaultMaxPhase = 8.0;
    static constexpr int kMaxEchoWindow = 1002;

    struct Settings
    {
        double MinEchoLength = kDefaultMinEcho;        // pulse lengths, 0 .. 5
        double MaxEchoLength = kDefaultMaxEcho;        // pulse lengths, 0 .. 5
        double MaxGainCompensation = kDefaultMaxGain;  // dB one way, 0 .. 6
        double MaxPhaseDeviation = kDefaultMaxPhase;   // phase steps, 0 .. 10
    };
    // The settings dialog; without one OnSettings shows nothing.
    explicit CTSDetection(IDetectionDialogs* dialogs = nullptr) : m_dialogs(dialogs) {}

    // power: count raw words from FirstRange on; angles: count words, high
    // byte along-ship, low byte athwart-ship (null for single beam).
    // Returns 0 without detecting when the bottom lies above the surface
    // reference or a split-beam channel lacks its angle constants.
    int Detect(const std::int16_t* power, const std::uint16_t* angles, int count, const TSPingParameters& ping,
               SingleTargetRecord& table) const;

    bool OnSettings();
    bool ShowSettingsDialog() { return OnSettings(); }
    void Serialize(CArchive& ar);

    // A copy: the dialog may change them on the user-interface thread while
    // a ping's detection runs on another.
    Settings GetSettings() const;
    // False (nothing changed) for values outside the dialog's ranges.
    bool SetSettings(const Settings& s);
    static bool IsValid(const Settings& s);

    // Pieces of the detection, exposed for their own tests.
    struct EchoSizes
    {
        int Pulse = 0;
        int MinEcho = 0;
        int MaxEcho = 0;
    };
    EchoSizes ComputeSizes(double pulseDuration, double d) const;
    static EchoSizes ComputeSizes(const Settings& s, double pulseDuration, double d);
    static int BeamCompensation(double along, double athwart, double alongWidth, double athwartWidth);
    static int RefinePeak(const std::int16_t* w, int count, int peak);
    // True when the echo in w[0 .. n) splits into more than one run at
    // any of the test levels below its peak.
    static bool HasMultiplePeaks(const std::int16_t* w, int n, int peak);

private:
    IDetectionDialogs* m_dialogs;
    mutable std::mutex m_lock;
    Settings m_settings;
};
