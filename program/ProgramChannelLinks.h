// What every live and replayed channel of the program reaches of the objects
// around it: the model, the fixed range, the environment, the external-depth
// store, the users of each ping's depth, the motion sensor, navigation's
// speed and pinger mode. One object serves every channel of every sounder the
// program runs; the transceivers hand it to each channel they make.
//
// Objects the program does not have yet are named null objects here, so a
// reader sees which link a later subsystem takes. The lock rule of
// IChannelLinks holds: nothing called under a channel's lock reaches a
// channel.
#pragma once

#include "engine/ChannelLinks.h"
#include "engine/PingerLink.h"
#include "sensors/DepthUser.h"
#include "sensors/MotionSensor.h"
#include "sensors/SpeedSource.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class CEnvironment;
class CExternalDepth;
class IDepthTelegramSources;
class IOutput;

namespace app {

class CPelmaris;
class CRecorderLink;

// A depth user the program does not have yet: its turn passes.
class CAbsentDepthUser final : public IDepthUser
{
public:
    explicit CAbsentDepthUser(const char* name) : m_name(name) {}
    void TakeDepth(const DepthReport&) override {}
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

// The running sounder's recorder: the depth as a "$SDDPT" telegram, which it
// stores when that channel's depth is the one it records.
class CRecorderDepthUser final : public IDepthUser
{
public:
    CRecorderDepthUser(CRecorderLink& recorder, const IDepthTelegramSources& sources)
        : m_recorder(recorder), m_sources(sources)
    {}
    void TakeDepth(const DepthReport& report) override;

private:
    CRecorderLink& m_recorder;
    const IDepthTelegramSources& m_sources;
};

// The roles of the sensors and of pinger mode that the program does not
// have yet.
class CAbsentMotionSensor final : public IMotionSensor
{
public:
    explicit CAbsentMotionSensor(const char* name) : m_name(name) {}
    bool GetMotionAtTime(std::uint64_t, const TransducerOffsets&, double[4]) override { return false; }
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CAbsentSpeedSource final : public ISpeedSource
{
public:
    explicit CAbsentSpeedSource(const char* name) : m_name(name) {}
    bool GetSpeedKnots(double&) const override { return false; }
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CAbsentPingerLink final : public IPingerLink
{
public:
    explicit CAbsentPingerLink(const char* name) : m_name(name) {}
    void OnPingTime(std::uint64_t) override {}
    bool IsPingTimingOn() const override { return false; }
    double GetPingTimingRange() const override { return 0.0; }
    bool IsPingerActive() const override { return false; }
    double GetPingerRange() const override { return 0.0; }
    int ProcessPingerSamples(std::int16_t*, int count) override { return count; }
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CProgramChannelLinks final : public IChannelLinks
{
public:
    CProgramChannelLinks(CPelmaris& application, CEnvironment& environment, CExternalDepth& externalDepth,
                         CRecorderLink& recorder, IOutput& outputs, const IDepthTelegramSources& depthTelegramSources);
    CProgramChannelLinks(const CProgramChannelLinks&) = delete;
    CProgramChannelLinks& operator=(const CProgramChannelLinks&) = delete;

    // A sounder is being made: the depths of the last one's channels go.
    void NewSounder();
    // The depth of a channel (its index over the sounder) at its last ping;
    // false when it has given none since the sounder was made.
    bool GetChannelDepth(int channel, double& depth) const;
    // The deepest of them (m), 0.0 when there is none: the environment's
    // depth for the mean of its profile.
    double GetDeepestChannelDepth() const;
    // The side-looking partner's window, as its echogram asks for it: the
    // partner's channel fetches that many samples over that range and hands
    // them back under its name.
    void PublishPartnerWindow(const std::string& name, double range, int rows, int side, int echogramType);

    SounderModel GetModel() const override;
    bool GetFixedRangeTime(double& seconds) const override;

    bool IsPingTimingOn() const override;
    double GetPingTimingRange() const override;
    void OnPingTime(std::uint64_t pingTime) override;
    bool IsPingerActive() const override;
    double GetPingerRange() const override;
    int ProcessPingerSamples(std::int16_t* samples, int count) override;

    bool GetMotionAtTime(std::uint64_t time, const ChannelParameters& params, double out[4]) override;
    bool GetSpeedKnots(double& knots) const override;

    void OnBottomDepth(const DepthReport& report) override;
    void OnDepthOutputs(const DepthReport& report) override;

    bool FindExternalDepthWindow(const std::string& sourceName, ExternalDepthWindow& window) override;
    void SetExternalDepthBlock(const std::string& sourceName, const std::int16_t* samples, int count) override;
    bool GetExternalDepthSource(int index, std::string& name, double& depth) const override;
    double GetSlantOffset(const std::string& sourceName) const override;

private:
    CPelmaris& m_application;
    CExternalDepth& m_externalDepth;

    // The depth users, in the order they take a ping's depth: the lines of
    // navigation, purse seine and trawl, then the recorder (not for a channel
    // kept out of the depth outputs) ...
    CAbsentDepthUser m_navigationLine{"navigation line"};
    CAbsentDepthUser m_purseSeineLine{"purse-seine line"};
    CAbsentDepthUser m_trawlLink{"trawl link"};
    CRecorderDepthUser m_recorderDepth;
    const std::array<IDepthUser*, 4> m_bottomDepthUsers;
    // ... after the external-depth store (always), the heave sensor's line
    // and the outputs (again not for an excluded channel).
    CAbsentDepthUser m_heaveLine{"heave sensor's line"};
    IOutput& m_outputs;

    CAbsentMotionSensor m_motion{"heave sensor"};
    CAbsentSpeedSource m_speed{"navigation"};
    CAbsentPingerLink m_pinger{"pinger mode"};

    // Each channel's depth at its last ping, by channel index; written on the
    // ping-data thread, read from any (the environment asks under a channel's
    // lock, so only this lock is taken).
    mutable std::mutex m_depthLock;
    std::map<int, double> m_depths;
};

}  // namespace app
