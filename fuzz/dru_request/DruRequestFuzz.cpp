// Bytes as they arrive on a connection of the simulated card, cut into
// requests and answered; every answer must be one the program's side of the
// frames takes, with exactly the data it announces. Input: one byte of
// options (chunk size in the low 7 bits, the control socket in the top
// bit), then the connection's bytes.
#include "platform/DeviceFrame.h"
#include "sim/dru/DruCodec.h"
#include "sim/dru/DruSimulator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const CDruSimulator simulator(CDruSimulator::Settings{});
    if (size < 1)
        return 0;
    const std::size_t chunk = (data[0] & 0x7F) + 1;
    const bool control = (data[0] & 0x80) != 0;
    CDruCodec codec;
    for (std::size_t at = 1; at < size && !codec.Broken(); at += chunk) {
        codec.Feed(data + at, std::min(chunk, size - at));
        CDruCodec::Request request;
        while (codec.Next(request)) {
            bool unload = false;
            const std::vector<BYTE> answer = simulator.Serve(request, control, unload);
            CDeviceFrame::Answer decoded;
            if (answer.size() < CDeviceFrame::kAnswerHeaderSize ||
                !CDeviceFrame::DecodeAnswerHeader(answer.data(), request.op, static_cast<DWORD>(request.in.size()),
                                                  request.outCapacity, decoded) ||
                answer.size() != CDeviceFrame::kAnswerHeaderSize + (decoded.dataFollows ? decoded.count : 0))
                __builtin_trap();
        }
    }
    return 0;
}
