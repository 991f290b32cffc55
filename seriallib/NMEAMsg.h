// An NMEA 0183 sentence under assembly: the body between "$" and "*" (or
// CR), with the checksum state.
#pragma once

#include "seriallib/TarnMessage.h"

class CNMEAMsg : public CTarnMessage
{
public:
    CNMEAMsg() : CTarnMessage(128, 16) {}
    CNMEAMsg(UINT capacity, UINT growStep) : CTarnMessage(capacity, growStep) {}

    void Empty() override
    {
        CTarnMessage::Empty();
        m_nState = 0;
    }

    BYTE m_Computed = 0;
    BYTE m_Received = 0;
    BOOL m_bNoChecksum = FALSE;
    int m_nState = 0;
};
