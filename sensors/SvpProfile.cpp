#include "sensors/SvpProfile.h"

#include "platform/DurableFile.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

// Profile files are small; anything far larger is not one of ours and is
// refused rather than read into memory.
constexpr std::size_t MaxProfileFileSize = 32u * 1024u * 1024u;

constexpr const char* AsvpHeaderFormat = "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE ";

// ---- number fields, scanf-like ------------------------------------------
// Each scan skips leading white space of the field, takes the longest number
// that follows in the C locale and leaves the rest for the next field. The
// field is copied first, so a scan never runs on into the next line. Values
// that are not finite are refused: they would poison sorting and every mean.

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void SkipBlanks(std::string_view& s)
{
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    s.remove_prefix(i);
}

bool ScanDouble(std::string_view& s, double& value)
{
    SkipBlanks(s);
    const std::string field(s.substr(0, s.find_first_of(" \t\r\n,")));
    const char* end = nullptr;
    double v = CNumberText::ParseDouble(field.c_str(), &end);
    if (end == field.c_str() || !std::isfinite(v))
        return false;
    value = v;
    s.remove_prefix(static_cast<std::size_t>(end - field.c_str()));
    return true;
}

bool ScanFloat(std::string_view& s, double& value)
{
    double v = 0.0;
    if (!ScanDouble(s, v))
        return false;
    // The file readers take single precision and widen it, as the files
    // were always read.
    value = static_cast<double>(static_cast<float>(v));
    return std::isfinite(value);
}

bool ScanInt(std::string_view& s, long long& value)
{
    SkipBlanks(s);
    const std::string field(s.substr(0, s.find_first_of(" \t\r\n,")));
    const char* end = nullptr;
    long v = CNumberText::ParseLong(field.c_str(), &end);
    if (end == field.c_str())
        return false;
    value = v;
    s.remove_prefix(static_cast<std::size_t>(end - field.c_str()));
    return true;
}

// A "%s" field: the next run of non-blank characters.
bool ScanWord(std::string_view& s, std::string_view& word)
{
    SkipBlanks(s);
    std::size_t n = 0;
    while (n < s.size() && !IsBlank(s[n]))
        ++n;
    if (n == 0)
        return false;
    word = s.substr(0, n);
    s.remove_prefix(n);
    return true;
}

// Leading number of a field, 0 when there is none (atof-like).
double LeadingNumber(std::string_view s)
{
    double v = 0.0;
    return ScanDouble(s, v) ? v : 0.0;
}

int LeadingInt(std::string_view s)
{
    long long v = 0;
    if (!ScanInt(s, v) || v > 0x7FFFFFFF || v < -0x7FFFFFFF)
        return 0;
    return static_cast<int>(v);
}

bool IsBlankLine(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), IsBlank);
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

// Tokens between any of the separators; runs of separators give no empty
// token.
std::vector<std::string_view> Tokens(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        i = text.find_first_not_of(separators, i);
        if (i == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(separators, i);
        if (end == std::string_view::npos)
            end = text.size();
        tokens.push_back(text.substr(i, end - i));
        i = end;
    }
    return tokens;
}

// Characters first..last (1-based, inclusive) of a field; empty when the
// field is too short to hold them.
std::string_view Chars(std::string_view s, std::size_t first, std::size_t last)
{
    if (first < 1 || last < first || s.size() < last)
        return {};
    return s.substr(first - 1, last - first + 1);
}

