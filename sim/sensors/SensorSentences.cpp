#include "sim/sensors/SensorSentences.h"

#include "platform/FileTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace zv::sim {

namespace {

std::string Format(const char* format, double a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

struct STime
{
    std::string hhmmss;  // "hhmmss.ss"
    std::string date;    // "ddmmyy"
    SYSTEMTIME st{};
};

STime TimeOf(const SSensorScene& scene)
{
    STime t;
    const std::uint64_t now = scene.time ? *scene.time : CFileTime::Now();
    CFileTime::ToSystemTime(now, t.st);
    char text[32];
    std::snprintf(text, sizeof text, "%02u%02u%02u.%02u", t.st.wHour, t.st.wMinute, t.st.wSecond,
                  t.st.wMilliseconds / 10);
    t.hhmmss = text;
    std::snprintf(text, sizeof text, "%02u%02u%02u", t.st.wDay, t.st.wMonth, t.st.wYear % 100);
    t.date = text;
    return t;
}

std::string Lat(const SSensorScene& s)
{
    return Format("%09.4f", s.latitude) + ",N";
}

std::string Lon(const SSensorScene& s)
{
    return Format("%010.4f", s.longitude) + ",E";
}

std::string Grid(const SSensorScene& s)
{
    return Format("%.3f", s.easting) + ",M," + Format("%.3f", s.northing) + ",M";
}

std::string DepthUnits(double metres)
{
    return Number(metres / 0.3048, 2) + ",f," + Number(metres, 2) + ",M," + Number(metres / 1.8288, 2) + ",F";
}

// A whole number in a signed 16-bit word, cut to it.
int Word(double value)
{
    return static_cast<int>(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

// The ASCII motion line:
//   :XXAAAA MHHHHQMRRRR MPPPP
// 1-2 and 3-6 horizontal and vertical acceleration (hex), 8-12 heave (cm),
// 13 status ('F', or '?' when the sensor does not trust its values), 14-18
// roll, 20-24 pitch (0.01 degree).
std::string MotionAscii(const SSensorScene& s)
{
    char text[64];
    const auto field = [](double v) {
        char f[8];
        const int w = std::clamp(Word(v), -9999, 9999);
        std::snprintf(f, sizeof f, "%c%04d", w < 0 ? '-' : ' ', std::abs(w));
        return std::string(f);
    };
    std::snprintf(text, sizeof text, ":%02X%04X %s%c%s %s", 0, 0, field(s.heave * 100).c_str(),
                  s.motionValid ? 'F' : '?', field(s.roll * 100).c_str(), field(s.pitch * 100).c_str());
    return text;
}

// The binary telegrams: two leading bytes, then roll, pitch (0.01 degree),
// heave (cm) and heading (0.01 degree) as 16-bit little-endian words.
std::string MotionBinary(unsigned char first, const SSensorScene& s)
{
    std::string b{static_cast<char>(first), static_cast<char>(0x90)};
    for (int v : {Word(s.roll * 100), Word(s.pitch * 100), Word(s.heave * 100), Word(s.heading * 100)}) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    }
    return b;
}

// $PKVRP,0,0,0,D,unit,sensor,0,depth,0,2 for each net sensor.
std::string NetSensors(const SSensorScene& s, bool fathoms)
{
    std::string lines;
    for (int i = 0; i < 3; ++i) {
        const double depth = fathoms ? s.netDepth[i] / 1.8288 : s.netDepth[i];
        if (i > 0)
            lines += "\r\n";
        lines += std::string("$PKVRP,0,0,0,D,") + (fathoms ? "F" : "M") + "," + std::to_string(i + 1) + ",0," +
                 Number(depth, 3) + ",0,2";
    }
    return lines;
}

}  // namespace

void MoveScene(const SMotionScene& m, std::uint64_t time, SSensorScene& scene)
{
    // Seconds within a day keep the phase exact in a double.
    const double t = static_cast<double>(time % (864'000'000'000ULL)) / 1e7;
    const auto sine = [t](double amplitude, double period) {
        return period > 0 ? amplitude * std::sin(2.0 * M_PI * t / period) : 0.0;
    };
    scene.heave = sine(m.heaveAmplitude, m.heavePeriod);
    scene.roll = sine(m.rollAmplitude, m.rollPeriod);
    scene.pitch = sine(m.pitchAmplitude, m.pitchPeriod);
}

bool IsBinaryKind(const std::string& kind)
{
    return kind == "MOTION-VN3500" || kind == "MOTION-VN1500";
}

std::string Number(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    const std::size_t dot = s.find('.');
    if (dot == std::string::npos)
        return s + ".0";
    while (s.size() > dot + 2 && s.back() == '0')
        s.pop_back();
    return s;
}

std::string WithChecksum(const std::string& body)
{
    unsigned sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i)
        sum ^= static_cast<unsigned char>(body[i]);
    char text[8];
    std::snprintf(text, sizeof text, "*%02X", sum & 0xFF);
    return body + text;
}

const std::vector<std::string>& SentenceKinds()
{
    static const std::vector<std::string> kinds = {
        "GLL", "GGA", "GXA",   "GGK",          "PTNLGGK",       "PTNLPJK",       "LLQ",  "LLK",
        "VTG", "ZDA", "HDT",   "HDR",          "HDG",           "DPT",           "DBS",  "DBT",
        "HFB", "MTW", "ASCII", "MOTION-ASCII", "MOTION-VN3500", "MOTION-VN1500", "PKVR", "PKVR-F"};
    return kinds;
}

std::optional<std::string> EncodeSentence(const std::string& kind, const SSensorScene& s)
{
    const STime t = TimeOf(s);
    std::string body;
    if (kind == "GLL") {
        // $GPGLL,lat,N,lon,E,time,A
        body = "$GPGLL," + Lat(s) + "," + Lon(s) + "," + t.hhmmss + ",A";
    } else if (kind == "GGA") {
        // $GPGGA,time,lat,N,lon,E,quality,satellites,dilution,height,M,geoid,M,,
        body = "$GPGGA," + t.hhmmss + "," + Lat(s) + "," + Lon(s) + ",1,08,0.9,45.4,M,39.1,M,,";
    } else if (kind == "GXA") {
        // $GPGXA,time,lat,N,lon,E,waypoint,satellite
        body = "$GPGXA," + t.hhmmss + "," + Lat(s) + "," + Lon(s) + ",0001,3";
    } else if (kind == "GGK") {
        // $GPGGK,time,date,lat,N,lon,E,quality,satellites,dilution,height
        body = "$GPGGK," + t.hhmmss + "," + t.date + "," + Lat(s) + "," + Lon(s) + ",3,08,1.1,EHT45.4,M";
    } else if (kind == "PTNLGGK") {
        // $PTNL,GGK,time,date,lat,N,lon,E,quality,satellites,dilution,height
        body = "$PTNL,GGK," + t.hhmmss + "," + t.date + "," + Lat(s) + "," + Lon(s) + ",3,08,1.1,EHT45.4,M";
    } else if (kind == "PTNLPJK") {
        // $PTNL,PJK,time,date,northing,N,easting,E,quality,satellites,dilution,height
        body = "$PTNL,PJK," + t.hhmmss + "," + t.date + "," + Format("%.3f", s.northing) + ",N," +
               Format("%.3f", s.easting) + ",E,3,08,1.1,EHT45.4,M";
    } else if (kind == "LLQ") {
        // $GPLLQ,time,date,easting,M,northing,M,quality,satellites,dilution,height,M
        body = "$GPLLQ," + t.hhmmss + "," + t.date + "," + Grid(s) + ",3,08,0.010,45.4,M";
    } else if (kind == "LLK") {
        body = "$GPLLK," + t.hhmmss + "," + t.date + "," + Grid(s) + ",3,08,0.010,45.4,M";
    } else if (kind == "VTG") {
        // $GPVTG,course,T,course,M,knots,N,km/h,K
        body = "$GPVTG," + Number(s.course, 1) + ",T," + Number(s.course, 1) + ",M," + Number(s.speed, 2) + ",N," +
               Number(s.speed * 1.852, 2) + ",K";
    } else if (kind == "ZDA") {
        // $GPZDA,time,day,month,year,zone hours,zone minutes
        char date[32];
        std::snprintf(date, sizeof date, "%02u,%02u,%04u", t.st.wDay, t.st.wMonth, t.st.wYear);
        body = "$GPZDA," + t.hhmmss + "," + date + ",00,00";
    } else if (kind == "HDT" || kind == "HDR") {
        body = "$HE" + kind + "," + Number(s.heading, 2) + ",T";
    } else if (kind == "HDG") {
        // $HEHDG,heading,deviation,E,variation,E
        body = "$HEHDG," + Number(s.heading, 2) + ",0.0,E,0.0,E";
    } else if (kind == "DPT") {
        // $SDDPT,below the sensor,offset
        body = "$SDDPT," + Number(s.depth - s.offset, 2) + "," + Number(s.offset, 2);
    } else if (kind == "DBS" || kind == "DBT") {
        body = "$SD" + kind + "," + DepthUnits(s.depth);
    } else if (kind == "HFB") {
        // $IIHFB,opening,M
        body = "$IIHFB," + Number(s.opening, 2) + ",M";
    } else if (kind == "MTW") {
        // $YXMTW,temperature,C
        body = "$YXMTW," + Number(s.temperature, 2) + ",C";
    } else if (kind == "ASCII") {
        // A plain position line: POS,lat,N,lon,E (no checksum).
        return "POS," + Lat(s) + "," + Lon(s);
    } else if (kind == "MOTION-ASCII") {
        return MotionAscii(s);
    } else if (kind == "MOTION-VN3500") {
        return MotionBinary(0x90, s);
    } else if (kind == "MOTION-VN1500") {
        return MotionBinary(0x00, s);
    } else if (kind == "PKVR" || kind == "PKVR-F") {
        return NetSensors(s, kind == "PKVR-F");
    } else {
        return std::nullopt;
    }
    return WithChecksum(body);
}

}  // namespace zv::sim
