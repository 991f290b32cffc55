#include "sim/serialpeer/HubTelegrams.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace zv::sim {

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    if (!text.empty() && text.back() == separator)
        fields.emplace_back();
    return fields;
}

bool Number(const std::string& text, double& value)
{
    const char* begin = text.c_str();
    while (*begin == ' ')
        ++begin;
    char* end = nullptr;
    value = std::strtod(begin, &end);
    return end != begin && *end == '\0';
}

// Strips "*hh" (two hex digits, the first may be a blank) after checking it
// against the XOR of every character after the first; false when it fails.
bool StripChecksum(std::string& line)
{
    const std::size_t star = line.rfind('*');
    if (star == std::string::npos || star + 3 != line.size())
        return true;  // none
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    std::string digits = line.substr(star + 1);
    if (digits[0] == ' ')
        digits[0] = '0';
    char* end = nullptr;
    const unsigned long given = std::strtoul(digits.c_str(), &end, 16);
    if (*end != '\0' || given != sum)
        return false;
    line.resize(star);
    return true;
}

bool Numbers(const std::vector<std::string>& fields, std::size_t from, std::vector<double>& out)
{
    for (std::size_t i = from; i < fields.size(); ++i) {
        double v = 0.0;
        if (!Number(fields[i], v))
            return false;
        out.push_back(v);
    }
    return true;
}

// "CS,hhmmsshh,text" and its kin.
std::optional<SHubTelegram> Tagged(const std::string& kind, const std::string& line)
{
    const std::size_t first = line.find(',');
    const std::size_t second = line.find(',', first + 1);
    if (second == std::string::npos || second - first - 1 != 8)
        return std::nullopt;
    SHubTelegram t;
    t.kind = kind;
    t.time = line.substr(first + 1, 8);
    t.text = line.substr(second + 1);
    return t;
}

}  // namespace

std::optional<SHubTelegram> DecodeHubTelegram(const std::string& input)
{
    std::string line = input;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.empty())
        return std::nullopt;
    if (!StripChecksum(line))
        return std::nullopt;
    const std::vector<std::string> f = Split(line, ',');
    SHubTelegram t;
    const std::string& head = f[0];

    for (const char* nmea : {"DBS", "DPT", "DBT"})
        if (head == std::string("$SD") + nmea) {
            t.kind = nmea;
            // DBS and DBT: feet, f, metres, M, fathoms, F; DPT: depth, offset.
            if (t.kind == "DPT") {
                if (f.size() != 3 || !Numbers(f, 1, t.values))
                    return std::nullopt;
            } else {
                if (f.size() != 7 || f[2] != "f" || f[4] != "M" || f[6] != "F")
                    return std::nullopt;
                for (std::size_t i : {1u, 3u, 5u}) {
                    double v = 0.0;
                    if (!Number(f[i], v))
                        return std::nullopt;
                    t.values.push_back(v);
                }
            }
            return t;
        }
    if (head == "$SDMTW") {
        t.kind = "MTW";
        double v = 0.0;
        if (f.size() != 3 || f[2] != "C" || !Number(f[1], v))
            return std::nullopt;
        t.values.push_back(v);
        return t;
    }
    if (head == "$PSDF") {
        t.kind = "PSDF";
        if (f.size() != 7 || !Numbers(f, 1, t.values))
            return std::nullopt;
        return t;
    }
    if (head == "$") {
        // "$,time," then four pairs of cm and the sound velocity.
        t.kind = "$";
        if (f.size() != 11 || f[1].size() != 8 || !Numbers(f, 2, t.values))
            return std::nullopt;
        t.time = f[1];
        return t;
    }
    if ((head.rfind("DA", 0) == 0 || head.rfind("DB", 0) == 0) && line.size() == 12 && line.substr(10) == " m") {
        t.kind = head.substr(0, 2);
        double v = 0.0;
        if (!Number(line.substr(2, 8), v))
            return std::nullopt;
        t.values.push_back(v);
        return t;
    }
    if (head.size() == 2 && head[0] == 'D' && head[1] >= '1' && head[1] <= '9') {
        // D<n>,hhmmsshh,depth,+second,  1,  0[,kHz,draft,velocity]
        t.kind = "D";
        if ((f.size() != 6 && f.size() != 9) || f[1].size() != 8 || f[4] != "  1" || f[5] != "  0")
            return std::nullopt;
        t.time = f[1];
        t.values.push_back(head[1] - '0');
        for (std::size_t i : {2u, 3u}) {
            double v = 0.0;
            if (!Number(f[i], v))
                return std::nullopt;
            t.values.push_back(v);
        }
        std::vector<double> added;
        if (!Numbers(std::vector<std::string>(f.begin() + 6, f.end()), 0, added))
            return std::nullopt;
        t.values.insert(t.values.end(), added.begin(), added.end());
        return t;
    }
    if (head == "MS") {
        t.kind = "MS";
        if (f.size() != 5 || f[1].size() != 8 || !Numbers(f, 2, t.values))
            return std::nullopt;
        t.time = f[1];
        return t;
    }
    for (const char* tag : {"CS", "GL", "ST", "SV"})
        if (head == tag)
            return Tagged(tag, line);
    t.kind = "RELAY";
    t.text = line;
    return t;
}

