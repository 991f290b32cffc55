// The raw-data output: the recorder's datagram stream (configuration,
// samples, sentences, annotations, profiles), one bare body per UDP
// datagram, to an outside acquisition program. The object owns the socket,
// the destination and the switch; the recorder sends through it while the
// switch is on. Every 30 s, and at once when the dialog switches it on, it
// has the running recorder send its configuration, so that a receiver that
// starts late learns it.
//
// Threads: the recorder sends on the threads it writes on (the ping-data
// thread among them); the timer and the dialog run on the user-interface
// thread. The settings are one copy under a lock, the socket and
// destination are under another; a failed send closes the socket and the
// next send opens it again.
#pragma once

#include "base/StdTimer.h"
#include "platform/Registry.h"
#include "platform/Socket.h"
#include "recording/StoreInterfaces.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

// What the raw-data output asks of the running recorder.
class IRawDataRecorder
{
public:
    virtual ~IRawDataRecorder() = default;
    // When a sounder with at least one channel runs, its recorder sends its
    // configuration with the texts "DUMMY" through the raw-data output.
    virtual void WriteConfiguration() = 0;
};

class CQYTriton final : public zv::recording::IRawDataSink
{
public:
    static constexpr const char* kSection = "QYTriton";
    static constexpr const char* kDefaultDestAddr = "127.0.0.1";
    static constexpr unsigned kConfigPeriodMs = 30000;
    static constexpr int kSendBufferBytes = 65530;

    struct Settings
    {
        // Only its low 16 bits are used.
        std::uint32_t DestPort = 4711;
        std::string DestAddr = kDefaultDestAddr;
        std::uint32_t OutputDatagrams = 0;
    };

    // What the settings dialog shows and edits.
    struct DialogValues
    {
        std::array<int, 4> address{};
        std::uint32_t port = 0;
        bool enabled = false;
        bool operator==(const DialogValues&) const = default;
    };

    // Reads the settings under root\QYTriton (null root: defaults only),
    // opens the socket and, when the output is on, starts the configuration
    // timer on this thread with the given period.
    CQYTriton(HKEY root, IRawDataRecorder& recorder, unsigned configPeriodMs = kConfigPeriodMs);
    ~CQYTriton() override;
    CQYTriton(const CQYTriton&) = delete;
    CQYTriton& operator=(const CQYTriton&) = delete;

    Settings GetSettings() const;
    void LoadSettings();
    void SaveSettings() const;

    DialogValues GetDialogValues() const;
    // The dialog's OK: opened is what it showed, edited what it gives back.
    // The address and port change where they were edited; a switched-on
    // output has the recorder send its configuration at once, and the timer
    // starts anew.
    void ApplyDialogValues(const DialogValues& opened, const DialogValues& edited);

    // A socket and a destination that parsed.
    bool IsReady() const;
    bool IsTimerRunning() { return m_timer.IsRunning() != FALSE; }

    // The recorder's side: on and with a destination that parsed.
    bool IsEnabled() const override;
    // One body, one datagram; false when it was not sent.
    bool Send(std::span<const std::uint8_t> body) override;

    // The timer's tick.
    void OnConfigTimer();

private:
    class CConfigTimer final : public CStdTimer
    {
    public:
        explicit CConfigTimer(CQYTriton& owner) : m_owner(owner) {}
        ~CConfigTimer() override { Stop(); }
        void OnTimer() override { m_owner.OnConfigTimer(); }

    private:
        CQYTriton& m_owner;
    };

    void SetDestination(const std::string& dotted, std::uint32_t port);
    bool OpenSocket();  // under m_sendLock

    HKEY m_root = nullptr;
    IRawDataRecorder& m_recorder;
    const unsigned m_periodMs;

    mutable std::mutex m_settingsLock;
    Settings m_settings;

    mutable std::mutex m_sendLock;
    CSocket m_socket;
    SocketAddress m_destination;
    bool m_destinationValid = false;

    CConfigTimer m_timer{*this};
};
