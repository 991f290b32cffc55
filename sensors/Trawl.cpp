#include "sensors/Trawl.h"

#include "base/RegistrySupport.h"
#include "base/StringHelpers.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "sensors/NmeaDecoder.h"
#include "serialcom/device/DepthTelegram.h"

#include <cmath>

namespace {

constexpr std::uint64_t kSecond = 10'000'000;

// The trawl's line is read whatever the program does, replay included.
const CLiveSensorHost kAlwaysLive;

// A field that holds one finite number, and nothing else.
bool Number(const std::string& field, double& value)
{
    double v = 0.0;
    if (!CNumberText::TryParseDouble(field, v) || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

}  // namespace

CTrawl::CTrawl(SounderModel model, const IDepthTelegramSources& sources)
    : CSerialSensor(kSettingId, kAlwaysLive, kMonitorCutAbove, kMonitorKeep), m_model(model), m_sources(sources)
{}

CTrawl::~CTrawl()
{
    CloseSerial();
}

void CTrawl::SetSettingsKey(HKEY key)
{
    KeepKey(key);
    Settings s = GetSettings();
    if (Key()) {
        CRegistrySupport reg;
        reg.GetDword(Key(), "", "Manual", s.Manual, TRUE);
        reg.GetDouble(Key(), "", "ManualOpening", s.ManualOpening, TRUE);
        reg.GetDword(Key(), "", "DepthOutput", s.DepthOutput, TRUE);
        reg.GetDword(Key(), "", "DepthTelegram", s.DepthTelegram, TRUE);
        reg.GetDword(Key(), "", "CheckSum", s.CheckSum, TRUE);
        reg.GetString(Key(), "", "ChannelSource", s.ChannelSource, TRUE);
    }
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    if (s.DepthOutput && IsOpen())
        SetTxProtocol("ASCII");
}

void CTrawl::SetChannelList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_settingsLock);
    m_channels = names;
}

std::vector<std::string> CTrawl::GetChannelList() const
{
    std::lock_guard lock(m_settingsLock);
    return m_channels;
}

CTrawl::Settings CTrawl::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

bool CTrawl::StoreSettings(const Settings& s)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    ApplyTransmitProtocol();
    if (!Key())
        return false;
    CRegistrySupport reg;
    reg.SetDword(Key(), "", "Manual", s.Manual);
    reg.SetDouble(Key(), "", "ManualOpening", s.ManualOpening);
    reg.SetDword(Key(), "", "DepthOutput", s.DepthOutput);
    reg.SetDword(Key(), "", "DepthTelegram", s.DepthTelegram);
    reg.SetDword(Key(), "", "CheckSum", s.CheckSum);
    return reg.SetString(Key(), "", "ChannelSource", s.ChannelSource) != FALSE;
}

void CTrawl::StoreDepthOutput(DWORD output, DWORD checksum, const std::string& channel)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.DepthOutput = output;
        m_settings.CheckSum = checksum;
        m_settings.ChannelSource = channel;
    }
    ApplyTransmitProtocol();
}

void CTrawl::ApplyTransmitProtocol()
{
    // An empty name leaves the component its CR-and-LF default.
    if (IsOpen())
        SetTxProtocol(GetSettings().DepthOutput ? "ASCII" : "");
}

void CTrawl::ResetData()
{
    Settings s;
    // The models a trawl link is made for measure the opening; the others
    // take the manual one.
    const bool trawlModel =
        m_model == SounderModel::RM30 || m_model == SounderModel::TQ30 || m_model == SounderModel::TOTAL;
    s.Manual = trawlModel ? 0 : 1;
    StoreSettings(s);
}

void CTrawl::ParseTelegram(const CTarnMessage& message)
{
    if (Monitor().IsVisible()) {
        if (m_hexMonitor.load()) {
            Monitor().AppendHex(message.GetDataPtr(), message.GetSize());
        } else {
            Monitor().AppendText(TextOf(message));
        }
    }
    ParseTelegram(TextOf(message), message.GetTime());
}

