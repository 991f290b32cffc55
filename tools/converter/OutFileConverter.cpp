#include "tools/converter/OutFileConverter.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileTime.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>

namespace zv::converter {

using namespace recording;

namespace {

void TwoDigits(char* p, unsigned v)
{
    p[0] = char('0' + v / 10 % 10);
    p[1] = char('0' + v % 10);
}

// The text of a sentence or annotation: from body offset 12 up to its NUL,
// or to the end of the body when it has none.
std::string_view BodyText(const SDatagramView& d)
{
    CByteReader body(d.body, d.size);
    const std::span<const std::uint8_t> area = body.Bytes(kTextOffset, d.size - kTextOffset);
    const auto* text = reinterpret_cast<const char*>(area.data());
    const void* nul = std::memchr(text, 0, area.size());
    return {text, nul ? std::size_t(static_cast<const char*>(nul) - text) : area.size()};
}

}  // namespace

bool COutFileConverter::Fields(std::uint64_t fileTime)
{
    if (m_haveFields && fileTime == m_fieldsTime)
        return true;
    SYSTEMTIME st;
    if (!CFileTime::ToSystemTime(fileTime, st))
        return false;
    // Hundredths of the second, two digits like the others.
    const unsigned hundredths = unsigned(fileTime % CFileTime::kTicksPerSecond / 100000);
    STimeFields& f = m_fields;
    TwoDigits(f.clock, st.wHour);
    TwoDigits(f.clock + 2, st.wMinute);
    TwoDigits(f.clock + 4, st.wSecond);
    TwoDigits(f.clock + 6, hundredths);
    char* end = std::to_chars(f.date, f.date + 8, unsigned(st.wYear)).ptr;
    TwoDigits(end, st.wMonth);
    TwoDigits(end + 2, st.wDay);
    f.dateSize = std::size_t(end + 4 - f.date);
    f.midnight = st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && hundredths == 0;
    m_fieldsTime = fileTime;
    m_haveFields = true;
    return true;
}

void COutFileConverter::Record(std::string& out, std::initializer_list<std::string_view> parts)
{
    std::size_t n = 0;
    for (std::string_view p : parts)
        n += p.size();
    std::uint8_t count[4];
    CByteWriter(count, sizeof count).U32(0, std::uint32_t(n));
    out.append(reinterpret_cast<const char*>(count), sizeof count);
    for (std::string_view p : parts)
        out.append(p);
    ++m_records;
}

void COutFileConverter::Convert(const SDatagramView& d, std::string& out)
{
    const bool sentence = d.type == kTypeNME0;
    const bool depth = d.type == kTypeDEP0;
    if (!sentence && !depth && d.type != kTypeTAG0)
        return;
    if (!Fields(d.time)) {
        ++m_damaged;
        return;
    }
    const std::string_view clock(m_fields.clock, sizeof m_fields.clock);
    if ((sentence || depth) && !m_headerWritten) {
        Record(out, {"CS,", clock, ",DATE:", std::string_view(m_fields.date, m_fields.dateSize)});
        m_headerWritten = true;
    }
    if (sentence) {
        Sentence(BodyText(d), out);
    } else if (depth) {
        if (m_options.depth)
            Depths(d, out);
    } else if (m_options.annotation) {
        const std::string_view text = BodyText(d);
        if (!text.empty())
            Record(out, {"CS,", clock, ",", text, "\r\r\n"});
    }
}

// A GGA or GLL sentence gives its latitude, N/S, longitude and E/W, the four
// fields that end with the first ",E" (or, without one, the first ",W"):
//     $GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//     $GPGLL,4916.45,N,12311.12,W,225444,A*1D
// Any other text that lacks both hemisphere letters of latitude or both of
// longitude is an ASCII position and is kept whole.
void COutFileConverter::Sentence(std::string_view text, std::string& out)
{
    if (text.empty())
        return;
    const std::string_view clock(m_fields.clock, sizeof m_fields.clock);
    const bool gga = text.size() > 7 && text.substr(3, 4) == "GGA,";
    const bool gll = text.size() > 7 && text.substr(3, 4) == "GLL,";
    if (gga || gll) {
        if (!(gga ? m_options.gga : m_options.gll))
            return;
        std::size_t hemisphere = text.find(",E");
        if (hemisphere == std::string_view::npos)
            hemisphere = text.find(",W");
        if (hemisphere == std::string_view::npos)
            return;
        const std::string_view kept = text.substr(0, hemisphere + 2);
        std::size_t from = kept.size();
        for (int field = 0; field < 4; ++field) {
            from = from == 0 ? std::string_view::npos : kept.rfind(',', from - 1);
            if (from == std::string_view::npos) {
                ++m_damaged;  // fewer than four fields before the hemisphere
                return;
            }
        }
        Record(out, {"GL,", clock, kept.substr(from)});
        return;
    }
    const auto has = [&](std::string_view what) { return text.find(what, 1) != std::string_view::npos; };
    const bool ascii = (!has(",N") && !has(",S")) || (!has(",E") && !has(",W"));
    if (ascii && m_options.ascii)
        Record(out, {"GL,", clock, ",", text});
}

//     u32 N | N x (f32 depth, f32 second value, 4 zero bytes)
// Entries past the end of the body are not there to convert, whatever N says.
void COutFileConverter::Depths(const SDatagramView& d, std::string& out)
{
    CByteReader body(d.body, d.size);
    const std::int32_t claimed = body.I32(kDepCount);
    if (body.Failed()) {
        ++m_damaged;
        return;
    }
    const std::size_t room = (d.size - kDepEntries) / kDepEntrySize;
    std::size_t count = claimed > 0 ? std::size_t(claimed) : 0;
    if (claimed < 0 || count > room) {
        ++m_damaged;
        count = std::min(count, room);
    }
    if (m_fields.midnight)
        return;
    for (std::size_t k = 1; k <= count; ++k) {
        char number[24] = {};
        std::to_chars(number, number + sizeof number, k);
        std::uint8_t rec[kDepthRecordSize] = {};
        CByteWriter w(rec, sizeof rec);
        w.U8(0, 'D');
        w.U8(1, std::uint8_t(number[0]));  // entries from 10 on keep their first digit
        w.U8(2, ',');
        w.Bytes(3, m_fields.clock, sizeof m_fields.clock);
        // The depth and second value as stored, bit for bit.
        w.Bytes(12, body.Bytes(kDepEntries + kDepEntrySize * (k - 1), 8).data(), 8);
        w.I32(20, std::int32_t(k));
        Record(out, {std::string_view(reinterpret_cast<const char*>(rec), sizeof rec)});
    }
}

}  // namespace zv::converter
