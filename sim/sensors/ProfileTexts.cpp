#include "sim/sensors/ProfileTexts.h"

#include "platform/Socket.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace zv::sim {

namespace {

std::string Format(const char* format, auto... values)
{
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::string S10(const std::vector<std::pair<double, double>>& points, const std::tm& t)
{
    std::string text = Format("$ZVS10,0001,%zu,%02d%02d%02d,%02d,%02d,%02d\r\n", points.size(), t.tm_hour, t.tm_min,
                              t.tm_sec, t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
    // Depth, velocity, then temperature, salinity and a spare the receiver
    // skips.
    for (const auto& [depth, velocity] : points)
        text += Format("%.2f,%.2f,%.2f,35.00,0\r\n", depth, velocity, 10.0 - 0.05 * depth);
    return text + "5957.1234,N,01043.5678,E\r\n\\\r\n";
}

std::string Calc(const std::vector<std::pair<double, double>>& points, const std::tm& t)
{
    std::string text = Format("CALC,0001,%02d/%02d/%04d,PROBE\r\nTIME:%02d:%02d\r\nDEPTH (M)  VELOCITY (M/S)\r\n",
                              t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min);
    for (const auto& [depth, velocity] : points)
        text += Format("%.2f  %.2f\r\n", depth, velocity);
    return text + "0  0  0\r\n";
}

std::string SvPlus(const std::vector<std::pair<double, double>>& points, const std::tm& t)
{
    // Depth in decimetres and velocity in cm/s, as whole numbers.
    std::string text = "* SvPlus cast\r\n* instrument 0001\r\n* date time depth temp sal Sound pres flag\r\n";
    for (const auto& [depth, velocity] : points)
        text +=
            Format("%02d/%02d/%04d %02d:%02d:%02d %ld 100 350 %ld 0 0\r\n", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                   t.tm_hour, t.tm_min, t.tm_sec, std::lround(depth * 10.0), std::lround(velocity * 100.0));
    return text;
}

std::string ProfileHeader(const std::vector<std::pair<double, double>>& points, const std::tm& t)
{
    std::string text = "PROFILE_HEADER\r\n";
    text += Format("Last_State_Change_Time : %02d/%s/%04d %02d:%02d:%02d\r\n", t.tm_mday, kMonths[t.tm_mon],
                   t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    text += "Latitude  : 59 57.12N\r\nLongitude : 010 43.56E\r\n";
    text += Format("No_of_Breakpoints : %zu\r\nDeglitch_Filter_Order : 2\r\n", points.size());
    std::size_t n = 0;
    for (const auto& [depth, velocity] : points)
        text += Format("%zu 0.00 %.2f %.2f %.2f\r\n", ++n, depth, 10.0 - 0.05 * depth, velocity);
    return text;
}

std::string Sv(const std::vector<std::pair<double, double>>& points, const std::tm& t)
{
    std::string text = Format("SV,%02d%02d%02d,%zu", t.tm_hour, t.tm_min, t.tm_sec, points.size());
    for (const auto& [depth, velocity] : points)
        text += Format(",%.2f,%.2f", depth, velocity);
    return text + "\r\n";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

const std::vector<std::string>& ProfileKinds()
{
    static const std::vector<std::string> kinds = {"S10", "CALC", "SvPlus", "PROFILE_HEADER", "SV"};
    return kinds;
}

std::vector<std::pair<double, double>> ProfilePoints(const SProbeScene& scene, double spacing)
{
    std::vector<std::pair<double, double>> points;
    if (!(spacing > 0.0))
        return points;
    for (int i = 0;; ++i) {
        const double depth = i * spacing;
        if (depth > scene.castDepth + 1e-9)
            break;
        points.emplace_back(depth, scene.VelocityAt(depth));
    }
    return points;
}

std::optional<std::string> EncodeProfileText(const std::string& kind,
                                             const std::vector<std::pair<double, double>>& points)
{
    const std::tm now = LocalNow();
    if (kind == "S10")
        return S10(points, now);
    if (kind == "CALC")
        return Calc(points, now);
    if (kind == "SvPlus")
        return SvPlus(points, now);
    if (kind == "PROFILE_HEADER")
        return ProfileHeader(points, now);
    if (kind == "SV")
        return Sv(points, now);
    return std::nullopt;
}

std::vector<std::string> ProfileDatagrams(const std::string& kind, const std::string& text, unsigned pieces)
{
    const std::vector<std::string> lines = Lines(text);
    const bool ended = kind == "S10" || kind == "CALC";
    const std::size_t count = ended ? std::max<std::size_t>(1, std::min<std::size_t>(pieces, lines.size())) : 1;
    std::vector<std::string> datagrams;
    for (std::size_t piece = 0, line = 0; piece < count; ++piece) {
        // Runs as even as the lines allow; the last holds the end mark.
        const std::size_t until = (piece + 1) * lines.size() / count;
        std::string datagram;
        for (; line < until; ++line)
            datagram += (datagram.empty() ? "" : "\r\n") + lines[line];
        datagrams.push_back(datagram);
    }
    return datagrams;
}

bool SendToLoopback(std::uint16_t port, const std::vector<std::string>& datagrams, std::string& error)
{
    CSocket socket;
    if (!socket.Create(CSocket::Udp)) {
        error = "no socket";
        return false;
    }
    const SocketAddress to(SocketAddress::kLoopback, port);
    for (const std::string& datagram : datagrams)
        if (socket.SendTo(datagram.data(), datagram.size(), to) != static_cast<int>(datagram.size())) {
            error = "cannot send to " + to.Text();
            return false;
        }
    return true;
}

}  // namespace zv::sim
