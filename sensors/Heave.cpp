#include "sensors/Heave.h"

#include "base/RegistrySupport.h"
#include "serialcom/device/DepthTelegram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kDegree = 0.0174532925199;
constexpr double kRadianInDegrees = 57.29577957855229;
constexpr int kMaxHeave = 999;  // cm
// The text telegram's angle fields hold a sign and four digits of 0.01
// degree: anything larger is no angle the sensor sent.
constexpr int kMaxTextAngle = 9999;

// A whole number as the sensor writes it in a field of its own width:
// blanks, a sign, then digits up to the first other character. Nothing is
// read past the field; false without a digit or beyond the limit, which is
// asked before the ring's 16 bits can wrap the number into range.
bool FieldNumber(const BYTE* bytes, std::size_t from, std::size_t width, int limit, std::int16_t& value)
{
    std::size_t i = from;
    const std::size_t end = from + width;
    while (i < end && bytes[i] == ' ')
        ++i;
    bool negative = false;
    if (i < end && (bytes[i] == '-' || bytes[i] == '+'))
        negative = bytes[i++] == '-';
    int v = 0;
    const std::size_t digits = i;
    for (; i < end && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        v = v * 10 + (bytes[i] - '0');
    if (i == digits || v > limit)
        return false;
    value = static_cast<std::int16_t>(negative ? -v : v);
    return true;
}

std::int16_t Word(const BYTE* bytes, std::size_t at)
{
    return static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8);
}

// An angle voltage in hundredths of a volt as hundredths of a degree.
std::int16_t Angle(std::int16_t raw, DWORD mode)
{
    if (mode != CHeave::kTenSine)
        return raw;
    const double x = std::clamp(raw / 1000.0, -1.0, 1.0);
    return static_cast<std::int16_t>(std::trunc(std::asin(x) * kRadianInDegrees * 100.0));
}

}  // namespace

CHeave::CHeave(const ISensorHost& host, const IDepthTelegramSources& sources)
    : CSerialSensor(kSettingId, host, kMonitorCutAbove, kMonitorKeep), m_sources(sources)
{}

CHeave::~CHeave()
{
    CloseAsciiPort();
}

const char* CHeave::ProtocolName(DWORD protocol)
{
    switch (protocol) {
    case kProtocolAscii:
        return "ASCII";
    case kProtocolVN1500:
        return "MoviraVN1500";
    case kProtocolZelvar:
        return "MoviraZelvar";
    default:
        return "RAW";
    }
}

void CHeave::ReadSettings(Settings& s)
{
    CRegistrySupport reg;
    reg.GetString(Key(), "", "TransceiverSource", s.TransceiverSource, TRUE);
    reg.GetDword(Key(), "", "Mode", s.Mode, TRUE);
    reg.GetDword(Key(), "", "SerialProtocol", s.SerialProtocol, TRUE);
    reg.GetDword(Key(), "", "AnalogModeHeave", s.AnalogModeHeave, TRUE);
    reg.GetDword(Key(), "", "AnalogModePitch", s.AnalogModePitch, TRUE);
    reg.GetDword(Key(), "", "AnalogModeRoll", s.AnalogModeRoll, TRUE);
    reg.GetDword(Key(), "", "DepthOutput", s.DepthOutput, TRUE);
    reg.GetDword(Key(), "", "DepthTelegram", s.DepthTelegram, TRUE);
    reg.GetDword(Key(), "", "CheckSum", s.CheckSum, TRUE);
    reg.GetDword(Key(), "", "CalcRemoteHeave", s.CalcRemoteHeave, TRUE);
    reg.GetString(Key(), "", "ChannelSource", s.ChannelSource, TRUE);
    reg.GetDouble(Key(), "", "SensorDepth", s.SensorDepth, TRUE);
    reg.GetDouble(Key(), "", "SensorAlong", s.SensorAlong, TRUE);
    reg.GetDouble(Key(), "", "SensorAthwart", s.SensorAthwart, TRUE);
    reg.GetDword(Key(), "", "UseLatency", s.UseLatency, TRUE);
    reg.GetDword(Key(), "", "Latency", s.Latency, TRUE);
}

