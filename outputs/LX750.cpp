#include "outputs/LX750.h"

#include "base/RegistrySupport.h"
#include "outputs/EchoSounderPingSource.h"
#include "platform/ByteWriter.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "sensors/SpeedSource.h"

#include <algorithm>
#include <cmath>

namespace {

// "Q1," and the like: the type letter, the first digit of the 1-based
// channel number (channel 12 is tagged like channel 1) and a comma.
std::string Tag(char letter, int channelNumber)
{
    return std::string(1, letter) + std::to_string(channelNumber).substr(0, 1) + ",";
}

// A binary datagram's head, "Q1,hhmmsscc,": its fields follow from 12.
CByteWriter Head(std::vector<std::uint8_t>& b, const std::string& tag, const std::string& time)
{
    CByteWriter w(b);
    w.Bytes(0, tag.data(), std::min<std::size_t>(tag.size(), 3));
    w.Bytes(3, time.data(), std::min<std::size_t>(time.size(), 8));
    w.U8(11, ',');
    return w;
}

// A speed that moves the log: finite and not negative, else nothing.
double UsableKnots(const ISpeedSource& source)
{
    double knots = 0.0;
    if (!source.GetSpeedKnots(knots) || !std::isfinite(knots) || knots < 0.0)
        return 0.0;
    return knots;
}

struct DwordSetting
{
    const char* name;
    std::uint32_t CLX750::Settings::*member;
};
struct DoubleSetting
{
    const char* name;
    double CLX750::Settings::*member;
};
using S = CLX750::Settings;
constexpr DwordSetting kDwords[] = {
    {"DestPort", &S::DestPort},
    {"EchoTraceDatagram", &S::EchoTraceDatagram},
    {"EchogramDatagram", &S::EchogramDatagram},
    {"VesselLogDatagram", &S::VesselLogDatagram},
    {"NavigationDatagram", &S::NavigationDatagram},
    {"ParameterDatagram", &S::ParameterDatagram},
    {"EchogramSurfaceCount", &S::EchogramSurfaceCount},
    {"EchogramBottomCount", &S::EchogramBottomCount},
    {"TVGType", &S::TVGType},
};
constexpr DoubleSetting kDoubles[] = {
    {"EchogramRangeSurface", &S::EchogramRangeSurface},
    {"EchogramRangeSurfaceStart", &S::EchogramRangeSurfaceStart},
    {"EchogramRangeBottom", &S::EchogramRangeBottom},
    {"EchogramRangeBottomStart", &S::EchogramRangeBottomStart},
};

}  // namespace

CLX750::CLX750(HKEY root, const ISpeedSource& speed, std::function<bool()> isReplaying)
    : m_root(root), m_speed(speed), m_isReplaying(std::move(isReplaying))
{
    LoadSettings();
    const Settings s = GetSettings();
    SetDestination(s.DestAddr, s.DestPort);
    {
        std::lock_guard lock(m_sendLock);
        OpenSocket();
    }
    m_timer.Start(kVesselLogPeriodMs);
}

CLX750::~CLX750()
{
    m_timer.Stop();
    SaveSettings();
    std::lock_guard lock(m_sendLock);
    m_socket.Close();
}

void CLX750::LoadSettings()
{
    Settings s;
    double distance = 0.0;
    if (m_root) {
        CRegistrySupport reg;
        for (const auto& d : kDwords) {
            DWORD v = s.*d.member;
            reg.GetDword(m_root, kSection, d.name, v, TRUE);
            s.*d.member = v;
        }
        for (const auto& d : kDoubles)
            reg.GetDouble(m_root, kSection, d.name, s.*d.member, TRUE);
        reg.GetString(m_root, kSection, "DestAddr", s.DestAddr, TRUE);
        reg.GetDouble(m_root, kSection, "Distance", distance, TRUE);
    }
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    SetDistance(distance);
}

void CLX750::SaveSettings() const
{
    if (!m_root)
        return;
    const Settings s = GetSettings();
    CRegistrySupport reg;
    for (const auto& d : kDwords)
        reg.SetDword(m_root, kSection, d.name, s.*d.member);
    for (const auto& d : kDoubles)
        reg.SetDouble(m_root, kSection, d.name, s.*d.member);
    reg.SetString(m_root, kSection, "DestAddr", s.DestAddr);
    reg.SetDouble(m_root, kSection, "Distance", GetDistance());
}

CLX750::Settings CLX750::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

void CLX750::ApplySettings(const Settings& settings)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = settings;
    }
    SetDestination(settings.DestAddr, settings.DestPort);
    SaveSettings();
}

double CLX750::GetDistance() const
{
    std::lock_guard lock(m_logLock);
    return m_distance;
}

