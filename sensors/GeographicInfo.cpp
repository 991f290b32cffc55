#include "sensors/GeographicInfo.h"

#include "base/StringHelpers.h"
#include "platform/NumberText.h"

#include <cmath>

namespace {

std::string Formatter(const std::string& telegram)
{
    return telegram.size() >= 6 ? telegram.substr(3, 3) : std::string();
}

// A field as a number (0.0 when it holds none); false for "nan", "inf" and
// the like, which no history may take.
bool Real(const std::string& telegram, int field, double& value)
{
    value = 0.0;
    return CNumberText::ParseFiniteDouble(GetField(telegram, ",", field), value);
}

// ddmm.mmmm (or dddmm.mmmm) to signed degrees and back.
double ToDegrees(double ddmm, bool negative)
{
    const double a = std::fabs(ddmm);
    const double degrees = std::floor(a / 100.0);
    const double v = degrees + (a - degrees * 100.0) / 60.0;
    return negative ? -v : v;
}

double ToDdmm(double degrees)
{
    const double a = std::fabs(degrees);
    double whole = std::floor(a);
    double minutes = (a - whole) * 60.0;
    if (minutes >= 60.0) {  // rounding at the top of a degree
        whole += 1.0;
        minutes -= 60.0;
    }
    const double v = whole * 100.0 + minutes;
    return degrees < 0.0 ? -v : v;
}

}  // namespace

void CGeographicInfo::EnsureHistoryLength(int n)
{
    std::lock_guard lock(m_lock);
    if (n > m_historyLength)
        m_historyLength = n;
}

int CGeographicInfo::GetHistoryLength() const
{
    std::lock_guard lock(m_lock);
    return m_historyLength;
}

template <class List>
void CGeographicInfo::Prune(List& list)
{
    while (!list.empty() && list.back().time < m_oldestPing)
        list.pop_back();
    while (list.size() > kMaxRecords)
        list.pop_back();
}

void CGeographicInfo::AddPing(std::uint64_t time)
{
    std::lock_guard lock(m_lock);
    if (m_historyLength == 0)
        return;
    m_pings.push_front({time, 0.0});
    while (m_pings.size() > static_cast<std::size_t>(m_historyLength))
        m_pings.pop_back();
    m_oldestPing = m_pings.back().time;
}

void CGeographicInfo::ParseNavigationTelegram(const std::string& telegram, std::uint64_t time)
{
    // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
    //        1      2        3 4         5
    // $GPGLL,4916.45,N,12311.12,W,225444,A
    // $PTNL,PJK,hhmmss.ss,mmddyy,northing,N,easting,E,...  (grid)
    struct Row
    {
        const char* formatter;
        int first, second;
        bool geodetic;
    };
    static constexpr Row kRows[] = {
        {"GGA", 2, 4, true},  {"GLL", 1, 3, true},  {"GGK", 3, 5, true},
        {"NL,", 4, 6, false}, {"LLQ", 3, 5, false}, {"LLK", 3, 5, false},
    };
    const std::string f = Formatter(telegram);
    const Row* row = nullptr;
    for (const Row& r : kRows)
        if (f == r.formatter)
            row = &r;
    if (!row)
        return;
    PosRec rec;
    if (!Real(telegram, row->first, rec.first) || !Real(telegram, row->second, rec.second))
        return;
    rec.time = time;
    rec.geodetic = row->geodetic;
    if (rec.geodetic) {
        rec.south = GetField(telegram, ",", row->first + 1) == "S";
        rec.west = GetField(telegram, ",", row->second + 1) == "W";
    }
    std::lock_guard lock(m_lock);
    if (m_historyLength == 0)
        return;
    m_positions.push_front(rec);
    Prune(m_positions);
    m_oldestPosition = m_positions.empty() ? 0 : m_positions.back().time;
    m_newestPosition = m_positions.empty() ? 0 : m_positions.front().time;
}

void CGeographicInfo::ParseHeadingTelegram(const std::string& telegram, std::uint64_t time)
{
    // $HEHDT,274.07,T*03
    const std::string f = Formatter(telegram);
    int* seen = f == "HDT" ? &m_hdtSeen : f == "HDR" ? &m_hdrSeen : f == "HDG" ? &m_hdgSeen : nullptr;
    double value = 0.0;
    if (!seen || !Real(telegram, 1, value))
        return;
    std::lock_guard lock(m_lock);
    if (m_historyLength == 0)
        return;
    *seen = 1;
    m_headings.push_front({value, time});
    Prune(m_headings);
}

void CGeographicInfo::ParseCourseTelegram(const std::string& telegram, std::uint64_t time)
{
    // $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48
    double value = 0.0;
    if (!Real(telegram, 1, value))
        return;
    std::lock_guard lock(m_lock);
    if (m_historyLength == 0 || m_hdtSeen || m_hdrSeen || m_hdgSeen)
        return;
    m_courseInUse = 1;
    m_courses.push_front({value, time});
    Prune(m_courses);
}

double CGeographicInfo::Weight(std::uint64_t newerTime, std::uint64_t olderTime, std::uint64_t t)
{
    const double dNew = static_cast<double>((static_cast<std::int64_t>(newerTime - t)) / 10000);
    const double dOld = static_cast<double>((static_cast<std::int64_t>(t - olderTime)) / 10000);
    // Two records of the same millisecond: the older one holds.
    if (dOld + dNew <= 0.0)
        return 1.0;
    return dNew / (dOld + dNew);
}

