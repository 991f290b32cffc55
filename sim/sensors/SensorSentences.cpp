#include "sim/sensors/SensorSentences.h"

#include "platform/FileTime.h"

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

}  // namespace

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
    static const std::vector<std::string> kinds = {"GLL", "GGA", "GXA", "GGK", "PTNLGGK", "PTNLPJK", "LLQ",
                                                   "LLK", "VTG", "ZDA", "HDT", "HDR",     "HDG",     "DPT",
                                                   "DBS", "DBT", "HFB", "MTW", "ASCII"};
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
    } else {
        return std::nullopt;
    }
    return WithChecksum(body);
}

}  // namespace zv::sim
