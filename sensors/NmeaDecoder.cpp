#include "sensors/NmeaDecoder.h"

#include "base/StringHelpers.h"
#include "platform/NumberText.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"

#include <cctype>

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

    bool handled = false, annotated = false, position = false;
    std::string relay;
    const std::string formatter = telegram.size() >= 6 ? telegram.substr(3, 3) : std::string();
    const char separator = nav.FieldSeparator.empty() ? '\0' : nav.FieldSeparator[0];

    auto body = [&]() {
        // LLK with an empty northing or easting is no telegram at all.
        if (formatter == "LLK" && (GetField(telegram, ",", 3).empty() || GetField(telegram, ",", 5).empty()))
            return false;

        if (Matches(nav.ClockSource, clockSource) && formatter == "ZDA") {
            SYSTEMTIME st;
            // A broken time never reaches the clock, but the sentence is
            // still recorded as it was received.
            if (!DecodeZdaTime(telegram, CFileTime::Now(), st)) {
                handled = true;
                return true;
            }
            std::uint64_t t = 0;
            CFileTime::FromSystemTime(st, t);
            if (H.IsClockRequest() && clockSource != 3) {
                if (!sounder) {
                    H.SetComputerClock(t + (CFileTime::Now() - received));
                    H.EndForceUpdate();
                } else if (!H.IsClockRequestPending()) {
                    H.SetPingRecord(received, t);
                }
            }
            if (nav.UseAutoZda && clockSource != 3 && sounder) {
                const std::int64_t expected =
                    static_cast<std::int64_t>(received) - static_cast<std::int64_t>(nav.Latency * 10000.0);
                const std::int64_t error = (static_cast<std::int64_t>(t) - expected) / 10000;
                if ((error > 50 || error < -50) && !H.IsClockRequestPending())
                    H.SetPingRecord(received, t);
            }
            H.SetClockTime(
                st, CNumberText::Format("%02d:%02d:%02d.%03d", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds),
                CNumberText::Format("%02d.%02d.%4d", st.wDay, st.wMonth, st.wYear));
            handled = true;
            return true;
        }

        if (Matches(nav.PositionSource, positionSource) && separator) {
            const bool fixMark = FindFrom(telegram, "11....+", 0) > 0;
            std::string head = GetFieldByChar(telegram, separator, 0);
            if (head == "$PTNL") {
                head += ',';
                head += GetFieldByChar(telegram, separator, 1);
            }
            const bool xyzMark = FindFrom(head, "XYZ", 0) >= 1;
            bool configured = true;
            if (fixMark || xyzMark) {
                relay = telegram;
            } else if (MatchStartSequence(head, nav.StartSequence)) {
                const int first = nav.StartField > 0 ? static_cast<int>(nav.StartField) - 1 : 0;
                const int last = first + static_cast<int>(nav.NoOfFields) - 1;
                for (int i = first; i <= last; ++i) {
                    const std::string field = GetFieldByChar(telegram, separator, i);
                    if (field.empty())
                        continue;
                    relay += field;
                    if (i < last)
                        relay += separator;
                }
            } else {
                configured = false;
            }
            if (configured) {
                if (formatter == "ATS" && telegram[0] == '$') {
                    Annotate(GetField(telegram, ",", 1), received);
                    annotated = true;
                }
                handled = position = true;
                if (CGeographicInfo* geographic = H.GetGeographicInfo())
                    geographic->ParseNavigationTelegram(telegram, received);
                return true;
            }
        }

        if (formatter == "VTG") {
            // $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K
            if (!Matches(nav.SpeedType, speedSource))
                return true;
            // A speed of "nan" or "inf" is no speed: refused like any such number.
            double speed = 0.0;
            if (CNumberText::ParseFiniteDouble(GetField(telegram, ",", 5), speed))
                H.SetMeasuredSpeed(speed);
            handled = true;
            if (CGeographicInfo* geographic = H.GetGeographicInfo())
                geographic->ParseCourseTelegram(telegram, received);
            relay = telegram;
            return true;
        }
        if (formatter == "HDT" || formatter == "HDR" || formatter == "HDG") {
            handled = true;
            if (CGeographicInfo* geographic = H.GetGeographicInfo())
                geographic->ParseHeadingTelegram(telegram, received);
            relay = telegram;
            return true;
        }
        if (formatter == "DPT" || formatter == "DBS" || formatter == "DBT") {
            handled = true;
            relay = telegram;
            return true;
        }
        if (formatter == "ATS" && telegram[0] == '$') {
            Annotate(GetField(telegram, ",", 1), received);
            annotated = true;
            return true;
        }

        const std::string head = GetField(telegram, ",", 0);
        if (head == "CS") {
            Annotate(GetField(telegram, ",", 1), received);
            annotated = true;
        } else if (head == "PE") {
            if (sounder)
                H.RemoteControl(telegram, received);
        } else if (telegram.find("TIDE") != std::string::npos && telegram[0] == '$') {
            // $PTIDE,x,1.25
            double tide = 0.0;
            if (CNumberText::ParseFiniteDouble(GetField(telegram, ",", 2), tide)) {
                m_tide = -tide;
                H.SetTide(m_tide.load());
            }
        } else if (telegram.compare(2, 4, "GEOA") == 0) {
            // $PGEOA,DEPTH,12.5
            handled = true;
            relay = telegram;
            CExternalDepth* external = H.GetExternalDepth();
            double depth = 0.0;
            if (telegram.size() >= 12 && telegram.compare(7, 5, "DEPTH") == 0 && external &&
                CNumberText::ParseFiniteDouble(GetField(telegram, ",", 2), depth))
                external->SetDepthByName(CExternalDepth::kGeoSource, depth);
        }
        return true;
    };

    if (telegram.size() >= 6 && !body())
        return;

    // Tail.
    if (recorder)
        H.SetHeaderValue(nav.AntennaHeight);
    if (sounder && position) {
        m_lastPositionTime = CFileTime::Now();
        if (formatter == "GGA" && telegram[0] == '$') {
            // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
            //                                       6 7  8
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
    if (recorder && handled && !annotated)
        H.WriteNmeaToFiles(telegram, received);
    if (!relay.empty() && (nav.PositionSource != 0 || positionSource == 3)) {
        if (position) {
            {
                std::lock_guard lock(m_textLock);
                m_positionText = relay;
            }
            H.ShowPositionText(relay);
            H.PrintText(relay, received);
            if (model == SounderModel::TQ30 || model == SounderModel::TOTAL)
                H.ForwardToPostProcessing(relay);
        }
        if (IsQYModel(model)) {
            H.RelayToOutputs(telegram, received);
        }
    }
    if (!handled && separator) {
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