std::string Describe(const SHubTelegram& t)
{
    std::string out = t.kind;
    if (!t.time.empty())
        out += " " + t.time;
    for (double v : t.values) {
        char number[64];
        std::snprintf(number, sizeof number, " %.2f", v);
        out += number;
    }
    if (!t.text.empty())
        out += " " + t.text;
    return out;
}

const std::vector<std::string>& HubInputKinds()
{
    static const std::vector<std::string> kinds = {"CALC", "S10", "SVPLUS", "PROFILE_HEADER", "SV", "ATS",
                                                   "CS",   "PE",  "TIDE"};
    return kinds;
}

std::string HubInput(const std::string& kind)
{
    if (kind == "CALC")
        return "CALC cast from the peer\r\nDATE:17/05/2024 TIME:13:45\r\nDEPTH (M)   VELOCITY (M/S)\r\n"
               "  0.50   1500.10\r\n  5.00   1495.20\r\n 15.00   1488.75\r\n  0  0  0\r\n";
    if (kind == "S10")
        return "$ABS10,7,2,134502,17,05,2024,0.0,1500.0,0,0,0,10.0,1490.5,0,0,0,5930.12,N,01020.45,E\\\r\n";
    if (kind == "SVPLUS")
        return "SvPlus peer export\r\nSvPlus 3000 serial 42\r\nDate Time Depth P1 P2 Sound T1 T2\r\n"
               "17/05/24 13:45:02 5 0 0 150012 0 0\r\n17/05/24 13:45:03 25 0 0 149820 0 0\r\n"
               "17/05/24 13:45:04 0 0 0 0 0 0\r\n";
    if (kind == "PROFILE_HEADER")
        return "PROFILE_HEADER\r\nLast_State_Change_Time : 17/MAY/2024 13:45:02\r\nLatitude : 59 30.12N\r\n"
               "Longitude : 010 20.45E\r\nNo_of_Breakpoints : 2\r\nDeglitch_Filter_Order : 2\r\n"
               "1 0.0 0.5 10.2 1500.3\r\n2 0.1 12.0 9.8 1494.0\r\n";
    if (kind == "SV")
        return "SV,134502,3,0.0,1500.0,10.0,1490.5,30.0,1482.25\r\n";
    if (kind == "ATS")
        return "$PZATS,buoy dropped\r\n";
    if (kind == "CS")
        return "CS,net in the water\r\n";
    if (kind == "PE")
        return "PE,SYSTEM STARTPINGING\r\n";
    if (kind == "TIDE")
        return "$PTIDE,x,1.25\r\n";
    return {};
}

}  // namespace zv::sim
