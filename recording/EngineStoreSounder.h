// The recorder's view of a running echo sounder: configuration and ping data
// of every channel, read from the channels and their transceivers.
#pragma once

#include "engine/Channel.h"
#include "recording/StoreInterfaces.h"

#include <functional>
#include <mutex>
#include <vector>

class CEchoSounder;

namespace zv::recording {

class CEngineStoreSounder : public IStoreSounder
{
public:
    // What the application holds rather than the sounder: its program name
    // and version, the motion sensor's offsets, the tide value (m), the
    // geographic history's position and heading at a time (as
    // IStoreSounder::PositionAtTime and HeadingAtTime answer them) and the
    // environment's sound velocity. An empty one gives nothing: no name, no
    // offsets, no position, heading 0.0, velocity 0.0.
    struct SApplication
    {
        std::function<std::string()> programName;
        std::function<void(double&, double&, double&)> motionOffsets;
        std::function<double()> tide;
        std::function<std::string()> fileVersion;
        std::function<bool(FileTime, double&, double&)> positionAtTime;
        std::function<double(FileTime)> headingAtTime;
        std::function<double()> soundVelocity;
    };
    CEngineStoreSounder(CEchoSounder& sounder, SApplication application);

    bool IsReplaying() const override;
    int ReplaySaveDataOption() const override;
    void GetReplayNames(std::string& folder, std::string& name, std::string& text1, std::string& text2) const override;
    std::string ProgramName() const override;
    void MotionOffsets(double& x, double& y, double& z) const override;
    std::size_t ChannelCount() const override;
    bool GetConfigChannel(std::size_t index, SConfigChannel& out) const override;
    bool GetPingChannel(std::size_t index, SSampleData& out) override;
    bool GetChannelDepth(std::size_t index, SDepthEntry& out) override;
    bool GetProductChannel(std::size_t index, SProductChannel& out) const override;
    bool GetPingSamples(std::size_t index, std::int16_t* out, int n, double range, double start, int type,
                        int reference) override;
    FileTime PingTime() const override;
    bool PositionAtTime(FileTime time, double& first, double& second) const override;
    double HeadingAtTime(FileTime time) const override;
    double SoundVelocity() const override;
    std::string FileVersionText() const override;

private:
    CEchoSounder& m_sounder;
    SApplication m_app;
    // The blocks handed out by GetPingChannel, one set per channel, kept
    // until that channel is asked again.
    // Kept from ping to ping, so that taking a channel's samples reuses
    // the buffers instead of allocating new ones every ping.
    struct SBlocks
    {
        CChannel::ParameterCopy copy;
        CChannel::TraceCopy traces;  // as the channel holds them, in doubles
        std::vector<float> trace1, trace2;
    };
    std::vector<SBlocks> m_blocks;
};

}  // namespace zv::recording
