// The lobe link: an outside program on a serial line queries the sounder
// with the menu-path commands of an older sounder's remote interface and
// receives echo-trace telegrams. Lines in ("ASCII_CR") and replies out
// ("ASCII"), each reply ended by "\r\r\n", behind the command's local time
// as hhmmssdd:
//   /TEST MENU/Version            -> PR,13040525,/TEST MENU/Version=TQ250 1.2.3.4
//   /SER/Telegram/Echo-Trace=1    -> PE,13040525/SER/Telegram/Echo-Trace=1
//   /TRANSCEIVER/Transceiver-2 Menu/Pulse Length
//                                 -> PR,13040525,/TRANSCEIVER MENU/Transceiver-2 Menu/Pulse Length=1.024 ms
// and, while echo-trace output is on, per channel and ping with targets:
//   E1,13040525, 2,
//     12.34,-45.1,-47.2,  0.31, -0.12,
//     ...
//
// Threads: lines arrive on the serial reader thread, which keeps the
// monitor text under the object's lock and posts each line to the main
// frame (message 0x479); the commands are interpreted on the user-interface
// thread; echo-trace telegrams come on the thread that requests the single
// targets.
#pragma once

#include "engine/EchoTraceTelegrams.h"
#include "outputs/LobeCommands.h"
#include "serialcom/device/SerialDeviceLink.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class CEchoSounder;

class CLobe : public CSerialDeviceLink, public ILobeCommands, public IEchoTraceTelegrams
{
public:
    static constexpr const char* kSettingId = "Lobe";
    static constexpr std::size_t kMonitorLimit = 3000;
    static constexpr std::size_t kMonitorKeep = 1000;

    // What a "/TRANSCEIVER" command answers of one channel.
    struct SChannelItems
    {
        double pulseLength = 0.0;  // s
        double maxPower = 0.0;     // W
        double gain = 0.0;         // dB
        double angleSensitivityAlongship = 0.0, angleSensitivityAthwartship = 0.0;
        double beamWidthAlongship = 0.0, beamWidthAthwartship = 0.0;  // degrees
        double offsetAlongship = 0.0, offsetAthwartship = 0.0;        // degrees
    };
    // What the commands read of the program, on the user-interface thread.
    struct Links
    {
        // The program's file version, "%u.%u.%u.%u".
        std::function<std::string()> fileVersion;
        // A channel's items; none without a running sounder or that channel.
        std::function<std::optional<SChannelItems>(int channel)> channelItems;
    };

    explicit CLobe(Links links);
    ~CLobe() override;

    // Creates and opens the component: 0, or E_NOINTERFACE without it.
    long OpenPort();
    void ClosePort();

    // The reply to a command received at a file time; empty for none.
    std::string Reply(const std::string& command, std::uint64_t time);
    // "hhmmssdd" of a file time in local time.
    static std::string TimeField(std::uint64_t fileTime);
    // The echo-trace telegram of a channel's targets; empty for none.
    static std::string EchoTraceTelegram(int channel, std::uint64_t pingTime, const SingleTargetRecord& record);

    // ILobeCommands: the reply, when there is one, goes out on the line.
    void HandleCommand(const std::string& command, std::uint64_t time) override;
    // IEchoTraceTelegrams: while echo-trace output is on.
    void SendTelegram(int channelIndex, std::uint64_t pingTime, const SingleTargetRecord& record) override;

    bool IsEchoTraceOn() const { return m_echoTrace.load(); }
    void SetEchoTrace(bool on) { m_echoTrace = on; }

    // The monitor: shown lines while visible, cut to its last 1000
    // characters once it passes 3000. The revision grows with every change.
    void SetMonitorVisible(bool visible);
    std::string GetMonitorText() const;
    std::uint64_t GetMonitorRevision() const;
    void ClearMonitor();
    // A received line as the reader thread hands it over (tests and the
    // reader).
    void TakeLine(const std::string& text, std::uint64_t time);

protected:
    // A non-empty text to the line.
    virtual void SendText(const std::string& text);
    void ParseTelegram(const CTarnMessage& message) override;

private:
    const Links m_links;
    std::atomic<bool> m_echoTrace{false};
    mutable std::mutex m_monitorLock;
    std::string m_monitor;
    bool m_monitorVisible = false;
    std::uint64_t m_monitorRevision = 0;
};
