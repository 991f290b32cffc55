#include "outputs/Lobe.h"

#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "engine/TSDetection.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace {

// Where a text stands in the command, when it stands after its first
// character.
bool ContainsAfterStart(const std::string& command, const char* text)
{
    const auto at = command.find(text);
    return at != std::string::npos && at != 0;
}

bool StartsWith(const std::string& command, const char* text)
{
    return command.rfind(text, 0) == 0;
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct SItem
{
    const char* name;
    std::string (*value)(const CLobe::SChannelItems&);
};

// In the order they are looked for.
const std::array<SItem, 10> kItems{{
    {"Pulse Length", [](const CLobe::SChannelItems& c) { return Format("%.3f", c.pulseLength * 1000.0) + " ms"; }},
    {"Bandwidth", [](const CLobe::SChannelItems&) { return std::string("Unknown"); }},
    {"Max. Power", [](const CLobe::SChannelItems& c) { return Format("%.0f", c.maxPower) + " W"; }},
    {"TS Transd. Gain", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.gain) + " dB"; }},
    {"Angle Sens.Along", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.angleSensitivityAlongship); }},
    {"Angle Sens.Athw.", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.angleSensitivityAthwartship); }},
    {"3 dB Beamw.Along", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.beamWidthAlongship) + " dg"; }},
    {"3 dB Beamw.Athw.", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.beamWidthAthwartship) + " dg"; }},
    {"Alongship Offset", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.offsetAlongship) + " dg"; }},
    {"Athw.ship Offset", [](const CLobe::SChannelItems& c) { return Format("%.2f", c.offsetAthwartship) + " dg"; }},
}};

constexpr const char* kEnd = "\r\r\n";

}  // namespace

CLobe::CLobe(Links links) : CSerialDeviceLink(kSettingId, "ASCII_CR", "ASCII"), m_links(std::move(links)) {}

CLobe::~CLobe()
{
    // The reader calls ParseTelegram until the device is closed.
    ClosePort();
}

long CLobe::OpenPort()
{
    return OpenSerial();
}

void CLobe::ClosePort()
{
    CloseSerial();
}

std::string CLobe::TimeField(std::uint64_t fileTime)
{
    // Seconds since 1970 and hundredths.
    constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000ULL;
    const std::uint64_t since = fileTime > kUnixEpoch ? fileTime - kUnixEpoch : 0;
    const std::time_t seconds = static_cast<std::time_t>(since / 10'000'000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(since / 100'000 % 100));
    return text;
}

std::string CLobe::Reply(const std::string& k, std::uint64_t time)
{
    if (k.size() <= 4 || k[0] != '/')
        return {};
    const std::string t = TimeField(time);
    if (StartsWith(k, "/TEST") && ContainsAfterStart(k, "/Version"))
        return "PR," + t + ",/TEST MENU/Version=TQ250 " + (m_links.fileVersion ? m_links.fileVersion() : "") + kEnd;
    if (StartsWith(k, "/SER") && ContainsAfterStart(k, "/Telegram")) {
        if (!ContainsAfterStart(k, "="))
            return {};
        if (ContainsAfterStart(k, "Echo-Trace")) {
            const auto eq = k.find('=');
            const char on = eq + 1 < k.size() ? k[eq + 1] : '\0';
            m_echoTrace = on == '1' || on == '2' || on == '3';
        }
        return "PE," + t + k + kEnd;
    }
    if (StartsWith(k, "/TRANSCEIVER")) {
        const int index = ContainsAfterStart(k, "1")   ? 0
                          : ContainsAfterStart(k, "2") ? 1
                          : ContainsAfterStart(k, "3") ? 2
                                                       : 0;
        const std::optional<SChannelItems> items = m_links.channelItems ? m_links.channelItems(index) : std::nullopt;
        if (!items)
            return {};
        for (const SItem& item : kItems) {
            if (!ContainsAfterStart(k, item.name))
                continue;
            char head[96];
            std::snprintf(head, sizeof head, "PR,%s,/TRANSCEIVER MENU/Transceiver-%d Menu/", t.c_str(), index + 1);
            return head + std::string(item.name) + "=" + item.value(*items) + kEnd;
        }
    }
    return {};
}

void CLobe::HandleCommand(const std::string& command, std::uint64_t time)
{
    const std::string reply = Reply(command, time);
    if (!reply.empty())
        SendText(reply);
}

std::string CLobe::EchoTraceTelegram(int channel, std::uint64_t pingTime, const SingleTargetRecord& record)
{
    const int n = std::min<int>(record.Count, SingleTargetRecord::kCapacity);
    if (channel < 0 || n <= 0)
        return {};
    char line[96];
    std::snprintf(line, sizeof line, "E%d,%s,%2d,\r\n", channel + 1, TimeField(pingTime).c_str(), n);
    std::string text = line;
    for (int i = 0; i < n; ++i) {
        const TSTarget& t = record.Targets[static_cast<std::size_t>(i)];
        std::snprintf(line, sizeof line, "%7.2f,%5.1f,%5.1f,%6.2f,%6.2f,", t.Range, t.TS, t.TSUncompensated,
                      t.AlongAngle, t.AthwartAngle);
        text += line;
        text += i + 1 < n ? "\r\n" : kEnd;
    }
    return text;
}

void CLobe::SendTelegram(int channelIndex, std::uint64_t pingTime, const SingleTargetRecord& record)
{
    if (!m_echoTrace.load() || !IsOpen())
        return;
    const std::string text = EchoTraceTelegram(channelIndex, pingTime, record);
    if (!text.empty())
        SendText(text);
}

void CLobe::SetMonitorVisible(bool visible)
{
    std::lock_guard lock(m_monitorLock);
    m_monitorVisible = visible;
}

std::string CLobe::GetMonitorText() const
{
    std::lock_guard lock(m_monitorLock);
    return m_monitor;
}

std::uint64_t CLobe::GetMonitorRevision() const
{
    std::lock_guard lock(m_monitorLock);
    return m_monitorRevision;
}

void CLobe::ClearMonitor()
{
    std::lock_guard lock(m_monitorLock);
    m_monitor.clear();
    ++m_monitorRevision;
}

void CLobe::TakeLine(const std::string& text, std::uint64_t time)
{
    {
        std::lock_guard lock(m_monitorLock);
        if (m_monitorVisible) {
            m_monitor += text;
            if (text.size() > 1 && (m_monitor.empty() || m_monitor.back() != '\n'))
                m_monitor += "\r\n";
            // Cut here, not when the dialog gets round to it: lines arrive
            // faster than a busy dialog refreshes.
            if (m_monitor.size() > kMonitorLimit)
                m_monitor.erase(0, m_monitor.size() - kMonitorKeep);
            ++m_monitorRevision;
        }
    }
    if (HWND frame = ::GetMainWindow())
        ::PostMessage(frame, app::WM_ES_LOBECOMMAND, 0, 0, MakePayload<app::TimedText>(app::TimedText{text, time}));
}

void CLobe::ParseTelegram(const CTarnMessage& message)
{
    const char* data = reinterpret_cast<const char*>(message.GetDataPtr());
    std::string text(data, message.GetSize());
    text = text.substr(0, text.find('\0'));
    // The message's own time stamp, taken when its first byte came.
    TakeLine(text, const_cast<CTarnMessage&>(message).GetTime());
}

void CLobe::SendText(const std::string& text)
{
    CSerialDeviceLink::SendTelegram(text);
}
