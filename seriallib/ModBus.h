// Modbus RTU frames: payload and CRC-16 (low byte first), ended by line
// silence.
#pragma once

#include "seriallib/Protocol.h"

class CModBus : public CProtocol
{
public:
    CModBus(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CModBus() override;

    using CProtocol::Send;
    // Queues the payload and its CRC, also for an empty payload.
    BOOL Send(const CTarnMessage* message) override;
    // Checks a whole frame (payload and CRC). A good frame loses its CRC,
    // is posted (taken) and counted; a bad one is counted and refused, and
    // the caller keeps it.
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    static WORD ComputeCS(const BYTE* bytes, UINT count);

    static constexpr UINT kMaxFrame = 256;
    // Address, function code and the CRC: nothing shorter is a frame.
    static constexpr UINT kMinFrame = 4;

private:
    void EndFrame();
};