void CHeave::WriteSettings(const Settings& s)
{
    CRegistrySupport reg;
    reg.SetString(Key(), "", "TransceiverSource", s.TransceiverSource);
    reg.SetDword(Key(), "", "Mode", s.Mode);
    reg.SetDword(Key(), "", "SerialProtocol", s.SerialProtocol);
    reg.SetDword(Key(), "", "AnalogModeHeave", s.AnalogModeHeave);
    reg.SetDword(Key(), "", "AnalogModePitch", s.AnalogModePitch);
    reg.SetDword(Key(), "", "AnalogModeRoll", s.AnalogModeRoll);
    reg.SetDword(Key(), "", "DepthOutput", s.DepthOutput);
    reg.SetDword(Key(), "", "DepthTelegram", s.DepthTelegram);
    reg.SetDword(Key(), "", "CheckSum", s.CheckSum);
    reg.SetDword(Key(), "", "CalcRemoteHeave", s.CalcRemoteHeave);
    reg.SetString(Key(), "", "ChannelSource", s.ChannelSource);
    reg.SetDouble(Key(), "", "SensorDepth", s.SensorDepth);
    reg.SetDouble(Key(), "", "SensorAlong", s.SensorAlong);
    reg.SetDouble(Key(), "", "SensorAthwart", s.SensorAthwart);
    reg.SetDword(Key(), "", "UseLatency", s.UseLatency);
    reg.SetDword(Key(), "", "Latency", s.Latency);
}

void CHeave::Initialise(HKEY key)
{
    KeepKey(key);
    Settings s = GetSettings();
    if (Key())
        ReadSettings(s);
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    m_depthOutput = s.DepthOutput != 0;
    if (s.DepthOutput && IsOpen())
        SetTxProtocol("ASCII");
}

HRESULT CHeave::OpenPort()
{
    // The mode is not asked: the line is ready when the operator picks it.
    m_busy = true;
    const HRESULT hr = OpenPortThen(ProtocolName(GetSettings().SerialProtocol), kSettleMs, [this] {
        m_ring.Clear();
        if (m_depthOutput.load())
            SetTxProtocol("ASCII");
    });
    m_busy = false;
    return hr;
}

void CHeave::ClosePort()
{
    CloseAsciiPort();
}

void CHeave::ConfigurePort()
{
    m_busy = true;
    SetRxProtocol(ProtocolName(GetSettings().SerialProtocol));
    SetRxTimeouts(0, 100, 0);
    m_busy = false;
}

void CHeave::SetTransceiverList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_settingsLock);
    m_transceivers = names;
}

std::vector<std::string> CHeave::GetTransceiverList() const
{
    std::lock_guard lock(m_settingsLock);
    return m_transceivers;
}

void CHeave::SetSourceList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_settingsLock);
    m_channels = names;
}

std::vector<std::string> CHeave::GetSourceList() const
{
    std::lock_guard lock(m_settingsLock);
    return m_channels;
}

void CHeave::SetDefaults()
{
    Settings s = GetSettings();
    const Settings factory;
    s.TransceiverSource = factory.TransceiverSource;
    s.ChannelSource = factory.ChannelSource;
    s.Mode = factory.Mode;
    s.SerialProtocol = factory.SerialProtocol;
    s.DepthOutput = factory.DepthOutput;
    s.DepthTelegram = factory.DepthTelegram;
    s.CheckSum = factory.CheckSum;
    StoreSettings(s);
}

CHeave::Settings CHeave::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

bool CHeave::StoreSettings(const Settings& s)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    m_depthOutput = s.DepthOutput != 0;
    if (!Key())
        return false;
    WriteSettings(s);
    return true;
}

void CHeave::ReloadSettings()
{
    if (!Key())
        return;
    const DWORD protocol = GetSettings().SerialProtocol;
    Settings s = GetSettings();
    ReadSettings(s);
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    m_depthOutput = s.DepthOutput != 0;
    if (IsOpen()) {
        if (s.SerialProtocol != protocol)
            ConfigurePort();
        SetTxProtocol(s.DepthOutput ? "ASCII" : "");
    }
}

void CHeave::SetMode(DWORD mode)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.Mode = mode;
    }
    if (mode == kModeOff)
        m_ring.Clear();
}

void CHeave::SetProtocol(DWORD protocol)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.SerialProtocol = protocol;
    }
    if (IsOpen())
        ConfigurePort();
    m_ring.Clear();
}

void CHeave::SetSensorOffsets(double along, double athwart, double depth)
{
    std::lock_guard lock(m_settingsLock);
    m_settings.SensorAlong = along;
    m_settings.SensorAthwart = athwart;
    m_settings.SensorDepth = depth;
}

