#include "display/ScopePicture.h"

#include "engine/AngleWord.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr BYTE kLineIndex = 79;

int ClampToInt(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::string Printf(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

CScopePicture::CScopePicture() : m_rowColours(kMinimumRows, 1) {}

void CScopePicture::FitRows(int height)
{
    // The memory follows the pane's height, as the echogram's column does;
    // it never shrinks, so a pane made lower and higher again keeps its rows.
    if (height > GetRowCount())
        m_rowColours.resize(static_cast<std::size_t>(height), 1);
}

int CScopePicture::HalfBar(double v, double m, int width)
{
    if (!(m > 0.0) || !std::isfinite(m) || !std::isfinite(v))
        return -1;
    v = std::max(v, 0.0);
    if (v >= m)
        v = std::max(m - 1.0, 0.0);
    const double half = v * (width - 10) / (2.0 * m);
    return std::max(0, ClampToInt(rawpower::Trunc(half)));
}

void CScopePicture::DrawAScope(BYTE* bits, int stride, int width, int height, const SColumn& column,
                               const CColorScaleSettings& scale)
{
    if (!bits || width <= 0 || height <= 0)
        return;
    const double t1 = scale.GetValueBySelector(column.echogramType) / rawpower::kDbPerUnit;
    const double t3 = scale.GetValueBySelector(3) / rawpower::kDbPerUnit;
    const double m = 11.0 * scale.GetInterval() / rawpower::kDbPerUnit;
    const int rows = std::min(height, GetRowCount());
    const int delivered = column.values ? column.delivered : 0;
    for (int i = rows - 1; i >= 1; --i) {
        const std::int16_t raw = i < delivered ? column.values[i] : rawpower::kNoEcho;
        const double db = raw * rawpower::kDbPerUnit;
        int colour = 0;
        double v = 0.0;
        if (column.bottomSubstituted && i >= column.bottomRow) {
            colour = scale.GetColorIndex(db, 3);
            v = raw - t3;
        } else {
            colour = scale.GetColorIndex(db, column.echogramType);
            v = raw - t1;
        }
        BYTE& memory = m_rowColours[static_cast<std::size_t>(i)];
        if (colour > 0 && (memory != 0 || !column.pingFilter)) {
            const int half = HalfBar(v, m, width);
            if (half >= 0) {
                const int row = column.sidescan ? height - 1 - i : i;
                const int from = std::max(0, width / 2 - half);
                const int to = std::min(width, width / 2 + half);
                if (to > from)
                    std::memset(bits + static_cast<std::size_t>(row) * stride + from, colour + kLevelBase,
                                static_cast<std::size_t>(to - from));
            }
        }
        memory = static_cast<BYTE>(colour);
    }
    // The centre line, and the bottom across the pane.
    const int cx = width / 2;
    for (int y = 1; y < height - 1; ++y)
        bits[static_cast<std::size_t>(y) * stride + cx] = kLineIndex;
    if (column.bottomRow > 0) {
        const int y = column.sidescan ? height - column.bottomRow - 1 : column.bottomRow;
        if (y >= 0 && y < height)
            std::memset(bits + static_cast<std::size_t>(y) * stride, kLineIndex, static_cast<std::size_t>(width));
    }
}

void CScopePicture::Line(BYTE* bits, int stride, int width, int height, int x0, int y0, int x1, int y1, BYTE colour)
{
    if (!bits)
        return;
    // Far-off ends are brought near first, so the steps stay few.
    constexpr int kFar = 1 << 20;
    x0 = std::clamp(x0, -kFar, kFar);
    x1 = std::clamp(x1, -kFar, kFar);
    y0 = std::clamp(y0, -kFar, kFar);
    y1 = std::clamp(y1, -kFar, kFar);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (x0 != x1 || y0 != y1) {
        if (x0 >= 0 && x0 < width && y0 >= 0 && y0 < height)
            bits[static_cast<std::size_t>(y0) * stride + x0] = colour;
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

std::string CScopePicture::FormatAxisLabel(double value, bool isMinimum)
{
    const double m = std::fabs(value);
    if (m < 1e-9)
        return Printf("%f p", value * 1e12);
    if (m < 1e-6)
        return Printf(isMinimum ? "%f n" : "%.2f n", value * 1e9);
    if (m < 0.001)
        return Printf("%.2f u", value * 1e6);
    if (m < 1.0)
        return Printf("%.2f m", value * 1000.0);
    return Printf(isMinimum && value > 0.0 ? "%.2f V" : "%.2f ", value);
}

bool CScopePicture::FormatAxisValue(const double* values, int n, const SFixedLimits& fixed, SAxis& axis)
{
    if (!values || n <= 0)
        return false;
    double maximum = -300.0, minimum = 300.0, sum = 0.0;
    for (int i = 0; i < n; ++i) {
        // A damaged value leaves the curve out rather than its axis undefined.
        if (!std::isfinite(values[i]))
            return false;
        maximum = std::max(maximum, values[i]);
        minimum = std::min(minimum, values[i]);
        sum += values[i];
    }
    axis.mean = sum / n;
    axis.maximum = fixed.useMaximum ? fixed.maximum : maximum;
    axis.minimum = fixed.useMinimum ? fixed.minimum : minimum;
    axis.maxLabel = FormatAxisLabel(axis.maximum, false);
    axis.minLabel = FormatAxisLabel(axis.minimum, true);
    return true;
}

std::string CScopePicture::FormatReference(double value)
{
    if (value < 0.001)
        return Printf("%.1fu", value * 1e6);
    if (value < 0.1)
        return Printf("%.2fm", value * 1000.0);
    if (value < 1.0)
        return Printf("%.1fm", value * 1000.0);
    return Printf("%.2f", value);
}

bool CScopePicture::IsDrawableAxis(double minimum, double maximum, int n)
{
    return n > 0 && std::isfinite(minimum) && std::isfinite(maximum) && maximum > minimum;
}

int CScopePicture::TraceX(double value, int left, int width, double minimum, double maximum)
{
    const double x = left + (value - minimum) * width / (maximum - minimum);
    // Far outside the pane is as good as just outside it.
    return ClampToInt(rawpower::Trunc(std::clamp(x, -1.0e6, 1.0e6)));
}

bool CScopePicture::MakeCandidateFrame(double start, double d, double transducerDepth, double pulseLength,
                                       double minimumDepth, double threshold, SCandidateFrame& frame)
{
    if (!(d > 0.0) || !std::isfinite(d) || !std::isfinite(start) || !std::isfinite(transducerDepth))
        return false;
    frame.d = d;
    frame.s0 = ClampToInt(rawpower::Trunc(start / d));
    frame.o = ClampToInt(rawpower::Trunc(transducerDepth / d));
    const int pulse = ClampToInt(rawpower::Trunc(pulseLength * 750.0 / d + 1.0));
    frame.pulseLimit = 2 * std::clamp(pulse, 5, std::numeric_limits<int>::max() / 2);
    frame.lowerLimit = std::max(frame.pulseLimit, ClampToInt(rawpower::Round((minimumDepth - transducerDepth) / d)));
    frame.threshold = threshold;
    return true;
}

bool CScopePicture::PlaceCandidate(const SBottomCandidate& candidate, const SCandidateFrame& frame,
                                   const double* amplitude, int n, int& u, double& f)
{
    if (!candidate.valid || candidate.total == 0 || !amplitude)
        return false;
    const std::int64_t at = std::int64_t{candidate.start} + frame.o - frame.s0;
    // Above the window, or beyond the samples the column has.
    if (at < 0 || at >= n)
        return false;
    u = static_cast<int>(at);
    const int first = u;
    const double t = frame.threshold;
    if (u > frame.pulseLimit) {
        while (u > frame.lowerLimit && amplitude[u] > t)
            --u;
        if (u <= frame.lowerLimit)
            u = first;
    }
    u = std::max(u, frame.lowerLimit);
    if (u < 0 || u + 1 > n - 1)
        return false;
    f = 0.0;
    if (amplitude[u] < t && t < amplitude[u + 1])
        f = (amplitude[u + 1] - t) * frame.d / (amplitude[u + 1] - amplitude[u]);
    return true;
}

std::vector<CScopePicture::SInfoLine> CScopePicture::InfoLines(const std::string (&labels)[7], const SInfo& info)
{
    std::vector<SInfoLine> lines;
    lines.push_back({labels[2], 5, {}});
    lines.push_back({labels[3], 15, Printf("% 4.1f dBW", info.noiseDb)});
    if (info.noiseFactor) {
        // kT at 290 K over the receiver's bandwidth; without a bandwidth
        // there is no factor to show.
        const double kTB = 4.002e-21 * info.bandwidthHz;
        lines.push_back({"Noise factor: ", 15,
                         kTB > 0.0 ? Printf("% 4.1f dBW", info.noiseDb - 10.0 * std::log10(kTB)) : std::string()});
    }
    lines.push_back({labels[4], 15, Printf("% 4.1f dBW", info.amplitudeRaw * rawpower::kDbPerUnit)});
    if (info.bottomFound)
        lines.push_back({"Bottom s/n ratio:", 15, Printf("%-4.1f dBW", info.bottomLevelDb - info.noiseDb)});
    else
        lines.push_back({"No bottom found", 15, {}});
    if (info.splitBeam) {
        double along = 0.0, athwart = 0.0;
        DecodeAngleWord(info.angleWord, &along, &athwart);
        lines.push_back({labels[5], 15, Printf("%+.1f deg.", along)});
        lines.push_back({labels[6], 15, Printf("%+.1f deg.", athwart)});
    }
    return lines;
}
