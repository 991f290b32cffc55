// Text lines of a component's port, handed straight to the component's
// caller on the reader thread instead of being posted to a window.
#pragma once

#include "serialcom/ComForwardTarget.h"

#include "seriallib/ASCII.h"

class CComASCII : public CASCII {
public:
    CComASCII(CSercor* port, PROTOCOL_TYPE type);
    ~CComASCII() override;

    BOOL Receive(CTarnMessage* message) override;
    CComForwardTarget& Target() { return m_Target; }

private:
    CComForwardTarget m_Target;
};
