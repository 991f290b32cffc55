// What the recorder needs from the running sounder and where its reports go,
// as narrow calls. The engine implements IStoreSounder over its channels and
// transceivers; the application implements IStoreEvents over the status bar,
// the network output and the message-box service. Keeping them narrow lets
// the recorder run in tests and benchmarks without an engine.
#pragma once

#include "recording/DatagramRecords.h"

#include <cstddef>
#include <span>
#include <string>

namespace zv::recording {

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
    // must stay valid until the next call for any channel.
    virtual bool GetPingChannel(std::size_t index, SSampleData& out) = 0;
    // The channel's depth pair of the current ping (0 when no bottom).
    virtual bool GetChannelDepth(std::size_t index, SDepthEntry& out) = 0;
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
