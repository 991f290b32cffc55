#include "outputs/QYNet.h"

#include "base/RegistrySupport.h"
#include "outputs/EchoSounderPingSource.h"
#include "platform/ByteWriter.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "serialcom/device/DepthTelegram.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace {

// "D1," and the like: type letter, first digit of the 1-based channel number.
std::string Tag(char letter, int channelNumber)
{
    return std::string(1, letter) + std::to_string(channelNumber).substr(0, 1) + ",";
}

// A binary datagram's head, "D1,hhmmsscc,": its tag, the ping's time and a
// comma; its fields follow from 12.
CByteWriter Head(std::vector<std::uint8_t>& b, const std::string& tag, const std::string& time)
{
    CByteWriter w(b);
    w.Bytes(0, tag.data(), tag.size());
    w.Bytes(3, time.data(), std::min<std::size_t>(time.size(), 8));
    w.U8(11, ',');
    return w;
}

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

struct DwordSetting
{
    const char* name;
    std::uint32_t CQYNet::Settings::*member;
};
struct DoubleSetting
{
    const char* name;
    double CQYNet::Settings::*member;
};
using S = CQYNet::Settings;
constexpr DwordSetting kDwords[] = {
    {"DestPort", &S::DestPort},
    {"LocalPort", &S::LocalPort},
    {"EchoTraceDatagram", &S::EchoTraceDatagram},
    {"NavigationDatagram", &S::NavigationDatagram},
    {"RelayNavigation", &S::RelayNavigation},
    {"ParameterDatagram", &S::ParameterDatagram},
    {"AnnotationDatagram", &S::AnnotationDatagram},
    {"DepthNMEADatagramDBS", &S::DepthNMEADatagramDBS},
    {"DepthNMEADatagramDPT", &S::DepthNMEADatagramDPT},
    {"DepthNMEADatagramDBT", &S::DepthNMEADatagramDBT},
    {"DepthNMEADatagram", &S::DepthNMEADatagram},
    {"NMEAsource", &S::NMEAsource},
    {"DepthHymas", &S::DepthHymas},
    {"SoundVelDatagram", &S::SoundVelDatagram},
    {"StatusDatagram", &S::StatusDatagram},
    {"MotionSensorDatagram", &S::MotionSensorDatagram},
    {"TemperatureSensorDatagram", &S::TemperatureSensorDatagram},
    {"KWP470Datagram", &S::KWP470Datagram},
    {"EchogramSurfaceCount", &S::EchogramSurfaceCount},
    {"EchogramBottomCount", &S::EchogramBottomCount},
    {"TVGType", &S::TVGType},
    {"AddFrequency", &S::AddFrequency},
    {"ZelvarFormat", &S::ZelvarFormat},
    {"ZelvarFormatWithoutHeave", &S::ZelvarFormatWithoutHeave},
};
constexpr DoubleSetting kDoubles[] = {
    {"EchogramRangeSurface", &S::EchogramRangeSurface},
    {"EchogramRangeSurfaceStart", &S::EchogramRangeSurfaceStart},
    {"EchogramRangeBottom", &S::EchogramRangeBottom},
    {"EchogramRangeBottomStart", &S::EchogramRangeBottomStart},
};

}  // namespace

CQYNet::CQYNet(HKEY root) : m_root(root)
{
    LoadSettings();
    const Settings s = GetSettings();
    std::lock_guard lock(m_sendLock);
    m_destination.port = static_cast<std::uint16_t>(s.DestPort);
    m_destinationValid = SocketAddress::ParseIp(s.DestAddr.substr(0, 64), m_destination.ip);
    OpenSender();
}

CQYNet::~CQYNet()
{
    m_port.Close();
    SaveSettings();
    std::lock_guard lock(m_sendLock);
    m_sender.Close();
}

