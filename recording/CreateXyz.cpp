#include "recording/CreateXyz.h"

#include "base/StringHelpers.h"
#include "platform/NumberText.h"
#include "recording/RecordTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zv::recording {

namespace {

// The sentences that carry a position, and the fields read (counted from 0
// at the sentence name):
//   $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//          1      2        3 4         5
//   $GPGLL,4916.45,N,12311.12,W,225444,A
//   $PTNL,PJK,123519.00,011526,6618643.123,N,500123.456,E,1,08,1.2,EHT45.1,M
//   $GPLLQ,123519.00,011526,500123.456,M,6618643.123,M,3,08,0.012,45.10,M
//          1         2      3          4 5           6 7 8  9     10
struct SPositionType
{
    const char* type;
    int first, second;
    int height;  // 0: none
    bool degrees;
    bool setsGrid;
};
constexpr SPositionType kPositionTypes[] = {
    {"GGA", 2, 4, 0, true, false},  {"GLL", 1, 3, 0, true, false},  {"GGK", 3, 5, 0, true, false},
    {"NL,", 4, 6, 0, false, false}, {"LLQ", 3, 5, 10, false, true}, {"LLK", 3, 5, 10, false, false},
};

bool Number(const std::string& field, double& value)
{
    return CNumberText::TryParseDouble(field, value) && std::isfinite(value);
}

// ddmm.mmmm (or dddmm.mmmm) to degrees; false for what is no such angle.
bool Degrees(double v, double limit, double& degrees)
{
    if (v < 0.0)
        return false;
    const double whole = std::trunc(v / 100.0);
    const double minutes = v - 100.0 * whole;
    degrees = whole + minutes / 60.0;
    return minutes < 60.0 && degrees <= limit;
}

// As "%<width>.<decimals>f" would, without printf's cost: a line is
// written for every depth of every ping.
void AppendFixed(std::string& out, double value, int width, int decimals)
{
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        out += CNumberText::Format("%*.*f", width, decimals, value);
        return;
    }
    const std::size_t n = std::size_t(end - text);
    if (n < std::size_t(width))
        out.append(std::size_t(width) - n, ' ');
    out.append(text, n);
}

// As "%0<digits>u" would.
void AppendDigits(std::string& out, unsigned value, int digits)
{
    char text[16];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    const std::size_t n = std::size_t(end - text);
    if (n < std::size_t(digits))
        out.append(std::size_t(digits) - n, '0');
    out.append(text, n);
}

}  // namespace

void CCreateXyz::ParseSentence(const std::string& sentence, std::uint64_t received)
{
    if (sentence.size() < 6)
        return;
    const std::string type = sentence.substr(3, 3);
    const SPositionType* row = nullptr;
    for (const SPositionType& r : kPositionTypes)
        if (type == r.type)
            row = &r;
    if (!row)
        return;

    const std::string firstText = GetField(sentence, ",", row->first);
    const std::string secondText = GetField(sentence, ",", row->second);
    if (firstText.empty() || secondText.empty()) {
        // A receiver without a fix: where the ship was from the last fix on
        // is not known, so no depth may be placed across this time.
        m_positions.clear();
        return;
    }
    PosRec p;
    p.time = received;
    p.grid = !row->degrees;
    if (!Number(firstText, p.first) || !Number(secondText, p.second))
        return;
    if (row->height) {
        const std::string heightText = GetField(sentence, ",", row->height);
        if (!heightText.empty() && !Number(heightText, p.height))
            return;
    }
    if (row->degrees) {
        double lat = 0.0, lon = 0.0;
        if (!Degrees(p.first, 90.0, lat) || !Degrees(p.second, 180.0, lon))
            return;
        p.first = GetField(sentence, ",", row->first + 1) == "S" ? -lat : lat;
        p.second = GetField(sentence, ",", row->second + 1) == "W" ? -lon : lon;
    }
    if (row->setsGrid)
        m_grid = true;
    AddPosition(p);
}

