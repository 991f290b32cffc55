#include "display/EchogramPicture.h"

#include "base/EchosounderError.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace EchogramMapping {
int DepthRow(double depth, double reference, double range, int height)
{
    if (!(range > 0.0) || !std::isfinite(depth) || height <= 0)
        return -1;
    if (!(reference < depth && depth < reference + range))
        return -1;
    return static_cast<int>((depth - reference) / range * height);
}

int BottomGap(int bottomRow, int height)
{
    if (bottomRow <= 0)
        return 0;
    const int t = GapThickness(height);
    if (bottomRow + t < height - 1)
        return t;
    return std::max(0, height - bottomRow - 1);
}

int RowSplit(double left, double right, int width, int side)
{
    double a = std::trunc(-left);
    const double e = std::trunc(right);
    if (e - a == 0.0)
        a += 0.1;
    const double n = std::trunc(std::fabs(side == 0 ? a : e) * width / (e - a));
    if (!std::isfinite(n))
        return 0;
    const double limit = static_cast<double>(width) + 1.0;
    return static_cast<int>(std::clamp(n, -limit, limit));
}

void UnpackSampleBlock(const std::uint32_t* words, int wordCount, std::vector<std::int16_t>& samples)
{
    samples.clear();
    if (words == nullptr || wordCount <= 0)
        return;
    samples.reserve(static_cast<std::size_t>(wordCount) * 2);
    for (int k = 0; k < wordCount; ++k) {
        samples.push_back(static_cast<std::int16_t>(words[k] & 0xFFFFu));
        samples.push_back(static_cast<std::int16_t>(words[k] >> 16));
    }
}

int SlopeRow(double angle, double start, double range, int height)
{
    if (!(range > 0.0) || !std::isfinite(angle) || !std::isfinite(start) || height <= 0)
        return -1;
    const double row = std::trunc((start - angle) / range * height);
    // Far below the picture is as good as just below it, and fits an int.
    return row < 0.0 ? -1 : static_cast<int>(std::min(row, static_cast<double>(height)));
}

void CLevelTable::Take(const CColorScaleSettings* scale, double start)
{
    constexpr int kLowest = -32768, kHighest = 32767;
    m_levels.clear();
    m_first = 0;
    if (!scale) {
        m_below = m_above = 0;
        return;
    }
    auto level = [&](int raw) { return scale->Level(RawToDb(static_cast<std::int16_t>(raw)), start); };
    m_below = level(kLowest);
    m_above = level(kHighest);
    if (m_below == m_above)
        return;
    // The first raw value of each level from m_below + 1 to m_above: first
    // tried where the scale's steps put it, then searched between the two
    // ends, which bracket it.
    int begins[CColorScaleSettings::kColorCount + 2] = {};
    for (int k = m_below + 1; k <= m_above; ++k) {
        int lo = kLowest, hi = kHighest;  // level(lo) < k <= level(hi)
        const double guess = std::ceil((start + (k - 1) * scale->GetInterval()) / rawpower::kDbPerUnit);
        if (guess > lo && guess <= hi) {
            const int g = static_cast<int>(guess);
            if (level(g) >= k)
                hi = g;
            else
                lo = g;
            if (hi == g && level(g - 1) < k)
                lo = g - 1;
            else if (lo == g && g + 1 <= hi && level(g + 1) >= k)
                hi = g + 1;
        }
        while (hi - lo > 1) {
            const int mid = lo + (hi - lo) / 2;
            if (level(mid) >= k)
                hi = mid;
            else
                lo = mid;
        }
        begins[k] = hi;
    }
    m_first = begins[m_below + 1];
    m_levels.assign(static_cast<std::size_t>(begins[m_above] - m_first), static_cast<std::uint8_t>(m_below));
    for (int k = m_below + 1; k < m_above; ++k)
        std::fill(m_levels.begin() + (begins[k] - m_first), m_levels.begin() + (begins[k + 1] - m_first),
                  static_cast<std::uint8_t>(k));
}

int ScaledExtent(int pixels, double scale)
{
    constexpr double kMostPixels = 1 << 20;
    if (!(scale > 0.0) || pixels <= 0)
        return 0;
    return static_cast<int>(std::min(std::trunc(pixels * scale), kMostPixels));
}
}  // namespace EchogramMapping