void CQYNet::LoadSettings()
{
    Settings s;
    if (m_root) {
        CRegistrySupport reg;
        for (const auto& d : kDwords) {
            DWORD v = s.*d.member;
            reg.GetDword(m_root, kSection, d.name, v, TRUE);
            s.*d.member = v;
        }
        for (int n = 0; n < 4; ++n) {
            DWORD v = s.DepthDatagram[static_cast<std::size_t>(n)];
            reg.GetDword(m_root, kSection, "DepthDatagram" + std::to_string(n + 1), v, TRUE);
            s.DepthDatagram[static_cast<std::size_t>(n)] = v;
            v = s.Echogram[static_cast<std::size_t>(n)];
            reg.GetDword(m_root, kSection, "Echogram" + std::to_string(n + 1), v, TRUE);
            s.Echogram[static_cast<std::size_t>(n)] = v;
        }
        for (const auto& d : kDoubles)
            reg.GetDouble(m_root, kSection, d.name, s.*d.member, TRUE);
        reg.GetString(m_root, kSection, "DestAddr", s.DestAddr, TRUE);
    }
    std::lock_guard lock(m_settingsLock);
    m_settings = s;
}

void CQYNet::SaveSettings() const
{
    if (!m_root)
        return;
    const Settings s = GetSettings();
    CRegistrySupport reg;
    for (const auto& d : kDwords)
        reg.SetDword(m_root, kSection, d.name, s.*d.member);
    for (int n = 0; n < 4; ++n) {
        reg.SetDword(m_root, kSection, "DepthDatagram" + std::to_string(n + 1),
                     s.DepthDatagram[static_cast<std::size_t>(n)]);
        reg.SetDword(m_root, kSection, "Echogram" + std::to_string(n + 1), s.Echogram[static_cast<std::size_t>(n)]);
    }
    for (const auto& d : kDoubles)
        reg.SetDouble(m_root, kSection, d.name, s.*d.member);
    reg.SetString(m_root, kSection, "DestAddr", s.DestAddr);
}

CQYNet::Settings CQYNet::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

void CQYNet::ApplySettings(const Settings& settings)
{
    const Settings old = GetSettings();
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = settings;
    }
    SetDestAddress(settings.DestAddr);
    SetDestPort(static_cast<std::uint16_t>(settings.DestPort));
    if (settings.LocalPort != old.LocalPort && m_port.IsOpen())
        CreateSocket();
    SaveSettings();
}

bool CQYNet::CreateSocket()
{
    const Settings s = GetSettings();
    if (!m_port.Create(static_cast<std::uint16_t>(s.LocalPort)))
        return false;
    m_port.StartReader();
    return true;
}

void CQYNet::SetDestPort(std::uint16_t port)
{
    std::lock_guard lock(m_sendLock);
    m_destination.port = port;
}

bool CQYNet::SetDestAddress(const std::string& dotted)
{
    std::uint32_t ip = 0;
    const bool ok = SocketAddress::ParseIp(dotted.substr(0, 64), ip);
    std::lock_guard lock(m_sendLock);
    m_destinationValid = ok;
    if (ok)
        m_destination.ip = ip;
    return ok;
}

bool CQYNet::OpenSender()
{
    if (m_sender.IsOpen())
        return true;
    // Without broadcast the destination may be a broadcast address we could
    // never reach: the sender stays closed.
    if (!m_sender.Create(CSocket::Udp) || !m_sender.SetBroadcast(true)) {
        m_sender.Close();
        return false;
    }
    return true;
}

bool CQYNet::IsReady() const
{
    std::lock_guard lock(m_sendLock);
    return m_sender.IsOpen() && m_destinationValid;
}

bool CQYNet::SendDatagram(const void* data, std::size_t length)
{
    if (length > CSocket::kMaxUdpPayload)
        return false;
    std::lock_guard lock(m_sendLock);
    if (!m_destinationValid || !OpenSender())
        return false;
    if (m_sender.SendTo(data, length, m_destination, 100) < 0) {
        // Closed now and opened again by the next send.
        m_sender.Close();
        return false;
    }
    return true;
}

