// A ZLT2_300 telegram under assembly: payload, then its XOR byte.
#pragma once

#include "seriallib/TarnMessage.h"

class CZLTMsg : public CTarnMessage
{
public:
    CZLTMsg() : CTarnMessage(64, 16) {}

    void Empty() override
    {
        CTarnMessage::Empty();
        m_nState = 0;
    }

    int m_nState = 0;
};
