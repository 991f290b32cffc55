// What the converter's tests share: files in a private folder, out files
// made by the recording generator, and a reader of the converter's output
// written from the record table of the post-processing format, not from the
// converter's code.
#pragma once

#include "display/tests/TempFolder.h"
#include "sim/recgen/RecGenWriter.h"
#include "sim/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace converter_test {

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// An out file of the scene the settings describe, written by the generator.
inline zv::recgen::CRecordingGenerator WriteOutFile(const std::string& path, std::vector<std::string> settings)
{
    zv::recgen::SRecGenScene scene;
    settings.insert(settings.begin(), "kind=out");
    std::string error;
    for (const std::string& s : settings)
        EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    zv::recgen::CRecordingGenerator gen(scene);
    EXPECT_TRUE(gen.Write(path, nullptr, &error)) << error;
    return gen;
}

// One framed datagram as the generator's writer makes it.
inline std::vector<std::uint8_t> Frame(const char type[4], std::uint64_t time, const std::string& text)
{
    zv::recgen::CRecGenBody body(type, time);
    body.PaddedText(text, 212);
    return body.Frame();
}

// Records one after the other: each a 32-bit little-endian byte count and
// that many bytes. Fails the test when the counts do not use up the bytes
// exactly, so an output cut short is seen.
inline std::vector<std::string> ParseRecords(const std::vector<std::uint8_t>& b)
{
    std::vector<std::string> records;
    std::size_t at = 0;
    while (at < b.size()) {
        if (b.size() - at < 4) {
            ADD_FAILURE() << "a byte count cut short at " << at;
            break;
        }
        const std::size_t n = b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::size_t(b[at + 3]) << 24;
        at += 4;
        if (b.size() - at < n) {
            ADD_FAILURE() << "a record of " << n << " bytes cut short at " << at;
            break;
        }
        records.emplace_back(reinterpret_cast<const char*>(b.data() + at), n);
        at += n;
    }
    return records;
}

inline std::vector<std::string> ReadRecords(const std::string& path)
{
    return ParseRecords(ReadBytes(path));
}

// "hhmmssff" and "yyyyMMDD" of a file time in UTC, ff the hundredths.
inline std::string Clock(std::uint64_t fileTime)
{
    const std::time_t t = std::time_t(fileTime / 10000000 - 11644473600LL);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char s[48];
    std::snprintf(s, sizeof s, "%02d%02d%02d%02d", tm.tm_hour, tm.tm_min, tm.tm_sec, int(fileTime % 10000000 / 100000));
    return s;
}
inline std::string Date(std::uint64_t fileTime)
{
    const std::time_t t = std::time_t(fileTime / 10000000 - 11644473600LL);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char s[48];
    std::snprintf(s, sizeof s, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return s;
}

// A depth record as its table lays it out:
//   0 "D" and the first digit of k | 2 "," | 3 hhmmssff | 11 0 |
//   12 f32 depth | 16 f32 second value | 20 i32 k | 24 i32 0
inline std::string DepthRecord(int k, const std::string& clock, std::uint32_t depthBits, std::uint32_t secondBits)
{
    std::string r(28, '\0');
    r[0] = 'D';
    r[1] = std::to_string(k)[0];
    r[2] = ',';
    r.replace(3, 8, clock);
    for (int i = 0; i < 4; ++i) {
        r[12 + i] = char(depthBits >> (8 * i));
        r[16 + i] = char(secondBits >> (8 * i));
        r[20 + i] = char(std::uint32_t(k) >> (8 * i));
    }
    return r;
}
inline std::string DepthRecord(int k, const std::string& clock, float depth, float second)
{
    return DepthRecord(k, clock, std::bit_cast<std::uint32_t>(depth), std::bit_cast<std::uint32_t>(second));
}

}  // namespace converter_test
