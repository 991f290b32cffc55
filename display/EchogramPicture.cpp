#include "display/EchogramPicture.h"

#include "app/EchosounderError.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace EchogramMapping
{
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
} // namespace EchogramMapping

using namespace EchogramMapping;

void CEchogramPicture::Attach(BYTE* bits, int width, int height, int stride)
{
    if (bits == nullptr || width <= 0 || height <= 0 || stride < width)
    {
        m_bits = nullptr;
        m_width = m_height = m_stride = 0;
        m_rowMemory.clear();
        return;
    }
    const bool resized = width != m_width || height != m_height;
    m_bits = bits;
    m_width = width;
    m_height = height;
    m_stride = stride;
    if (resized)
        m_rowMemory.assign(static_cast<std::size_t>(std::max(width, height)), kLine);
}

void CEchogramPicture::Shift()
{
    if (!IsAttached())
        return;
    const int span = m_width - GetScaleMargin() - 1;
    if (span <= 0)
        return;
    for (int row = 0; row < m_height; ++row)
    {
        BYTE* line = m_bits + static_cast<std::size_t>(row) * m_stride;
        std::memmove(line, line + 1, static_cast<std::size_t>(span));
    }
}

int CEchogramPicture::WriteColumn(const Column& c)
{
    if (!IsAttached())
        return -1;
    const int x = NewestColumn();
    if (x < 0)
        return -1;
    const int b = c.hasDepth ? DepthRow(c.depth, c.reference, c.range, m_height) : -1;
    const int g = c.bottomGap ? BottomGap(b, m_height) : 0;
    const int n = SampleCount(m_height, g);
    for (int i = 0; i < n; ++i)
    {
        int colour = kBackground;
        if (!c.allBackground)
        {
            // Positions the document did not deliver stay background.
            if (i < c.sampleCount && c.samples != nullptr)
            {
                const int selector = (c.secondScale && i >= c.secondScaleStart) ? 3 : c.selector;
                const int level = c.level ? c.level(RawToDb(c.samples[i]), selector) : 0;
                colour = LevelColour(level);
                if (colour < 0)
                    EchosounderFatalError("EchogramView", 1743, "Color out of range:%d", level);
            }
        }
        BYTE& remembered = m_rowMemory[static_cast<std::size_t>(i)];
        const BYTE shown = (c.keepBackground && remembered == kBackground) ? kBackground : static_cast<BYTE>(colour);
        remembered = static_cast<BYTE>(colour);
        m_bits[static_cast<std::size_t>(SampleRow(i, b, g)) * m_stride + x] = shown;
    }
    // The gap rows are not reached by any sample: clear them so nothing of
    // the previous column shows through.
    if (g > 0)
        PaintColumnRun(kBackground, b + 1, g);
    const int t = GapThickness(m_height);
    if (c.hasDepth && c.depth > 0.0 && b >= t)
    {
        if (c.bottomGap)
            PaintColumnRun(kBackground, b, t);
        if (c.bottomLine)
            PaintColumnRun(kLine, b, 2);
    }
    return b;
}

void CEchogramPicture::PaintColumnRun(BYTE colour, int row, int count)
{
    const int x = NewestColumn();
    if (!IsAttached() || x < 0 || row < 0 || row >= m_height)
        return;
    const int end = std::min(m_height, row + std::max(0, count));
    for (int r = row; r < end; ++r)
        m_bits[static_cast<std::size_t>(r) * m_stride + x] = colour;
}

void CEchogramPicture::FillRect(BYTE colour, int x, int row, int width, int rows)
{
    if (!IsAttached() || width <= 0 || rows <= 0)
        return;
    const int x0 = std::max(0, x), x1 = std::min(m_width, x + width);
    const int r0 = std::max(0, row), r1 = std::min(m_height, row + rows);
    for (int r = r0; r < r1; ++r)
        if (x1 > x0)
            std::memset(m_bits + static_cast<std::size_t>(r) * m_stride + x0, colour, static_cast<std::size_t>(x1 - x0));
}

void CEchogramPicture::ClearEchogram()
{
    FillRect(kBackground, 0, 0, m_width - GetScaleMargin(), m_height);
}