// A two-digit part of a time or date (four digits for a year); -1 when
// absent, and for a longer field, which is no such part and would not fit.
int DigitsOf(std::string_view s)
{
    if (s.empty() || s.size() > 4)
        return -1;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::tm LocalNow()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

// Calendar time of a local date and time; parts that could not be read are
// left as they are in the base.
std::time_t MakeLocalTime(std::tm tm, int hour, int minute, int second)
{
    if (hour >= 0)
        tm.tm_hour = hour;
    if (minute >= 0)
        tm.tm_min = minute;
    if (second >= 0)
        tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// "hhmmss": hour from characters 1-2, minute 3-4, second the last two.
void TimeFromCompact(std::string_view field, int& h, int& m, int& s)
{
    h = DigitsOf(Chars(field, 1, 2));
    m = DigitsOf(Chars(field, 3, 4));
    s = field.size() >= 2 ? DigitsOf(field.substr(field.size() - 2)) : -1;
}

// "hh?mm?ss": hour from characters 1-2, minute 4-5, second the last two.
void TimeFromSeparated(std::string_view field, int& h, int& m, int& s)
{
    h = DigitsOf(Chars(field, 1, 2));
    m = DigitsOf(Chars(field, 4, 5));
    s = field.size() >= 2 ? DigitsOf(field.substr(field.size() - 2)) : -1;
}

std::tm TodayAtMidnight()
{
    std::tm tm = LocalNow();
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    return tm;
}

void Failed(const char* title)
{
    MessageBox(GetMainWindow(), "Failed", title, MB_ICONHAND);
}

bool Contains(std::string_view text, std::string_view what)
{
    return text.find(what) != std::string_view::npos;
}

}  // namespace

void CSvpProfile::Clear()
{
    m_points.clear();
    m_bS10 = FALSE;
}

int CSvpProfile::ConversionError(const char* text)
{
    // A malformed text yields no profile at all, not the part before the
    // fault.
    m_points.clear();
    MessageBox(GetMainWindow(), text, "", MB_ICONEXCLAMATION);
    return 0;
}

bool CSvpProfile::RefuseRow(std::size_t row, double depth, double velocity)
{
    if (std::isfinite(depth) && std::isfinite(velocity) && depth <= MaxDepth)
        return false;
    ConversionError(("Svp row " + std::to_string(row) + " refused: depth " + CNumberText::Format("%g", depth) +
                     " m, velocity " + CNumberText::Format("%g", velocity) + " m/s\nNo profile taken")
                        .c_str());
    return true;
}

void CSvpProfile::AddIfPlausible(double depth, double velocity)
{
    if (velocity >= MinVelocity && velocity <= MaxVelocity)
        m_points.push_back({depth, velocity});
}

void CSvpProfile::AddIfPositive(double depth, double velocity)
{
    // No window for these probes' files, but a velocity of 0 or below is no
    // velocity: it would stop every depth taken from a travel time.
    if (velocity > 0.0)
        m_points.push_back({depth, velocity});
}

int CSvpProfile::WriteAsvp(const std::string& path) const
{
    std::string text = AsvpHeaderFormat + std::to_string(m_points.size()) + " )\r\n";
    for (const _svpPair& p : m_points)
        text += CNumberText::Fixed(p.depth, 1) + " " + CNumberText::Fixed(p.velocity, 1) + "\r\n";

    // A failed write (disk full) never costs the profile already stored
    // under that name, and a stored one survives a power cut.
    if (CDurableFile::Replace(CPaths::MapWindowsPath(path), text) != 0) {
        MessageBox(GetMainWindow(), "Could not write Svp file\nNo file stored", "", MB_ICONEXCLAMATION);
        return 0;
    }
    return static_cast<int>(m_points.size());
}

int CSvpProfile::ReadAsvpLines(const std::string& text)
{
    std::tm now = LocalNow();
    m_time = MakeLocalTime(now, -1, -1, 0);
    Clear();
    std::vector<std::string_view> lines = SplitLines(text);
    int taken = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view rest = lines[i];
        double depth = 0.0;
        double velocity = 0.0;
        if (!ScanFloat(rest, depth) || !ScanFloat(rest, velocity))
            continue;
        if (RefuseRow(i + 1, depth, velocity))
            return 0;
        if (velocity >= MinVelocity && velocity <= MaxVelocity) {
            m_points.push_back({depth, velocity});
            ++taken;
        }
    }
    return taken;
}