void CTrawl::ParseTelegram(const std::string& telegram, std::uint64_t received)
{
    // $IIDBS,328.1,f,100.0,M,54.7,F   $IIDBT,...     3 the metres
    // $IIDPT,100.0,5.0                               1 below the sensor, 2 its offset
    // $IIHFB,12.5,M                                  1 the opening (talker II only)
    // A sentence whose checksum fails, or whose value is missing or no
    // number, keeps the previous reading.
    if (telegram.size() < 6 || CNmeaDecoder::ChecksumFails(telegram))
        return;
    const std::string text = telegram.substr(0, telegram.find('*'));
    // A star early in the line leaves no talker and name to read.
    if (text.size() < 6)
        return;
    const std::string id = text.substr(3, 3);
    const std::string talker = text.substr(1, 2);
    double value = 0.0;
    bool depth = false;
    if (id == "DBS" || id == "DBT") {
        if (!Number(GetField(text, ",", 3), value))
            return;
        depth = true;
    } else if (id == "DPT") {
        double below = 0.0, offset = 0.0;
        const std::string offsetField = GetField(text, ",", 2);
        // An empty offset is none.
        if (!Number(GetField(text, ",", 1), below) || (!offsetField.empty() && !Number(offsetField, offset)))
            return;
        value = below + offset;
        depth = true;
    } else if (talker == "II" && id == "HFB") {
        if (!Number(GetField(text, ",", 1), value))
            return;
    } else {
        return;
    }
    const std::uint64_t time = received != 0 ? received : CFileTime::Now();
    std::lock_guard lock(m_readingsLock);
    if (depth) {
        m_readings.depth = value;
        m_readings.depthTime = time;
    } else {
        m_readings.opening = value;
        m_readings.openingTime = time;
    }
}

CTrawl::Readings CTrawl::GetReadings() const
{
    std::lock_guard lock(m_readingsLock);
    return m_readings;
}

std::uint64_t CTrawl::AgeLimit() const
{
    return (IsQYModel(m_model) ? 10 : 30) * kSecond;
}

bool CTrawl::GetTrawlData(TrawlRecord& record) const
{
    return GetTrawlDataAt(record, CFileTime::Now());
}

bool CTrawl::GetTrawlDataAt(TrawlRecord& record, std::uint64_t now) const
{
    const Readings r = GetReadings();
    const Settings s = GetSettings();
    const std::uint64_t limit = AgeLimit();
    // A reading stamped ahead of now (a clock set back) counts as young.
    const auto state = [&](std::uint64_t time) {
        if (time == 0)
            return TrawlRecord::kNone;
        return now < time || now - time < limit ? TrawlRecord::kValid : TrawlRecord::kTooOld;
    };
    record = TrawlRecord{};
    record.depthState = state(r.depthTime);
    if (record.depthState != TrawlRecord::kNone)
        record.depth = r.depth;
    if (s.Manual) {
        record.openingState = TrawlRecord::kValid;
        record.opening = s.ManualOpening;
    } else {
        record.openingState = state(r.openingTime);
        if (record.openingState != TrawlRecord::kNone)
            record.opening = r.opening;
    }
    return record.depthState == TrawlRecord::kValid || record.openingState == TrawlRecord::kValid;
}

int CTrawl::SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                              double transducerDepth, double second, double heave)
{
    const Settings s = GetSettings();
    if (!s.DepthOutput)
        return 0;
    if (s.DepthTelegram != kDepthTelegramFixed && s.DepthTelegram != kDepthTelegramByChannel &&
        channelName != s.ChannelSource)
        return 0;
    if (!(depth >= 0.0) || channelIndex < 0 || !IsOpen())
        return 1;
    const std::string telegram = FormatDepthTelegram(m_sources, s.DepthTelegram, static_cast<std::int32_t>(s.CheckSum),
                                                     channelIndex, pingTime, depth, transducerDepth, second, heave);
    if (!telegram.empty())
        SendTelegram(telegram);
    return 0;
}

void CTrawl::TakeDepth(const DepthReport& r)
{
    SendDepthTelegram(r.SourceName, r.ChannelId, r.PingTime, r.Depth, r.DraughtAndOffset, r.BottomLevel, r.Heave);
}
