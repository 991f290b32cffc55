// Text lines ended by CR, LF or CR LF.
#pragma once

#include "seriallib/Protocol.h"

#include <atomic>

class CASCII : public CProtocol
{
public:
    CASCII(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CASCII() override;

    BOOL Send(const std::string& text) override;
    BOOL Send(const CTarnMessage* message) override;
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    void SetTerminator(BOOL lf, BOOL cr);
    BOOL IsTerminatorLF() const { return m_bLF.load(); }
    BOOL IsTerminatorCR() const { return m_bCR.load(); }

private:
    bool Append(BYTE byte);
    void CompleteLine(BOOL last);

    // Set from the owner's thread while the reader may be receiving.
    std::atomic<BOOL> m_bLF{FALSE};
    std::atomic<BOOL> m_bCR{TRUE};
    BOOL m_bCRSeen = FALSE;
    // The line grew past the limit: dropped up to its terminator. Its start
    // stays in the message (which keeps the line's stamp) and the bytes past
    // the limit are counted, so the line after it is dated where it starts.
    bool m_bOverlong = false;
    UINT m_nOverlongExtra = 0;
};