int CSvpProfile::ParseDatagram(const std::string& path, DWORD format)
{
    std::ifstream in(CPaths::MapWindowsPath(path), std::ios::binary);
    if (!in)
        return 0;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<unsigned long long>(size) > MaxProfileFileSize)
        return 0;
    in.seekg(0, std::ios::beg);
    std::string raw(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(raw.data(), size))
        return 0;

    int chosen = static_cast<int>(format);
    if (path.find(".asvp") == std::string::npos) {
        std::string text;
        for (std::string_view line : SplitLines(raw)) {
            text.append(line);
            text += "\r\n";
        }
        if (Contains(text, "CALC"))
            chosen = FormatCalc;
        else if (text.size() >= 4 && text[0] == '$' && text[3] == 'S')
            chosen = FormatS10;
        else if (Contains(text, "SvPlus"))
            chosen = FormatSbe;
        else if (Contains(text, "PROFILE_HEADER"))
            chosen = FormatXbt;
        else if (Contains(text, "( SoundVelocity"))
            chosen = FormatAsvp;
        else {
            MessageBox(GetMainWindow(), "Unknown Svp datagram format", "", MB_ICONEXCLAMATION);
            return 0;
        }
        if (chosen != FormatAsvp)
            return Import(chosen, text);
    }
    if (chosen != FormatAsvp)
        return 0;
    return ReadAsvpLines(raw);
}

int CSvpProfile::Import(int format, const char* text, size_t length)
{
    const std::string copy(text ? text : "", text ? length : 0);
    Clear();
    switch (format) {
    case FormatCalc:
        return ImportCalc(copy);
    case FormatS10:
        return ImportS10(copy);
    case FormatZelvarA:
        return ImportZelvarA(copy);
    case FormatSbe:
        return ImportSbe(copy);
    case FormatXbt:
        return ImportXbt(copy);
    default:
        MessageBox(GetMainWindow(), "Unknown SV Type", "", MB_ICONEXCLAMATION);
        return 0;
    }
}

// CALC cast as a probe writes it:
//   ... TIME:13:45 ...
//   DEPTH (M)  VELOCITY (M/S)
//   0.5   1500.1   ...
//   0  0  0            <- end of the list
int CSvpProfile::ImportCalc(std::string_view text)
{
    if (!Contains(text, "CALC")) {
        Failed("ConvertCALC");
        return 0;
    }
    int hour = -1;
    int minute = -1;
    if (std::size_t t = text.find("TIME:"); t != std::string_view::npos) {
        std::string_view after = text.substr(t + 5);
        hour = DigitsOf(Chars(after, 1, 2));
        minute = DigitsOf(Chars(after, 4, 5));
    }
    m_time = MakeLocalTime(TodayAtMidnight(), hour, minute, 0);

    std::vector<std::string_view> lines = SplitLines(text);
    std::size_t first = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (Contains(lines[i], "(M/S)")) {
            first = i + 1;
            break;
        }
    if (first >= lines.size()) {
        return ConversionError("Error converting AML CALC format");
    }
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        std::string_view rest = lines[i];
        double depth = 0.0;
        double velocity = 0.0;
        if (!ScanFloat(rest, depth) || !ScanFloat(rest, velocity)) {
            return ConversionError("Error converting AML CALC format");
        }
        if (depth == 0.0 && velocity == 0.0)
            break;
        if (RefuseRow(i + 1, depth, velocity))
            return 0;
        AddIfPlausible(depth, velocity);
    }
    return GetCount();
}

