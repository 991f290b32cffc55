#include "sensors/Navigation.h"

#include "base/RegistrySupport.h"
#include "platform/NumberText.h"
#include "serialcom/device/DepthTelegram.h"

#include <cmath>
#include <type_traits>

CNavigation::Settings CNavigation::DefaultsAction(Settings s)
{
    // What the reset of all settings leaves; the rest stays as it is.
    s.NavigationProtocol = kProtocolNmea;
    s.NavigationSentence = 2;
    s.AsciiProtocol = 0;
    s.FieldSeparator = ",";
    s.StartField = 3;
    s.NoOfFields = 4;
    s.DepthOutput = 0;
    s.DepthTelegram = 0;
    s.CheckSum = 0;
    s.ChannelSource.clear();
    s.SpeedType = kSpeedManual;
    s.SpeedManual = 5.0;
    s.ClockSource = kSourceOff;
    return s;
}

CNavigation::Settings CNavigation::ApplySentence(Settings s, DWORD sentence)
{
    if (sentence >= std::size(kSentences))
        return s;
    const Sentence& row = kSentences[sentence];
    s.NavigationSentence = sentence;
    s.StartSequence = row.startSequence;
    s.FieldSeparator = ",";
    s.StartField = row.startField;
    s.NoOfFields = row.fieldCount;
    return s;
}

std::string CNavigation::RxProtocolName(const Settings& s)
{
    if (s.NavigationProtocol == kProtocolNmea)
        return "ASCII";
    switch (s.AsciiProtocol) {
    case 0:
        return "ASCII_CRLF";
    case 1:
        return "ASCII_CR";
    case 2:
        return "ASCII_LF";
    default:
        return "ASCII";
    }
}

CNavigation::CNavigation(const ISensorHost& host, const IDepthTelegramSources& sources)
    : CSerialSensor(kSettingId, host, kMonitorCutAbove, kMonitorKeep), m_sources(sources)
{}

CNavigation::~CNavigation()
{
    CloseSerial();
}

int CNavigation::Load(HKEY key)
{
    KeepKey(key);
    Settings s = GetSettings();
    ReadSettings(s);
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    TellSettingsChanged();
    ApplyProtocols();
    return 1;
}

namespace {

// One list of the stored values and their names, for reading and writing alike.
template <class S, class F>
void ForEachField(S& s, F&& f)
{
    f("NavigationProtocol", s.NavigationProtocol);
    f("NavigationSentence", s.NavigationSentence);
    f("AsciiProtocol", s.AsciiProtocol);
    f("StartSequence", s.StartSequence);
    f("FieldSeparator", s.FieldSeparator);
    f("StartField", s.StartField);
    f("NoOfFields", s.NoOfFields);
    f("DepthOutput", s.DepthOutput);
    f("DepthTelegram", s.DepthTelegram);
    f("CheckSum", s.CheckSum);
    f("ChannelSource", s.ChannelSource);
    f("SpeedType", s.SpeedType);
    f("SpeedManual", s.SpeedManual);
    f("PositionSource", s.PositionSource);
    f("ClockSource", s.ClockSource);
    f("UseAutoZda", s.UseAutoZda);
    f("Latency", s.Latency);
    f("CheckForPos", s.CheckForPos);
    f("GGA_QI", s.GGA_QI);
    f("GGA_NoOfSat", s.GGA_NoOfSat);
    f("GGA_HorDil", s.GGA_HorDil);
    f("AntennaHeight", s.AntennaHeight);
}

}  // namespace

void CNavigation::ReadSettings(Settings& s)
{
    HKEY key = Key();
    if (!key)
        return;
    CRegistrySupport reg;
    ForEachField(s, [&](const char* name, auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, DWORD>)
            reg.GetDword(key, "", name, v, TRUE);
        else if constexpr (std::is_same_v<T, std::string>)
            reg.GetString(key, "", name, v, TRUE);
        else
            reg.GetDouble(key, "", name, v, TRUE);
    });
}

void CNavigation::WriteSettings(const Settings& s)
{
    HKEY key = Key();
    if (!key)
        return;
    CRegistrySupport reg;
    ForEachField(s, [&](const char* name, const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, DWORD>)
            reg.SetDword(key, "", name, v);
        else if constexpr (std::is_same_v<T, std::string>)
            reg.SetString(key, "", name, v);
        else
            reg.SetDouble(key, "", name, v);
    });
}

CNavigation::Settings CNavigation::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

bool CNavigation::StoreSettings(const Settings& s)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    TellSettingsChanged();
    ApplyProtocols();
    if (!HasKey())
        return false;
    WriteSettings(s);
    return true;
}

void CNavigation::SetDefaults()
{
    const Settings s = DefaultsAction(GetSettings());
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    TellSettingsChanged();
    WriteSettings(s);
    ApplyProtocols();
}

void CNavigation::SetSettingsChanged(std::function<void()> changed)
{
    std::lock_guard lock(m_settingsLock);
    m_settingsChanged = std::move(changed);
}

