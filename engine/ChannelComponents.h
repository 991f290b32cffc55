// Interfaces of the processing parts a channel owns but that live in files
// of their own: bottom detector, noise estimate, slope tracker, and the echo
// integrator of an echogram document. A channel without one of them simply
// skips that step (no bottom is found, the noise estimate stays where it was).
#pragma once

#include <cstdint>
#include <string>

class CArchive;

// A bottom candidate of the last detection as a display shows it: valid
// once confirmed, its total and partial scores (level, depth, distance,
// age) and its first sample, counted from the ping's first sample.
struct SBottomCandidate
{
    bool valid = false;
    int total = 0;
    int start = 0;
    int scores[4] = {};
};

class IBottomDetector
{
public:
    static constexpr int kMaxCandidates = 4;

    virtual ~IBottomDetector() = default;
    // Finds the bottom in the bottom echogram w (count words, sample i at
    // range (i + 1) * d). offset = draught + heave + depth offset; depth is
    // below the surface. Returns whether a bottom was found.
    virtual bool DetectBottom(const std::int16_t* w, int count, double offset, double pulseLength, double d,
                              double range, double& depth, double& levelDb, double& nextRange) = 0;
    virtual double GetMaximumDepth() const = 0;
    virtual void SetMaximumDepth(double metres) = 0;
    // Minimum and maximum depth (m) and backstep level (dB), read together
    // while the dialog may change them.
    struct Limits
    {
        double minimumDepth = 0.0, maximumDepth = 0.0, backstep = 0.0;
    };
    virtual Limits GetLimits() const { return {0.0, GetMaximumDepth(), 0.0}; }
    virtual bool IsBottomSmoothingOn() const = 0;
    virtual bool IsAlternativeDetectorOn() const = 0;
    // Keeps the tracker on a bridged bottom after a missed ping.
    virtual void SetTrackedBottom(double range, double levelDb) = 0;
    // Sample index + 1 of the last detection and its negated interpolation
    // fraction (m), for the profile correction.
    virtual int GetBottomIndexPlusOne() const = 0;
    virtual double GetNegatedFraction() const = 0;
    virtual void Serialize(CArchive& ar) = 0;
    // The display mode the echogram document set for the channel.
    virtual void SetDisplayMode(int mode, const std::string& text) {}
    // "Detect Second Layer Bottom" on or off; the reference and its gain
    // stay as they are.
    virtual void SetSecondLayerOn(bool on) {}
    virtual bool IsSecondLayerOn() const { return false; }
    // The settings dialog with the depth view's alarm settings as in/out
    // values; true when it was shown.
    virtual bool RunDialog(bool& bottomLostWarning, bool& minAlarm, bool& maxAlarm, double& minAlarmDepth,
                           double& maxAlarmDepth)
    {
        return false;
    }
    // n words of the working array from index first, in dB; no echo
    // (-235.17968 dB) where there is none.
    virtual void GetBottomSamplesDb(double* out, int n, int first) const
    {
        for (int i = 0; i < n; ++i)
            out[i] = -235.17968;
    }
    // Copies the candidates of the last detection; a detector without any
    // leaves every one invalid.
    virtual void GetCandidates(SBottomCandidate (&out)[kMaxCandidates]) const
    {
        for (SBottomCandidate& c : out)
            c = {};
    }
};

class INoiseEstimator
{
public:
    virtual ~INoiseEstimator() = default;
    // Noise level (dB) of count raw samples between two ranges.
    virtual double GetNoiseLevel(const std::int16_t* samples, int count, double previousDb, double d, double startRange,
                                 double stopRange) = 0;
};

class ISlopeTracker
{
public:
    virtual ~ISlopeTracker() = default;
    virtual void AddPoint(double depth, double speed, std::uint64_t time) = 0;
    virtual void Serialize(CArchive& ar) = 0;
    virtual bool GetSlopeAngle(double& degrees) const = 0;
    virtual bool GetHistoryValue(int placesBack, double& value) const = 0;
    virtual double GetDistance(int a, int b) const = 0;
    virtual int GetHalfPointCount() const = 0;
    virtual void UpdateValidity(bool valid) = 0;
    virtual bool IsValid() const = 0;
    virtual void SetHistorySize(int columns) = 0;
    virtual bool IsEnabled() const = 0;
    virtual bool EditSettings() = 0;
};

class IEchoIntegrator
{
public:
    virtual ~IEchoIntegrator() = default;
    virtual void IntegrateLayers(const std::int16_t* sv, int count, double bottomDepth, double d, double draught,
                                 double pulseTerm) = 0;
};
