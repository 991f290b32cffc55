#include "transceivers/QY42Telegrams.h"

#include <cstring>

namespace qy42 {
namespace {

void Put32(Bytes& d, std::size_t at, DWORD v)
{
    for (int k = 0; k < 4; ++k)
        d[at + static_cast<std::size_t>(k)] = static_cast<BYTE>(v >> (8 * k));
}

void PutFloat(Bytes& d, std::size_t at, float f)
{
    DWORD bits;
    std::memcpy(&bits, &f, sizeof bits);
    Put32(d, at, bits);
}

DWORD Get32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

float GetFloat(const BYTE* p)
{
    const DWORD bits = Get32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Length word, then the code padded with zero bytes to four.
Bytes Telegram(std::size_t length, const char* code)
{
    Bytes d(length, 0);
    Put32(d, 0, static_cast<DWORD>(length));
    for (std::size_t i = 0; i < 4 && code[i] != '\0'; ++i)
        d[4 + i] = static_cast<BYTE>(code[i]);
    return d;
}

// Text up to the first NUL or the end of the datagram, whichever comes first.
std::string TextAt(const BYTE* data, std::size_t size, std::size_t at)
{
    if (at >= size)
        return {};
    const char* begin = reinterpret_cast<const char*>(data + at);
    const void* nul = std::memchr(begin, 0, size - at);
    return std::string(begin, nul ? static_cast<const char*>(nul) - begin : static_cast<std::ptrdiff_t>(size - at));
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
    Put32(d, 8, token);
    return d;
}

Bytes Halt() { return Telegram(8, "HD"); }
Bytes HaltClear() { return Telegram(16, "HC"); }

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
    Put32(d, 8, 0xFFFFFFFFu);
    d[20] = 0xFF;
    d[21] = 0xFF;
    d[22] = 0x20;
    return d;
}

Bytes StatusRequest() { return Telegram(8, "DCSR"); }

Bytes InterfaceConfigure(int channelDigit)
{
    Bytes d = Telegram(16, "FPA#");
    d[7] = static_cast<BYTE>('0' + (channelDigit % 10 + 10) % 10);
    Put32(d, 8, 0x4000FFFFu);
    Put32(d, 12, 0x4C02FFFFu);
    return d;
}

Bytes Trigger(bool external, DWORD samplesRequested)
{
    Bytes d = Telegram(16, external ? "TE" : "TI");
    Put32(d, 8, samplesRequested);
    return d;
}

Bytes TransmitParameters(const TransmitSettings& s)
{
    //  8 channel  9 0  10 FM-start (16-bit, 0)  12..31 floats 0 0 0 1 1
    // 32..55 zero  56 amplitude  60 effective pulse length  64 0  68 0
    // 72 frequency value  76 sweep value. The length word says 80, so a
    // closing zero word would lie outside the telegram and is not sent.
    Bytes d = Telegram(80, "TSP#");
    d[8] = s.channel;
    PutFloat(d, 24, 1.0f);
    PutFloat(d, 28, 1.0f);
    PutFloat(d, 56, s.amplitude);
    PutFloat(d, 60, s.effectivePulseLength);
    PutFloat(d, 72, s.frequencyValue);
    PutFloat(d, 76, s.sweepValue);
    return d;
}

Bytes PulseConfigure(float channelValue, float pulseLength)
{
    Bytes d = Telegram(28, "TPC");
    PutFloat(d, 12, channelValue);
    PutFloat(d, 16, pulseLength);
    PutFloat(d, 20, 200000.0f);
    return d;
}

std::optional<Information> ReadInformation(const BYTE* data, std::size_t size)
{
    if (size < 16 || CodeOf(data, size) != "INFO")
        return std::nullopt;
    Information info;
    info.type = Get32(data + 8);
    info.number = Get32(data + 12);
    info.text = TextAt(data, size, 16);
    return info;
}

std::optional<VersionAnswer> ReadVersionAnswer(const BYTE* data, std::size_t size)
{
    if (size < 17 || CodeOf(data, size) != "VA")
        return std::nullopt;
    VersionAnswer a;
    a.refused = (data[16] & 0x02) != 0;
    a.version = TextAt(data, size, 44);
    return a;
}

std::optional<AuxiliaryInput> ReadAuxiliaryInput(const BYTE* data, std::size_t size)
{
    if (size < 32 || CodeOf(data, size) != "ACI")
        return std::nullopt;
    AuxiliaryInput a;
    a.sampleNumber = Get32(data + 8);
    a.flags = data[12];
    for (int i = 0; i < 3; ++i)
        a.motion[i] = GetFloat(data + 16 + 4 * i);
    a.thermistorOhms = GetFloat(data + 28);
    return a;
}

}  // namespace qy42
