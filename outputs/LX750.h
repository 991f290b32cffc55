// The post-processing output: what the post-processing program LX750
// records, as UDP datagrams to one destination. Per ping and channel an
// echogram datagram Q and an echo-trace datagram E, the parameter telegrams
// PR, a vessel-log telegram VL every 0.005 nautical miles sailed, and the
// navigation telegrams the decoder forwards. Each kind has its switch.
//
// It is the first entry of the program's output list: of what the list hands
// on it takes the pings, the forwarded position telegrams and the factory
// settings.
//
// Threads: pings come on the ping-data thread, forwarded telegrams on the
// decoder's threads, the vessel-log timer and the settings dialog on the
// user-interface thread. The settings are one copy under a lock; the vessel
// log (Distance and the counts that advance it) is under a lock of its own;
// all of them send through one socket under its lock, which a failed send
// closes and the next send opens again.
#pragma once

#include "base/StdTimer.h"
#include "outputs/Output.h"
#include "outputs/QYNet.h"
#include "platform/Registry.h"
#include "platform/Socket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class ISpeedSource;

class CLX750 final : public IOutput
{
public:
    static constexpr const char* kSection = "LX750";
    static constexpr const char* kDefaultDestAddr = "127.0.0.1";
    static constexpr unsigned kVesselLogPeriodMs = 250;
    // One step of the vessel log, nautical miles.
    static constexpr double kVesselLogStep = 0.005;
    // Steps a replayed ping sends one VL each for; beyond them the rest of
    // the distance goes out at once in one more VL.
    static constexpr std::int64_t kMaxVesselLogStepsPerPing = 100;
    // The largest echogram datagram: 44 + 2 × 714 bytes.
    static constexpr std::size_t kQHeader = 44;
    static constexpr std::uint32_t kMaxEchogramSamples = 714;
    static constexpr std::size_t kMaxTargets = 30;
    static constexpr std::size_t kNavigationBuffer = 80;

    struct Settings
    {
        std::uint32_t DestPort = 2020;
        std::string DestAddr = kDefaultDestAddr;
        std::uint32_t EchoTraceDatagram = 0, EchogramDatagram = 0, VesselLogDatagram = 0, NavigationDatagram = 0,
                      ParameterDatagram = 0;
        double EchogramRangeSurface = 250.0, EchogramRangeSurfaceStart = 0.0, EchogramRangeBottom = 15.0,
               EchogramRangeBottomStart = 10.0;
        std::uint32_t EchogramSurfaceCount = 500, EchogramBottomCount = 150, TVGType = 1;
    };

    // What the settings dialog shows and edits: the address as four bytes,
    // the ranges in metres.
    struct DialogValues
    {
        std::array<int, 4> address{};
        std::uint32_t port = 0;
        double distance = 0.0;
        bool echoTrace = false, echogram = false, navigation = false, vesselLog = false, parameter = false;
        std::uint32_t surfaceCount = 0, bottomCount = 0;
        double rangeSurface = 0.0, rangeSurfaceStart = 0.0, rangeBottom = 0.0, rangeBottomStart = 0.0;
        bool operator==(const DialogValues&) const = default;
    };

    // Reads the settings under root\LX750 (null root: defaults only), opens
    // the socket and starts the vessel-log timer on this thread. speed:
    // navigation's speed; isReplaying: whether the program replays. Both
    // outlive the object.
    CLX750(HKEY root, const ISpeedSource& speed, std::function<bool()> isReplaying);
    ~CLX750() override;
    CLX750(const CLX750&) = delete;
    CLX750& operator=(const CLX750&) = delete;

    Settings GetSettings() const;
    // New settings: a new destination is used from the next datagram; all
    // settings are written.
    void ApplySettings(const Settings& settings);
    void LoadSettings();
    void SaveSettings() const;

    // The vessel log, nautical miles.
    double GetDistance() const;
    void SetDistance(double nauticalMiles);

    DialogValues GetDialogValues() const;
    // The dialog's OK: opened is what it showed, edited what it gives back.
    // Distance, the address and the port change only where they were
    // edited, so steps taken while the dialog was open stay in Distance.
    void ApplyDialogValues(const DialogValues& opened, const DialogValues& edited);

    // Ready: a socket and a destination that parsed.
    bool IsReady() const;
    // One datagram of exactly that many bytes; false when it was not sent.
    bool SendDatagram(std::span<const std::uint8_t> bytes);

    // The per-ping datagrams of the running sounder.
    void SendPingDatagrams(IQYNetPingSource& ping);
    // A navigation telegram the decoder forwards.
    void ForwardTelegram(const std::string& text);
    // One tick of the vessel-log timer (every 250 ms).
    void OnVesselLogTimer();

    void TakePing(const OutputPing& ping) override;
    void TakeText(const OutputText& text) override;
    void RestoreDefaults() override;

    // The datagrams, as the peer reads them.
    // "HHMMSShh" of a file time, UTC.
    static std::string TimeText(std::uint64_t fileTime);
    // Empty when S + B is above 714.
    static std::vector<std::uint8_t> BuildEchogramDatagram(int channel, const std::string& time, const Settings& s,
                                                           float bottomDepth, std::span<const std::int16_t> surface,
                                                           std::span<const std::int16_t> bottom);
    // At most the first 30 targets.
    static std::vector<std::uint8_t> BuildEchoTraceDatagram(int channel, const std::string& time,
                                                            std::span<const std::array<float, 5>> targets);
    static std::vector<std::uint8_t> BuildVesselLog(std::uint64_t fileTime, double distance);
    // The PR texts, without their NUL.
    static std::string FrequencyParameter(const std::string& time, int channel, double hertz);
    static std::string PulseLengthParameter(const std::string& time, int channel, double seconds);
    static std::string SoundVelocityParameter(const std::string& time, double metresPerSecond);
    static std::string TransducerTypeParameter(const std::string& time, int channel, const std::string& name);
    // The NUL-padded navigation datagram; empty for an empty text.
    static std::vector<std::uint8_t> BuildNavigation(const std::string& text);

private:
    class CVesselLogTimer final : public CStdTimer
    {
    public:
        explicit CVesselLogTimer(CLX750& owner) : m_owner(owner) {}
        ~CVesselLogTimer() override { Stop(); }
        void OnTimer() override { m_owner.OnVesselLogTimer(); }

    private:
        CLX750& m_owner;
    };

    // The replay path of the vessel log, at each replayed ping.
    void AdvanceReplayLog(std::uint64_t pingTime);
    // Distance grows by steps; a VL with the new distance goes out when
    // sending is on. Under m_logLock.
    void Step(double steps, std::uint64_t time, bool send);
    bool SendText(const std::string& text);  // with its NUL
    bool SetDestination(const std::string& dotted, std::uint32_t port);
    bool OpenSocket();  // under m_sendLock

    HKEY m_root = nullptr;
    const ISpeedSource& m_speed;
    const std::function<bool()> m_isReplaying;

    mutable std::mutex m_settingsLock;
    Settings m_settings;

    mutable std::mutex m_logLock;
    double m_distance = 0.0;
    // The replay path: the previous replayed ping (0: none) and the metres
    // sailed since its last step.
    std::uint64_t m_previousPingTime = 0;
    double m_replayRemainder = 0.0;
    // The timer path: nautical miles sailed, and the step it waits for.
    double m_timerDistance = 0.0;
    std::int64_t m_timerStep = 1;

    mutable std::mutex m_sendLock;
    CSocket m_socket;
    SocketAddress m_destination;
    bool m_destinationValid = false;

    CVesselLogTimer m_timer{*this};
};
