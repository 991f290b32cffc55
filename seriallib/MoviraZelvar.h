// Motion-sensor telegrams beginning 0x90, 0x91 or 0xA0, then 0x90.
#pragma once

#include "seriallib/MoviraTelegram.h"

class CMoviraZelvar : public CMoviraTelegram
{
public:
    CMoviraZelvar(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CMoviraTelegram(port, type, owner) { Attach(); }
    ~CMoviraZelvar() override { Detach(); }

protected:
    bool IsFirstByte(BYTE byte) const override { return byte == 0x90 || byte == 0x91 || byte == 0xA0; }
};