std::string CQYNet::TimeText(std::uint64_t fileTime)
{
    SYSTEMTIME st;
    CFileTime::ToSystemTime(fileTime, st);
    return CNumberText::Format("%02u%02u%02u%02u", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds / 10u);
}

void CQYNet::SendDepthDatagram(int n, const SQYNetChannelPing& c, const std::string& time, const Settings& s)
{
    double depth = c.depth;
    if (depth != 0.0 && s.ZelvarFormatWithoutHeave)
        depth -= c.heave;
    const std::int32_t kHz = Whole(c.frequency / 1000.0);
    if (s.ZelvarFormat) {
        // D2,12345678,12.34,0,2,0.0
        std::string text;
        if (s.AddFrequency)
            text = CNumberText::Format("D%d,%s,%.2f,%d,%d,0,%d,%.2f,%.1f", n, time.c_str(), depth, Whole(c.second), n,
                                       kHz, c.transducerDepth, c.soundVelocity);
        else
            text = CNumberText::Format("D%d,%s,%.2f,%d,%d,0.0", n, time.c_str(), depth, Whole(c.second), n);
        SendText(text);
        return;
    }
    std::vector<std::uint8_t> b(s.AddFrequency ? 32 : 28, 0);
    CByteWriter w = Head(b, Tag('D', n), time);
    w.F32(12, static_cast<float>(depth));
    w.F32(16, static_cast<float>(c.second));
    if (s.AddFrequency) {
        w.I32(20, kHz);
        w.F32(24, static_cast<float>(c.soundVelocity));
        w.F32(28, static_cast<float>(c.transducerDepth));
    } else {
        w.I32(20, n);
        w.F32(24, 0.0f);
    }
    SendDatagram(b.data(), b.size());
}

std::vector<std::uint8_t> CQYNet::BuildEchogramDatagram(int channel, const std::string& time, std::uint32_t tvg,
                                                        float bottom, const Settings& s,
                                                        const std::vector<std::int16_t>& surface,
                                                        const std::vector<std::int16_t>& bottomSamples)
{
    const std::size_t S = surface.size(), B = bottomSamples.size();
    if (kQHeader + 2 * (S + B) > CSocket::kMaxUdpPayload)
        return {};
    std::vector<std::uint8_t> b(kQHeader + 2 * (S + B), 0);
    CByteWriter w = Head(b, Tag('Q', channel), time);
    w.U32(12, (tvg == 0 || tvg == 2 || tvg == 3 || tvg == 4) ? tvg : 0);
    w.F32(16, bottom);
    w.F32(20, static_cast<float>(s.EchogramRangeSurfaceStart));
    w.F32(24, static_cast<float>(s.EchogramRangeSurfaceStart + s.EchogramRangeSurface));
    w.U32(28, static_cast<std::uint32_t>(S));
    w.F32(32, static_cast<float>(s.EchogramRangeBottomStart));
    w.F32(36, static_cast<float>(s.EchogramRangeBottomStart - s.EchogramRangeBottom));
    w.U32(40, static_cast<std::uint32_t>(B));
    w.Array(kQHeader, std::span(surface));
    w.Array(kQHeader + 2 * S, std::span(bottomSamples));
    return b;
}

