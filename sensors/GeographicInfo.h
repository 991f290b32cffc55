// A short, time-stamped history of positions, headings and courses beside
// the times of the latest pings, so that a ping picked in an echogram can be
// given the position and heading that held when it was received.
//
// Threads: pings arrive on the ping-data thread, telegrams on the
// user-interface thread (or the trigger thread in replay) and queries on the
// user-interface thread; every list is kept under one lock. Each list is
// pruned against the oldest kept ping and, since pings may stop while
// telegrams go on, also bounded to kMaxRecords.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class CGeographicInfo
{
public:
    static constexpr double kNoHeading = -9999.0;
    static constexpr std::size_t kMaxRecords = 20000;

    struct PingTimeRec
    {
        std::uint64_t time = 0;
        double value = 0.0;
    };
    struct HeadRec
    {
        double value = 0.0;
        std::uint64_t time = 0;
    };
    struct PosRec
    {
        double first = 0.0, second = 0.0;  // the two fields as received
        std::uint64_t time = 0;
        // Latitude and longitude in ddmm.mmmm (GGA, GLL, GGK): interpolated
        // on the sphere's degrees with their hemispheres, not as raw text
        // numbers; grid coordinates are plain numbers.
        bool geodetic = false;
        bool south = false, west = false;
    };

    CGeographicInfo() = default;
    virtual ~CGeographicInfo() = default;

    void EnsureHistoryLength(int n);
    int GetHistoryLength() const;
    void AddPing(std::uint64_t time);
    void ParseNavigationTelegram(const std::string& telegram, std::uint64_t time);
    void ParseHeadingTelegram(const std::string& telegram, std::uint64_t time);
    void ParseCourseTelegram(const std::string& telegram, std::uint64_t time);

    // kNoHeading when no record is at or before t. Result in 0..360.
    double GetHeadingAtTime(std::uint64_t t) const;
    // Untouched outputs (and false) when no record is at or before t. A
    // southern latitude or western longitude comes out negative.
    bool GetPositionAtTime(std::uint64_t t, double& first, double& second) const;

    // The object information of the ping pingsBack pings before the newest
    // (0 the newest). slantRange and depth give the horizontal distance when
    // horizontal is set, else the slant range is sent as it is; objectNumber
    // is the integer of the short form. 1 when a telegram was sent.
    int FormatPingPosition(double pingsBack, bool withHeading, double slantRange, double depth, bool horizontal,
                           int objectNumber);

    void Reset();

    // Counts for tests and the views.
    std::size_t PingCount() const;
    std::size_t PositionCount() const;
    std::size_t HeadingCount() const;
    std::size_t CourseCount() const;

    // Where the object information goes (the network output's annotation
    // datagram) and the status message after it. Set by the program.
    std::function<void(const std::string& prefix, const std::string& text)> sendAnnotation;
    std::function<void(const std::string& text)> postStatus;

    // Horizontal distance from a slant range r and a depth d.
    static double HorizontalDistance(double r, double d);
    // Interpolation between a newer and an older value at t (helpers shared
    // by the queries; equal times give the older value).
    static double Weight(std::uint64_t newerTime, std::uint64_t olderTime, std::uint64_t t);
    static double InterpolateHeading(double newer, double older, double w);

private:
    template <class List>
    void Prune(List& list);                                                    // under m_lock
    double HeadingAt(const std::deque<HeadRec>& list, std::uint64_t t) const;  // under m_lock
    bool PositionAt(std::uint64_t t, double& first, double& second) const;     // under m_lock

    mutable std::mutex m_lock;
    std::deque<PingTimeRec> m_pings;  // newest at the front
    std::deque<HeadRec> m_headings;
    std::deque<PosRec> m_positions;
    std::deque<HeadRec> m_courses;
    std::uint64_t m_oldestPosition = 0, m_newestPosition = 0;
    int m_historyLength = 0;
    std::uint64_t m_oldestPing = 0;
    int m_hdtSeen = 0, m_hdrSeen = 0, m_hdgSeen = 0, m_courseInUse = 0;
};
