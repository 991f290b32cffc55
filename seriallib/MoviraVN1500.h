// Motion-sensor telegrams beginning 0x00, then 0x90.
#pragma once

#include "seriallib/MoviraTelegram.h"

class CMoviraVN1500 : public CMoviraTelegram
{
public:
    CMoviraVN1500(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CMoviraTelegram(port, type, owner) { Attach(); }
    ~CMoviraVN1500() override { Detach(); }

protected:
    bool IsFirstByte(BYTE byte) const override { return byte == 0x00; }
};
