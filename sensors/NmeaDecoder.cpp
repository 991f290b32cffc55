#include "sensors/NmeaDecoder.h"

#include "base/StringHelpers.h"
#include "platform/NumberText.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace {

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Local time of day "HH:mm:ss".
std::string TimeLocalText(std::uint64_t fileTime)
{
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(fileTime, st))
        return {};
    return CNumberText::Format("%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
}

// One telegram on its way through the decoders, and what they found of it
// for the tail: whether it was taken (and is recorded), annotated (and is
// not), a position, and the text to show and relay.
struct SSentence
{
    SSentence(const std::string& text, const std::string& formatter, std::uint64_t received, SNmeaSource source,
              INmeaDecoderHost& host, const SNavigationSettings& nav, bool sounder, std::atomic<double>& tide)
        : text(text),
          formatter(formatter),
          received(received),
          source(source),
          host(host),
          nav(nav),
          sounder(sounder),
          tide(tide)
    {}

    const std::string& text;
    const std::string& formatter;  // characters 3 to 5
    std::uint64_t received;
    SNmeaSource source;
    INmeaDecoderHost& host;
    const SNavigationSettings& nav;
    bool sounder;
    std::atomic<double>& tide;

    bool handled = false;
    bool annotated = false;
    bool position = false;
    std::string relay;
};

// What a decoder made of a sentence: no telegram at all (nothing of it is
// stored, relayed or counted), taken (the decoding ends and the tail
// follows), or passed on to the next step.
enum class EDecoded { Refused, Taken, Passed };

bool SourceMatches(std::uint32_t setting, int source)
{
    return source == 3 || static_cast<int>(setting) == source;
}

void Annotate(SSentence& s, const std::string& text)
{
    s.host.AddAnnotation(text, s.received);
    s.annotated = true;
}

// $GPLLK,113616.00,041006,764413.024,M,3221344.112,M,3,08,0.010,1171.631,M
//        1         2      3          4 5           6
// 3 easting, 5 northing: an LLK without either is no telegram at all.
EDecoded RefuseEmptyLlk(SSentence& s)
{
    if (GetField(s.text, ",", 3).empty() || GetField(s.text, ",", 5).empty())
        return EDecoded::Refused;
    return EDecoded::Passed;
}

// $GPZDA,123456.50,07,12,2026,00,00
//        1         2  3  4
// 1 UTC time hhmmss.ss, 2 day, 3 month, 4 year; from the clock source only.
EDecoded DecodeZda(SSentence& s)
{
    if (!SourceMatches(s.nav.ClockSource, s.source.clock))
        return EDecoded::Passed;
    INmeaDecoderHost& H = s.host;
    s.handled = true;
    SYSTEMTIME st;
    // A broken time never reaches the clock, but the sentence is still
    // recorded as it was received.
    if (!CNmeaDecoder::DecodeZdaTime(s.text, CFileTime::Now(), st))
        return EDecoded::Taken;
    std::uint64_t t = 0;
    CFileTime::FromSystemTime(st, t);
    if (H.IsClockRequest() && s.source.clock != 3) {
        if (!s.sounder) {
            H.SetComputerClock(t + (CFileTime::Now() - s.received));
            H.EndForceUpdate();
        } else if (!H.IsClockRequestPending()) {
            H.SetPingRecord(s.received, t);
        }
    }
    if (s.nav.UseAutoZda && s.source.clock != 3 && s.sounder) {
        const std::int64_t expected =
            static_cast<std::int64_t>(s.received) - static_cast<std::int64_t>(s.nav.Latency * 10000.0);
        const std::int64_t error = (static_cast<std::int64_t>(t) - expected) / 10000;
        if ((error > 50 || error < -50) && !H.IsClockRequestPending())
            H.SetPingRecord(s.received, t);
    }
    H.SetClockTime(st, CNumberText::Format("%02d:%02d:%02d.%03d", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds),
                   CNumberText::Format("%02d.%02d.%4d", st.wDay, st.wMonth, st.wYear));
    return EDecoded::Taken;
}