// $xxS10,<id>,<N>,<hhmmss>,<day>,<month>,<year>,
//   N x (<depth>,<velocity>,<x>,<x>,<x>),<lat>,<N|S>,<lon>,<E|W> then a backslash
// Tokens may be separated by blanks, commas, tabs or line ends.
int CSvpProfile::ImportS10(std::string_view text)
{
    if (text.empty() || text[0] != '$')
        return 0;
    std::vector<std::string_view> tok = Tokens(text, " ,\t\r\n");
    // Tokens are counted from 1 in the description of the sentence.
    auto at = [&tok](std::size_t n) -> std::string_view {
        return n >= 1 && n <= tok.size() ? tok[n - 1] : std::string_view{};
    };

    std::string_view name = at(1);
    m_bS10 = name.size() >= 3 && name.substr(name.size() - 3) == "S10";
    if (tok.size() < 7)
        return 0;
    long long announced = LeadingInt(at(3));
    int h = -1, m = -1, s = -1;
    TimeFromCompact(at(4), h, m, s);
    std::tm tm = TodayAtMidnight();
    int day = DigitsOf(at(5));
    int month = DigitsOf(at(6));
    int year = DigitsOf(at(7));
    if (day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 0) {
        tm.tm_mday = day;
        tm.tm_mon = month - 1;
        tm.tm_year = (year < 100 ? year + 2000 : year) - 1900;
    }
    m_time = MakeLocalTime(tm, h, m, s);

    // The announced count comes from outside: a sentence that holds fewer
    // groups than it announces is malformed and yields nothing.
    if (announced < 0 || static_cast<unsigned long long>(announced) > (tok.size() - 7) / 5)
        return 0;
    std::size_t next = 8;
    for (long long i = 0; i < announced; ++i, next += 5) {
        std::string_view dField = at(next);
        std::string_view vField = at(next + 1);
        double depth = 0.0;
        double velocity = 0.0;
        if (!ScanDouble(dField, depth) || !ScanDouble(vField, velocity)) {
            m_points.clear();
            return 0;
        }
        if (RefuseRow(static_cast<std::size_t>(i) + 1, depth, velocity))
            return 0;
        AddIfPlausible(depth, velocity);
    }
    if (next + 3 <= tok.size()) {
        m_latitude = LeadingNumber(at(next));
        m_latHemisphere = at(next + 1).empty() ? 0 : at(next + 1)[0];
        m_longitude = LeadingNumber(at(next + 2));
        m_lonHemisphere = at(next + 3).empty() ? 0 : at(next + 3)[0];
    }
    return GetCount();
}

// SV,<hhmmss>,<N>,<depth>,<velocity>,...  (N pairs)
int CSvpProfile::ImportZelvarA(std::string_view text)
{
    if (!((text.size() >= 1 && text[0] == 'S') || (text.size() >= 2 && text[1] == 'V'))) {
        Failed("ConvertZelvarA");
        return 0;
    }
    std::vector<std::string_view> tok = Tokens(text, ",");
    auto at = [&tok](std::size_t n) -> std::string_view {
        return n >= 1 && n <= tok.size() ? tok[n - 1] : std::string_view{};
    };
    int h = -1, m = -1, s = -1;
    TimeFromCompact(at(2), h, m, s);
    m_time = MakeLocalTime(TodayAtMidnight(), h, m, s);

    std::string_view countField = at(3);
    long long announced = 0;
    if (!ScanInt(countField, announced) || announced < 0 || static_cast<unsigned long long>(announced) > tok.size()) {
        return ConversionError("Error converting Zelvar-A format");
    }
    for (long long i = 0; i < announced; ++i) {
        std::string_view dField = at(4 + 2 * static_cast<std::size_t>(i));
        std::string_view vField = at(5 + 2 * static_cast<std::size_t>(i));
        double depth = 0.0;
        double velocity = 0.0;
        if (!ScanDouble(dField, depth) || !ScanDouble(vField, velocity)) {
            return ConversionError("Error converting Zelvar-A format");
        }
        if (RefuseRow(static_cast<std::size_t>(i) + 1, depth, velocity))
            return 0;
        AddIfPlausible(depth, velocity);
    }
    return GetCount();
}

// Plain SBE cast, one line per sample:
//   <hh:mm:ss> <depth dm> <x> <x> <velocity cm/s> <x> <x>
// SvPlus cast: a header ending in a line holding "Sound", then
//   <date> <hh:mm:ss> <depth dm> <x> <x> <velocity cm/s> <x> <x>
// A line with depth 0 and velocity 0 ends either list.
int CSvpProfile::ImportSbe(std::string_view text)
{
    m_latitude = m_longitude = 0.0;
    m_latHemisphere = m_lonHemisphere = 'I';

    std::vector<std::string_view> lines = SplitLines(text);
    std::size_t first = 0;
    bool svPlus = false;
    if (std::size_t sp = text.rfind("SvPlus"); sp != std::string_view::npos) {
        svPlus = true;
        std::size_t sound = text.find("Sound", sp);
        if (sound == std::string_view::npos) {
            return ConversionError("Error converting file from SBE Win format");
        }
        // The line index holding "Sound": count the line ends before it.
        std::size_t soundLine =
            static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(sound), '\n'));
        first = soundLine + 1;
    }

    bool stamped = false;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        std::string_view rest = lines[i];
        std::string_view date;
        std::string_view time;
        long long v[6] = {};
        bool ok = (!svPlus || ScanWord(rest, date)) && ScanWord(rest, time);
        for (int k = 0; ok && k < 6; ++k)
            ok = ScanInt(rest, v[k]);
        if (!ok) {
            return ConversionError("Error converting file from SBE Win format");
        }
        if (!stamped) {
            int h = -1, m = -1, s = -1;
            TimeFromSeparated(time, h, m, s);
            m_time = MakeLocalTime(TodayAtMidnight(), h, m, s);
            stamped = true;
        }
        if (v[0] == 0 && v[3] == 0)
            break;
        if (RefuseRow(i + 1, static_cast<double>(v[0]) / 10.0, static_cast<double>(v[3]) / 100.0))
            return 0;
        AddIfPositive(static_cast<double>(v[0]) / 10.0, static_cast<double>(v[3]) / 100.0);
    }
    return GetCount();
}