void CLX750::SetDistance(double nauticalMiles)
{
    std::lock_guard lock(m_logLock);
    m_distance = std::isfinite(nauticalMiles) ? nauticalMiles : 0.0;
}

CLX750::DialogValues CLX750::GetDialogValues() const
{
    const Settings s = GetSettings();
    DialogValues v;
    // An address that does not parse shows as 0.0.0.0 and stays as it is
    // unless it is edited.
    std::uint32_t ip = 0;
    if (SocketAddress::ParseIp(s.DestAddr, ip))
        v.address = {int(ip >> 24), int((ip >> 16) & 0xFF), int((ip >> 8) & 0xFF), int(ip & 0xFF)};
    v.port = s.DestPort;
    v.distance = GetDistance();
    v.echoTrace = s.EchoTraceDatagram != 0;
    v.echogram = s.EchogramDatagram != 0;
    v.navigation = s.NavigationDatagram != 0;
    v.vesselLog = s.VesselLogDatagram != 0;
    v.parameter = s.ParameterDatagram != 0;
    v.surfaceCount = s.EchogramSurfaceCount;
    v.bottomCount = s.EchogramBottomCount;
    v.rangeSurface = s.EchogramRangeSurface;
    v.rangeSurfaceStart = s.EchogramRangeSurfaceStart;
    v.rangeBottom = s.EchogramRangeBottom;
    v.rangeBottomStart = s.EchogramRangeBottomStart;
    return v;
}

void CLX750::ApplyDialogValues(const DialogValues& opened, const DialogValues& edited)
{
    Settings s = GetSettings();
    s.EchogramRangeSurface = edited.rangeSurface;
    s.EchogramRangeSurfaceStart = edited.rangeSurfaceStart;
    s.EchogramRangeBottom = edited.rangeBottom;
    s.EchogramRangeBottomStart = edited.rangeBottomStart;
    s.EchogramSurfaceCount = edited.surfaceCount;
    s.EchogramBottomCount = edited.bottomCount;
    s.EchoTraceDatagram = edited.echoTrace;
    s.EchogramDatagram = edited.echogram;
    s.NavigationDatagram = edited.navigation;
    s.VesselLogDatagram = edited.vesselLog;
    s.ParameterDatagram = edited.parameter;
    if (edited.address != opened.address)
        s.DestAddr = CNumberText::Format("%d.%d.%d.%d", edited.address[0], edited.address[1], edited.address[2],
                                         edited.address[3]);
    if (edited.port != opened.port)
        s.DestPort = edited.port;
    if (edited.distance != opened.distance)
        SetDistance(edited.distance);
    ApplySettings(s);
}

bool CLX750::SetDestination(const std::string& dotted, std::uint32_t port)
{
    // An address that does not parse leaves the output not ready: it never
    // becomes the broadcast address that inet_addr would make of it.
    std::uint32_t ip = 0;
    const bool ok = SocketAddress::ParseIp(dotted.substr(0, 63), ip);
    std::lock_guard lock(m_sendLock);
    m_destinationValid = ok;
    m_destination = SocketAddress(ip, static_cast<std::uint16_t>(port));
    return ok;
}

bool CLX750::OpenSocket()
{
    if (m_socket.IsOpen())
        return true;
    if (!m_socket.Create(CSocket::Udp) || !m_socket.SetBroadcast(true)) {
        m_socket.Close();
        return false;
    }
    return true;
}

bool CLX750::IsReady() const
{
    std::lock_guard lock(m_sendLock);
    return m_socket.IsOpen() && m_destinationValid;
}

bool CLX750::SendDatagram(std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(m_sendLock);
    if (!m_destinationValid || !OpenSocket())
        return false;
    const int sent = m_socket.SendTo(bytes.data(), bytes.size(), m_destination, 0);
    if (sent == CSocket::kError) {
        // Not used again: the next datagram opens a new one.
        m_socket.Close();
        return false;
    }
    return sent >= 0;
}

bool CLX750::SendText(const std::string& text)
{
    return SendDatagram(std::span(reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1));
}

std::string CLX750::TimeText(std::uint64_t fileTime)
{
    SYSTEMTIME st{};
    CFileTime::ToSystemTime(fileTime, st);
    return CNumberText::Format("%02u%02u%02u%02u", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds / 10u);
}

