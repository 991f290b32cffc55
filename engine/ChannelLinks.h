// What a channel needs of the objects around it. The application wires the
// real sensor, output and recorder objects in; every call has a harmless
// default so that a channel runs alone in tests, tools and replay.
//
// Lock rule: the channel calls the depth users (OnBottomDepth,
// OnDepthOutputs) and the external-depth store only after it has released
// its own lock, because those users read other channels. Everything else
// here is called with the channel lock held and must not call back into any
// channel.
#pragma once

#include "base/ModelCodes.h"
#include "sensors/DepthReport.h"

#include <cstdint>
#include <string>

class CEnvironment;
class IColorScaleDialogs;
class IDetectionDialogs;
struct ChannelParameters;
struct SingleTargetRecord;

// The window an external-depth user wants of this channel's ping.
struct ExternalDepthWindow
{
    double Start = 0.0;
    double Length = 0.0;
    int EchogramType = 0;
    int SampleCount = 0;
};

class IChannelLinks
{
public:
    virtual ~IChannelLinks() = default;

    // Application.
    virtual SounderModel GetModel() const { return SounderModel::QY310; }
    // Depth offset of the data: 0 live, the replayed value in replay.
    virtual double GetDepthOffset() const { return 0.0; }
    // The application's tide (m), added to the surface reference of
    // single-target depths.
    virtual double GetTide() const { return 0.0; }
    // Fixed sampling range: true with a time (s) that sets how deep to sample.
    virtual bool GetFixedRangeTime(double& seconds) const { return false; }

    // Echo sounder.
    virtual bool IsPingTimingOn() const { return false; }
    virtual double GetPingTimingRange() const { return 0.0; }

    // Water model: the application's environment once it is set; 1500 m/s
    // and no profile without one.
    void SetEnvironment(CEnvironment* environment) { m_environment = environment; }
    virtual double GetSoundVelocity() const;
    virtual bool IsRealSvp() const;
    virtual double GetDepthFromTravelTime(double oneWaySeconds, double startDepth) const;

    // Pinger mode.
    virtual void OnPingTime(std::uint64_t pingTime) {}
    virtual bool IsPingerActive() const { return false; }
    virtual double GetPingerRange() const { return 0.0; }
    // The pinger's channel only (the first channel of the first unit): may
    // move its power samples to start at the pinger; returns the count to
    // keep.
    virtual int ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval, std::uint64_t pingTime)
    {
        return count;
    }

    // Motion sensor: four values at a time (the fourth is heave); false when
    // there is no sensor.
    virtual bool GetMotionAtTime(std::uint64_t time, const ChannelParameters& params, double out[4]) { return false; }

    // Navigation speed in knots; false without a navigation input.
    virtual bool GetSpeedKnots(double& knots) const { return false; }

    // Depth users, in the order the outputs expect: navigation line,
    // purse-seine line, trawl link, recorder. Not called for excluded
    // channels.
    virtual void OnBottomDepth(const DepthReport& report) {}
    // External-depth store (always), then heave telegram and serial hub
    // (unless excluded).
    virtual void OnDepthOutputs(const DepthReport& report) {}

    // The lobe link's echo-trace telegram of a ping's single targets
    // (channel index from 0, ping file time). Called under the channel lock.
    virtual void SendEchoTraceTelegram(int channelIndex, std::uint64_t pingTime, const SingleTargetRecord& record) {}

    // External-depth object.
    virtual bool FindExternalDepthWindow(const std::string& sourceName, ExternalDepthWindow& window) { return false; }
    virtual void SetExternalDepthBlock(const std::string& sourceName, const std::int16_t* samples, int count) {}
    // External-depth sources by index (0 .. 7), for the second-layer
    // bottom: false when the index holds none. Called under the channel
    // lock, so it must only read the external-depth object's own store.
    virtual bool GetExternalDepthSource(int index, std::string& name, double& depth) const { return false; }
    // Horizontal distance of a side-looking channel's target line, m; 0 when none.
    virtual double GetSlantOffset(const std::string& sourceName) const { return 0.0; }

    // The settings dialogs of the channel's detection parts; none: they
    // show no dialog.
    virtual IDetectionDialogs* GetDetectionDialogs() const { return nullptr; }
    // The colour scale dialogs of the models; none: no dialog is shown.
    virtual IColorScaleDialogs* GetColorScaleDialogs() const { return nullptr; }
    // The folder (ending with '/') where the channel's parts keep settings
    // files of their own, read when the channel is made; empty: they keep none.
    virtual std::string GetSettingsFolder() const { return {}; }

    // A program error that must not occur: the application's fatal report.
    virtual void FatalError(const char* source, int line, const std::string& text);

private:
    CEnvironment* m_environment = nullptr;
};
