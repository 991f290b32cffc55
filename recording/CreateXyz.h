// Turns the positions of received sentences and the depths of each ping into
// XYZ text lines: position (degrees or grid), depth, local date and time,
// and a height. A depth waits until two positions lie around its time and
// is then placed on the straight line between them.
//
// Threads: none of its own; the recorder calls it under its xyz lock.
//
// What it never does is write a wrong position: a position sentence without
// a fix (empty coordinates) breaks the track, so no depth is placed across
// the time without positions; a field that is not a number is no position;
// two positions of the same time give the earlier one; degrees and grid
// coordinates are never mixed on one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace zv::recording {

class CCreateXyz
{
public:
    static constexpr std::size_t kMaxPositions = 25;
    static constexpr std::size_t kMaxDepths = 1000;

    struct DepthRec
    {
        double depth = 0.0;   // m
        double second = 0.0;  // the channel's second depth value
        std::uint64_t time = 0;
    };
    struct PosRec
    {
        double first = 0.0;   // latitude (degrees, north positive) or northing
        double second = 0.0;  // longitude (degrees, east positive) or easting
        double height = 0.0;
        std::uint64_t time = 0;
        bool grid = false;
    };

    // A received sentence and its receive time. Position sentences of the
    // types GGA, GLL, GGK (degrees and minutes with hemispheres), "$PTNL,"
    // (grid), LLQ (grid, with height; sets the grid format) and LLK (grid,
    // with height) add a position; anything else is ignored.
    void ParseSentence(const std::string& sentence, std::uint64_t received);
    // A channel's depth pair at the ping time.
    void AddDepth(double depth, double second, std::uint64_t time);
    // One line (without its line end), or an empty text when no waiting
    // depth can be placed yet.
    std::string NextLine();
    // Subtracted from every interpolated height (the antenna height).
    void SetHeightOffset(double offset) { m_heightOffset = offset; }

    bool IsGrid() const { return m_grid; }
    std::size_t PositionCount() const { return m_positions.size(); }
    std::size_t WaitingDepthCount() const { return m_depths.size(); }

private:
    // Where the depth lies between two positions; false when it cannot be
    // placed (yet).
    bool Place(const DepthRec& d, PosRec& at) const;
    void AddPosition(const PosRec& p);

    std::deque<PosRec> m_positions;  // oldest first
    std::deque<DepthRec> m_depths;   // oldest first
    bool m_grid = false;
    double m_heightOffset = 0.0;
};

}  // namespace zv::recording