// Q1,hhmmsscc,<u32 tvg><f32 bottom><f32 from><f32 to><u32 S><f32 start><f32 end><u32 B><S i16><B i16>
std::vector<std::uint8_t> CLX750::BuildEchogramDatagram(int channel, const std::string& time, const Settings& s,
                                                        float bottomDepth, std::span<const std::int16_t> surface,
                                                        std::span<const std::int16_t> bottom)
{
    const std::size_t S = surface.size(), B = bottom.size();
    if (S + B > kMaxEchogramSamples)
        return {};
    std::vector<std::uint8_t> b(kQHeader + 2 * (S + B), 0);
    CByteWriter w = Head(b, Tag('Q', channel), time);
    w.U32(12, s.TVGType == 1 ? 0u : 2u);
    w.F32(16, bottomDepth);
    w.F32(20, static_cast<float>(s.EchogramRangeSurfaceStart));
    w.F32(24, static_cast<float>(s.EchogramRangeSurfaceStart + s.EchogramRangeSurface));
    w.U32(28, static_cast<std::uint32_t>(S));
    w.F32(32, static_cast<float>(s.EchogramRangeBottomStart));
    w.F32(36, static_cast<float>(s.EchogramRangeBottomStart - s.EchogramRangeBottom));
    w.U32(40, static_cast<std::uint32_t>(B));
    w.Array(kQHeader, surface);
    w.Array(kQHeader + 2 * S, bottom);
    return b;
}

// E1,hhmmsscc,<u32 n><n × 5 f32>
std::vector<std::uint8_t> CLX750::BuildEchoTraceDatagram(int channel, const std::string& time,
                                                         std::span<const std::array<float, 5>> targets)
{
    const std::size_t n = std::min(targets.size(), kMaxTargets);
    std::vector<std::uint8_t> b(16 + 20 * n, 0);
    CByteWriter w = Head(b, Tag('E', channel), time);
    w.U32(12, static_cast<std::uint32_t>(n));
    for (std::size_t t = 0; t < n; ++t)
        w.Array(16 + 20 * t, std::span<const float>(targets[t]));
    return b;
}

// VL,hhmmsscc,yyMMdd, <f32 distance>
std::vector<std::uint8_t> CLX750::BuildVesselLog(std::uint64_t fileTime, double distance)
{
    SYSTEMTIME st{};
    CFileTime::ToSystemTime(fileTime, st);
    const std::string date = CNumberText::Format("%02u%02u%02u", st.wYear % 100u, st.wMonth, st.wDay);
    std::vector<std::uint8_t> b(24, 0);
    CByteWriter w = Head(b, "VL,", TimeText(fileTime));
    w.Bytes(12, date.data(), 6);
    w.U8(18, ',');
    w.U8(19, ' ');
    w.F32(20, static_cast<float>(distance));
    return b;
}

std::string CLX750::FrequencyParameter(const std::string& time, int channel, double hertz)
{
    return "PR," + time + ",/TRANSCEIVER MENU/Transceiver-" + std::to_string(channel) +
           " Menu/Frequency=" + CNumberText::Format("%.0f", hertz / 1000.0) + " kHz";
}

std::string CLX750::PulseLengthParameter(const std::string& time, int channel, double seconds)
{
    return "PR," + time + ",/TRANSCEIVER MENU/Transceiver-" + std::to_string(channel) +
           " Menu/Pulse Length=" + CNumberText::Format("%.3f", seconds * 1000.0) + " ms";
}

std::string CLX750::SoundVelocityParameter(const std::string& time, double metresPerSecond)
{
    return "PR," + time + ",/UTILITY MENU/Sound Velocity=" + CNumberText::Format("%.0f", metresPerSecond) + " m/s";
}

std::string CLX750::TransducerTypeParameter(const std::string& time, int channel, const std::string& name)
{
    return "PR," + time + ",/TRANSCEIVER MENU/Transceiver-" + std::to_string(channel) + " Menu/Transducer Type=" + name;
}

std::vector<std::uint8_t> CLX750::BuildNavigation(const std::string& text)
{
    if (text.empty())
        return {};
    // Room for every character and at least one NUL, to a multiple of 4;
    // the longest text keeps its first 79 characters.
    const std::size_t length = std::min((text.size() + 1 + 3) / 4 * 4, kNavigationBuffer);
    std::vector<std::uint8_t> b(length, 0);
    std::copy_n(text.begin(), std::min(text.size(), length - 1), b.begin());
    return b;
}

