// The network output: the sounder's results as UDP datagrams to one
// configurable destination, each kind under its own switch, and the owner of
// the receiving socket (CQYNetPort).
//
// It is the network entry of the program's output list: of what the list
// hands on it takes the pings, the texts it has a switch for, the profiles
// and the factory settings.
//
// Threads: per-ping sending runs on the ping-data thread, the single
// telegrams on their callers' threads. They share one sending socket under a
// lock; a send that fails closes it and the next send opens it again, so one
// error never silences the output for good.
#pragma once

#include "outputs/Output.h"
#include "outputs/QYNetPort.h"
#include "platform/Registry.h"
#include "platform/Socket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One channel's results of the ping being processed.
struct SQYNetChannelPing
{
    bool processed = false;
    std::uint64_t pingTime = 0;
    double depth = 0.0;            // m below the surface, 0 without bottom
    double second = 0.0;           // second result of the bottom detection
    double transducerDepth = 0.0;  // m
    double frequency = 0.0;        // Hz
    double soundVelocity = 0.0;    // m/s, the channel's
    // m/s, the one its transceiver hands out with the channel parameters.
    double transceiverSoundVelocity = 0.0;
    double heave = 0.0;        // m
    double pulseLength = 0.0;  // s
    std::string transducer;
    std::array<float, 3> motion{};
};

// What the per-ping outputs (network and post-processing) read of the
// running sounder for one ping.
class IQYNetPingSource
{
public:
    virtual ~IQYNetPingSource() = default;
    virtual int GetChannelCount() = 0;
    virtual bool GetChannelPing(int index, SQYNetChannelPing& out) = 0;
    // n samples of a window of the given length and start, referenced to the
    // surface (0) or the bottom (1).
    virtual bool GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg,
                            int reference) = 0;
    // The ping's single targets, five values each; the count, 0 for none.
    virtual int GetSingleTargets(int index, std::vector<std::array<float, 5>>& out) = 0;
    virtual double GetEnvironmentSoundVelocity() = 0;
    virtual bool GetWaterTemperature(double& celsius) = 0;
};

class CQYNet final : public IOutput
{
public:
    static constexpr const char* kSection = "QYNet";
    static constexpr const char* kDefaultDestAddr = "127.0.0.1";
    static constexpr std::size_t kQHeader = 44;

    struct Settings
    {
        std::uint32_t DestPort = 2020;
        std::string DestAddr = kDefaultDestAddr;
        std::uint32_t LocalPort = 10183;
        std::uint32_t EchoTraceDatagram = 0, NavigationDatagram = 0, RelayNavigation = 0, ParameterDatagram = 0,
                      AnnotationDatagram = 0;
        std::array<std::uint32_t, 4> DepthDatagram{};
        std::uint32_t DepthNMEADatagramDBS = 0, DepthNMEADatagramDPT = 0, DepthNMEADatagramDBT = 0,
                      DepthNMEADatagram = 0, NMEAsource = 0, DepthHymas = 0, SoundVelDatagram = 0, StatusDatagram = 0,
                      MotionSensorDatagram = 0, TemperatureSensorDatagram = 0, KWP470Datagram = 0;
        double EchogramRangeSurface = 250.0, EchogramRangeSurfaceStart = 0.0, EchogramRangeBottom = 15.0,
               EchogramRangeBottomStart = 10.0;
        std::uint32_t EchogramSurfaceCount = 500, EchogramBottomCount = 150, TVGType = 1;
        std::array<std::uint32_t, 4> Echogram{};
        std::uint32_t AddFrequency = 0, ZelvarFormat = 0, ZelvarFormatWithoutHeave = 0;
    };

    // Reads the settings under root\QYNet (null root: defaults only) and
    // opens the sending socket; the receiving socket is made by CreateSocket.
    explicit CQYNet(HKEY root = nullptr);
    ~CQYNet() override;
    CQYNet(const CQYNet&) = delete;
    CQYNet& operator=(const CQYNet&) = delete;

    Settings GetSettings() const;
    // Takes new settings (the settings dialog's OK): a new destination is
    // used from the next datagram, a new local port recreates the receiving
    // socket; everything is written.
    void ApplySettings(const Settings& settings);
    void LoadSettings();
    void SaveSettings() const;

    bool CreateSocket();
    CQYNetPort& Port() { return m_port; }
    void SetDestPort(std::uint16_t port);
    bool SetDestAddress(const std::string& dotted);
    bool IsReady() const;

    // One datagram to the destination; false when it was not sent.
    bool SendDatagram(const void* data, std::size_t length);
    bool SendText(const std::string& text) { return SendDatagram(text.data(), text.size()); }

    void SendPingDatagrams(IQYNetPingSource& ping);
    void SendPingTelegram(IQYNetPingSource& ping);
    void SendNavigation(const std::string& text, std::uint64_t time);
    void SendCS(const std::string& text, std::uint64_t time);
    void SendST(const std::string& text);
    void SendSV(const std::string& text);
    void SendAnnotation(const std::string& prefix, const std::string& text);

    // Its share of the output list: a ping's datagrams and telegram, the
    // single telegrams by kind, a profile as the sound velocity telegram.
    void TakePing(const OutputPing& ping) override;
    void TakeText(const OutputText& text) override;
    void TakeProfile(const std::string& text, std::uint64_t time) override;
    void RestoreDefaults() override;

    // The recorder's geo file, fed by SendAnnotation.
    std::function<void(const std::string& line)> writeGeoLine;

    // The per-ping "$," telegram: the first channel's ping time, each slot's
    // bottom and transducer depth in cm, the environment's sound velocity.
    static std::string PingTelegram(IQYNetPingSource& ping);
    // HHMMSShh of a file time, UTC.
    static std::string TimeText(std::uint64_t fileTime);
    // The network's Q datagram; empty when it would not fit one datagram.
    static std::vector<std::uint8_t> BuildEchogramDatagram(int channel, const std::string& time, std::uint32_t tvg,
                                                           float bottom, const Settings& s,
                                                           const std::vector<std::int16_t>& surface,
                                                           const std::vector<std::int16_t>& bottomSamples);

private:
    bool OpenSender();  // under m_sendLock
    void SendDepthDatagram(int n, const SQYNetChannelPing& c, const std::string& time, const Settings& s);

    HKEY m_root = nullptr;
    mutable std::mutex m_settingsLock;
    Settings m_settings;

    mutable std::mutex m_sendLock;
    CSocket m_sender;
    SocketAddress m_destination;
    bool m_destinationValid = false;

    CQYNetPort m_port;
};