void CCreateXyz::AddPosition(const PosRec& p)
{
    // One line holds degrees or grid coordinates, never a mix of the two: a
    // grid track takes over from degrees, and degrees do not interrupt a
    // grid track (nor the grid format, once it is on).
    const bool gridTrack = !m_positions.empty() && m_positions.back().grid;
    if (!p.grid && (gridTrack || m_grid))
        return;
    if (p.grid && !m_positions.empty() && !gridTrack)
        m_positions.clear();
    m_positions.push_back(p);
    while (m_positions.size() > kMaxPositions)
        m_positions.pop_front();
}

void CCreateXyz::AddDepth(double depth, double second, std::uint64_t time)
{
    m_depths.push_back({depth, second, time});
    while (m_depths.size() > kMaxDepths)
        m_depths.pop_front();
}

bool CCreateXyz::Place(const DepthRec& d, PosRec& at) const
{
    for (std::size_t j = m_positions.size(); j-- > 1;) {
        const PosRec& newer = m_positions[j];
        const PosRec& older = m_positions[j - 1];
        if (d.time < older.time || d.time > newer.time)
            continue;
        at = older;
        if (newer.time == older.time)
            return true;
        const double f = double(d.time - older.time) / double(newer.time - older.time);
        double newerSecond = newer.second;
        if (!older.grid) {
            // The shorter way across the date line.
            if (newerSecond - older.second > 180.0)
                newerSecond -= 360.0;
            else if (older.second - newerSecond > 180.0)
                newerSecond += 360.0;
        }
        // std::lerp: two finite values far apart give a finite value, where
        // their difference would not be one.
        at.first = std::lerp(older.first, newer.first, f);
        at.second = std::lerp(older.second, newerSecond, f);
        at.height = std::lerp(older.height, newer.height, f);
        if (!older.grid) {
            if (at.second > 180.0)
                at.second -= 360.0;
            else if (at.second < -180.0)
                at.second += 360.0;
        }
        return true;
    }
    return false;
}

std::string CCreateXyz::NextLine()
{
    // A depth older than the oldest position kept can never be placed.
    if (!m_positions.empty()) {
        const std::uint64_t oldest = m_positions.front().time;
        std::erase_if(m_depths, [oldest](const DepthRec& d) { return d.time < oldest; });
    }
    if (m_positions.size() < 2)
        return {};
    for (auto it = m_depths.begin(); it != m_depths.end(); ++it) {
        PosRec at;
        if (!Place(*it, at))
            continue;
        const DepthRec d = *it;
        m_depths.erase(it);
        // Grid: "%6.3f %7.3f %.2f ddMMyyyy HHmmss.cc %.3f"; degrees:
        // "%4.7f %5.7f %.2f ddMMyyyy HHmmss.cc %.2f", in local time.
        const SYSTEMTIME st = CRecordTime::Local(d.time);
        std::string line;
        line.reserve(64);
        AppendFixed(line, at.first, m_grid ? 6 : 4, m_grid ? 3 : 7);
        line += ' ';
        AppendFixed(line, at.second, m_grid ? 7 : 5, m_grid ? 3 : 7);
        line += ' ';
        AppendFixed(line, d.depth, 0, 2);
        line += ' ';
        AppendDigits(line, st.wDay, 2);
        AppendDigits(line, st.wMonth, 2);
        AppendDigits(line, st.wYear, 4);
        line += ' ';
        AppendDigits(line, st.wHour, 2);
        AppendDigits(line, st.wMinute, 2);
        AppendDigits(line, st.wSecond, 2);
        line += '.';
        AppendDigits(line, st.wMilliseconds / 10u, 2);
        line += ' ';
        AppendFixed(line, at.height - m_heightOffset, 0, m_grid ? 3 : 2);
        return line;
    }
    return {};
}

}  // namespace zv::recording