// The operator's position telegram, from the position source, split at the
// configured separator. With the start sequence "$GPGGA", start field 3 and
// four fields,
// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
// 0      1      2        3 4         5
// relays "4807.038,N,01131.000,E" (fields 2 to 5). A fix mark "11....+" in
// the text or "XYZ" in its head relays the whole telegram; "$PTNL" heads
// take their second field into the head ("$PTNL,PJK").
EDecoded DecodeConfiguredPosition(SSentence& s, char separator)
{
    if (!SourceMatches(s.nav.PositionSource, s.source.position) || !separator)
        return EDecoded::Passed;
    const std::string& telegram = s.text;
    const bool fixMark = FindFrom(telegram, "11....+", 0) > 0;
    std::string head = GetFieldByChar(telegram, separator, 0);
    if (head == "$PTNL") {
        head += ',';
        head += GetFieldByChar(telegram, separator, 1);
    }
    const bool xyzMark = FindFrom(head, "XYZ", 0) >= 1;
    if (fixMark || xyzMark) {
        s.relay = telegram;
    } else if (CNmeaDecoder::MatchStartSequence(head, s.nav.StartSequence)) {
        const int first = s.nav.StartField > 0 ? static_cast<int>(s.nav.StartField) - 1 : 0;
        const int last = first + static_cast<int>(s.nav.NoOfFields) - 1;
        for (int i = first; i <= last; ++i) {
            const std::string field = GetFieldByChar(telegram, separator, i);
            if (field.empty())
                continue;
            s.relay += field;
            if (i < last)
                s.relay += separator;
        }
    } else {
        return EDecoded::Passed;
    }
    if (s.formatter == "ATS" && telegram[0] == '$')
        Annotate(s, GetField(telegram, ",", 1));
    s.handled = s.position = true;
    if (CGeographicInfo* geographic = s.host.GetGeographicInfo())
        geographic->ParseNavigationTelegram(telegram, s.received);
    return EDecoded::Taken;
}

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K
//        1     2 3     4 5     6 7     8
// 5 speed over ground in knots; from the speed source only, and then
// always taken.
EDecoded DecodeVtg(SSentence& s)
{
    if (!SourceMatches(s.nav.SpeedType, s.source.speed))
        return EDecoded::Taken;
    // A speed of "nan" or "inf" is no speed: refused like any such number.
    double speed = 0.0;
    if (CNumberText::ParseFiniteDouble(GetField(s.text, ",", 5), speed))
        s.host.SetMeasuredSpeed(speed);
    s.handled = true;
    if (CGeographicInfo* geographic = s.host.GetGeographicInfo())
        geographic->ParseCourseTelegram(s.text, s.received);
    s.relay = s.text;
    return EDecoded::Taken;
}

// $HEHDT,274.07,T
//        1
// 1 heading in degrees (HDR and HDG alike), which the geographic history
// reads.
EDecoded DecodeHeading(SSentence& s)
{
    s.handled = true;
    if (CGeographicInfo* geographic = s.host.GetGeographicInfo())
        geographic->ParseHeadingTelegram(s.text, s.received);
    s.relay = s.text;
    return EDecoded::Taken;
}

// $SDDBT,25.3,f,7.7,M,4.2,F
//        1    2 3   4 5   6
// Recorded and relayed; the NMEA depth input takes the depth itself (DPT
// and DBS alike).
EDecoded DecodeDepth(SSentence& s)
{
    s.handled = true;
    s.relay = s.text;
    return EDecoded::Taken;
}

// $IIATS,Start of line 12
//        1
// 1 an annotation text; without the '$' it is no annotation.
EDecoded DecodeAts(SSentence& s)
{
    if (s.text[0] != '$')
        return EDecoded::Passed;
    Annotate(s, GetField(s.text, ",", 1));
    return EDecoded::Taken;
}