using namespace EchogramMapping;

void CEchogramPicture::Attach(BYTE* bits, int width, int height, int stride)
{
    if (bits == nullptr || width <= 0 || height <= 0 || stride < width) {
        m_bits = nullptr;
        m_width = m_height = m_stride = 0;
        m_rowMemory.clear();
        m_newestCopyPending = false;
        return;
    }
    const bool resized = width != m_width || height != m_height;
    if (bits != m_bits || resized || stride != m_stride) {
        m_origin = 0;
        m_newestCopyPending = false;
    }
    m_bits = bits;
    m_width = width;
    m_height = height;
    m_stride = stride;
    if (resized)
        m_rowMemory.assign(static_cast<std::size_t>(std::max(width, height)), CPaletteControl::kTextIndex);
}

void CEchogramPicture::SetRowOrientation(bool rows)
{
    if (rows == m_rows)
        return;
    m_newestCopyPending = false;  // cleared below
    m_rows = rows;
    std::fill(m_rowMemory.begin(), m_rowMemory.end(), CPaletteControl::kTextIndex);
    ClearEchogram();
    m_origin = 0;
}

int CEchogramPicture::RingSize() const
{
    if (!IsAttached())
        return 0;
    return m_rows ? m_height - GetTopMargin() : m_width - GetScaleMargin();
}

int CEchogramPicture::MemoryColumn(int x) const
{
    const int ring = m_rows ? 0 : RingSize();
    if (x >= ring)
        return x;
    const int at = x + m_origin;
    return at < ring ? at : at - ring;
}

int CEchogramPicture::MemoryRow(int row) const
{
    if (!m_rows)
        return row;
    const int top = GetTopMargin();
    if (row < top)
        return row;
    const int ring = RingSize();
    const int at = row - top + m_origin;
    return top + (at < ring ? at : at - ring);
}

int CEchogramPicture::Parts(int x, int row, int width, int rows, Part (&parts)[kMaxParts]) const
{
    Settle();
    if (!IsAttached() || width <= 0 || rows <= 0)
        return 0;
    // Clipped in 64 bits: a caller's far-off rectangle must not wrap.
    const int x0 = static_cast<int>(std::clamp<long long>(x, 0, m_width));
    const int x1 = static_cast<int>(std::clamp<long long>(static_cast<long long>(x) + width, 0, m_width));
    const int r0 = static_cast<int>(std::clamp<long long>(row, 0, m_height));
    const int r1 = static_cast<int>(std::clamp<long long>(static_cast<long long>(row) + rows, 0, m_height));
    if (x0 >= x1 || r0 >= r1)
        return 0;
    int n = 0;
    auto add = [&](int px0, int px1, int pr0, int pr1, int dx, int drow) {
        if (px0 < px1 && pr0 < pr1)
            parts[n++] = Part{px0 + dx, pr0 + drow, px1 - px0, pr1 - pr0, dx, drow};
    };
    const int ring = RingSize();
    if (!m_rows) {
        // Shown columns [0, seam) lie origin further on, [seam, ring) wrap
        // to the ring's start; the scale strip lies as it shows.
        const int seam = ring - m_origin;
        add(x0, std::min(x1, seam), r0, r1, m_origin, 0);
        add(std::max(x0, seam), std::min(x1, ring), r0, r1, m_origin - ring, 0);
        add(std::max(x0, ring), x1, r0, r1, 0, 0);
        return n;
    }
    const int top = GetTopMargin();
    const int seam = top + ring - m_origin;
    add(x0, x1, r0, std::min(r1, top), 0, 0);
    add(x0, x1, std::max(r0, top), std::min(r1, seam), 0, m_origin);
    add(x0, x1, std::max(r0, seam), r1, 0, m_origin - ring);
    return n;
}

void CEchogramPicture::CopyTo(BYTE* out, int outStride) const
{
    if (!IsAttached() || out == nullptr)
        return;
    Part parts[kMaxParts];
    const int n = Parts(0, 0, m_width, m_height, parts);
    for (int k = 0; k < n; ++k) {
        const Part& p = parts[k];
        for (int r = 0; r < p.rows; ++r)
            std::memcpy(out + static_cast<std::size_t>(p.row - p.drow + r) * outStride + (p.x - p.dx),
                        m_bits + static_cast<std::size_t>(p.row + r) * m_stride + p.x,
                        static_cast<std::size_t>(p.width));
    }
}

