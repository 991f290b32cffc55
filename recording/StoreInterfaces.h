// What the recorder needs from the running sounder and where its reports go,
// as narrow calls. The engine implements IStoreSounder over its channels and
// transceivers; the application implements IStoreEvents over the status bar,
// the network output and the message-box service. Keeping them narrow lets
// the recorder run in tests and benchmarks without an engine.
#pragma once

#include "recording/DatagramRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zv::recording {

// What the side products read of a channel at the current ping.
struct SProductChannel
{
    std::string name;
    double frequency = 0.0;         // Hz
    std::uint32_t sampleCount = 0;  // of the ping
    double rangePerSample = 0.0;    // m
    double soundVelocity = 0.0;     // m/s, the channel's own
    int firstEchogramType = 0;      // of the channel's first echogram
    FileTime lastPingTime = 0;      // the channel's last ping
    int side = kNoEchogramSide;     // 0, 1: a side of a side-looking echogram

    static constexpr int kNoEchogramSide = 2;
};

class IStoreSounder
{
public:
    virtual ~IStoreSounder() = default;

    virtual bool IsReplaying() const = 0;
    // The replay's option to save data (0 for live transceivers).
    virtual int ReplaySaveDataOption() const = 0;
    // The replayed file's folder and name and its two recorded texts, as the
    // first transceiver reports them; empty when not replaying.
    virtual void GetReplayNames(std::string& folder, std::string& name, std::string& text1,
                                std::string& text2) const = 0;

    virtual std::string ProgramName() const = 0;
    // The motion sensor's position offsets X, Y, Z (m).
    virtual void MotionOffsets(double& x, double& y, double& z) const = 0;

    virtual std::size_t ChannelCount() const = 0;
    virtual bool GetConfigChannel(std::size_t index, SConfigChannel& out) const = 0;
    // The current ping of a channel: header and sample blocks. The blocks
    // must stay valid until the next call for the same channel: the
    // recorder writes the blocks of all channels of a ping together.
    virtual bool GetPingChannel(std::size_t index, SSampleData& out) = 0;
    // The channel's depth pair of the current ping (0 when no bottom).
    virtual bool GetChannelDepth(std::size_t index, SDepthEntry& out) = 0;

    // What the side products read: a channel's values at the current ping,
    // and n of its samples over a window (reference 0 from the surface, 1
    // about the bottom, 4 the ping as the channel's own echogram shows it;
    // -20000 for no data). False for a channel that is not there.
    virtual bool GetProductChannel(std::size_t index, SProductChannel& out) const = 0;
    virtual bool GetPingSamples(std::size_t index, std::int16_t* out, int n, double range, double start, int type,
                                int reference) = 0;
    // The ping time the ping-data thread is processing.
    virtual FileTime PingTime() const = 0;
    // The geographic history at a time, as it holds positions: false
    // without a history or a position then. The heading: -9999.0 when the
    // history has none, 0.0 without a history.
    virtual bool PositionAtTime(FileTime time, double& first, double& second) const = 0;
    virtual double HeadingAtTime(FileTime time) const = 0;
    // The environment's sound velocity (m/s).
    virtual double SoundVelocity() const = 0;
    // The program's version as "%u.%u.%u.%u" (empty when unknown).
    virtual std::string FileVersionText() const = 0;
};

// The recorder's alarm and status texts; the program shows each by its
// string id.
inline constexpr const char* kTextDiskFull = "Disk full";
inline constexpr const char* kTextFileRecordFull = "File record is full";
inline constexpr const char* kTextFileMaxSize = "File Max. Size";
inline constexpr const char* kTextUdpTooLarge =
    "Raw data output: a sample datagram is larger than one UDP datagram and is not sent";

class IStoreEvents
{
public:
    virtual ~IStoreEvents() = default;
    // Alarms ("Disk full", "File record is full") and status messages ("File
    // Max. Size") of the status bar.
    virtual void RaiseAlarm(const std::string& text) = 0;
    virtual void PostStatusMessage(const std::string& text) = 0;
    // Recording state for the status bar: active flag and line number.
    virtual void RecordingState(bool active, int lineNumber) = 0;
    // The START and STOP lines, sent through the network output when it exists.
    virtual void SendLogLine(const std::string& line) = 0;
    // A notice for the operator. Must not block: the recorder calls it from
    // worker threads, sometimes while a file lock is held.
    virtual void Notify(const std::string& text) = 0;
    // Logging was switched on: printing restarts when the message pane is on,
    // and the environment records its current profile.
    virtual void LoggingStarted() {}
    // Logging was switched off: printing stops when the message pane is on.
    virtual void LoggingStopped() {}
};

// The raw-data output's socket: the recorder hands it bare bodies.
class IRawDataSink
{
public:
    virtual ~IRawDataSink() = default;
    virtual bool IsEnabled() const = 0;
    virtual bool Send(std::span<const std::uint8_t> body) = 0;
};

}  // namespace zv::recording