// When a row's decoder runs: before the operator's position telegram is
// tried, or only once it has not taken the sentence.
enum class EStage { First, AfterPosition };

struct SFormatterRow
{
    std::string_view tag;  // the formatter, characters 3 to 5
    int minFields;         // comma-separated fields, the head included
    EStage stage;
    EDecoded (*decode)(SSentence&);
};

// Sentences by their formatter. One with fewer fields than its row asks for
// is refused before any decoder runs.
constexpr std::array<SFormatterRow, 10> kFormatters{{
    {"LLK", 6, EStage::First, RefuseEmptyLlk},
    {"ZDA", 1, EStage::First, DecodeZda},
    {"VTG", 1, EStage::AfterPosition, DecodeVtg},
    {"HDT", 1, EStage::AfterPosition, DecodeHeading},
    {"HDR", 1, EStage::AfterPosition, DecodeHeading},
    {"HDG", 1, EStage::AfterPosition, DecodeHeading},
    {"DPT", 1, EStage::AfterPosition, DecodeDepth},
    {"DBS", 1, EStage::AfterPosition, DecodeDepth},
    {"DBT", 1, EStage::AfterPosition, DecodeDepth},
    {"ATS", 1, EStage::AfterPosition, DecodeAts},
}};

// CS,Buoy 4 passed
//    1
// 1 an annotation text.
void DecodeCs(SSentence& s)
{
    Annotate(s, GetField(s.text, ",", 1));
}

// PE,SYSTEM STARTPINGINT,2.5CRLF
// A remote control command, while a sounder runs.
void DecodePe(SSentence& s)
{
    if (s.sounder)
        s.host.RemoteControl(s.text, s.received);
}

// Sentences of the program's own peers, by their whole first field.
struct SHeadRow
{
    std::string_view head;
    void (*decode)(SSentence&);
};
constexpr std::array<SHeadRow, 2> kHeads{{{"CS", DecodeCs}, {"PE", DecodePe}}};

// $PTIDE,x,1.25
//        1 2
// 2 the tide in metres, kept negated.
void DecodeTide(SSentence& s)
{
    double tide = 0.0;
    if (CNumberText::ParseFiniteDouble(GetField(s.text, ",", 2), tide)) {
        s.tide = -tide;
        s.host.SetTide(s.tide.load());
    }
}

// $PGEOA,DEPTH,12.5
//        1     2
// A GEO unit's telegram, relayed; with DEPTH, 2 the depth of the external
// depth source "Geo".
void DecodeGeoa(SSentence& s)
{
    s.handled = true;
    s.relay = s.text;
    CExternalDepth* external = s.host.GetExternalDepth();
    double depth = 0.0;
    if (s.text.size() >= 12 && s.text.compare(7, 5, "DEPTH") == 0 && external &&
        CNumberText::ParseFiniteDouble(GetField(s.text, ",", 2), depth))
        external->SetDepthByName(CExternalDepth::kGeoSource, depth);
}

const SFormatterRow* FindFormatter(std::string_view formatter)
{
    for (const SFormatterRow& row : kFormatters)
        if (row.tag == formatter)
            return &row;
    return nullptr;
}

int FieldCount(const std::string& text)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), ','));
}

// A telegram of six characters or more through the decoders, in the order
// the cases are tried: the formatter's own row first, the operator's
// position telegram, the formatter's row after it, then the own peers'
// sentences by their head, the tide and the GEO unit's telegrams. False when
// the telegram was refused.
bool Decode(SSentence& s, char separator)
{
    const SFormatterRow* row = FindFormatter(s.formatter);
    if (row && FieldCount(s.text) < row->minFields)
        return false;
    const auto run = [&](EStage when) { return row && row->stage == when ? row->decode(s) : EDecoded::Passed; };
    EDecoded decoded = run(EStage::First);
    if (decoded == EDecoded::Passed)
        decoded = DecodeConfiguredPosition(s, separator);
    if (decoded == EDecoded::Passed)
        decoded = run(EStage::AfterPosition);
    if (decoded != EDecoded::Passed)
        return decoded == EDecoded::Taken;
    const std::string head = GetField(s.text, ",", 0);
    for (const SHeadRow& own : kHeads) {
        if (own.head == head) {
            own.decode(s);
            return true;
        }
    }
    if (s.text.find("TIDE") != std::string::npos && s.text[0] == '$')
        DecodeTide(s);
    else if (s.text.compare(2, 4, "GEOA") == 0)
        DecodeGeoa(s);
    return true;
}

}  // namespace