void CEchogramPicture::Shift()
{
    const int ring = RingSize();
    if (ring <= 1)
        return;
    if (m_rows) {
        // The newest row moves to the row before the oldest, and starts as
        // the row that was newest.
        m_origin = m_origin == 0 ? ring - 1 : m_origin - 1;
        const int top = GetTopMargin();
        std::memcpy(Pixel(0, top), Pixel(0, top + 1), static_cast<std::size_t>(m_width));
        return;
    }
    Settle();
    m_origin = m_origin + 1 == ring ? 0 : m_origin + 1;
    // The copy waits for what comes next: a ping's column writes all of it
    // but row 0 itself.
    m_newestCopyPending = true;
}

void CEchogramPicture::CopyNewestColumn() const
{
    m_newestCopyPending = false;
    const int ring = RingSize();
    BYTE* to = Pixel(ring - 1, 0);
    const BYTE* from = Pixel(ring - 2, 0);
    for (int row = 0; row < m_height; ++row)
        to[static_cast<std::size_t>(row) * m_stride] = from[static_cast<std::size_t>(row) * m_stride];
}

int CEchogramPicture::LevelColourOrFatal(int level) const
{
    const int colour = LevelColour(level);
    if (colour < 0)
        EchosounderFatalError("EchogramView", 1743, "Color out of range:%d", level);
    return colour;
}

int CEchogramPicture::SampleColour(const Column& c, std::int16_t raw, int sampleIndex) const
{
    const bool second = c.secondScale && sampleIndex >= c.secondScaleStart;
    return LevelColourOrFatal(second ? m_secondLevels.Level(raw) : m_levels.Level(raw));
}

BYTE CEchogramPicture::Remember(const Column& c, int i, int colour)
{
    BYTE& remembered = m_rowMemory[static_cast<std::size_t>(i)];
    const BYTE shown = (c.keepBackground && remembered == CPaletteControl::kBackgroundIndex)
                           ? CPaletteControl::kBackgroundIndex
                           : static_cast<BYTE>(colour);
    remembered = static_cast<BYTE>(colour);
    return shown;
}

void CEchogramPicture::WriteRow(const Column& c)
{
    if (!IsAttached() || !m_rows)
        return;
    TakeLevels(c);
    const int w = m_width;
    const int split = RowSplit(c.left, c.right, w, c.side);
    BYTE* line = Pixel(0, NewestRow());
    // A missing second-side sample is no raw value: its level is asked once.
    const int missing =
        LevelColourOrFatal(c.scale ? c.scale->Level(kMissingSideDb, c.scale->GetValueBySelector(c.selector)) : 0);
    for (int i = w - 1; i >= 0; --i) {
        int colour = CPaletteControl::kBackgroundIndex;
        if (!c.allBackground) {
            if (i <= split) {
                // This side, sample 0 at the split. Positions the document
                // did not deliver stay background.
                const int s = split - i;
                if (c.samples != nullptr && s < c.sampleCount)
                    colour = SampleColour(c, c.samples[s], s);
            } else {
                const int s = i - split;
                const bool present = c.secondSide != nullptr && s < c.secondSideCount;
                colour = present ? SampleColour(c, c.secondSide[s], -1) : missing;
            }
        }
        const int x = c.side == 0 ? i : w - 1 - i;
        line[x] = Remember(c, i, colour);
    }
}

bool CEchogramPicture::WriteSlopeColumn(int q, double start, double range, double angle)
{
    Settle();
    if (!IsAttached() || m_rows)
        return false;
    q = std::max(0, q);
    bool cleared = false;
    if (m_slopeStripPending || q != m_lastQ) {
        const int first = std::max(0, NewestColumn() - q + 1);
        FillRect(CPaletteControl::kBackgroundIndex, first, 0, NewestColumn() + 1 - first, m_height);
        m_slopeStripPending = false;
        m_lastQ = q;
        cleared = true;
    }
    const int x = SlopeColumn(q);
    if (x < 0)
        return cleared;
    BYTE* column = Pixel(x, 0);
    auto paint = [&](BYTE colour, int row, int count) {
        for (int r = row; r >= 0 && r < std::min(m_height, row + count); ++r)
            column[static_cast<std::size_t>(r) * m_stride] = colour;
    };
    paint(CPaletteControl::kBackgroundIndex, 0, m_height);
    // The zero line is where the angle window passes 0 degrees.
    paint(CPaletteControl::kTextIndex, SlopeRow(0.0, start, range, m_height), 1);
    paint(kMarker, SlopeRow(angle, start, range, m_height), 2);
    return cleared;
}

