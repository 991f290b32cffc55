#include "transceivers/QY42Telegrams.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <cstring>

namespace qy42 {
namespace {

// Length word, then the code padded with zero bytes to four.
Bytes Telegram(std::size_t length, const char* code)
{
    Bytes d(length, 0);
    CByteWriter w(d);
    w.U32(0, static_cast<DWORD>(length));
    w.Bytes(4, code, strnlen(code, 4));
    return d;
}

// Text up to the first NUL or the end of the datagram, whichever comes
// first; none when the datagram ends before it.
std::string TextAt(CByteReader& r, std::size_t at)
{
    return at < r.Size() ? r.Text(at, r.Size() - at) : std::string();
}

}  // namespace

std::string CodeOf(const BYTE* data, std::size_t size)
{
    if (data == nullptr || size < 8)
        return {};
    std::string code(reinterpret_cast<const char*>(data + 4), 4);
    while (!code.empty() && code.back() == '\0')
        code.pop_back();
    return code;
}

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
    Bytes d = Telegram(52, "RC#");
    d[44] = 1;
    return d;
}

Bytes SetupComplete()
{
    //  8 0xFFFFFFFF  12..19 zero  20 FF FF 20 00  24 zero
    Bytes d = Telegram(28, "TC");
    CByteWriter w(d);
    w.U32(8, 0xFFFFFFFFu);
    w.U32(20, 0x0020FFFFu);
    return d;
}

Bytes StatusRequest()
{
    return Telegram(8, "DCSR");
}

Bytes InterfaceConfigure(int channelDigit)
{
    Bytes d = Telegram(16, "FPA#");
    CByteWriter w(d);
    w.U8(7, static_cast<BYTE>('0' + (channelDigit % 10 + 10) % 10));
    w.U32(8, 0x4000FFFFu);
    w.U32(12, 0x4C02FFFFu);
    return d;
}

Bytes Trigger(bool external, DWORD samplesRequested)
{
    Bytes d = Telegram(16, external ? "TE" : "TI");
    CByteWriter(d).U32(8, samplesRequested);
    return d;
}

Bytes TransmitParameters(const TransmitSettings& s)
{
    //  8 channel  9 0  10 FM-start (16-bit, 0)  12..31 floats 0 0 0 1 1
    // 32..55 zero  56 amplitude  60 effective pulse length  64 0  68 0
    // 72 frequency value  76 sweep value. The length word says 80, so a
    // closing zero word would lie outside the telegram and is not sent.
    Bytes d = Telegram(80, "TSP#");
    CByteWriter w(d);
    w.U8(8, s.channel);
    w.F32(24, 1.0f);
    w.F32(28, 1.0f);
    w.F32(56, s.amplitude);
    w.F32(60, s.effectivePulseLength);
    w.F32(72, s.frequencyValue);
    w.F32(76, s.sweepValue);
    return d;
}

Bytes PulseConfigure(float channelValue, float pulseLength)
{
    Bytes d = Telegram(28, "TPC");
    CByteWriter w(d);
    w.F32(12, channelValue);
    w.F32(16, pulseLength);
    w.F32(20, 200000.0f);
    return d;
}

std::optional<Information> ReadInformation(const BYTE* data, std::size_t size)
{
    if (size < 16 || CodeOf(data, size) != "INFO")
        return std::nullopt;
    CByteReader r(data, size);
    Information info;
    info.type = r.U32(8);
    info.number = r.U32(12);
    info.text = TextAt(r, 16);
    return info;
}

std::optional<VersionAnswer> ReadVersionAnswer(const BYTE* data, std::size_t size)
{
    if (size < 17 || CodeOf(data, size) != "VA")
        return std::nullopt;
    CByteReader r(data, size);
    VersionAnswer a;
    a.refused = (r.U8(16) & 0x02) != 0;
    a.version = TextAt(r, 44);
    return a;
}

std::optional<AuxiliaryInput> ReadAuxiliaryInput(const BYTE* data, std::size_t size)
{
    if (size < 32 || CodeOf(data, size) != "ACI")
        return std::nullopt;
    CByteReader r(data, size);
    AuxiliaryInput a;
    a.sampleNumber = r.U32(8);
    a.flags = r.U8(12);
    for (std::size_t i = 0; i < 3; ++i)
        a.motion[i] = r.F32(16 + 4 * i);
    a.thermistorOhms = r.F32(28);
    return a;
}

}  // namespace qy42
