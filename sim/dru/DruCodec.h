// The simulated DRU card's side of the device frames: it takes the bytes of
// a connection and cuts them into requests, and it builds the answers.
// Written apart from the program's side (platform/DeviceFrame.h), so that
// each checks the other.
//
//   request:  op | code | in length | out capacity | in bytes   (32-bit LE words)
//             01000000 0864409C 00000000 04000000   read status 32, 4 bytes
//   answer:   status | count | data
//             00000000 04000000 00000010            in use by the sounder
//
// The control codes, status words and commands are the card driver's.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <vector>

class CDruCodec
{
public:
    enum Op : DWORD { kControl = 1, kWrite = 2, kRead = 3, kUnload = 4 };

    // Control codes, each without input, and the bytes each returns.
    static constexpr DWORD kReadStatus8 = 0x9C406400;    // 1 byte: card health
    static constexpr DWORD kReadCardId = 0x9C406404;     // 2 bytes: card id
    static constexpr DWORD kReadStatus32 = 0x9C406408;   // 4 bytes: driver state
    static constexpr BYTE kStatus8Good = 0x03;           // both low bits: healthy
    static constexpr WORD kNoCard = 4095;                // card id when no card answers
    static constexpr DWORD kStatus32InUse = 0x10000000;  // the sounder has the card

    // Commands are written as 7 bytes: the code, then six parameters.
    static constexpr DWORD kCommandLength = 7;
    static constexpr BYTE kFirstCommand = 2;  // trigger
    static constexpr BYTE kLastCommand = 8;   // configure

    // Largest input or answer of one request.
    static constexpr DWORD kMaxTransfer = 64 * 1024;

    struct Request
    {
        DWORD op = 0;
        DWORD code = 0;
        DWORD outCapacity = 0;
        std::vector<BYTE> in;
    };

    // Takes the next bytes of the connection.
    void Feed(const BYTE* data, std::size_t length);
    // The next whole request; false when none is complete (or the bytes are
    // broken).
    bool Next(Request& request);
    // True once the bytes cannot be requests (an unknown op, a length beyond
    // kMaxTransfer): the connection has lost its frames and is dropped.
    bool Broken() const { return m_broken; }

    // An answer: count bytes of data follow when data is given (control
    // codes and reads); a failure carries neither count nor data.
    static std::vector<BYTE> EncodeAnswer(DWORD status, DWORD count, const BYTE* data = nullptr);

private:
    std::vector<BYTE> m_pending;
    bool m_broken = false;
};