void CEchogramPicture::TakeLevels(const Column& c)
{
    m_levels.Take(c.scale, c.scale ? c.scale->GetValueBySelector(c.selector) : 0.0);
    if (c.secondScale)
        m_secondLevels.Take(c.scale, c.scale ? c.scale->GetValueBySelector(3) : 0.0);
}

int CEchogramPicture::WriteColumn(const Column& c)
{
    if (!IsAttached() || m_rows)
        return -1;
    TakeLevels(c);
    const int x = NewestColumn();
    if (x < 0)
        return -1;
    // Rows 1 to H - 1 are all written below: only row 0 keeps the copy.
    if (m_newestCopyPending) {
        m_newestCopyPending = false;
        *Pixel(x, 0) = *Pixel(x - 1, 0);
    }
    const int b = c.hasDepth ? DepthRow(c.depth, c.reference, c.range, m_height) : -1;
    const int g = c.bottomGap ? BottomGap(b, m_height) : 0;
    const int n = SampleCount(m_height, g);
    BYTE* column = Pixel(x, 0);
    for (int i = 0; i < n; ++i) {
        int colour = CPaletteControl::kBackgroundIndex;
        // Positions the document did not deliver stay background.
        if (!c.allBackground && i < c.sampleCount && c.samples != nullptr)
            colour = SampleColour(c, c.samples[i], i);
        column[static_cast<std::size_t>(SampleRow(i, b, g)) * m_stride] = Remember(c, i, colour);
    }
    // The gap rows are not reached by any sample: clear them so nothing of
    // the previous column shows through.
    if (g > 0)
        PaintColumnRun(CPaletteControl::kBackgroundIndex, b + 1, g);
    const int t = GapThickness(m_height);
    if (c.hasDepth && c.depth > 0.0 && b >= t) {
        if (c.bottomGap)
            PaintColumnRun(CPaletteControl::kBackgroundIndex, b, t);
        if (c.bottomLine)
            PaintColumnRun(CPaletteControl::kTextIndex, b, 2);
    }
    return b;
}

void CEchogramPicture::PaintColumnRun(BYTE colour, int row, int count)
{
    Settle();
    const int x = NewestColumn();
    if (!IsAttached() || x < 0 || row < 0 || row >= m_height)
        return;
    const int end = static_cast<int>(std::min<long long>(m_height, static_cast<long long>(row) + std::max(0, count)));
    BYTE* column = Pixel(x, 0);
    for (int r = row; r < end; ++r)
        column[static_cast<std::size_t>(r) * m_stride] = colour;
}

void CEchogramPicture::PaintRowRun(BYTE colour, int x, int count)
{
    if (!IsAttached() || !m_rows || x < 0 || x >= m_width)
        return;
    const int end = static_cast<int>(std::min<long long>(m_width, static_cast<long long>(x) + std::max(0, count)));
    std::memset(Pixel(x, NewestRow()), colour, static_cast<std::size_t>(end - x));
}

void CEchogramPicture::FillRect(BYTE colour, int x, int row, int width, int rows)
{
    Part parts[kMaxParts];
    const int n = Parts(x, row, width, rows, parts);
    for (int k = 0; k < n; ++k)
        for (int r = parts[k].row; r < parts[k].row + parts[k].rows; ++r)
            std::memset(m_bits + static_cast<std::size_t>(r) * m_stride + parts[k].x, colour,
                        static_cast<std::size_t>(parts[k].width));
}

void CEchogramPicture::ClearEchogram()
{
    // Turned pings use the whole width.
    FillRect(CPaletteControl::kBackgroundIndex, 0, 0, m_rows ? m_width : m_width - GetScaleMargin(), m_height);
    // All of the ring is background: it may as well begin where it lies.
    m_origin = 0;
}
