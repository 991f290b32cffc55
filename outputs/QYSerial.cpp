#include "outputs/QYSerial.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "outputs/EchoSounderPingSource.h"
#include "outputs/QYNet.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"
#include "serialcom/device/DepthTelegram.h"

#include <limits>

namespace {

// A gathered profile longer than this is no profile: it is dropped.
constexpr std::size_t kMaxProfileText = 1 << 20;

struct DwordSetting
{
    const char* name;
    std::uint32_t CQYSerial::Settings::*member;
};
using S = CQYSerial::Settings;
constexpr DwordSetting kDwords[] = {
    {"Termination", &S::Termination},
    {"NMEADestination", &S::NMEADestination},
    {"DPTFormat", &S::DPTFormat},
    {"DBTFormat", &S::DBTFormat},
    {"DBSFormat", &S::DBSFormat},
    {"SVP", &S::SVP},
    {"Status", &S::Status},
    {"Annotation", &S::Annotation},
    {"Navigation", &S::Navigation},
    {"RelayNavigation", &S::RelayNavigation},
    {"MotionSensor", &S::MotionSensor},
    {"TemperatureSensor", &S::TemperatureSensor},
    {"SVPInput", &S::SVPInput},
    {"AnnotationInput", &S::AnnotationInput},
    {"Decimate", &S::Decimate},
    {"DecimateHz", &S::DecimateHz},
    {"RemoteIn", &S::RemoteIn},
    {"AddFrequency", &S::AddFrequency},
    {"Hymas", &S::Hymas},
    {"ZelvarWithoutHeave", &S::ZelvarWithoutHeave},
};
struct ChannelSetting
{
    const char* prefix;
    std::array<std::uint32_t, 4> CQYSerial::Settings::*member;
};
constexpr ChannelSetting kChannels[] = {
    {"AtlasChannel", &S::AtlasChannel},
    {"FZChannel", &S::FZChannel},
    {"ZelvarChannel", &S::ZelvarChannel},
};

std::int32_t Whole(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::string Field(const std::string& line, std::size_t index)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string::npos)
            return {};
        start = comma + 1;
    }
    const std::size_t end = line.find(',', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const char* tail)
{
    const std::string t(tail);
    return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

int CQYSerial::Settings::CountOn(const std::array<std::uint32_t, 4>& channels)
{
    int n = 0;
    for (std::uint32_t on : channels)
        n += on ? 1 : 0;
    return n;
}

void CQYSerial::Settings::KeepAtMostTwo()
{
    for (auto* channels : {&AtlasChannel, &FZChannel}) {
        int on = 0;
        for (std::uint32_t& c : *channels) {
            if (c && on >= 2)
                c = 0;
            on += c ? 1 : 0;
        }
    }
}

CQYSerial::CQYSerial(const ISensorHost& host, const IDepthTelegramSources& sources,
                     std::function<bool(const CSvpProfile&)> storeProfile)
    : CSerialSensor(kSettingId, host, 0, 0), m_sources(sources), m_storeProfile(std::move(storeProfile))
{}

CQYSerial::~CQYSerial()
{
    Close();
}

HRESULT CQYSerial::OpenSerialComponent()
{
    if (IsOpen())
        return 0;
    const HRESULT hr = OpenSerial();
    if (hr != 0)
        return hr;
    SetProtocols();
    StartTimer();
    return 0;
}

void CQYSerial::SetProtocols()
{
    const Settings s = GetSettings();
    SetRxProtocol(RxProtocolForTermination(static_cast<int>(s.Termination)));
    if (m_outputEnabled)
        SetTxProtocol("ASCII");
}

void CQYSerial::Close()
{
    StopTimer();
    CloseSerial();
}

void CQYSerial::StartTimer()
{
    if (m_timerOn)
        return;
    if (HWND window = Monitor().Window()) {
        SetTimer(window, kProfileTimer, kProfileTimerMs, [this](HWND, UINT, UINT_PTR, DWORD) { StoreSvpProfile(); });
        m_timerOn = true;
    }
}

void CQYSerial::StopTimer()
{
    if (!m_timerOn)
        return;
    if (HWND window = Monitor().Window())
        KillTimer(window, kProfileTimer);
    m_timerOn = false;
}

void CQYSerial::ApplySettings(HKEY key)
{
    KeepKey(key);
    LoadSettings();
    SetProtocols();
}

void CQYSerial::LoadSettings()
{
    Settings s;
    if (HKEY key = Key()) {
        CRegistrySupport reg;
        for (const auto& d : kDwords) {
            DWORD v = s.*d.member;
            reg.GetDword(key, "", d.name, v, TRUE);
            s.*d.member = v;
        }
        for (const auto& c : kChannels)
            for (std::size_t n = 0; n < 4; ++n) {
                DWORD v = (s.*c.member)[n];
                reg.GetDword(key, "", c.prefix + std::to_string(n + 1), v, TRUE);
                (s.*c.member)[n] = v;
            }
    }
    s.KeepAtMostTwo();
    std::lock_guard lock(m_settingsLock);
    m_settings = s;
    m_withoutHeave = s.ZelvarWithoutHeave != 0;
}

void CQYSerial::SaveSettings() const
{
    HKEY key = Key();
    if (!key)
        return;
    const Settings s = GetSettings();
    CRegistrySupport reg;
    for (const auto& d : kDwords)
        reg.SetDword(key, "", d.name, s.*d.member);
    for (const auto& c : kChannels)
        for (std::size_t n = 0; n < 4; ++n)
            reg.SetDword(key, "", c.prefix + std::to_string(n + 1), (s.*c.member)[n]);
}

void CQYSerial::ResetSettings()
{
    {
        std::lock_guard lock(m_settingsLock);
        Settings& s = m_settings;
        s.NMEADestination = 0;
        s.DPTFormat = s.DBTFormat = s.DBSFormat = 0;
        s.AtlasChannel = {};
        s.FZChannel = {};
        s.ZelvarChannel = {};
    }
    SaveSettings();
}

CQYSerial::Settings CQYSerial::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

void CQYSerial::StoreSettings(const Settings& settings)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = settings;
        m_settings.KeepAtMostTwo();
        m_withoutHeave = settings.ZelvarWithoutHeave != 0;
    }
    SaveSettings();
    SetProtocols();
}

