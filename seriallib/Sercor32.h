// A serial port on a serial backend (platform/SerialBackend.h), with a
// reader thread that hands every byte to the receive protocol and a 10 ms
// ticker that spaces telegrams by the transmit delay and reports the receive
// time-out.
#pragma once

#include "seriallib/Sercor.h"

#include "platform/SerialBackend.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CSercor32 : public CSercor
{
public:
    CSercor32();
    ~CSercor32() override;

    BOOL Create(const char* section, BOOL silent) override;
    BOOL CreateEx(const char* port, int baud, int dataBits, int parity, int stopBits, BOOL silent) override;
    BOOL Close() override;
    BOOL Configure(BOOL allowNone) override;
    BOOL Send(CTarnMessage* message) override;
    void WakeTransmitter() override;
    // What the options dialog's Help button does; empty: it has none.
    void SetOptionsHelp(std::function<void()> help) { m_OptionsHelp = std::move(help); }
    BOOL ShowStatistics(BOOL show) override;
    BOOL SetTimeouts(DWORD charTimeout, DWORD txDelay, DWORD refBaud) override;
    BOOL UpdateIniSection(IniOp op) override;
    DWORD GetMessageIn100ns(DWORD characters) override;
    BOOL SetEventMask(DWORD mask) override;
    BOOL SetRxTimeouts(DWORD charTimeout, DWORD totalTimeout, DWORD refBaud) override;
    BOOL SetTxDelay(DWORD ms) override;
    DWORD GetRxTimeout() override;
    DWORD GetRxTotalTimeout() override;
    DWORD GetRxRefBaud() override;
    DWORD GetTxDelay() override;
    BOOL SetDTR(BOOL on) override;
    BOOL SetRTS(BOOL on) override;
    BOOL SetXON(BOOL on) override;
    BOOL SetBreak(BOOL on) override;
    BOOL AutoDetect(BOOL silent) override;
    BOOL GetStatistics(tag_COM_STATISTICS* out) override;

    std::string GetPortName() const;
    // True while a line is open (false for "NONE").
    bool GetPortHandle() const;
    BOOL IsCreated() const { return m_bCreated; }
    BOOL IsPortNone() const { return m_bPortNone; }
    // The effective receive character time-out in ms.
    DWORD GetEffectiveRxTimeout() const { return m_nRxTimeoutEff.load(); }
    // Character time in 100 ns units.
    DWORD GetCharTime() const { return m_nCharTime.load(); }
    // The cause of the last failed open, for the user.
    std::string GetLastError() const;

    // Settings (as loaded, set or configured).
    int GetBaud() const { return m_nBaud; }
    int GetDataBits() const { return m_nDataBits; }
    int GetParity() const { return m_nParity; }
    int GetStopBits() const { return m_nStopBits; }
    BOOL GetDTRDSR() const { return m_bDTRDSR; }
    BOOL GetRTSCTS() const { return m_bRTSCTS; }
    BOOL GetXonOff() const { return m_bXonXoff; }

    // Counts the reader's waits that ended without bytes.
    DWORD GetEmptyWaits() const { return m_nEmptyWaits.load(); }

protected:
    // Settings; the component's port loads and stores them elsewhere.
    int m_nBaud = 9600;
    int m_nDataBits = 8;
    BOOL m_bDTRDSR = FALSE;
    int m_nParity = 0;
    BOOL m_bRTSCTS = FALSE;
    int m_nStopBits = 0;
    BOOL m_bXonXoff = FALSE;
    std::string m_strPort;
    std::string m_strSection;
    BOOL m_bPortNone = FALSE;

    // Recomputes the effective character time-out from the stored values.
    void UpdateEffectiveRxTimeout();
    // 0 success, 2 failure.
    int SetupConnection();
    // Called with the port's lock not held.
    BOOL ReceiveBuffer(const BYTE* bytes, DWORD n);
    void ReportStatusEvent(DWORD events);

private:
    std::shared_ptr<ISerialBackend> Backend() const;
    long PutMessage(ISerialBackend& line, const BYTE* bytes, DWORD n);
    void StartTicker();
    void StopTicker();
    void CreateMonitor();
    void DestroyMonitor();
    void TickerThread();
    void ReaderThread();
    void SetTransmitterFree();
    // False when a protocol's stop or the port's close woke it; true when
    // the transmitter is free or the time ran out.
    bool WaitTransmitterFree(DWORD ms);
    void ApplyTimeouts();

    BOOL m_bCreated = FALSE;
    std::string m_strOpenedPort;
    std::string m_strLastError;

    mutable std::mutex m_PortLock;  // counters, countdowns, the line pointer
    tag_COM_STATISTICS m_Statistics;
    std::shared_ptr<ISerialBackend> m_pLine;

    std::atomic<DWORD> m_nRxTimeoutEff{0};
    DWORD m_nRxTimeout = 0;
    DWORD m_nRefBaud = 0;
    std::atomic<DWORD> m_nRxTotalTimeout{100};
    std::atomic<DWORD> m_nIdleCountdown{0};
    std::atomic<DWORD> m_nTxDelay{0};
    std::atomic<DWORD> m_nTxDelayCountdown{0};
    std::atomic<DWORD> m_nEventMask{0};
    std::atomic<DWORD> m_nCharTime{1000};
    std::atomic<DWORD> m_nEmptyWaits{0};

    std::thread m_Ticker;
    std::atomic<bool> m_bTickerStop{false};
    std::mutex m_TickerMutex;
    std::condition_variable m_TickerWake;

    std::thread m_Reader;
    std::atomic<bool> m_bReaderStop{false};

    // Auto-reset, created signalled: one writer at a time, telegrams spaced
    // by the transmit delay.
    std::mutex m_TxFreeMutex;
    std::condition_variable m_TxFreeCv;
    bool m_bTxFree = true;
    std::function<void()> m_OptionsHelp;
    // Counts the stops that woke a wait for the transmitter.
    unsigned m_nTxWakeups = 0;

    // A line that takes no bytes costs a telegram at most this long, for the
    // transmitter and again for the write: per-ping telegrams do not wait
    // behind it for long (the queue drops what grows too old).
    static constexpr DWORD kTransmitWaitMs = 1000;
    static constexpr DWORD kReadBlock = 1024;
    static constexpr DWORD kReaderWaitMs = 1000;
};