void CQYNet::SendPingDatagrams(IQYNetPingSource& ping)
{
    const Settings s = GetSettings();
    const int count = ping.GetChannelCount();
    std::array<SQYNetChannelPing, 4> ch{};
    for (int i = 0; i < 4 && i < count; ++i)
        if (!ping.GetChannelPing(i, ch[static_cast<std::size_t>(i)]))
            ch[static_cast<std::size_t>(i)].processed = false;
    const std::uint64_t pingTime = count > 0 ? ch[0].pingTime : CFileTime::Now();
    const std::string time = TimeText(pingTime);

    for (int n = 1; n <= 4; ++n)
        if (s.DepthDatagram[static_cast<std::size_t>(n - 1)] && n <= count &&
            ch[static_cast<std::size_t>(n - 1)].processed)
            SendDepthDatagram(n, ch[static_cast<std::size_t>(n - 1)], time, s);

    if (s.DepthNMEADatagramDPT || s.DepthNMEADatagramDBS || s.DepthNMEADatagramDBT) {
        SQYNetChannelPing c;
        if (static_cast<int>(s.NMEAsource) < count && ping.GetChannelPing(static_cast<int>(s.NMEAsource), c)) {
            const std::pair<std::uint32_t, std::uint32_t> order[] = {{s.DepthNMEADatagramDPT, kDepthTelegramDPT},
                                                                     {s.DepthNMEADatagramDBS, kDepthTelegramDBS},
                                                                     {s.DepthNMEADatagramDBT, kDepthTelegramDBT}};
            // None of these types reads the program's sources.
            for (const auto& [on, type] : order)
                if (on)
                    SendText(FormatDepthTelegram(CNoDepthTelegramSources(), type, 1, 0, c.pingTime, c.depth,
                                                 c.transducerDepth, 0.0, c.heave));
        }
    }

    if (s.ParameterDatagram) {
        // Texts with their terminating NUL.
        auto sendZ = [this](const std::string& t) { SendDatagram(t.c_str(), t.size() + 1); };
        for (int i = 0; i < 4 && i < count; ++i) {
            const SQYNetChannelPing& c = ch[static_cast<std::size_t>(i)];
            if (!c.processed)
                continue;
            const std::string menu = ",/TRANSCEIVER MENU/Transceiver-" + std::to_string(i + 1) + " Menu/";
            sendZ("PR," + time + ",/UTILITY MENU/Sound Velocity=" + CNumberText::Format("%.0f", c.soundVelocity) +
                  " m/s");
            sendZ("PR," + time + menu + "Frequency=" + CNumberText::Format("%.0f", c.frequency / 1000.0) + " kHz");
            sendZ("PR," + time + menu + "Pulse Length=" + CNumberText::Format("%.3f", c.pulseLength * 1000.0) + " ms");
            sendZ("PR," + time + menu + "Transducer Type=" + c.transducer);
        }
    }

    for (int i = 0; i < 4 && i < count; ++i) {
        const SQYNetChannelPing& c = ch[static_cast<std::size_t>(i)];
        if (!s.Echogram[static_cast<std::size_t>(i)] || !c.processed)
            continue;
        const std::size_t S = s.EchogramSurfaceCount, B = s.EchogramBottomCount;
        if (kQHeader + 2 * (S + B) > CSocket::kMaxUdpPayload)
            continue;  // would not fit one datagram
        std::vector<std::int16_t> surface(S), bottom(B);
        if (S)
            ping.GetSamples(i, surface.data(), static_cast<int>(S), s.EchogramRangeSurface, s.EchogramRangeSurfaceStart,
                            static_cast<int>(s.TVGType), 0);
        if (B)
            ping.GetSamples(i, bottom.data(), static_cast<int>(B), s.EchogramRangeBottom, s.EchogramRangeBottomStart,
                            static_cast<int>(s.TVGType), 1);
        const auto q = BuildEchogramDatagram(i + 1, time, s.TVGType, static_cast<float>(c.depth), s, surface, bottom);
        if (!q.empty())
            SendDatagram(q.data(), q.size());
    }

    if (s.EchoTraceDatagram) {
        for (int i = 0; i < 4 && i < count; ++i) {
            if (!ch[static_cast<std::size_t>(i)].processed)
                continue;
            std::vector<std::array<float, 5>> targets;
            const int n = std::min(ping.GetSingleTargets(i, targets), 30);
            if (n <= 0)
                continue;
            const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(n), targets.size());
            std::vector<std::uint8_t> b(16 + 20 * used, 0);
            CByteWriter w = Head(b, Tag('E', i + 1), time);
            w.U32(12, static_cast<std::uint32_t>(used));
            for (std::size_t t = 0; t < used; ++t)
                w.Array(16 + 20 * t, std::span<const float>(targets[t]));
            SendDatagram(b.data(), b.size());
        }
    }

    if (s.MotionSensorDatagram && count > 0) {
        std::vector<std::uint8_t> b(24, 0);
        Head(b, "MS,", time).Array(12, std::span<const float>(ch[0].motion));
        SendDatagram(b.data(), b.size());
    }

    double celsius = 0.0;
    if (s.TemperatureSensorDatagram && ping.GetWaterTemperature(celsius)) {
        std::string t = CNumberText::Format("$SDMTW,%3.2f,C", celsius);
        SendText(t + NmeaChecksumSuffix(t));
    }
}

