// The base of every line protocol. A protocol is bound to one port as its
// receive protocol, its transmit protocol or both. Receiving, the port feeds
// it byte by byte on its reader thread; the protocol assembles messages,
// stamps them with the arrival of their first byte and posts each finished
// one to its owner window. Transmitting, it frames each telegram into its
// queue, and its own thread writes the queue through the port.
//
// A finished message is posted as WM_SERCOR_MESSAGE with wParam the
// CTarnMessage* and lParam the protocol, and travels as the message's
// payload (CTarnMessagePayload): the dispatcher deletes it after the
// receiver's handler returns, or when the post cannot be delivered, so no
// message is lost to a window that is gone. A receiver that keeps it takes
// the payload (TakeCurrentMessagePayload) and releases it.
#pragma once

#include "seriallib/MsgQueue.h"
#include "seriallib/Sercor.h"
#include "seriallib/SercorTypes.h"
#include "seriallib/TarnMessage.h"

#include "platform/MessageDispatcher.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

using CTarnMessagePayload = TypedPayload<std::unique_ptr<CTarnMessage>>;

class CProtocol
{
public:
    CProtocol(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    CProtocol(const CProtocol&) = delete;
    CProtocol& operator=(const CProtocol&) = delete;
    virtual ~CProtocol();

    // The text's bytes framed as the protocol frames a message; empty text
    // and text that does not fit a message are refused.
    virtual BOOL Send(const std::string& text);
    // Frames a copy; the caller keeps the message.
    virtual BOOL Send(const CTarnMessage* message) = 0;
    virtual BOOL ShowStatistics(BOOL show);
    // Delivers a finished message, which it takes.
    virtual BOOL Receive(CTarnMessage* message) = 0;
    virtual BOOL ReceiveCallback(BYTE byte, BOOL last) = 0;
    virtual BOOL ErrorCallback(COM_ERROR error) = 0;
    virtual BOOL GetStatistics(tag_PROT_STATISTICS* out);
    virtual BOOL ReportIncoming(DWORD count, DWORD delay);
    virtual BOOL ReportComState(DWORD events, DWORD modemStatus);

    void SetTimeStamping(BOOL on) { m_bTimeStamping = on; }
    BOOL IsTimeStampingOn() const { return m_bTimeStamping; }
    void IncrementMessagesReceived() { ++m_Counters.MessagesReceived; }
    PROTOCOL_TYPE GetType() const { return m_Type; }
    CSercor* GetPort() const { return m_pPort; }
    HWND GetOwner() const { return m_hOwner; }
    // The message under assembly (for tests and the receivers of this file).
    const CTarnMessage* GetRxMessage() const { return m_pRxMsg.get(); }
    std::size_t GetQueueCount() const { return m_Queue.GetCount(); }
    // Telegrams the transmit queue dropped: for room, and for their age.
    DWORD GetQueueDroppedFull() const { return m_Queue.GetDroppedFull(); }
    DWORD GetQueueDroppedStale() const { return m_Queue.GetDroppedStale(); }
    // The clock of the queue's ages (tests).
    void SetQueueClock(std::function<CMsgQueue::Clock::time_point()> now) { m_Queue.SetClock(std::move(now)); }

    // Largest line, sentence or telegram body a text or end-marked protocol
    // assembles; longer input is dropped and counted as a length error.
    static constexpr UINT kMaxAssembly = 4096;

protected:
    bool IsReceiver() const { return m_Type == PROT_RECEIVE || m_Type == PROT_RXTX; }
    bool IsTransmitter() const { return m_Type == PROT_TRANSMIT || m_Type == PROT_RXTX; }

    // Binds the protocol to its port as receive and/or transmit protocol and
    // starts its transmit thread. Every protocol class calls it last in its
    // constructor: the port's threads may call in at once, so the object
    // must be whole by then.
    void Attach();

    // Unbinds the protocol from its port and stops its transmit thread under
    // the port's exit-protocol lock. Every protocol class calls it first in
    // its destructor, so the port's threads never reach a half-destroyed
    // object; calling it again does nothing.
    void Detach();

    // Queues a framed telegram (taken) and wakes the transmit thread.
    BOOL Enqueue(CTarnMessage* framed);
    // Posts a finished message to the owner or the main window; a message
    // nobody can receive is freed.
    BOOL PostReceived(CTarnMessage* message);
    // Makes a fresh receive message current and gives back the finished one.
    // A message completed inside a block stamps its successor with its own
    // stamp plus its duration; at a block's end the next block stamps it.
    std::unique_ptr<CTarnMessage> Advance(std::unique_ptr<CTarnMessage> next, BOOL last, UINT characters);
    // Notes a finished message's stamp and size, counts it and hands it
    // (taken) to Receive.
    void DeliverFinished(std::unique_ptr<CTarnMessage> finished);
    DWORD CharactersIn100ns(DWORD characters) const;

    CSercor* m_pPort;
    HWND m_hOwner;
    PROTOCOL_TYPE m_Type;
    std::unique_ptr<ISercorWindow> m_pStatistics;
    CMsgQueue m_Queue;
    BOOL m_bTimeStamping = FALSE;

    std::unique_ptr<CTarnMessage> m_pRxMsg;
    std::uint64_t m_LastStamp = 0;
    UINT m_nLastSize = 0;
    CProtCounters m_Counters;
    // Guards the counters where the reader and a statistics reader meet.
    std::mutex m_StatLock;

private:
    void CreateTransmit();
    void CloseTransmit();
    void TransmitThread();
    void SendFromQueue();

    std::mutex m_WakeMutex;
    std::condition_variable m_WakeCv;
    bool m_bWake = false;  // auto-reset event
    std::atomic<bool> m_bStop{false};
    std::thread m_Transmit;
    bool m_bAttached = false;
    bool m_bDetached = false;
};