bool CNmeaDecoder::ChecksumFails(const std::string& telegram)
{
    // Only a sentence that carries "*hh" at its end is checked; the checksum
    // is optional in the sentences we read.
    if (telegram.empty() || (telegram[0] != '$' && telegram[0] != '!'))
        return false;
    std::size_t end = telegram.size();
    while (end > 0 && (telegram[end - 1] == '\r' || telegram[end - 1] == '\n'))
        --end;
    if (end < 4 || telegram[end - 3] != '*' || !std::isxdigit(static_cast<unsigned char>(telegram[end - 2])) ||
        !std::isxdigit(static_cast<unsigned char>(telegram[end - 1])))
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < end - 3; ++i)
        sum ^= static_cast<unsigned char>(telegram[i]);
    return sum != std::stoul(telegram.substr(end - 2, 2), nullptr, 16);
}

bool CNmeaDecoder::MatchStartSequence(const std::string& head, const std::string& sequence)
{
    if (head.size() != sequence.size())
        return false;
    for (std::size_t i = 0; i < head.size(); ++i)
        if (sequence[i] != '?' && sequence[i] != head[i])
            return false;
    return true;
}

bool CNmeaDecoder::DecodeZdaTime(const std::string& telegram, std::uint64_t now, SYSTEMTIME& st)
{
    // $GPZDA,123456.50,07,12,2026,00,00*6A
    //        1         2  3  4
    const std::string time = GetField(telegram, ",", 1);
    const std::string day = GetField(telegram, ",", 2);
    const std::string month = GetField(telegram, ",", 3);
    std::string year = GetField(telegram, ",", 4);
    const std::size_t star = year.find('*');  // a short sentence ends its year with the checksum
    if (star != std::string::npos)
        year.resize(star);
    const std::size_t dot = time.find('.');
    const std::string whole = time.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : time.substr(dot + 1);
    if (whole.size() != 6 || !AllDigits(whole) || !AllDigits(day) || !AllDigits(month) || !AllDigits(year) ||
        (dot != std::string::npos && !fraction.empty() && !AllDigits(fraction)) || day.size() > 2 || month.size() > 2 ||
        year.size() > 4)
        return false;
    if (!CFileTime::ToSystemTime(now, st))
        return false;
    const int hour = std::stoi(whole.substr(0, 2));
    const int minute = std::stoi(whole.substr(2, 2));
    const int second = std::stoi(whole.substr(4, 2));
    // n / 10^d of the fraction's digits, in whole milliseconds; digits past
    // the third cannot change them.
    int ms = 0;
    const std::string f3 = fraction.substr(0, 3);
    if (!f3.empty()) {
        ms = std::stoi(f3);
        for (std::size_t i = f3.size(); i < 3; ++i)
            ms *= 10;
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(ms);
    st.wDay = static_cast<WORD>(std::stoi(day));
    st.wMonth = static_cast<WORD>(std::stoi(month));
    st.wYear = static_cast<WORD>(std::stoi(year));
    std::uint64_t check = 0;
    return CFileTime::FromSystemTime(st, check) != FALSE;  // day 31 of April and the like
}

std::string CNmeaDecoder::GetPositionText() const
{
    std::lock_guard lock(m_textLock);
    return m_positionText;
}

void CNmeaDecoder::Annotate(const std::string& text, std::uint64_t time)
{
    m_host->AddAnnotation(text, time);
}

void CNmeaDecoder::ParseNmeaTelegram(const std::string& telegram, std::uint64_t received, int positionSource,
                                     int speedSource, int clockSource)
{
    if (!m_host)
        return;
    INmeaDecoderHost& H = *m_host;
    SNavigationSettings nav;
    if (!H.HasMainWindow() || !H.GetNavigationSettings(nav))
        return;
    // A damaged sentence would put a wrong position or time into the history
    // and the recordings: it is dropped whole.
    if (ChecksumFails(telegram))
        return;
    const SounderModel model = H.GetModel();
    const bool sounder = H.IsSounderRunning();
    const bool recorder = sounder && H.HasRecorder();
    const char separator = nav.FieldSeparator.empty() ? '\0' : nav.FieldSeparator[0];

    // A telegram of fewer than six characters has no formatter: only the
    // tail runs for it.
    const std::string formatter = telegram.size() >= 6 ? telegram.substr(3, 3) : std::string();
    SSentence s(telegram, formatter, received, SNmeaSource{positionSource, speedSource, clockSource}, H, nav, sounder,
                m_tide);
    if (telegram.size() >= 6 && !Decode(s, separator))
        return;

    // Tail.
    if (recorder)
        H.SetHeaderValue(nav.AntennaHeight);
    if (sounder && s.position) {
        m_lastPositionTime = CFileTime::Now();
        if (formatter == "GGA" && telegram[0] == '$') {
            // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
            //                                       6 7  8
            // 6 fix quality, 7 satellites in use, 8 horizontal dilution.
            const long qi = CNumberText::ParseLong(GetField(telegram, ",", 6));
            const long satellites = CNumberText::ParseLong(GetField(telegram, ",", 7));
            const double dilution = CNumberText::ParseDouble(GetField(telegram, ",", 8));
            if (nav.GGA_QI != 0 && qi != static_cast<long>(nav.GGA_QI))
                H.PostStatusMessage(kWrongQuality);
            if (nav.GGA_NoOfSat != 0 && satellites < static_cast<long>(nav.GGA_NoOfSat))
                H.PostStatusMessage(kFewSatellites);
            if (nav.GGA_HorDil != 0.0 && dilution > nav.GGA_HorDil)
                H.PostStatusMessage(kLargeDilution);
        }
        std::uint32_t interval = 0;
        if (H.GetNavigationAnnotation(interval)) {
            const std::int32_t count = ++m_navigationAnnotationCount;
            if (count >= static_cast<std::int32_t>(interval)) {
                m_navigationAnnotationCount = 0;
                const std::uint64_t now = CFileTime::Now();
                Annotate(TimeLocalText(now) + "  " + GetPositionText(), now);
            }
        }
    }
    if (recorder && s.handled && !s.annotated)
        H.WriteNmeaToFiles(telegram, received);
    if (!s.relay.empty() && (nav.PositionSource != 0 || positionSource == 3)) {
        if (s.position) {
            {
                std::lock_guard lock(m_textLock);
                m_positionText = s.relay;
            }
            H.ShowPositionText(s.relay);
            H.PrintText(s.relay, received);
            if (model == SounderModel::TQ30 || model == SounderModel::TOTAL)
                H.ForwardToPostProcessing(s.relay);
        }
        if (IsQYModel(model)) {
            H.RelayToOutputs(telegram, received);
        }
    }
    if (!s.handled && separator) {
        const std::string head = GetFieldByChar(telegram, separator, 0);
        static constexpr const char* kPositionLike[] = {"PTNL", "GGK", "GLL", "GGA", "GXA", "LLQ", "LLK"};
        bool like = false;
        for (const char* p : kPositionLike)
            like = like || head.find(p) != std::string::npos;
        if (like) {
            m_lastOtherPositionTime = CFileTime::Now();
            H.RelayToOutputs(telegram, received);
            if (recorder)
                H.WriteNmeaDatagram(telegram, received);
        }
    }
}