void CHeave::StoreDepthOutput(DWORD output, DWORD telegram, DWORD checksum, const std::string& channel)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.DepthOutput = output;
        m_settings.DepthTelegram = telegram;
        m_settings.CheckSum = checksum;
        m_settings.ChannelSource = channel;
    }
    m_depthOutput = output != 0;
    if (IsOpen())
        SetTxProtocol(output ? "ASCII" : "");
}

bool CHeave::GetSensorOffsets(double& along, double& athwart, double& depth) const
{
    std::lock_guard lock(m_settingsLock);
    along = m_settings.SensorAlong;
    athwart = m_settings.SensorAthwart;
    depth = m_settings.SensorDepth;
    return true;
}

// ---------------------------------------------------------------------------
// The line

void CHeave::ParseTelegram(const CTarnMessage& message)
{
    ParseTelegram(message.GetDataPtr(), message.GetSize(), message.GetTime());
}

void CHeave::ParseTelegram(const BYTE* bytes, std::size_t size, std::uint64_t stamp)
{
    DWORD protocol = 0;
    {
        std::lock_guard lock(m_settingsLock);
        if (m_settings.Mode != kModeSerial)
            return;
        protocol = m_settings.SerialProtocol;
    }
    if (!bytes || size == 0)
        return;
    Display(bytes, size, stamp);
    CHeaveRingBuffer::Sample sample;
    if (!Decode(bytes, size, protocol, sample) || stamp == 0 || sample.heave < -kMaxHeave || sample.heave > kMaxHeave)
        return;
    sample.stamp = stamp;
    if (m_ring.Add(sample) && Monitor().IsVisible() && !m_busy.load())
        Monitor().NotifyValues();
}

void CHeave::Display(const BYTE* bytes, std::size_t size, std::uint64_t stamp)
{
    // At most one telegram each 100 ms of stamps; a stamp older than the
    // last shown (a clock set back) starts the interval again.
    const std::uint64_t last = m_lastDisplayed.load();
    if (stamp >= last && stamp - last < kDisplayInterval)
        return;
    m_lastDisplayed = stamp;
    const bool nul = std::memchr(bytes, 0x00, size) != nullptr;
    const bool binary = nul || std::memchr(bytes, 0x90, size) != nullptr;
    const bool visible = Monitor().IsVisible();
    if (m_hexDisplay.load()) {
        // A telegram with neither byte is text: those that follow are shown
        // so, this one still in hex.
        if (!binary)
            m_hexDisplay = false;
        if (visible)
            Monitor().AppendHex(bytes, size);
        return;
    }
    if (nul) {
        m_hexDisplay = true;
        return;
    }
    if (visible)
        Monitor().AppendText(std::string(reinterpret_cast<const char*>(bytes), size));
}