// Sonar2090 XBT file: a PROFILE_HEADER block with lines such as
//   Last_State_Change_Time : 17/MAY/2024 13:45:02
//   Latitude  : 59 30.12N
//   Longitude : 010 20.45E
//   No_of_Breakpoints : 3
//   Deglitch_Filter_Order : 2
// followed by the N breakpoint lines; depth is the third and velocity the
// fifth blank-separated column.
int CSvpProfile::ImportXbt(std::string_view text)
{
    if (!Contains(text, "PROFILE_HEADER")) {
        Failed("ConvertXBT");
        return 0;
    }
    constexpr const char* Error = "Error converting file from Sonar2090 XBT format";
    std::vector<std::string_view> lines = SplitLines(text);

    auto afterName = [](std::string_view line, std::string_view name) {
        std::string_view rest = line.substr(line.find(name) + name.size());
        std::size_t i = rest.find_first_not_of(" \t:=");
        return i == std::string_view::npos ? std::string_view{} : rest.substr(i);
    };
    auto afterColon = [](std::string_view line) {
        std::size_t c = line.find(':');
        if (c == std::string_view::npos)
            return std::string_view{};
        std::string_view rest = line.substr(c + 1);
        std::size_t i = rest.find_first_not_of(" \t");
        return i == std::string_view::npos ? std::string_view{} : rest.substr(i);
    };
    // degrees and minutes written apart, joined into one number ddmm.mm
    auto joined = [](std::string_view a, std::string_view b) {
        std::string s(a);
        s.append(b);
        return LeadingNumber(s);
    };

    long long announced = -1;
    std::size_t dataStart = lines.size();
    std::tm tm = TodayAtMidnight();
    int h = -1, m = -1, s = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (Contains(line, "Last_State_Change_Time")) {
            std::vector<std::string_view> f = Tokens(afterName(line, "Last_State_Change_Time"), " \t");
            if (!f.empty()) {
                int day = DigitsOf(Chars(f[0], 1, 2));
                int month = MonthFromName(Chars(f[0], 4, 6));
                int year = DigitsOf(Chars(f[0], 8, 11));
                if (day >= 1 && day <= 31 && month >= 1 && year >= 1900) {
                    tm.tm_mday = day;
                    tm.tm_mon = month - 1;
                    tm.tm_year = year - 1900;
                }
            }
            if (f.size() >= 2) {
                h = DigitsOf(Chars(f[1], 1, 2));
                m = DigitsOf(Chars(f[1], 4, 5));
                s = DigitsOf(Chars(f[1], 7, 8));
            }
        } else if (Contains(line, "Latitude")) {
            std::string_view v = afterColon(line);
            m_latitude = joined(Chars(v, 1, 2), Chars(v, 4, 7));
            m_latHemisphere = Contains(v, "N") ? 'N' : 'S';
        } else if (Contains(line, "Longitude")) {
            std::string_view v = afterColon(line);
            m_longitude = joined(Chars(v, 1, 3), Chars(v, 5, 8));
            m_lonHemisphere = Contains(v, "E") ? 'E' : 'W';
        } else if (Contains(line, "No_of_Breakpoints")) {
            std::string_view v = afterName(line, "No_of_Breakpoints");
            if (!ScanInt(v, announced))
                announced = -1;
        } else if (Contains(line, "Deglitch_Filter_Order")) {
            dataStart = i + 1;
            break;
        }
    }
    m_time = MakeLocalTime(tm, h, m, s);

    if (announced < 0 || dataStart > lines.size() ||
        static_cast<unsigned long long>(announced) > lines.size() - dataStart) {
        return ConversionError(Error);
    }
    for (long long i = 0; i < announced; ++i) {
        std::vector<std::string_view> f = Tokens(lines[dataStart + static_cast<std::size_t>(i)], " \t");
        double depth = 0.0;
        double velocity = 0.0;
        if (f.size() < 5 || !ScanDouble(f[2], depth) || !ScanDouble(f[4], velocity)) {
            return ConversionError(Error);
        }
        if (RefuseRow(dataStart + static_cast<std::size_t>(i) + 1, depth, velocity))
            return 0;
        AddIfPositive(depth, velocity);
    }
    return GetCount();
}

