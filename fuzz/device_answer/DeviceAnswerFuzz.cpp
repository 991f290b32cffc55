// Answer headers as a driver may send them, checked against the request
// they answer. Input: op (1 byte), in length and out capacity (2 bytes
// each, little-endian), then the 8 bytes of the answer header.
#include "platform/DeviceFrame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5 + CDeviceFrame::kAnswerHeaderSize)
        return 0;
    const DWORD op = data[0];
    const DWORD inLength = data[1] | static_cast<DWORD>(data[2]) << 8;
    const DWORD outCapacity = data[3] | static_cast<DWORD>(data[4]) << 8;
    CDeviceFrame::Answer answer;
    if (!CDeviceFrame::DecodeAnswerHeader(data + 5, op, inLength, outCapacity, answer))
        return 0;
    // What is taken never asks for more room than the request had.
    if (answer.dataFollows && (answer.count > outCapacity || answer.status != 0))
        __builtin_trap();
    if (op == CDeviceFrame::kWrite && answer.count > inLength)
        __builtin_trap();
    return 0;
}
