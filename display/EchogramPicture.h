// The echogram picture in the view's off-screen surface: one byte per pixel,
// a palette index, rows top-down. Each ping moves the picture one column to
// the left and writes the new ping as the newest column, with the bottom gap
// and bottom line over it; the range-scale strip at the right edge is left
// alone. The placement rules are small pure functions so that the pixel a
// sample lands on can be checked without a window.
//
// The echogram area is a ring: its columns (its rows when pings are rows)
// begin at a moving origin, so a ping moves the origin and one column
// instead of the whole picture. Everything outside this class sees the
// picture as it shows (logical coordinates): the primitives take them, At
// reads them, and Parts tells where a rectangle lies in memory, in at most
// two pieces across the seam of the ring plus the piece outside the ring.
//
// Side-looking echograms turn the picture: each ping is a row across the
// whole width, both sides of the vessel meet at the split column, and the
// picture moves down one row per ping below a header of T rows kept for the
// scale. The newest row is the top row of the picture (row T), so that it
// is visible at once and nothing of the header is overwritten.
//
// The slope echogram draws the angle of the bottom per ping; its newest
// column lies Q columns left of the scale strip because the angle belongs to
// the ping half a slope window back, and the Q columns right of it are kept
// background.
//
// The row memory (colour of each sample position at the previous ping) is
// sized to the picture, so no pane height or width can run past it; samples
// beyond what the document delivers are drawn as background.
//
// User-interface thread only.
#pragma once

#include "display/PaletteControl.h"
#include "engine/ColorScaleSettings.h"
#include "engine/RawPower.h"
#include "platform/WinTypes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace EchogramMapping {
// Colours of the marks: the marker colour, the second mark colour (second
// net sensor, multi-pulse depths) and the third (third net sensor, the
// linked echogram's window).
constexpr BYTE kMarker = 193;
constexpr BYTE kSecondMark = 194;
constexpr BYTE kLinkedWindow = 195;
using rawpower::RawToDb;
// A missing second-side sample shows as no echo.
constexpr double kMissingSideDb = rawpower::kNoEchoDb;
// Width of the range-scale strip: none on a narrow window.
inline int ScaleMargin(int width)
{
    return width <= 58 ? 0 : 54;
}
// Rows kept for the scale header when pings are rows.
inline int TopMargin(int height)
{
    return height <= 24 ? 0 : 20;
}
// Rows of the bottom gap's mark and of the minimal bottom row.
inline int GapThickness(int height)
{
    return height / 80 + 1;
}
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
inline int SampleCount(int height, int gap)
{
    return height - gap - 1 < 0 ? 0 : height - gap - 1;
}
// Split column of a row-oriented ping: the sample-0 position of this side.
// The row runs from -left to right; side 0 has its samples leftwards from
// the split, side 1 is mirrored. Equal truncated ends (no extent at all)
// are moved apart by 0.1 rather than divided by zero. Kept within
// -(width + 1) .. width + 1, so that no extent can overflow it.
int RowSplit(double left, double right, int width, int side);
// 16-bit samples of an external source's block of 32-bit words, the low
// half of each word first (the order they were packed in).
void UnpackSampleBlock(const std::uint32_t* words, int wordCount, std::vector<std::int16_t>& samples);
// Picture row of an angle in a window whose top is `start` degrees and
// bottom start - range; -1 above the top or with no range.
int SlopeRow(double angle, double start, double range, int height);
// Pixels of a line of `pixels` scaled for a printer, truncated; 0 for a
// scale that is no positive number, and never beyond what a page can hold.
int ScaledExtent(int pixels, double scale);
// Palette index of a colour level 0..12; -1 for a level outside.
inline int LevelColour(int level)
{
    if (level == 0)
        return CPaletteControl::kBackgroundIndex;
    if (level >= 1 && level <= CPaletteControl::kEchoColourCount)
        return CPaletteControl::kFirstEchoIndex + level - 1;
    return -1;
}

// The colour levels of one start level of a colour scale, for every raw
// sample value. A level never falls as the value rises, so each level
// begins at one raw value: those are found once a ping with the scale's own
// arithmetic, and a sample then looks its level up instead of dividing,
// with exactly the level the scale gives its value.
class CLevelTable
{
public:
    // The levels of the scale from `start` on; no scale: level 0 throughout.
    void Take(const CColorScaleSettings* scale, double start);
    int Level(std::int16_t raw) const
    {
        const unsigned at = static_cast<unsigned>(raw - m_first);
        if (at < m_levels.size())
            return m_levels[at];
        return raw < m_first ? m_below : m_above;
    }

private:
    int m_first = 0;
    int m_below = 0;
    int m_above = 0;
    // Levels from m_first on, up to where the highest begins.
    std::vector<std::uint8_t> m_levels;
};
}  // namespace EchogramMapping

class CEchogramPicture
{
public:
    // What one ping needs, gathered from the document and its channel.
    struct Column
    {
        const std::int16_t* samples = nullptr;
        int sampleCount = 0;
        // The channel's colour scale as it was at this ping: levels are
        // looked up in it without asking the channel for each sample.
        const CColorScaleSettings* scale = nullptr;
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
        // Row orientation only: the row's extents (m, from -left to right),
        // this document's side (0 or 1) and the other side's samples (null
        // when there is no second side).
        double left = 0.0;
        double right = 0.0;
        int side = 0;
        const std::int16_t* secondSide = nullptr;
        int secondSideCount = 0;
    };