bool CQYSerial::IsWithoutHeave() const
{
    return m_withoutHeave.load();
}

bool CQYSerial::DecimationLets(std::uint64_t pingTime, const Settings& s)
{
    if (!s.Decimate)
        return true;
    const std::uint64_t hz = s.DecimateHz ? s.DecimateHz : 1;
    if (!s.DecimateHz) {
        std::lock_guard lock(m_settingsLock);
        m_settings.DecimateHz = 1;
    }
    const std::uint64_t period = 10'000'000ULL / hz;
    // An earlier time than the last send (a replay starting over, the clock
    // set back) starts the count again instead of silencing the output
    // until that time comes back.
    if (!m_sentOnce || pingTime < m_lastSend || pingTime - m_lastSend >= period) {
        m_lastSend = pingTime;
        m_sentOnce = true;
        return true;
    }
    return pingTime == m_lastSend;  // another channel of the same ping
}

std::string CQYSerial::ZelvarRecord(const DepthReport& r, const Settings& s) const
{
    std::string text =
        FormatDepthTelegram(m_sources, kDepthTelegramFixed, static_cast<std::int32_t>(m_checksum), r.ChannelId,
                            r.PingTime, r.Depth, r.DraughtAndOffset, r.BottomLevel, r.Heave);
    if (!s.AddFrequency || text.empty())
        return text;
    if (m_checksum && text.size() >= 3)
        text.resize(text.size() - 3);
    text += CNumberText::Format(",%d,%.2f,%.1f", Whole(r.Frequency / 1000.0), r.TransducerDepth, r.FurtherValue);
    if (m_checksum) {
        unsigned char sum = 0;
        for (std::size_t i = 1; i < text.size(); ++i)
            sum ^= static_cast<unsigned char>(text[i]);
        text += CNumberText::Format("*%2X", sum);
    }
    return text;
}

