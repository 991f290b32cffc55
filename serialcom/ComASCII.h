// Text lines of a component's port, handed straight to the component's
// caller on the reader thread instead of being posted to a window.
#pragma once

#include "serialcom/ComForwardTarget.h"

#include "seriallib/ASCII.h"

class CComASCII : public CASCII
{
public:
    // Owner and callback are set before the protocol is bound to its port.
    CComASCII(CSercor* port, PROTOCOL_TYPE type, ISerialComOwner* owner = nullptr, IUnknown* callback = nullptr);
    ~CComASCII() override;

    BOOL Receive(CTarnMessage* message) override;
    CComForwardTarget& Target() { return m_Target; }

private:
    CComForwardTarget m_Target;
};