void CNavigation::TellSettingsChanged()
{
    std::function<void()> changed;
    {
        std::lock_guard lock(m_settingsLock);
        changed = m_settingsChanged;
    }
    if (changed)
        changed();
}

void CNavigation::ApplyProtocols()
{
    if (!IsOpen())
        return;
    const Settings s = GetSettings();
    SetRxProtocol(RxProtocolName(s));
    if (s.DepthOutput)
        SetTxProtocol("ASCII");
}

void CNavigation::StoreDepthOutput(DWORD output, DWORD checksum, const std::string& channel)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.DepthOutput = output;
        m_settings.CheckSum = checksum;
        m_settings.ChannelSource = channel;
    }
    TellSettingsChanged();
    if (IsOpen())
        SetTxProtocol(output ? "ASCII" : "");
}

void CNavigation::SetSourceList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_settingsLock);
    m_sourceList = names;
}

std::vector<std::string> CNavigation::GetSourceList() const
{
    std::lock_guard lock(m_settingsLock);
    return m_sourceList;
}

double CNavigation::GetSpeed() const
{
    {
        std::lock_guard lock(m_settingsLock);
        if (m_settings.SpeedType == kSpeedManual)
            return m_settings.SpeedManual;
    }
    return m_measuredSpeed.load();
}

bool CNavigation::GetSpeedKnots(double& knots) const
{
    knots = GetSpeed();
    return true;
}

void CNavigation::StartForceUpdate()
{
    m_clockRequest = true;
    Monitor().Notify();
}

void CNavigation::EndForceUpdate()
{
    // Called where the clock was set (the ping-data thread too): the dialog
    // enables its button again when it is told.
    m_clockRequest = false;
    Monitor().Notify();
}

void CNavigation::SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_clockTime = time;
        m_clockText = clockText;
        m_dateText = dateText;
    }
    Monitor().Notify();
}

void CNavigation::GetClockTexts(std::string& clock, std::string& date) const
{
    std::lock_guard lock(m_settingsLock);
    clock = m_clockText;
    date = m_dateText;
}

void CNavigation::ClearClockTexts()
{
    std::lock_guard lock(m_settingsLock);
    m_clockText.clear();
    m_dateText.clear();
}

SYSTEMTIME CNavigation::GetClockTime() const
{
    std::lock_guard lock(m_settingsLock);
    return m_clockTime;
}

void CNavigation::SetMeasuredSpeed(double knots)
{
    m_measuredSpeed = knots;
    Monitor().Notify();
}

bool CNavigation::ExpectsPositions()
{
    std::lock_guard lock(m_settingsLock);
    return m_settings.CheckForPos != 0;
}

bool CNavigation::GetNavigationSettings(SNavigationSettings& out)
{
    const Settings s = GetSettings();
    out.PositionSource = s.PositionSource;
    out.ClockSource = s.ClockSource;
    out.SpeedType = s.SpeedType;
    out.FieldSeparator = s.FieldSeparator;
    out.StartSequence = s.StartSequence;
    out.StartField = s.StartField;
    out.NoOfFields = s.NoOfFields;
    out.UseAutoZda = s.UseAutoZda;
    out.Latency = s.Latency;
    out.GGA_QI = s.GGA_QI;
    out.GGA_NoOfSat = s.GGA_NoOfSat;
    out.GGA_HorDil = s.GGA_HorDil;
    out.AntennaHeight = s.AntennaHeight;
    return true;
}

int CNavigation::SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime,
                                   double depth, double transducerDepth, double second, double heave)
{
    DWORD type = 0, checksum = 0;
    {
        std::lock_guard lock(m_settingsLock);
        const Settings& s = m_settings;
        if (!s.DepthOutput)
            return 0;
        if (s.DepthTelegram != kDepthTelegramFixed && s.DepthTelegram != kDepthTelegramByChannel &&
            channelName != s.ChannelSource)
            return 0;
        type = s.DepthTelegram;
        checksum = s.CheckSum;
    }
    // Not a number fails the test as a negative depth does.
    if (!(depth >= 0.0) || channelIndex < 0)
        return 1;
    const std::string telegram = FormatDepthTelegram(m_sources, type, static_cast<std::int32_t>(checksum), channelIndex,
                                                     pingTime, depth, transducerDepth, second, heave);
    if (!telegram.empty())
        SendTelegram(telegram);
    return 0;
}

void CNavigation::TakeDepth(const DepthReport& r)
{
    SendDepthTelegram(r.SourceName, r.ChannelId, r.PingTime, r.Depth, r.DraughtAndOffset, r.BottomLevel, r.Heave);
}

void CNavigation::ParseTelegram(const CTarnMessage& message)
{
    // Replayed data is neither shown nor decoded, and nothing is made for a
    // line that goes nowhere.
    if (m_host.IsReplaying())
        return;
    const std::string text = TextOf(message);
    if (Monitor().IsVisible())
        Monitor().AppendText(text);
    // Every line goes to the decoder, which applies the source settings and
    // the start sequence.
    PostTelegram(text, TimeOf(message));
}