double CGeographicInfo::InterpolateHeading(double newer, double older, double w)
{
    // The short way round the circle: 350 and 10 meet at 0, not at 180.
    double diff = std::fmod(older - newer, 360.0);
    if (diff > 180.0)
        diff -= 360.0;
    else if (diff < -180.0)
        diff += 360.0;
    double v = std::fmod(newer + w * diff, 360.0);
    if (v < 0.0)
        v += 360.0;
    return v;
}

double CGeographicInfo::HeadingAt(const std::deque<HeadRec>& list, std::uint64_t t) const
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].time > t)
            continue;
        const HeadRec& older = list[i];
        if (i == 0)
            return InterpolateHeading(older.value, older.value, 0.0);
        const HeadRec& newer = list[i - 1];
        return InterpolateHeading(newer.value, older.value, Weight(newer.time, older.time, t));
    }
    return kNoHeading;
}

double CGeographicInfo::GetHeadingAtTime(std::uint64_t t) const
{
    std::lock_guard lock(m_lock);
    return HeadingAt(m_headings, t);
}

bool CGeographicInfo::PositionAt(std::uint64_t t, double& first, double& second) const
{
    for (std::size_t i = 0; i < m_positions.size(); ++i) {
        if (m_positions[i].time > t)
            continue;
        const PosRec& older = m_positions[i];
        const PosRec& newer = i == 0 ? older : m_positions[i - 1];
        const double w = i == 0 ? 0.0 : Weight(newer.time, older.time, t);
        if (older.geodetic && newer.geodetic) {
            const double lat = ToDegrees(newer.first, newer.south) +
                               w * (ToDegrees(older.first, older.south) - ToDegrees(newer.first, newer.south));
            const double n2 = ToDegrees(newer.second, newer.west);
            double o2 = ToDegrees(older.second, older.west);
            // Across the date line the shorter way as well.
            if (o2 - n2 > 180.0)
                o2 -= 360.0;
            else if (n2 - o2 > 180.0)
                o2 += 360.0;
            double lon = n2 + w * (o2 - n2);
            if (lon > 180.0)
                lon -= 360.0;
            else if (lon < -180.0)
                lon += 360.0;
            first = ToDdmm(lat);
            second = ToDdmm(lon);
        } else {
            first = newer.first + w * (older.first - newer.first);
            second = newer.second + w * (older.second - newer.second);
        }
        return true;
    }
    return false;
}

bool CGeographicInfo::GetPositionAtTime(std::uint64_t t, double& first, double& second) const
{
    std::lock_guard lock(m_lock);
    return PositionAt(t, first, second);
}

double CGeographicInfo::HorizontalDistance(double r, double d)
{
    if (std::fabs(r) <= d)
        return 0.0;
    const double h = std::sqrt(r * r - d * d);
    return r < 0.0 ? -h : h;
}

int CGeographicInfo::FormatPingPosition(double pingsBack, bool withHeading, double slantRange, double depth,
                                        bool horizontal, int objectNumber)
{
    std::string prefix, text;
    {
        std::lock_guard lock(m_lock);
        if (!(pingsBack >= 0.0) || pingsBack >= static_cast<double>(m_pings.size()))
            return 0;
        const std::uint64_t t = m_pings[static_cast<std::size_t>(pingsBack)].time;
        if (m_positions.empty() || t < m_oldestPosition || t > m_newestPosition)
            return 0;
        double first = 0.0, second = 0.0;
        if (!PositionAt(t, first, second))
            return 0;
        const double distance = horizontal ? HorizontalDistance(slantRange, depth) : slantRange;
        if (!withHeading) {
            text = CNumberText::Format("%4.7f,%5.7f,%.2f,%d", first, second, distance, objectNumber);
            prefix = "VGR";
        } else {
            const char* source = "VTG";
            double heading = kNoHeading;
            if (m_hdtSeen || m_hdrSeen || m_hdgSeen) {
                source = m_hdtSeen ? "HDT" : m_hdrSeen ? "HDR" : "HDG";
                heading = HeadingAt(m_headings, t);
            } else if (m_courseInUse) {
                heading = HeadingAt(m_courses, t);
            }
            text =
                CNumberText::Format("%4.7f,%5.7f,%s %.2f,%.2f,%.2f", first, second, source, heading, distance, depth);
            prefix = "SSG";
        }
    }
    // Sent outside the lock: the output takes locks of its own.
    if (sendAnnotation)
        sendAnnotation(prefix, text);
    if (postStatus)
        postStatus("Object information sent on network ");
    return 1;
}

void CGeographicInfo::Reset()
{
    std::lock_guard lock(m_lock);
    m_pings.clear();
    m_headings.clear();
    m_positions.clear();
    m_courses.clear();
    m_oldestPing = 0;
}

std::size_t CGeographicInfo::PingCount() const
{
    std::lock_guard lock(m_lock);
    return m_pings.size();
}
std::size_t CGeographicInfo::PositionCount() const
{
    std::lock_guard lock(m_lock);
    return m_positions.size();
}
std::size_t CGeographicInfo::HeadingCount() const
{
    std::lock_guard lock(m_lock);
    return m_headings.size();
}
std::size_t CGeographicInfo::CourseCount() const
{
    std::lock_guard lock(m_lock);
    return m_courses.size();
}
