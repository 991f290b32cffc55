// The frames a device handle (platform/Device.h) exchanges with the process
// that plays the device's driver, over the device's Unix stream socket: one
// request, then its one answer, in order. Every field is a 32-bit
// little-endian word.
//
//   request:  op | code | in length | out capacity | in bytes
//             01000000 0464409C 00000000 02000000     read card id: control
//                                                     code 0x9C406404, 2 bytes
//   answer:   status | count | data
//             00000000 02000000 0100                  success, 2 bytes: 0x0001
//
// op: 1 control code, 2 write, 3 read, 4 unload (the service manager asks
// the driver to end; sent only on the driver's control socket). code is the
// control code (0 for the other ops). status is a Win32 error code, 0 on
// success; a failure carries no data. count is the bytes returned by a
// control code or a read, which follow as data, or the bytes a write took,
// with no data after it.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <vector>

class CDeviceFrame
{
public:
    enum Op : DWORD { kControl = 1, kWrite = 2, kRead = 3, kUnload = 4 };

    // Largest input and largest answer of one request, either way.
    static constexpr DWORD kMaxTransfer = 64 * 1024;
    static constexpr std::size_t kRequestHeaderSize = 16;
    static constexpr std::size_t kAnswerHeaderSize = 8;

    static std::vector<BYTE> EncodeRequest(DWORD op, DWORD code, const BYTE* in, DWORD inLength, DWORD outCapacity);

    struct Answer
    {
        DWORD status = 0;
        DWORD count = 0;
        bool dataFollows = false;  // count bytes of data come after the header
    };
    // Reads the header of the answer to a request of op that sent inLength
    // bytes and had room for outCapacity; false when the header cannot be
    // that answer (more than was asked for, data with a failure).
    static bool DecodeAnswerHeader(const BYTE* header, DWORD op, DWORD inLength, DWORD outCapacity, Answer& answer);
};