void CQYSerial::SendDepth(const DepthReport& r)
{
    // Not a number fails as a negative depth does.
    if (!m_outputEnabled || !(r.Depth >= 0.0) || r.ChannelId < 0)
        return;
    const Settings s = GetSettings();
    std::lock_guard lock(m_sendLock);
    if (!DecimationLets(r.PingTime, s))
        return;
    const auto checksum = static_cast<std::int32_t>(m_checksum);

    if (static_cast<std::uint32_t>(r.ChannelId) == s.NMEADestination) {
        const std::pair<std::uint32_t, std::uint32_t> order[] = {
            {s.DPTFormat, kDepthTelegramDPT}, {s.DBTFormat, kDepthTelegramDBT}, {s.DBSFormat, kDepthTelegramDBS}};
        for (const auto& [on, type] : order)
            if (on)
                Transmit(FormatDepthTelegram(m_sources, type, checksum, r.ChannelId, r.PingTime, r.Depth,
                                             r.DraughtAndOffset, r.BottomLevel, r.Heave));
    }

    if (r.ChannelId > 3)
        return;
    const auto n = static_cast<std::size_t>(r.ChannelId);  // channel n + 1

    if (s.FZChannel[n]) {
        const int fzOn = Settings::CountOn(s.FZChannel);
        bool first = false;
        if (fzOn == 2)
            for (std::size_t k = 0; k < n; ++k)
                first = first || s.FZChannel[k];
        const bool isFirst = fzOn == 2 && !first;
        if (isFirst) {
            m_fzKept = true;
            m_fzTime = r.PingTime;
            m_fzDepth = r.Depth;
            m_fzTransducerDepth = r.DraughtAndOffset;
        } else if (fzOn == 2 && m_fzKept && m_fzTime == r.PingTime) {
            // The pair of one ping: this channel's depth first, the first
            // channel's second.
            Transmit(FormatDepthTelegram(m_sources, kDepthTelegramPSDF, checksum, r.ChannelId, r.PingTime, r.Depth,
                                         m_fzTransducerDepth, m_fzDepth, r.Heave));
            m_fzKept = false;
        } else {
            // Alone, or the first channel had nothing at this ping: one
            // depth, never a depth of another ping.
            m_fzKept = false;
            Transmit(FormatDepthTelegram(m_sources, kDepthTelegramPSDF, checksum, r.ChannelId, r.PingTime, r.Depth,
                                         r.DraughtAndOffset, -1.0, r.Heave));
        }
    }

    if (s.AtlasChannel[n]) {
        const bool twoWithFirst = Settings::CountOn(s.AtlasChannel) == 2 && s.AtlasChannel[0];
        std::uint32_t type = kDepthTelegramDB;
        switch (n) {
        case 0:
            type = kDepthTelegramDB;
            break;
        case 1:
            type = kDepthTelegramDA;
            break;
        case 2:
            type = twoWithFirst ? kDepthTelegramDA : kDepthTelegramDB;
            break;
        default:
            type = twoWithFirst || s.AtlasChannel[2] ? kDepthTelegramDA : kDepthTelegramDB;
            break;
        }
        Transmit(FormatDepthTelegram(m_sources, type, checksum, r.ChannelId, r.PingTime, r.Depth, r.DraughtAndOffset,
                                     r.BottomLevel, r.Heave));
    }

    if (s.ZelvarChannel[n])
        Transmit(ZelvarRecord(r, s));
}

void CQYSerial::SendCS(const std::string& text, std::uint64_t time)
{
    if (GetSettings().Annotation)
        Transmit("CS," + CQYNet::TimeText(time) + "," + text + "\r\n");
}

void CQYSerial::SendMS(IQYNetPingSource& ping)
{
    if (!GetSettings().MotionSensor || ping.GetChannelCount() <= 0)
        return;
    SQYNetChannelPing c;
    if (!ping.GetChannelPing(0, c))
        return;
    Transmit("MS," + CQYNet::TimeText(c.pingTime) + "," +
             CNumberText::Format("%3.2f,%3.2f,%3.2f\r\r\n", c.motion[0], c.motion[1], c.motion[2]));
}

void CQYSerial::SendTemperature(IQYNetPingSource& ping)
{
    double celsius = 0.0;
    if (!GetSettings().TemperatureSensor || !ping.GetWaterTemperature(celsius))
        return;
    const std::string t = CNumberText::Format("$SDMTW,%3.2f,C", celsius);
    Transmit(t + NmeaChecksumSuffix(t));
}

void CQYSerial::SendNavigation(const std::string& text, std::uint64_t time)
{
    const Settings s = GetSettings();
    if (s.RelayNavigation)
        Transmit(text);
    // Headings and courses are no positions; anything else is sent on.
    if (s.Navigation && !Contains(text, "HDT") && !Contains(text, "HDR") && !Contains(text, "VTG"))
        Transmit("GL," + CQYNet::TimeText(time) + "," + text + "\r\n");
}

void CQYSerial::SendST(const std::string& text)
{
    if (GetSettings().Status)
        Transmit("ST," + CQYNet::TimeText(CFileTime::Now()) + "," + text + "\r\n");
}