bool CHeave::Decode(const BYTE* b, std::size_t size, DWORD protocol, CHeaveRingBuffer::Sample& s) const
{
    switch (protocol) {
    case kProtocolAscii: {
        // :XXAAAA MHHHHQMRRRR MPPPP
        // 0 ':', 1-6 accelerations, 8 heave (cm), 13 status ('?' invalid),
        // 14 roll, 20 pitch (0.01 degree); blanks at 7 and 19.
        if (size < 25 || b[0] != ':' || b[7] != ' ' || b[19] != ' ')
            return false;
        if (b[13] == '?') {
            s = {};
            return true;
        }
        if (!FieldNumber(b, 8, 5, kMaxHeave, s.heave) || !FieldNumber(b, 14, 5, kMaxTextAngle, s.roll) ||
            !FieldNumber(b, 20, 5, kMaxTextAngle, s.pitch))
            return false;
        s.heading = 0;
        return true;
    }
    case kProtocolVN1500:
    case kProtocolZelvar: {
        // 0 start (0x00, or 0x90/0x91), 1 0x90, then 16-bit little-endian
        // roll 2, pitch 4, heave 6 (cm), heading 8 (0.01 degree).
        if (size < 10 || b[1] != 0x90)
            return false;
        if (protocol == kProtocolZelvar && b[0] != 0x90 && b[0] != 0x91)
            return false;
        s.roll = Word(b, 2);
        s.pitch = Word(b, 4);
        s.heave = Word(b, 6);
        s.heading = Word(b, 8);
        if (protocol == kProtocolVN1500) {
            if (b[0] != 0x00)
                return false;
            // A 0x90 where the roll begins may be a start out of step.
            const auto heading = static_cast<std::uint16_t>(s.heading);
            if (b[2] == 0x90 && (std::abs(s.roll) > 999 || std::abs(s.pitch) > 999 || heading >= 36000))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// The analog input

void CHeave::AddAnalogSamples(const std::string& transceiverName, const AnalogMotionSample* samples, int count)
{
    if (!samples || count <= 0)
        return;
    DWORD pitchMode = 0, rollMode = 0, latency = 0;
    {
        std::lock_guard lock(m_settingsLock);
        if (m_settings.Mode != kModeAnalog || transceiverName != m_settings.TransceiverSource)
            return;
        pitchMode = m_settings.AnalogModePitch;
        rollMode = m_settings.AnalogModeRoll;
        latency = m_settings.UseLatency ? m_settings.Latency : 0;
    }
    const bool visible = Monitor().IsVisible();
    if (visible) {
        char text[96];
        std::snprintf(text, sizeof text, "H= %.2f V;    R= %.2f V;    P= %.2f V\r\n", samples[0].heave / 100.0,
                      samples[0].roll / 100.0, samples[0].pitch / 100.0);
        Monitor().AppendText(text);
    }
    const std::uint64_t late = static_cast<std::uint64_t>(latency) * 10'000;
    bool added = false;
    for (int i = 0; i < count; ++i) {
        const AnalogMotionSample& a = samples[i];
        // The sensor's output lags its motion by the latency.
        if (a.time <= late)
            continue;
        CHeaveRingBuffer::Sample s;
        s.stamp = a.time - late;
        s.heave = a.heave;  // +1 V a metre: hundredths of a volt are cm
        s.roll = Angle(a.roll, rollMode);
        s.pitch = Angle(a.pitch, pitchMode);
        added = m_ring.Add(s) || added;
    }
    if (added && visible && !m_busy.load())
        Monitor().NotifyValues();
}

// ---------------------------------------------------------------------------
// The ping's questions

double CHeave::RemoteHeave(double h, double roll, double pitch, const TransducerOffsets& t, double sensorAlong,
                           double sensorAthwart, double sensorDepth)
{
    const double r = roll * kDegree;
    const double p = pitch * kDegree;
    return h + std::sin(r) * std::cos(p) * (t.TransducerAthwart - sensorAthwart) -
           std::sin(p) * (t.TransducerAlong - sensorAlong) -
           (1.0 - std::cos(r) * std::cos(p)) * (t.TransducerDown - sensorDepth);
}

bool CHeave::GetMotionAtTime(std::uint64_t time, const TransducerOffsets& transducer, double out[4])
{
    if (time == 0) {
        std::fill_n(out, 4, 0.0);
        return false;
    }
    const CHeaveRingBuffer::Motion m = m_ring.ValueAt(time);
    out[0] = -m.heave / 100.0;
    out[1] = m.roll / 100.0;
    out[2] = m.pitch / 100.0;
    bool remote = false;
    double along = 0.0, athwart = 0.0, depth = 0.0;
    {
        std::lock_guard lock(m_settingsLock);
        remote = m_settings.CalcRemoteHeave != 0;
        along = m_settings.SensorAlong;
        athwart = m_settings.SensorAthwart;
        depth = m_settings.SensorDepth;
    }
    out[3] = remote ? RemoteHeave(out[0], out[1], out[2], transducer, along, athwart, depth) : out[0];
    return true;
}

int CHeave::SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                              double transducerDepth, double second, double heave)
{
    DWORD type = 0, checksum = 0;
    {
        std::lock_guard lock(m_settingsLock);
        if (!m_settings.DepthOutput)
            return 0;
        if (m_settings.DepthTelegram != kDepthTelegramFixed && m_settings.DepthTelegram != kDepthTelegramByChannel &&
            channelName != m_settings.ChannelSource)
            return 0;
        type = m_settings.DepthTelegram;
        checksum = m_settings.CheckSum;
    }
    if (!(depth >= 0.0))
        return 1;
    if (!IsOpen())
        return 0;
    const std::string telegram = FormatDepthTelegram(m_sources, type, static_cast<std::int32_t>(checksum), channelIndex,
                                                     pingTime, depth, transducerDepth, second, heave);
    if (!telegram.empty())
        SendTelegram(telegram);
    return 0;
}

void CHeave::TakeDepth(const DepthReport& r)
{
    SendDepthTelegram(r.SourceName, r.ChannelId, r.PingTime, r.Depth, r.DraughtAndOffset, r.BottomLevel, r.Heave);
}
