// What every live and replayed channel of the program reaches of the objects
// around it: the model, the fixed range, the environment, the external-depth
// store, the users of each ping's depth, the motion sensor, navigation's
// speed and pinger mode. One object serves every channel of every sounder the
// program runs; the transceivers hand it to each channel they make.
//
// Each object in a role is reached through a link of the program, which
// holds its named null until the program has the object; pinger mode's link
// is the program's, shared with operation control and the sounder. The lock
// rule of IChannelLinks holds: nothing called under a channel's lock reaches
// a channel.
#pragma once

#include "engine/ChannelLinks.h"
#include "program/AbsentRoles.h"
#include "program/Link.h"
#include "sensors/SpeedSource.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class CEnvironment;
class CExternalDepth;
class IDepthTelegramSources;
class IOutput;

namespace app {

class CPelmaris;
class CRecorderLink;

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

// It is navigation's speed for the post-processing output's vessel log too.
class CProgramChannelLinks final : public IChannelLinks, public ISpeedSource
{
public:
    CProgramChannelLinks(CPelmaris& application, CEnvironment& environment, CExternalDepth& externalDepth,
                         CRecorderLink& recorder, IOutput& outputs, const IDepthTelegramSources& depthTelegramSources,
                         CLinkList& links, const TLink<IPingerLink, CAbsentPingerLink>& pinger,
                         IDetectionDialogs& detectionDialogs, IColorScaleDialogs& colorScaleDialogs);
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
    // The motion sensor the channels ask, which the units and the recorder
    // ask too: each call holds a share of the sensor for its length.
    IMotionSensor& MotionSensor() { return m_motionCalls; }
    // The lobe link, which sends the channels' single targets on the
    // scientific models; null when it goes.
    void SetLobeTelegrams(IEchoTraceTelegrams* lobe) { m_lobeTelegrams.Set(lobe); }
    // The serial sensors' depth lines and navigation's speed, while their
    // objects exist (null when they go). A ping holds a share of the object
    // for its call, so a sensor closing meanwhile is deleted after it.
    void SetNavigation(const std::shared_ptr<IDepthUser>& line, const std::shared_ptr<ISpeedSource>& speed)
    {
        m_navigationLine.Set(line);
        m_speed.Set(speed);
    }
    void SetTrawlLine(const std::shared_ptr<IDepthUser>& line) { m_trawlLine.Set(line); }
    void SetPurseSeineLine(const std::shared_ptr<IDepthUser>& line) { m_purseSeineLine.Set(line); }
    // The heave sensor: its motion and its depth line.
    void SetHeave(const std::shared_ptr<IMotionSensor>& motion, const std::shared_ptr<IDepthUser>& line)
    {
        m_motion.Set(motion);
        m_heaveLine.Set(line);
    }

    SounderModel GetModel() const override;
    double GetTide() const override;
    IDetectionDialogs* GetDetectionDialogs() const override { return &m_detectionDialogs; }
    IColorScaleDialogs* GetColorScaleDialogs() const override { return &m_colorScaleDialogs; }
    // The application's settings folder of the running sounder.
    std::string GetSettingsFolder() const override;
    bool GetFixedRangeTime(double& seconds) const override;

    bool IsPingTimingOn() const override;
    double GetPingTimingRange() const override;
    void OnPingTime(std::uint64_t pingTime) override;
    bool IsPingerActive() const override;
    double GetPingerRange() const override;
    int ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval, std::uint64_t pingTime) override;

    bool GetMotionAtTime(std::uint64_t time, const ChannelParameters& params, double out[4]) override;
    bool GetSpeedKnots(double& knots) const override;

    void OnBottomDepth(const DepthReport& report) override;
    void OnDepthOutputs(const DepthReport& report) override;

    void SendEchoTraceTelegram(int channelIndex, std::uint64_t pingTime, const SingleTargetRecord& record) override;

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
    TSharedLink<IDepthUser, CAbsentDepthUser> m_navigationLine;
    TSharedLink<IDepthUser, CAbsentDepthUser> m_purseSeineLine;
    TSharedLink<IDepthUser, CAbsentDepthUser> m_trawlLine;
    CRecorderDepthUser m_recorderDepth;
    // ... after the external-depth store (always), the heave sensor's line
    // and the outputs (again not for an excluded channel).
    TSharedLink<IDepthUser, CAbsentDepthUser> m_heaveLine;
    IOutput& m_outputs;

    TLink<IEchoTraceTelegrams, CAbsentEchoTraceTelegrams> m_lobeTelegrams;
    TSharedLink<IMotionSensor, CAbsentMotionSensor> m_motion;
    class CMotionCalls final : public IMotionSensor
    {
    public:
        explicit CMotionCalls(const TSharedLink<IMotionSensor, CAbsentMotionSensor>& link) : m_link(link) {}
        bool GetMotionAtTime(std::uint64_t time, const TransducerOffsets& transducer, double out[4]) override
        {
            return m_link->GetMotionAtTime(time, transducer, out);
        }
        bool GetSensorOffsets(double& along, double& athwart, double& depth) const override
        {
            return m_link->GetSensorOffsets(along, athwart, depth);
        }
        void ResetHistory() override { m_link->ResetHistory(); }

    private:
        const TSharedLink<IMotionSensor, CAbsentMotionSensor>& m_link;
    } m_motionCalls{m_motion};
    TSharedLink<ISpeedSource, CAbsentSpeedSource> m_speed;
    const TLink<IPingerLink, CAbsentPingerLink>& m_pinger;
    IDetectionDialogs& m_detectionDialogs;
    IColorScaleDialogs& m_colorScaleDialogs;

    // Each channel's depth at its last ping, by channel index; written on the
    // ping-data thread, read from any (the environment asks under a channel's
    // lock, so only this lock is taken).
    mutable std::mutex m_depthLock;
    std::map<int, double> m_depths;
};

}  // namespace app