void CLX750::SendPingDatagrams(IQYNetPingSource& ping)
{
    const Settings s = GetSettings();
    const int count = ping.GetChannelCount();
    SQYNetChannelPing first;
    const std::uint64_t pingTime = count > 0 && ping.GetChannelPing(0, first) ? first.pingTime : CFileTime::Now();
    const std::string time = TimeText(pingTime);

    if (m_isReplaying()) {
        AdvanceReplayLog(pingTime);
    } else {
        std::lock_guard lock(m_logLock);
        m_previousPingTime = 0;
    }

    bool soundVelocitySent = false;
    std::vector<std::int16_t> surface, bottom;
    std::vector<std::array<float, 5>> targets;
    for (int n = 1; n <= count; ++n) {
        SQYNetChannelPing c;
        if (!ping.GetChannelPing(n - 1, c))
            continue;
        if (s.ParameterDatagram) {
            if (!soundVelocitySent) {
                SendText(SoundVelocityParameter(time, c.transceiverSoundVelocity));
                soundVelocitySent = true;
            }
            SendText(FrequencyParameter(time, n, c.frequency));
            SendText(PulseLengthParameter(time, n, c.pulseLength));
            SendText(TransducerTypeParameter(time, n, c.transducer));
        }
        if (s.EchogramDatagram &&
            s.EchogramSurfaceCount + std::uint64_t(s.EchogramBottomCount) <= kMaxEchogramSamples) {
            surface.assign(s.EchogramSurfaceCount, 0);
            bottom.assign(s.EchogramBottomCount, 0);
            if (!surface.empty())
                ping.GetSamples(n - 1, surface.data(), int(surface.size()), s.EchogramRangeSurface,
                                s.EchogramRangeSurfaceStart, int(s.TVGType), 0);
            if (!bottom.empty())
                ping.GetSamples(n - 1, bottom.data(), int(bottom.size()), s.EchogramRangeBottom,
                                s.EchogramRangeBottomStart, int(s.TVGType), 1);
            const auto q = BuildEchogramDatagram(n, time, s, static_cast<float>(c.depth), surface, bottom);
            if (!q.empty())
                SendDatagram(q);
        }
        if (s.EchoTraceDatagram && ping.GetSingleTargets(n - 1, targets) > 0 && !targets.empty())
            SendDatagram(BuildEchoTraceDatagram(n, time, targets));
    }
}

void CLX750::AdvanceReplayLog(std::uint64_t pingTime)
{
    const double knots = UsableKnots(m_speed);
    const bool send = GetSettings().VesselLogDatagram != 0;
    std::lock_guard lock(m_logLock);
    const std::uint64_t previous = m_previousPingTime;
    m_previousPingTime = pingTime;
    if (previous == 0 || pingTime <= previous) {
        m_replayRemainder = 0.0;
        m_distance = 0.0;
        return;
    }
    const double seconds = double(pingTime - previous) / double(CFileTime::kTicksPerSecond);
    m_replayRemainder += seconds * knots * (1852.0 / 3600.0);
    // Steps of 1852 / 200 m, counted in 64 bits: a replay whose files span
    // days jumps by more steps than a 32-bit count holds.
    const double whole = std::floor(m_replayRemainder * 200.0 / 1852.0);
    const std::int64_t steps = whole < 4.0e18 ? static_cast<std::int64_t>(whole) : std::int64_t(4e18);
    if (steps <= 0)
        return;
    m_replayRemainder = std::max(0.0, m_replayRemainder - double(steps) * 1852.0 / 200.0);
    const std::int64_t single = std::min(steps, kMaxVesselLogStepsPerPing);
    for (std::int64_t i = 0; i < single; ++i)
        Step(1.0, pingTime, send);
    if (steps > single)
        Step(double(steps - single), pingTime, send);
}

void CLX750::Step(double steps, std::uint64_t time, bool send)
{
    m_distance += steps * kVesselLogStep;
    if (send)
        SendDatagram(BuildVesselLog(time, m_distance));
}

void CLX750::OnVesselLogTimer()
{
    if (m_isReplaying())
        return;
    double knots = 0.0;
    if (!m_speed.GetSpeedKnots(knots))
        return;  // no navigation input
    if (!std::isfinite(knots) || knots < 0.0)
        knots = 0.0;
    const bool send = GetSettings().VesselLogDatagram != 0;
    std::lock_guard lock(m_logLock);
    m_timerDistance += knots * kVesselLogPeriodMs / 3'600'000.0;
    // One step a tick at most: a backlog is worked off one step per tick.
    if (m_timerDistance * 200.0 < double(m_timerStep))
        return;
    const std::uint64_t now = CFileTime::Now();
    if (now != 0)
        Step(1.0, now, send);
    ++m_timerStep;
}

void CLX750::ForwardTelegram(const std::string& text)
{
    if (!GetSettings().NavigationDatagram)
        return;
    const auto b = BuildNavigation(text);
    if (!b.empty())
        SendDatagram(b);
}

void CLX750::TakePing(const OutputPing& ping)
{
    CEchoSounderPingSource source(ping.sounder, ping.soundVelocity);
    SendPingDatagrams(source);
}

void CLX750::TakeText(const OutputText& text)
{
    if (text.kind == OutputTextKind::PositionForward)
        ForwardTelegram(text.text);
}

void CLX750::RestoreDefaults()
{
    SetDistance(0.0);
    ApplySettings(Settings{});  // which saves them
}
