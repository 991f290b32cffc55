#include "serialcom/device/DepthTelegram.h"

#include "platform/FileTime.h"
#include "platform/NumberText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace {

// printf into the end of text, in the C locale whatever the user runs.
void Append(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& text, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    text += CNumberText::FormatV(format, args);
    va_end(args);
}

constexpr double kFeet = 0.3048;
constexpr double kFathoms = 1.8288;

// Whole number from a double the way a C cast truncates, but without the
// undefined behaviour of casting a value that does not fit.
std::int64_t Truncate(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

std::int32_t Truncate32(double v)
{
    const std::int64_t w = Truncate(v);
    if (w > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (w < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(w);
}

// Decimals chosen by the size of the depth, so that a deep value keeps its
// field width.
const char* BySize(double d, const char* small, const char* medium, const char* large)
{
    if (d < 1000.0)
        return small;
    if (d < 10000.0)
        return medium;
    return large;  // also NaN
}

}  // namespace

std::string NmeaChecksumSuffix(const std::string& text)
{
    unsigned char sum = 0;
    for (std::size_t i = 1; i < text.size(); ++i)
        sum ^= static_cast<unsigned char>(text[i]);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "*%02X", sum);
    return buffer;
}

std::string FormatDepthTelegram(const IDepthTelegramSources& sources, std::uint32_t type, std::int32_t checksum,
                                std::int32_t channelIndex, std::uint64_t pingTime, double depth, double transducerDepth,
                                double second, double heave)
{
    const double D = depth, A = transducerDepth, B = second, H = heave;
    const double T = D - A - H;
    std::string text;
    switch (type) {
    case kDepthTelegramDBS:
        text = "$SDDBS,";
        Append(text, "%3.2f,f,", D / kFeet);
        Append(text, "%3.2f,M,", D);
        Append(text, "%3.2f,F", D / kFathoms);
        break;
    case kDepthTelegramDPT:
        text = "$SDDPT,";
        Append(text, BySize(D, "%3.2f,", "%5.1f,", "%5.0f,"), T);
        Append(text, "%3.2f", A + H);
        break;
    case kDepthTelegramDBT:
        text = "$SDDBT,";
        Append(text, "%3.2f,f,", T / kFeet);
        Append(text, "%3.2f,M,", T);
        Append(text, "%3.2f,F", T / kFathoms);
        break;
    case kDepthTelegramFixed: {
        SYSTEMTIME st;
        CFileTime::ToSystemTime(pingTime, st);
        text.assign(1, 'D');
        Append(text, "%1d,", static_cast<int>(static_cast<std::int64_t>(channelIndex) + 1));
        Append(text, "%02d%02d%02d%02d,", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds / 10);
        double printed = D;
        if (D != 0.0 && sources.IsHubWithoutHeave())
            printed = D - H;
        Append(text, BySize(D, "%6.2f,", "%6.1f,", "%6.0f,"), printed);
        Append(text, "%+3.0f,", B);
        text += "  1,  0";
        break;
    }
    case kDepthTelegramByChannel:
        if (channelIndex == 0)
            text = "DB";
        else if (channelIndex == 1)
            text = "DA";
        else
            return {};
        Append(text, "%08.2f m", D);
        break;
    case kDepthTelegramDA:
        text = "DA";
        Append(text, "%08.2f m", D);
        break;
    case kDepthTelegramDB:
        text = "DB";
        Append(text, "%08.2f m", D);
        break;
    case kDepthTelegramPSDF: {
        const double c = sources.GetSoundVelocity();
        std::int64_t age = 0;
        if (!sources.IsReplaying()) {
            age = (static_cast<std::int64_t>(CFileTime::Now()) - static_cast<std::int64_t>(pingTime)) / 10000;
            // The echo's travel time is not part of the data's age; without
            // a usable sound velocity it cannot be known and is left in.
            const double X = B != 0.0 ? B : D;
            if (std::isfinite(c) && c > 0.0)
                age -= Truncate(X * 1000.0 / c);
        }
        text = "$PSDF,";
        Append(text, "%.4d,", Truncate32(c));
        Append(text, "%.4d,", Truncate32(A * 100.0 + 0.005));
        auto depthField = [&text](double v) {
            if (v == 0.0)
                text += "00000,";
            else
                Append(text, "%.5d,", Truncate32(v * 100.0));
        };
        if (B == -1.0) {
            depthField(0.0);
            depthField(D);
        } else {
            depthField(D);
            depthField(B);
        }
        text += "1,";
        Append(text, "%.4d", Truncate32(static_cast<double>(age)));
        break;
    }
    default:
        return {};
    }
    if (checksum != 0)
        text += NmeaChecksumSuffix(text);
    return text;
}
