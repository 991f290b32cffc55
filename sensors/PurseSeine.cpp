#include "sensors/PurseSeine.h"

#include "base/RegistrySupport.h"
#include "base/StringHelpers.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "serialcom/device/DepthTelegram.h"

#include <cmath>

namespace {

// The net sensors' line is read whatever the program does, replay included.
const CLiveSensorHost kAlwaysLive;

}  // namespace

CPurseSeine::CPurseSeine(const IDepthTelegramSources& sources)
    : CSerialSensor(kSettingId, kAlwaysLive, kMonitorCutAbove, kMonitorKeep), m_sources(sources)
{}

CPurseSeine::~CPurseSeine()
{
    CloseSerial();
}

void CPurseSeine::OpenPort(HKEY key)
{
    KeepKey(key);
    Settings s = GetSettings();
    if (Key()) {
        CRegistrySupport reg;
        reg.GetDword(Key(), "", "DepthOutput", s.DepthOutput, TRUE);
        reg.GetDword(Key(), "", "DepthTelegram", s.DepthTelegram, TRUE);
        reg.GetDword(Key(), "", "CheckSum", s.CheckSum, TRUE);
        reg.GetString(Key(), "", "ChannelSource", s.ChannelSource, TRUE);
    }
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    if (IsOpen())
        SetTxProtocol("ASCII");
}

void CPurseSeine::SetChannelList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_settingsLock);
    m_channels = names;
}

std::vector<std::string> CPurseSeine::GetChannelList() const
{
    std::lock_guard lock(m_settingsLock);
    return m_channels;
}

CPurseSeine::Settings CPurseSeine::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

bool CPurseSeine::StoreSettings(const Settings& s)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    if (!Key())
        return false;
    CRegistrySupport reg;
    reg.SetDword(Key(), "", "DepthOutput", s.DepthOutput);
    reg.SetDword(Key(), "", "DepthTelegram", s.DepthTelegram);
    reg.SetDword(Key(), "", "CheckSum", s.CheckSum);
    return reg.SetString(Key(), "", "ChannelSource", s.ChannelSource) != FALSE;
}

void CPurseSeine::ResetOutput()
{
    StoreSettings(Settings{});
}

void CPurseSeine::ParseTelegram(const CTarnMessage& message)
{
    const std::string text = TextOf(message);
    if (Monitor().IsVisible())
        Monitor().AppendText(text);
    ParseTelegram(text, message.GetTime());
}

void CPurseSeine::ParseTelegram(const std::string& text, std::uint64_t received)
{
    // $PKVRP,<1>,<2>,<3>,D,<unit>,<sensor>,<7>,<depth>,<9>,2
    //  0     1   2   3   4  5      6        7   8       9   10
    // Unit M metres, F or f fathoms; sensors 1 to 3.
    if (text.size() < 6 || text.compare(1, 4, "PKVR") != 0 || text[5] != 'P' || GetField(text, ",", 4) != "D" ||
        GetField(text, ",", 10) != "2")
        return;
    const std::string number = GetField(text, ",", 6);
    if (number.size() != 1 || number[0] < '1' || number[0] > '3')
        return;
    const std::string unit = GetField(text, ",", 5);
    double factor = 0.0;
    if (unit == "M")
        factor = 1.0;
    else if (unit == "F" || unit == "f")
        factor = kFathom;
    else
        return;
    // An empty or unreadable depth keeps the previous reading; so does one
    // that only the fathoms' factor carries past the largest double.
    double value = 0.0;
    if (!CNumberText::TryParseDouble(GetField(text, ",", 8), value) || !std::isfinite(value * factor))
        return;
    const std::size_t sensor = static_cast<std::size_t>(number[0] - '1');
    std::lock_guard lock(m_readingsLock);
    m_readings.depth[sensor] = value * factor;
    m_readings.time[sensor] = received != 0 ? received : CFileTime::Now();
    if (Monitor().IsVisible())
        Monitor().NotifyValues();
}

CPurseSeine::Readings CPurseSeine::GetReadings() const
{
    std::lock_guard lock(m_readingsLock);
    return m_readings;
}

void CPurseSeine::StampSensor(int states[kSensors], double depths[kSensors]) const
{
    StampSensorAt(states, depths, CFileTime::Now());
}

void CPurseSeine::StampSensorAt(int states[kSensors], double depths[kSensors], std::uint64_t now) const
{
    const Readings r = GetReadings();
    for (std::size_t i = 0; i < kSensors; ++i) {
        const std::uint64_t t = r.time[i];
        depths[i] = 0.0;
        if (t == 0) {
            states[i] = kNone;
            continue;
        }
        // A reading stamped ahead of now (a clock set back) counts as fresh.
        states[i] = now < t || now - t < kFreshAge ? kFresh : kOld;
        depths[i] = r.depth[i];
    }
}

int CPurseSeine::SendDepth(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                           double transducerDepth, double second, double heave)
{
    const Settings s = GetSettings();
    if (!s.DepthOutput)
        return 0;
    if (s.DepthTelegram != kDepthTelegramFixed && s.DepthTelegram != kDepthTelegramByChannel &&
        channelName != s.ChannelSource)
        return 0;
    if (!(depth >= 0.0))
        return 1;
    if (channelIndex < 0 || !IsOpen())
        return 0;
    const std::string telegram = FormatDepthTelegram(m_sources, s.DepthTelegram, static_cast<std::int32_t>(s.CheckSum),
                                                     channelIndex, pingTime, depth, transducerDepth, second, heave);
    if (!telegram.empty())
        SendTelegram(telegram);
    return 0;
}

void CPurseSeine::TakeDepth(const DepthReport& r)
{
    SendDepth(r.SourceName, r.ChannelId, r.PingTime, r.Depth, r.DraughtAndOffset, r.BottomLevel, r.Heave);
}
