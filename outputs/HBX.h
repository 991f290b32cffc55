// The exchange with the survey control program over UDP: while the sounder's
// survey-control mode is on, a worker announces the sounder once a cycle
// (990 ms), sends a status datagram once the survey program has given its
// ports, answers its queries, stops and resumes pinging, starts and stops
// recording on request and points the network output at it.
//
// Every binary datagram sent begins with the same 16-byte head,
// little-endian:
//   0 u8 0x02   1 u8 type ('0' announcement, '1' status, 'B' query reply)
//   2 u16 model number   4 u32 date yyyymmdd   8 u32 ms since midnight
//   12 u16 counter (1)   14 u16 serial number (= model number)
// A command of the survey program stands at offsets 3-5 of its datagram:
//   "xxxP00" registration, "xxxPU0" + status port at 20, reply port at 22,
//   "xxxP03" query, "xxxP02" stop pinging, "xxxP10" resume pinging,
//   "xxxP20" clock, "xxxQYL,LOG=1,FIL=name," logging.
//
// Threads: one worker per object. It reads the sounder's mode values
// (atomics) and asks the host for everything else; the host takes the
// ping-mode requests to the user-interface thread. The destructor stops,
// wakes and joins the worker.
#pragma once

#include "base/ModelCodes.h"
#include "platform/Socket.h"
#include "platform/WinTypes.h"
#include "sounder/SurveyControl.h"

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CEchoSounder;

// What the exchange asks of the program.
class IHbxHost
{
public:
    virtual ~IHbxHost() = default;
    // A ping mode (0 maximum rate, 1 single step, 2 interval) with the
    // trigger code, its companion value, the interval in seconds and the
    // survey-control mode, for operation control.
    virtual void RequestPingMode(int mode, DWORD trigger, int companion, double intervalSeconds, int hbx) = 0;
    // The application's stored ping mode, which "P10" resumes.
    virtual int StoredPingMode() = 0;
    // Whether the running sounder's recorder records (its mode word is
    // nonzero).
    virtual bool IsRecording() = 0;
    // The recorder's start/stop toggle (command 32850) to the main frame.
    virtual void PostRecordToggle() = 0;
    // The network output sends to this address (host order) and port.
    virtual void PointNetworkOutput(std::uint32_t address, std::uint16_t port) = 0;
    // A failure for the status bar; never waits.
    virtual void StatusText(const std::string& text) = 0;
};

class CHBX final : public ISurveyControl
{
public:
    static constexpr std::uint8_t kStartByte = 0x02;
    static constexpr std::uint8_t kAnnouncement = '0';
    static constexpr std::uint8_t kStatus = '1';
    static constexpr std::uint8_t kQueryReply = 'B';
    static constexpr std::size_t kHeadSize = 16;
    static constexpr std::size_t kAnnouncementSize = 108;
    static constexpr std::size_t kStatusSize = 88;
    static constexpr std::size_t kQueryReplySize = 5024;
    static constexpr std::size_t kClockReplySize = 268;
    static constexpr std::size_t kReceiveSize = 2000;
    // "PU0" carries both ports: it is this long at least.
    static constexpr std::size_t kPortsSize = 24;
    static constexpr std::size_t kAddressOffset = 92;
    static constexpr const char kQueryResult[] = "QY dummy result";
    // The survey program's address before any "P00": the characters "0000".
    static constexpr std::uint32_t kNoAddress = 0x30303030;

    // The survey program tells the sounders apart by these numbers.
    static constexpr std::uint16_t kModelQY210 = 210;
    static constexpr std::uint16_t kModelQY310 = 310;
    static constexpr std::uint16_t kModelRM30 = 1030;
    static constexpr std::uint16_t kModelTQ30 = 2030;
    static constexpr std::uint16_t kModelTotal = 4000;
    static constexpr std::uint16_t kModelQYNVU = 5000;
    static std::uint16_t ModelNumber(SounderModel model);

    struct Options
    {
        // Where the sounder receives, and where it announces itself.
        std::uint16_t receivePort = 2012;
        SocketAddress announcement{SocketAddress::kBroadcast, 1999};
        unsigned cycleMs = 990;
        // Off: no sockets and no worker; datagrams come only through
        // HandleDatagram (their replies go nowhere).
        bool worker = true;
    };

    // The commands of the survey program.
    enum class ECommand { None, Register, Ports, Query, StopPinging, ResumePinging, Clock, Known, Logging };
    // The command a datagram carries (its bytes 3-5).
    static ECommand Command(std::span<const std::uint8_t> datagram);
    // The ",LOG=" number of a "QYL" text; -1 when there is none.
    static int LoggingRequest(std::string_view text);

    // The datagrams; times are local calendar times.
    static std::vector<std::uint8_t> Head(std::uint8_t type, std::uint16_t model, const std::tm& time,
                                          std::size_t size);
    static std::vector<std::uint8_t> Announcement(std::uint16_t model, const std::tm& start, std::uint16_t receivePort,
                                                  std::uint32_t surveyAddress);
    static std::vector<std::uint8_t> QueryReply(std::uint16_t model, const std::tm& now);
    static std::vector<std::uint8_t> ClockReply(const std::tm& now);

    // Starts the worker. sounder: the one that owns this object.
    CHBX(IHbxHost& host, const CEchoSounder& sounder, SounderModel model, Options options);
    CHBX(IHbxHost& host, const CEchoSounder& sounder, SounderModel model) : CHBX(host, sounder, model, Options{}) {}
    ~CHBX() override;
    CHBX(const CHBX&) = delete;
    CHBX& operator=(const CHBX&) = delete;

    // One received datagram, as the worker handles it; only for an object
    // made without a worker.
    void HandleDatagram(std::span<const std::uint8_t> datagram, const SocketAddress& from);

    // Whether the worker is bound and running.
    bool IsRunning() const;
    // The cycles done so far (tests wait on it).
    std::uint64_t Cycles() const;

private:
    void Run();
    bool OpenSockets();
    // One cycle after the sleep.
    void Cycle();
    void Handle(std::span<const std::uint8_t> datagram, const SocketAddress& from);
    void Logging(std::string_view text);
    void Send(CSocket& socket, const std::vector<std::uint8_t>& datagram, const SocketAddress& to);
    // Drops every datagram that waits.
    void Discard();
    double IntervalSeconds() const;
    static std::tm LocalNow();

    IHbxHost& m_host;
    const CEchoSounder& m_sounder;
    const std::uint16_t m_model;
    const Options m_options;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_running = false;
    std::uint64_t m_cycles = 0;

    // The worker's own.
    bool m_forceSingleStep = true;
    bool m_statusEnabled = false;
    bool m_surveyStartedRecording = false;
    std::uint32_t m_surveyAddress = kNoAddress;
    std::uint16_t m_statusPort = 0;
    std::uint16_t m_replyPort = 0;
    std::tm m_start{};
    std::string m_lastFailure;
    CSocket m_receive, m_send, m_announce;
    std::thread m_thread;
};
