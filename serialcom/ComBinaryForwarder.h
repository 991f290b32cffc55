// Binary receive protocols of a component's port (raw blocks and motion
// telegrams), handing each finished message straight to the component's
// caller on the reader thread.
#pragma once

#include "serialcom/ComForwardTarget.h"

#include "seriallib/MoviraVN1500.h"
#include "seriallib/MoviraZelvar.h"
#include "seriallib/RAW.h"

#include <memory>

template <class Base>
class CComBinaryForwarder : public Base
{
public:
    ~CComBinaryForwarder() override { this->Detach(); }

    BOOL Receive(CTarnMessage* raw) override
    {
        std::unique_ptr<CTarnMessage> message(raw);
        if (!message)
            return FALSE;
        std::lock_guard lock(m_Target.Lock());
        if (ISerialComCallback* callback = m_Target.GetCallback()) {
            if (!message->GetDataPtr())
                return TRUE;
            callback->ReceiveData(&message->GetTime(), static_cast<long>(message->GetSize()), message->GetDataPtr());
        } else if (ISerialComOwner* owner = m_Target.GetOwner(); owner && !message->IsEmpty()) {
            owner->OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, message.get(), nullptr);
        }
        this->IncrementMessagesReceived();
        return TRUE;
    }

    CComForwardTarget& Target() { return m_Target; }

protected:
    // The library class is built without a port and bound by the caller
    // once this object is whole: the reader may deliver the moment it is.
    CComBinaryForwarder(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner, IUnknown* callback,
                        DWORD charTimeout, DWORD totalTimeout, DWORD refBaud)
        : Base(nullptr, type, 0)
    {
        m_Target.SetOwner(owner);
        if (callback)
            m_Target.SetCallback(callback);
        this->m_pPort = port;
        if (port && this->IsTransmitter())
            port->SetTxDelay(0);
        if (port && this->IsReceiver())
            port->SetRxTimeouts(charTimeout, totalTimeout, refBaud);
        this->Attach();
    }

private:
    CComForwardTarget m_Target;
};

class CComRAW final : public CComBinaryForwarder<CRAW>
{
public:
    CComRAW(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner = nullptr, IUnknown* callback = nullptr)
        : CComBinaryForwarder(port, type, owner, callback, 5, 500, 9600)
    {}
};

class CComMoviraZelvar final : public CComBinaryForwarder<CMoviraZelvar>
{
public:
    CComMoviraZelvar(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner = nullptr, IUnknown* callback = nullptr)
        : CComBinaryForwarder(port, type, owner, callback, 10, 100, 0)
    {}
};

class CComMoviraVN1500 final : public CComBinaryForwarder<CMoviraVN1500>
{
public:
    CComMoviraVN1500(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner = nullptr, IUnknown* callback = nullptr)
        : CComBinaryForwarder(port, type, owner, callback, 10, 100, 0)
    {}
};
