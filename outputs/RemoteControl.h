// The remote control: another program drives the sounder with short text
// telegrams ("PE" telegrams of the telegram decoder): ping at the maximum
// rate, single step, ping at an interval, start and stop logging, start and
// stop the picture history. It keeps no state: every command acts on the
// program's objects as they are when it arrives.
//
// A telegram carries "SYSTEM" and one keyword, each after the telegram's
// first character (the "PE" field stands first). The first keyword of the
// table that is found is the command; the others are ignored. An interval
// telegram carries the seconds after the first comma behind its keyword, up
// to the four letters "CRLF":
//   PE,SYSTEM STARTPINGINT,2.5CRLF
//
// Threads: the decoder's callers (the user-interface thread, the network
// port's reader, replay's trigger thread) hand the telegrams over; the host
// takes each request to the thread that may act on it.
#pragma once

#include "outputs/Output.h"
#include "platform/WinTypes.h"

#include <optional>
#include <string_view>

// What the remote control asks of the program.
class IRemoteControlHost
{
public:
    virtual ~IRemoteControlHost() = default;
    // Whether the running sounder's recorder is recording (its mode word is
    // nonzero); false without a sounder or recorder.
    virtual bool IsRecording() = 0;
    // The recorder's start/stop toggle (command 32850) to the main frame.
    virtual void PostRecordToggle() = 0;
    // A ping mode (0 maximum rate, 1 single step, 2 interval) with its
    // interval in seconds and trigger code, for operation control; the
    // running sounder's survey-control mode goes with it unchanged.
    virtual void RequestPingMode(int mode, double intervalSeconds, DWORD trigger) = 0;
    // The picture history on or off: started on every idle view when none
    // prints, stopped on every printing view when one prints, and the
    // application's history flag set to match; nothing without a printing
    // document.
    virtual void RequestHistory(bool on) = 0;
};

class CRemoteControl final : public IOutput
{
public:
    // The trigger code every ping-mode request of the remote control carries.
    static constexpr DWORD kTrigger = 0x2000;
    // The interval range the operation dialog allows, seconds.
    static constexpr double kMaxIntervalSeconds = 3600.0;

    enum class ECommand {
        None,
        PingInterval,
        StartLogging,
        StopLogging,
        StartPinging,
        StopPinging,
        StopHistory,
        StartHistory,
    };
    struct SCommand
    {
        ECommand command = ECommand::None;
        // PingInterval: the seconds, none when they are no number from 0 to
        // kMaxIntervalSeconds (the command then does nothing).
        std::optional<double> interval;
    };

    // The command a telegram carries; text after a NUL is not part of it.
    static SCommand Parse(std::string_view telegram);

    explicit CRemoteControl(IRemoteControlHost& host) : m_host(host) {}

    // Interprets one telegram; reports nothing.
    void Execute(std::string_view telegram);

    // The output list hands over the remote-control telegrams.
    void TakeText(const OutputText& text) override;

private:
    IRemoteControlHost& m_host;
};
