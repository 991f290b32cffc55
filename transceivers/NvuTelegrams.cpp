#include "transceivers/NvuTelegrams.h"

#include "platform/ByteWriter.h"

#include <algorithm>
#include <cstring>

namespace nvu {
namespace {

Bytes Telegram(std::size_t length, const char* code)
{
    Bytes d(length, 0);
    CByteWriter w(d);
    w.U32(0, static_cast<std::uint32_t>(length));
    w.Bytes(4, code, std::min<std::size_t>(std::strlen(code), 4));
    return d;
}

}  // namespace

Bytes VersionRequest(DWORD token)
{
    Bytes d = Telegram(12, "VR");
    CByteWriter(d).U32(8, token);
    return d;
}

Bytes Halt()
{
    return Telegram(8, "HD");
}

Bytes HaltClear()
{
    return Telegram(16, "HC");
}

Bytes ReceiveConfigure()
{
    // The unit's fields end at byte 48 of the 52 the length states; the
    // last four go as zeros.
    Bytes d = Telegram(52, "RC#");
    for (int i = 0; i < 32; ++i)
        d[8 + static_cast<std::size_t>(i)] = static_cast<BYTE>(i);
    CByteWriter w(d);
    w.U32(40, 0x00010104u);
    w.U32(44, 0x000A0003u);
    return d;
}

Bytes Synchronise()
{
    return Telegram(8, "SYNC");
}

Bytes OperatingMode(DWORD pairingMask)
{
    Bytes d = Telegram(36, "OM");
    CByteWriter w(d);
    w.U32(16, 15);
    w.U32(32, pairingMask);
    return d;
}

Bytes ChannelEnables(DWORD mask)
{
    //  8 enables  12 0  16 1  20 FF FF 20 00  24 0
    Bytes d = Telegram(28, "TC");
    CByteWriter w(d);
    w.U32(8, mask);
    w.U32(16, 1);
    w.U32(20, 0x0020FFFFu);
    return d;
}

Bytes StatusRequest()
{
    return Telegram(8, "DCSR");
}

Bytes FrontEndConfigure(int channel, bool present, int decimation, int argument)
{
    Bytes d = Telegram(16, "FPA#");
    CByteWriter w(d);
    w.U8(7, static_cast<BYTE>('0' + (channel & 3)));
    const auto control = present ? static_cast<std::uint16_t>(0xC088 | 0x30 | (((decimation << 6) - 1) & 0x3FC0))
                                 : static_cast<std::uint16_t>(0xC0FF);
    w.U16(8, control);
    w.U32(10, 0xFFFF43FFu);
    w.U16(14, static_cast<std::uint16_t>(argument == 16 ? 2 : ((argument & 15) << 10) | 0x4002));
    return d;
}

Bytes RecordSamples(DWORD samples)
{
    Bytes d = Telegram(12, "RI");
    CByteWriter(d).U32(8, samples);
    return d;
}

Bytes Trigger(bool external, DWORD samplesRequested)
{
    Bytes d = Telegram(16, external ? "TE" : "TI");
    CByteWriter(d).U32(8, samplesRequested);
    return d;
}

Bytes Restart()
{
    Bytes d = Telegram(12, "RES");
    CByteWriter(d).U32(8, 2);
    return d;
}

Bytes TransmitPulseTelegram(const TransmitPulse& p)
{
    //  8 channel  10 last of series  12 duration  24 1.0  28 1.0
    // 52 amplitude  56 ramp  60 ramp step  68 rate  72 slope
    Bytes d = Telegram(80, "TSP#");
    CByteWriter w(d);
    w.U8(8, p.channel);
    w.U16(10, p.last ? 1 : 0);
    w.F32(12, p.duration);
    w.F32(24, 1.0f);
    w.F32(28, 1.0f);
    w.F32(52, p.amplitude);
    w.F32(56, p.ramp);
    w.F32(60, p.rampStep);
    w.F32(68, p.rate);
    w.F32(72, p.slope);
    return d;
}

Bytes PingTiming(const std::array<DWORD, 6>& counts)
{
    Bytes d = Telegram(144, "RG");
    CByteWriter w(d);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        w.U32(16 + 8 * i, counts[i]);
        w.U32(20 + 8 * i, i + 1 < counts.size() ? static_cast<DWORD>(i + 2) : 65535u);
    }
    return d;
}

Bytes TestCommand(DWORD mode)
{
    Bytes d = Telegram(144, "RG");
    CByteWriter(d).U32(12, mode);
    return d;
}

}  // namespace nvu