void CQYNet::SendPingTelegram(IQYNetPingSource& ping)
{
    if (GetSettings().DepthHymas)
        SendText(PingTelegram(ping));
}

std::string CQYNet::PingTelegram(IQYNetPingSource& ping)
{
    const int count = ping.GetChannelCount();
    SQYNetChannelPing first;
    const bool haveFirst = count > 0 && ping.GetChannelPing(0, first);
    std::string text = "$," + TimeText(haveFirst ? first.pingTime : CFileTime::Now()) + ",";
    for (int i = 0; i < 4; ++i) {
        SQYNetChannelPing c;
        if (i < count && ping.GetChannelPing(i, c) && c.processed)
            text += CNumberText::Format("%d,%d,", Whole(c.depth * 100.0), Whole(c.transducerDepth * 100.0));
        else
            text += "99999,99999,";
    }
    text += CNumberText::Format("%.1f", ping.GetEnvironmentSoundVelocity());
    return text;
}

void CQYNet::SendNavigation(const std::string& text, std::uint64_t time)
{
    const Settings s = GetSettings();
    if (s.RelayNavigation)
        SendText(text);
    // Headings and courses are no positions; every other text relayed is
    // sent on as a position.
    if (s.NavigationDatagram && text.find("HDT") == std::string::npos && text.find("HDR") == std::string::npos &&
        text.find("VTG") == std::string::npos)
        SendText("GL," + TimeText(time) + "," + text);
}

void CQYNet::SendCS(const std::string& text, std::uint64_t time)
{
    if (GetSettings().AnnotationDatagram)
        SendText("CS," + TimeText(time) + "," + text);
}

void CQYNet::SendST(const std::string& text)
{
    if (GetSettings().StatusDatagram)
        SendText("ST," + TimeText(CFileTime::Now()) + "," + text);
}

void CQYNet::SendSV(const std::string& text)
{
    if (GetSettings().SoundVelDatagram)
        SendText("SV," + TimeText(CFileTime::Now()) + "," + text);
}

void CQYNet::SendAnnotation(const std::string& prefix, const std::string& text)
{
    const std::string line = prefix + "," + TimeText(CFileTime::Now()) + "," + text;
    if (GetSettings().AnnotationDatagram)
        SendText(line);
    if (writeGeoLine)
        writeGeoLine(line);
}

void CQYNet::TakePing(const OutputPing& ping)
{
    CEchoSounderPingSource source(ping.sounder, ping.soundVelocity, ping.waterTemperature);
    SendPingDatagrams(source);
    SendPingTelegram(source);
}

void CQYNet::TakeText(const OutputText& text)
{
    switch (text.kind) {
    case OutputTextKind::Status:
        SendST(text.text);
        break;
    case OutputTextKind::Annotation:
        SendCS(text.text, text.time);
        break;
    case OutputTextKind::ObjectInformation:
        SendAnnotation(std::string(text.prefix), text.text);
        break;
    case OutputTextKind::RecorderLine:
        SendText(text.text);
        break;
    case OutputTextKind::NavigationRelay:
        SendNavigation(text.text, text.time);
        break;
    case OutputTextKind::PositionForward:
    case OutputTextKind::RemoteCommand:
        break;  // post-processing's and remote control's
    }
}

void CQYNet::TakeProfile(const std::string& text, std::uint64_t)
{
    SendSV(text);
}

void CQYNet::RestoreDefaults()
{
    ApplySettings(Settings{});  // which saves them
}
