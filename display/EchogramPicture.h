// The echogram picture in the view's off-screen surface: one byte per pixel,
// a palette index, rows top-down. Each ping moves the picture one column to
// the left and writes the new ping as the newest column, with the bottom gap
// and bottom line over it; the range-scale strip at the right edge is left
// alone. The placement rules are small pure functions so that the pixel a
// sample lands on can be checked without a window.
//
// The row memory (colour of each sample position at the previous ping) is
// sized to the picture, so no pane height can run past it; samples beyond
// what the document delivers are drawn as background.
//
// User-interface thread only.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace EchogramMapping
{
constexpr BYTE kBackground = 78;
constexpr BYTE kLine = 79;
constexpr BYTE kMarker = 193;
constexpr int kFirstLevelIndex = 159;
constexpr int kMaxLevel = 12;
// One decibel is 85.0413592 raw units.
constexpr double kDbPerRaw = 0.011758984;
// A missing second-side sample.
constexpr double kMissingSideDb = -235.17968;

inline double RawToDb(std::int16_t raw) { return raw * kDbPerRaw; }
// Width of the range-scale strip: none on a narrow window.
inline int ScaleMargin(int width) { return width <= 58 ? 0 : 54; }
// Rows kept for the scale header when pings are rows.
inline int TopMargin(int height) { return height <= 24 ? 0 : 20; }
// Rows of the bottom gap's mark and of the minimal bottom row.
inline int GapThickness(int height) { return height / 80 + 1; }
// Row of a depth in a window [reference, reference + range) of `height`
// rows; -1 when the depth lies on or outside either edge or the range is
// not positive.
int DepthRow(double depth, double reference, double range, int height);
// Rows left blank below the bottom row b (b <= 0: none); never reaches
// past the picture's last row.
int BottomGap(int bottomRow, int height);
// Picture row of sample i with bottom row b and gap g: row 0 is kept for
// markers, samples start at row 1 and skip the gap below the bottom.
inline int SampleRow(int i, int bottomRow, int gap)
{
    return (gap > 0 && i >= bottomRow) ? i + gap + 1 : i + 1;
}
// Samples that fit into a column of `height` rows with a gap of g rows.
inline int SampleCount(int height, int gap) { return height - gap - 1 < 0 ? 0 : height - gap - 1; }
// Palette index of a colour level 0..12; -1 for a level outside.
inline int LevelColour(int level)
{
    if (level == 0)
        return kBackground;
    if (level >= 1 && level <= kMaxLevel)
        return kFirstLevelIndex + level;
    return -1;
}
} // namespace EchogramMapping

class CEchogramPicture
{
public:
    // What one ping needs, gathered from the document and its channel.
    struct Column
    {
        const std::int16_t* samples = nullptr;
        int sampleCount = 0;
        // Colour level of a value in dB on a selector (the channel's scale).
        std::function<int(double db, int selector)> level;
        int selector = 0;
        bool secondScale = false;
        int secondScaleStart = 0;
        bool allBackground = false;
        bool keepBackground = false;
        bool hasDepth = false;
        double depth = 0.0;
        double reference = 0.0;
        double range = 0.0;
        bool bottomGap = false;
        bool bottomLine = false;
    };

    // Works on bits owned elsewhere (the view's surface); a size change
    // resets the row memory.
    void Attach(BYTE* bits, int width, int height, int stride);
    void Detach() { Attach(nullptr, 0, 0, 0); }
    bool IsAttached() const { return m_bits != nullptr && m_width > 0 && m_height > 0; }

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetScaleMargin() const { return EchogramMapping::ScaleMargin(m_width); }
    // Column of the newest ping.
    int NewestColumn() const { return m_width - GetScaleMargin() - 1; }

    // Moves the echogram area one column to the left.
    void Shift();
    // Writes one ping into the newest column; returns the bottom row drawn
    // (-1 when none).
    int WriteColumn(const Column& column);

    void PaintColumnRun(BYTE colour, int row, int count);
    void FillRect(BYTE colour, int x, int row, int width, int rows);
    void ClearEchogram();

    BYTE At(int x, int row) const { return m_bits[static_cast<std::size_t>(row) * m_stride + x]; }
    BYTE RowMemory(int i) const { return m_rowMemory.at(static_cast<std::size_t>(i)); }

private:
    BYTE* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    std::vector<BYTE> m_rowMemory;
};
