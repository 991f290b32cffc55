// Turns the datagrams of one out file into the records of the
// post-processing program. A record is a 32-bit little-endian byte count and
// that many bytes; text records carry no terminating NUL.
//
//     "CS,12000050,DATE:20260101"              header, once, before the first
//                                              sentence or depth datagram
//     "GL,12000050,6030.0000,N,00515.0000,E"   position from a GGA or GLL sentence
//     "GL,12000050,<the whole text>"           ASCII position
//     "CS,12000050,<annotation>\r\r\n"         annotation
//     "D1,12000050\0" f32 depth, f32 second value, i32 entry number, i32 0
//                                              one 28-byte record per depth entry
//
// Times are the datagram's, in UTC: hours, minutes, seconds and hundredths,
// two digits each.
#pragma once

#include "recording/DatagramReader.h"
#include "tools/converter/ConverterOptions.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zv::converter {

class COutFileConverter
{
public:
    // Size of a depth record after its byte count.
    static constexpr std::size_t kDepthRecordSize = 28;

    explicit COutFileConverter(const SConverterOptions& options) : m_options(options) {}

    // Appends the records of one whole datagram to out.
    void Convert(const recording::SDatagramView& datagram, std::string& out);

    std::uint64_t Records() const { return m_records; }
    // Datagrams, or parts of them, that did not hold what they claimed and
    // gave no record: a depth count past the body, a time no calendar
    // holds, a position sentence with fewer than four fields.
    std::uint64_t Damaged() const { return m_damaged; }

private:
    struct STimeFields
    {
        char clock[8];  // hhmmssff
        char date[16];  // yyyyMMDD, the year as long as it is
        std::size_t dateSize = 0;
        bool midnight = false;  // 00:00:00.00
    };
    bool Fields(std::uint64_t fileTime);
    void Sentence(std::string_view text, std::string& out);
    void Depths(const recording::SDatagramView& datagram, std::string& out);
    // One record of the parts one after the other.
    void Record(std::string& out, std::initializer_list<std::string_view> parts);

    SConverterOptions m_options;
    bool m_headerWritten = false;
    std::uint64_t m_records = 0;
    std::uint64_t m_damaged = 0;
    bool m_haveFields = false;
    std::uint64_t m_fieldsTime = 0;
    STimeFields m_fields{};
};

}  // namespace zv::converter
