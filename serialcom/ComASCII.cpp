#include "serialcom/ComASCII.h"

#include <cstring>
#include <memory>

// The library class is built without a port and bound here, once this
// object is whole: the reader thread may deliver the moment it is bound.
CComASCII::CComASCII(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner, IUnknown* callback)
    : CASCII(nullptr, type, 0)
{
    m_Target.SetOwner(owner);
    if (callback)
        m_Target.SetCallback(callback);
    m_pPort = port;
    if (m_pPort && IsTransmitter())
        m_pPort->SetTxDelay(0);
    if (m_pPort && IsReceiver())
        m_pPort->SetRxTimeouts(10, 100, 9600);
    Attach();
}

CComASCII::~CComASCII()
{
    Detach();
}

BOOL CComASCII::Receive(CTarnMessage* raw)
{
    std::unique_ptr<CTarnMessage> message(raw);
    if (!message)
        return FALSE;
    std::lock_guard lock(m_Target.Lock());
    if (ISerialComCallback* callback = m_Target.GetCallback()) {
        if (message->IsEmpty() || !message->GetDataPtr())
            return TRUE;
        // The text ends at the first zero byte, if there is one.
        const char* bytes = reinterpret_cast<const char*>(message->GetDataPtr());
        const void* zero = std::memchr(bytes, 0, message->GetSize());
        const UINT length = zero ? static_cast<UINT>(static_cast<const char*>(zero) - bytes) : message->GetSize();
        if (length == 0)
            return TRUE;
        BSTR text = SysAllocStringLen(bytes, length);
        if (text)
            callback->ReceiveString(&message->GetTime(), text);
    } else if (ISerialComOwner* owner = m_Target.GetOwner()) {
        owner->OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, message.get(), nullptr);
    }
    IncrementMessagesReceived();
    return TRUE;
}
