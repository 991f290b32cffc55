// The abstract serial port: one receive protocol that every byte read goes
// to, one transmit protocol whose thread writes through Send, and the lock
// that keeps a protocol alive while the port's threads call into it.
#pragma once

#include "seriallib/SercorHooks.h"
#include "seriallib/SercorTypes.h"
#include "seriallib/TarnMessage.h"

#include <atomic>
#include <memory>
#include <mutex>

class CProtocol;

class CSercor
{
public:
    enum IniOp { IniStore = 0, IniLoad = 1 };
    static constexpr const char* s_szPortNone = "NONE";

    CSercor() = default;
    CSercor(const CSercor&) = delete;
    CSercor& operator=(const CSercor&) = delete;
    virtual ~CSercor() = default;

    virtual BOOL Create(const char* section, BOOL silent) = 0;
    virtual BOOL CreateEx(const char* port, int baud, int dataBits, int parity, int stopBits, BOOL silent) = 0;
    virtual BOOL Close() = 0;
    virtual BOOL Configure(BOOL allowNone) = 0;
    // Takes the message: it is deleted when accepted (result 1); on 0 the
    // caller keeps it.
    virtual BOOL Send(CTarnMessage* message) = 0;
    virtual BOOL ShowStatistics(BOOL show) = 0;
    virtual BOOL SetTimeouts(DWORD charTimeout, DWORD txDelay, DWORD refBaud) = 0;
    virtual BOOL UpdateIniSection(IniOp op) = 0;
    virtual DWORD GetMessageIn100ns(DWORD characters) = 0;
    virtual BOOL SetEventMask(DWORD mask) = 0;
    virtual BOOL SetRxTimeouts(DWORD charTimeout, DWORD totalTimeout, DWORD refBaud) = 0;
    virtual BOOL SetTxDelay(DWORD ms) = 0;
    virtual DWORD GetRxTimeout() = 0;
    virtual DWORD GetRxTotalTimeout() = 0;
    virtual DWORD GetRxRefBaud() = 0;
    virtual DWORD GetTxDelay() = 0;
    virtual BOOL SetDTR(BOOL on) = 0;
    virtual BOOL SetRTS(BOOL on) = 0;
    virtual BOOL SetXON(BOOL on) = 0;
    virtual BOOL SetBreak(BOOL on) = 0;
    virtual BOOL AutoDetect(BOOL silent) = 0;
    virtual BOOL GetStatistics(tag_COM_STATISTICS* out) = 0;
    // A transmit protocol stops: a Send waiting for the transmitter gives
    // up at once instead of holding the stop.
    virtual void WakeTransmitter() {}

    void SetRxProtocol(CProtocol* protocol) { m_pRxProtocol.store(protocol); }
    void SetTxProtocol(CProtocol* protocol) { m_pTxProtocol.store(protocol); }
    CProtocol* GetRxProtocol() const { return m_pRxProtocol.load(); }
    CProtocol* GetTxProtocol() const { return m_pTxProtocol.load(); }

    // Held around every call into the receive protocol and by a protocol's
    // destructor while it detaches, so a protocol is never freed while a
    // byte is being delivered to it. Always taken: a flag that let a second
    // thread skip it would let the protocol go while in use. Recursive, since
    // a receiver called on the reader thread may close its protocol.
    void EnterExitProtocol() { m_ExitProtocol.lock(); }
    void LeaveExitProtocol() { m_ExitProtocol.unlock(); }

protected:
    std::atomic<CProtocol*> m_pRxProtocol{nullptr};
    std::atomic<CProtocol*> m_pTxProtocol{nullptr};
    std::unique_ptr<ISercorWindow> m_pStatistics;
    std::recursive_mutex m_ExitProtocol;
};