    // A rectangle of the picture as it lies in memory: columns x to
    // x + width - 1 of rows row to row + rows - 1 there show dx columns and
    // drow rows further on (shown = in memory - offset).
    struct Part
    {
        int x = 0, row = 0, width = 0, rows = 0;
        int dx = 0, drow = 0;
    };
    static constexpr int kMaxParts = 3;

    // Works on bits owned elsewhere (the view's surface); a size change
    // resets the row memory. New bits show as they lie: the origin is 0.
    void Attach(BYTE* bits, int width, int height, int stride);
    void Detach() { Attach(nullptr, 0, 0, 0); }
    bool IsAttached() const { return m_bits != nullptr && m_width > 0 && m_height > 0; }

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetScaleMargin() const { return EchogramMapping::ScaleMargin(m_width); }
    // Columns that hold pings: all of them when pings are rows.
    int PictureWidth() const { return m_rows ? m_width : m_width - GetScaleMargin(); }
    // Rows above the picture kept for the scale in row orientation.
    int GetTopMargin() const { return m_rows ? EchogramMapping::TopMargin(m_height) : 0; }
    // Column of the newest ping.
    int NewestColumn() const { return m_width - GetScaleMargin() - 1; }
    // Row of the newest ping in row orientation.
    int NewestRow() const { return GetTopMargin(); }
    // Column of the newest slope ping, Q columns further left.
    int SlopeColumn(int q) const { return NewestColumn() - std::max(0, q); }

    // Pings as rows (true) or columns; a change clears the picture, since
    // nothing drawn the other way round means anything turned.
    void SetRowOrientation(bool rows);
    bool IsRowOrientation() const { return m_rows; }

    // Moves the echogram area one column to the left, or in row orientation
    // the picture below the header one row down: the newest column (row)
    // starts as a copy of the one before it, as after a block copy of the
    // picture onto itself.
    void Shift();
    // Columns (rows) of the ring: the echogram area, or the rows below the
    // header when pings are rows.
    int RingSize() const;
    // The parts in memory of a rectangle as it shows, clipped to the
    // picture; returns how many (0 to kMaxParts).
    int Parts(int x, int row, int width, int rows, Part (&parts)[kMaxParts]) const;
    // The picture as it shows, row by row into `out` (height rows of
    // `outStride` bytes).
    void CopyTo(BYTE* out, int outStride) const;
    // Writes one ping into the newest column; returns the bottom row drawn
    // (-1 when none).
    int WriteColumn(const Column& column);
    // Writes one ping into the newest row (row orientation).
    void WriteRow(const Column& column);

    // The Q columns right of the slope column are cleared at the next slope
    // ping: asked for by every ping of another kind, and by a change of Q.
    void RequestSlopeStripClear() { m_slopeStripPending = true; }
    // Writes the newest slope column: background, the zero line and the
    // angle. Returns true when the strip was cleared with it.
    bool WriteSlopeColumn(int q, double start, double range, double angle);

    void PaintColumnRun(BYTE colour, int row, int count);
    // Sets `count` pixels of the newest row from column x rightwards.
    void PaintRowRun(BYTE colour, int x, int count);
    void FillRect(BYTE colour, int x, int row, int width, int rows);
    void ClearEchogram();

    BYTE At(int x, int row) const
    {
        Settle();
        return *Pixel(x, row);
    }
    // Writes what a shift left pending; every primitive and reader does so
    // itself, so only a reader of the bits themselves needs it.
    void Settle() const
    {
        if (m_newestCopyPending)
            CopyNewestColumn();
    }
    BYTE RowMemory(int i) const { return m_rowMemory.at(static_cast<std::size_t>(i)); }

private:
    void CopyNewestColumn() const;
    // Column (row) in memory of a column (row) as it shows.
    int MemoryColumn(int x) const;
    int MemoryRow(int row) const;
    BYTE* Pixel(int x, int row) const
    {
        return m_bits + static_cast<std::size_t>(MemoryRow(row)) * m_stride + MemoryColumn(x);
    }
    // The levels of the column's selector and of the second scale.
    void TakeLevels(const Column& c);
    int SampleColour(const Column& c, std::int16_t raw, int sampleIndex) const;
    int LevelColourOrFatal(int level) const;
    // Writes a colour at sample position i, keeping background for one ping
    // where the previous ping had it and the column asks for that.
    BYTE Remember(const Column& c, int i, int colour);

    BYTE* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    std::vector<BYTE> m_rowMemory;
    bool m_rows = false;
    bool m_slopeStripPending = true;
    int m_lastQ = -1;
    // Where the oldest column (the newest row) of the ring lies in memory,
    // counted from the ring's first column (row).
    int m_origin = 0;
    // The newest column is still to be made a copy of the one before it.
    mutable bool m_newestCopyPending = false;
    // Levels of the column being written: its selector's and the second
    // scale's (selector 3).
    EchogramMapping::CLevelTable m_levels;
    EchogramMapping::CLevelTable m_secondLevels;
};