void CQYSerial::SendSV(const std::string& text)
{
    if (GetSettings().SVP)
        Transmit("SV," + CQYNet::TimeText(CFileTime::Now()) + "," + text + "\r\n");
}

void CQYSerial::SendPingTelegram(IQYNetPingSource& ping)
{
    if (!GetSettings().Hymas)
        return;
    Transmit(CQYNet::PingTelegram(ping));
}

void CQYSerial::TakePing(const OutputPing& ping)
{
    CEchoSounderPingSource source(ping.sounder, ping.soundVelocity, ping.waterTemperature);
    SendMS(source);
    SendTemperature(source);
    SendPingTelegram(source);
}

void CQYSerial::TakeText(const OutputText& text)
{
    switch (text.kind) {
    case OutputTextKind::Status:
        SendST(text.text);
        break;
    case OutputTextKind::Annotation:
        SendCS(text.text, text.time);
        break;
    case OutputTextKind::NavigationRelay:
        SendNavigation(text.text, text.time);
        break;
    default:
        break;  // the other outputs'
    }
}

void CQYSerial::ParseSvpInput(const CTarnMessage& message)
{
    ParseSvpLine(TextOf(message));
}

void CQYSerial::ParseSvpLine(const std::string& text)
{
    const Settings s = GetSettings();
    const std::string first = Field(text, 0);
    const std::string tail = first.size() > 3 ? first.substr(first.size() - 3) : first;

    if ((tail == "ATS" && !text.empty() && text[0] == '$' && s.AnnotationInput) ||
        (tail == "CS" && s.AnnotationInput)) {
        if (!Field(text, 1).empty())
            if (HWND frame = GetMainWindow())
                PostMessage(frame, app::WM_ES_SERIALANNOTATION, 0, 0, MakePayload<std::string>(text));
        return;
    }
    if (tail == "PE") {
        // Remote commands only while they are accepted.
        if (s.RemoteIn)
            PostTelegram(text, CFileTime::Now());
        return;
    }
    if (Contains(text, "TIDE")) {
        PostTelegram(text, CFileTime::Now());
        return;
    }

    const std::string line = text + "\r\n";
    std::lock_guard lock(m_ParseLock);
    if (!m_gathering) {
        if (!s.SVPInput)
            return;
        const bool starts = line.rfind("CALC", 0) == 0 ||
                            (line[0] == '$' && (EndsWith(first, "S10") || EndsWith(first, "S00"))) ||
                            Contains(line, "SvPlus") || Contains(line, "PROFILE_HEADER") || first == "SV";
        if (!starts)
            return;
        m_gathering = true;
        m_buffer.clear();
    }
    // The first line is looked at as every other: an S10 cast on one line
    // holds its end mark, and waiting for another line would swallow that
    // line (the start of the next cast) into this one.
    m_buffer += line;
    m_lineSinceTick = true;
    if (Contains(m_buffer, "\\")) {
        ImportAndStore(1, m_buffer);
    } else if (Contains(m_buffer, "0  0  0")) {
        ImportAndStore(0, m_buffer);
    } else if (m_buffer.size() > kMaxProfileText) {
        m_buffer.clear();
        m_gathering = false;
    }
}

void CQYSerial::ImportAndStore(int format, const std::string& text)
{
    const std::string gathered = text;
    m_buffer.clear();
    m_gathering = false;
    if (!GetSettings().SVPInput)
        return;
    if (m_profile.Import(format, gathered) > 0 && m_storeProfile)
        m_storeProfile(m_profile);
}

void CQYSerial::StoreSvpProfile()
{
    std::lock_guard lock(m_ParseLock);
    if (!m_gathering)
        return;
    // A cast still arriving is not cut at a tick: it is finished at the
    // first tick that saw none of its lines.
    if (m_lineSinceTick) {
        m_lineSinceTick = false;
        return;
    }
    if (Contains(m_buffer, "PROFILE_HEADER"))
        ImportAndStore(6, m_buffer);
    else if (Contains(m_buffer, "SvPlus"))
        ImportAndStore(5, m_buffer);
    else if (Contains(m_buffer, "SV"))
        ImportAndStore(2, m_buffer);
    m_buffer.clear();
    m_gathering = false;
}

bool CQYSerial::IsGathering()
{
    std::lock_guard lock(m_ParseLock);
    return m_gathering;
}
