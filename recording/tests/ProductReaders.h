// Readers of the recorder's side products, written from their published
// layouts (offsets and formats as the file descriptions give them), not from
// the recorder's writers, so that a writer that puts a field in the wrong
// place is caught. Each reader says how many bytes it could not read.
#pragma once

#include "platform/ByteReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace zv::recording::test {

// The products write local dates and times: a test runs them two hours east
// of UTC, so that a UTC time written where a local one belongs is seen.
struct SLocalZone
{
    SLocalZone()
    {
        if (const char* old = std::getenv("TZ"))
            saved = old, had = true;
        setenv("TZ", "ZVT-2", 1);
        tzset();
    }
    ~SLocalZone()
    {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string saved;
    bool had = false;
};

// --- dg: u32 L | 44-byte header | samples | u32 L ---------------------------

struct SDgRead
{
    char q = 0, channel = 0;
    std::string time;  // HHMMSScc
    bool commas = false;
    std::uint32_t tvg = 0;
    float bottom = 0, surfaceStart = 0, surfaceEnd = 0;
    std::uint32_t ns = 0;
    float bottomFirst = 0, bottomSecond = 0;
    std::uint32_t nb = 0;
    std::vector<std::int16_t> surface, bottomSamples;
};

struct SDgFile
{
    std::vector<SDgRead> records;
    std::size_t unread = 0;  // bytes after the last whole record
};

inline SDgFile ReadDg(const std::vector<std::uint8_t>& bytes)
{
    SDgFile f;
    CByteReader r(bytes);
    std::size_t at = 0;
    while (r.Has(at, 4)) {
        const std::uint32_t length = r.U32(at);
        if (length < 44 || !r.Has(at + 4, std::size_t(length) + 4) || r.U32(at + 4 + length) != length)
            break;
        const std::size_t b = at + 4;
        SDgRead d;
        d.q = char(r.U8(b + 0));
        d.channel = char(r.U8(b + 1));
        d.commas = r.U8(b + 2) == ',' && r.U8(b + 11) == ',';
        d.time = std::string(reinterpret_cast<const char*>(bytes.data() + b + 3), 8);
        d.tvg = r.U32(b + 12);
        d.bottom = r.F32(b + 16);
        d.surfaceStart = r.F32(b + 20);
        d.surfaceEnd = r.F32(b + 24);
        d.ns = r.U32(b + 28);
        d.bottomFirst = r.F32(b + 32);
        d.bottomSecond = r.F32(b + 36);
        d.nb = r.U32(b + 40);
        if (44 + 2 * (std::uint64_t(d.ns) + d.nb) != length)
            break;
        for (std::uint32_t i = 0; i < d.ns; ++i)
            d.surface.push_back(r.I16(b + 44 + 2 * i));
        for (std::uint32_t i = 0; i < d.nb; ++i)
            d.bottomSamples.push_back(r.I16(b + 44 + 2 * (d.ns + i)));
        f.records.push_back(d);
        at += std::size_t(length) + 8;
    }
    f.unread = bytes.size() - at;
    return f;
}

// --- xtf: file header, then records that each begin with 0xFACE ------------

struct SXtfChannelRead
{
    int type = 0, sub = 0, correction = 0, unipolar = 0, bytesPerSample = 0;
    std::string name;
    float voltScale = 0, frequency = 0, horizBeamAngle = 0, tilt = 0, beamWidth = 0;
    float offsetX = 0, offsetY = 0, offsetZ = 0, yaw = 0, pitch = 0, roll = 0;
};

struct SXtfPingChannelRead
{
    int number = 0;
    float slantRange = 0, timeDuration = 0;
    int processingFlags = 0, frequency = 0;
    std::uint32_t numSamples = 0;
    std::vector<std::uint16_t> samples;
};

struct SXtfTime
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct SXtfPingRead
{
    int subChannel = 0;
    std::uint32_t bytes = 0;
    SXtfTime time;
    int hseconds = 0;
    std::uint32_t pingNumber = 0;
    float soundVelocity = 0, computedSoundVelocity = 0;
    double shipY = 0, shipX = 0;
    float heading = 0;
    std::vector<SXtfPingChannelRead> channels;
};

struct SXtfNavigationRead
{
    std::uint32_t bytes = 0;
    SXtfTime time;
    int milliseconds = 0;
    double rawY = 0, rawX = 0;
};

struct SXtfFile
{
    int fileFormat = 0, systemType = 0;
    std::string programName, version, fileName;
    int navUnits = 0, channelCount = 0;
    std::vector<SXtfChannelRead> channels;
    // Records in file order: 'P' ping, 'N' navigation.
    std::string order;
    std::vector<SXtfPingRead> pings;
    std::vector<SXtfNavigationRead> navigation;
    std::size_t unread = 0;
};

inline SXtfTime ReadXtfTime(CByteReader& r, std::size_t at)
{
    return {r.U16(at + 14), r.U8(at + 16), r.U8(at + 17), r.U8(at + 18), r.U8(at + 19), r.U8(at + 20)};
}

inline SXtfFile ReadXtf(const std::vector<std::uint8_t>& bytes)
{
    SXtfFile f;
    CByteReader r(bytes);
    if (!r.Has(0, 1024)) {
        f.unread = bytes.size();
        return f;
    }
    f.fileFormat = r.U8(0);
    f.systemType = r.U8(1);
    f.programName = r.Text(2, 8);
    f.version = r.Text(10, 8);
    f.fileName = r.Text(100, 64);
    f.navUnits = r.U16(164);
    f.channelCount = r.U16(166);
    for (int k = 0; k < f.channelCount && k < 6; ++k) {
        const std::size_t c = 256 + 128 * std::size_t(k);
        SXtfChannelRead ch;
        ch.type = r.U8(c);
        ch.sub = r.U8(c + 1);
        ch.correction = r.U16(c + 2);
        ch.unipolar = r.U16(c + 4);
        ch.bytesPerSample = r.U16(c + 6);
        ch.name = r.Text(c + 12, 16);
        ch.voltScale = r.F32(c + 28);
        ch.frequency = r.F32(c + 32);
        ch.horizBeamAngle = r.F32(c + 36);
        ch.tilt = r.F32(c + 40);
        ch.beamWidth = r.F32(c + 44);
        ch.offsetX = r.F32(c + 48);
        ch.offsetY = r.F32(c + 52);
        ch.offsetZ = r.F32(c + 56);
        ch.yaw = r.F32(c + 60);
        ch.pitch = r.F32(c + 64);
        ch.roll = r.F32(c + 68);
        f.channels.push_back(ch);
    }
    std::size_t at = 1024;
    while (r.Has(at, 14) && r.U16(at) == 0xFACE) {
        const std::uint32_t size = r.U32(at + 10);
        if (size < 64 || !r.Has(at, size))
            break;
        const int type = r.U8(at + 2);
        if (type == 107 && size == 64) {
            SXtfNavigationRead n;
            n.bytes = size;
            n.time = ReadXtfTime(r, at);
            n.milliseconds = r.U16(at + 21);
            n.rawY = r.F64(at + 23);
            n.rawX = r.F64(at + 31);
            f.navigation.push_back(n);
            f.order += 'N';
        } else if (type == 0 && size >= 256) {
            SXtfPingRead p;
            p.subChannel = r.U8(at + 3);
            p.bytes = size;
            p.time = ReadXtfTime(r, at);
            p.hseconds = r.U8(at + 21);
            p.pingNumber = r.U32(at + 28);
            p.soundVelocity = r.F32(at + 32);
            p.computedSoundVelocity = r.F32(at + 72);
            p.shipY = r.F64(at + 128);
            p.shipX = r.F64(at + 136);
            p.heading = r.F32(at + 212);
            std::size_t c = at + 256;
            const int follow = r.U16(at + 4);
            for (int k = 0; k < follow && r.Has(c, 64); ++k) {
                SXtfPingChannelRead ch;
                ch.number = r.U16(c);
                ch.slantRange = r.F32(c + 4);
                ch.timeDuration = r.F32(c + 16);
                ch.processingFlags = r.U16(c + 24);
                ch.frequency = r.U16(c + 26);
                ch.numSamples = r.U32(c + 42);
                for (std::uint32_t i = 0; i < ch.numSamples && r.Has(c + 64 + 2 * i, 2); ++i)
                    ch.samples.push_back(r.U16(c + 64 + 2 * i));
                c += 64 + 2 * std::size_t(ch.numSamples);
                p.channels.push_back(ch);
            }
            if (c != at + size)
                break;  // the record's size disagrees with its channels
            f.pings.push_back(p);
            f.order += 'P';
        } else {
            break;
        }
        at += size;
    }
    f.unread = bytes.size() - at;
    return f;
}

// --- xyz and txt lines ----------------------------------------------------------

// "first second depth ddMMyyyy HHmmss.cc height"
struct SXyzLine
{
    double first = 0, second = 0, depth = 0, height = 0;
    std::string date, time;
    int firstDecimals = 0;  // 7 in degrees, 3 in grid
};

inline int Decimals(const std::string& number)
{
    const auto dot = number.find('.');
    return dot == std::string::npos ? 0 : int(number.size() - dot - 1);
}

inline bool ParseXyzLine(const std::string& line, SXyzLine& out)
{
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    std::string first, second, depth, height;
    if (!(in >> first >> second >> depth >> out.date >> out.time >> height) || !in.eof())
        return false;
    out.first = std::stod(first);
    out.second = std::stod(second);
    out.depth = std::stod(depth);
    out.height = std::stod(height);
    out.firstDecimals = Decimals(first);
    return out.date.size() == 8 && out.time.size() == 9 && out.time[6] == '.';
}

// "ddMMyyyy\t\t\tHHmmss.cc\t\t\t,depth,kHz " (the line without its "\r\n")
struct STxtDepthLine
{
    std::string date, time;
    double depth = 0;
    int khz = 0;
};

inline bool ParseTxtDepthLine(const std::string& line, STxtDepthLine& out)
{
    // The separators exactly: white space in a scanf format matches any.
    if (line.size() < 24 || line.compare(8, 3, "\t\t\t") != 0 || line.compare(20, 4, "\t\t\t,") != 0)
        return false;
    char date[16] = {}, time[16] = {};
    char end = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%8[0-9]\t\t\t%9[0-9.]\t\t\t,%lf,%d%c%n", date, time, &out.depth, &out.khz, &end,
                    &used) != 5)
        return false;
    out.date = date;
    out.time = time;
    return end == ' ' && std::size_t(used) == line.size() && out.date.size() == 8 && out.time.size() == 9;
}

// The lines of a text file, each without its "\r\n"; false when a line
// lacks it.
inline bool SplitCrLf(const std::string& text, std::vector<std::string>& lines)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos)
            return false;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return true;
}

}  // namespace zv::recording::test