int CSvpProfile::ParseProfileText(const std::string& text, ULONGLONG fileTime)
{
    m_time = static_cast<std::time_t>(CFileTime::ToUnixSeconds(fileTime));

    std::vector<std::string_view> fields;
    std::string_view rest = text;
    while (true) {
        std::size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    int announced = LeadingInt(fields[0]);
    int taken = 0;
    for (int i = 0; i < announced && static_cast<std::size_t>(2 * i + 2) < fields.size(); ++i) {
        std::string_view dField = fields[static_cast<std::size_t>(2 * i + 1)];
        std::string_view vField = fields[static_cast<std::size_t>(2 * i + 2)];
        double depth = 0.0;
        double velocity = 0.0;
        if (!ScanDouble(dField, depth) || !ScanDouble(vField, velocity))
            continue;
        if (velocity >= MinVelocity && velocity <= MaxVelocity) {
            m_points.push_back({depth, velocity});
            ++taken;
        }
    }
    return taken;
}

void CSvpProfile::Update()
{
    if (m_points.empty())
        return;
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const _svpPair& a, const _svpPair& b) { return a.depth < b.depth; });
    // Rows above the surface describe no water; the surface takes the
    // velocity of the first row in it.
    m_points.erase(m_points.begin(),
                   std::find_if(m_points.begin(), m_points.end(), [](const _svpPair& p) { return p.depth >= 0.0; }));
    if (!m_points.empty() && m_points.front().depth != 0.0)
        m_points.insert(m_points.begin(), _svpPair{0.0, m_points.front().velocity});
}

int CSvpProfile::GetPoints(std::vector<double>& depths, std::vector<double>& velocities) const
{
    depths.clear();
    velocities.clear();
    for (const _svpPair& p : m_points) {
        if (!depths.empty() && !(p.depth > depths.back()))
            continue;
        depths.push_back(p.depth);
        velocities.push_back(p.velocity);
    }
    if (!depths.empty() && depths.front() > 0.0) {
        depths.insert(depths.begin(), 0.0);
        velocities.insert(velocities.begin(), velocities.front());
    }
    return static_cast<int>(depths.size());
}

std::string CSvpProfile::FormatProfile() const
{
    if (m_points.empty())
        return {};
    std::string text = std::to_string(m_points.size());
    for (const _svpPair& p : m_points) {
        text += ',';
        text += CNumberText::Fixed(p.depth, 2);
        text += ',';
        text += CNumberText::Fixed(p.velocity, 2);
    }
    return text;
}

std::string CSvpProfile::GetFolder(SounderModel model)
{
    switch (model) {
    case SounderModel::QY310:
        return "C:\\QY310\\svp\\";
    case SounderModel::QYNVU:
        return "C:\\QYNVU\\svp\\";
    default:
        return "C:\\QY210\\svp\\";
    }
}

int CSvpProfile::MonthFromName(std::string_view text)
{
    static constexpr const char* Names[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (int i = 0; i < 12; ++i)
        if (upper.find(Names[i]) != std::string::npos)
            return i + 1;
    return 0;
}
