#include "outputs/RDDialog.h"

#include "base/RegistrySupport.h"
#include "outputs/EchoSounderPingSource.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <cstdio>

CRDDialog::CRDDialog(std::function<bool()> isReplaying)
    : CSerialDeviceLink(kSettingId, "", ""), m_isReplaying(std::move(isReplaying))
{}

CRDDialog::~CRDDialog()
{
    ClosePort();
    if (m_key)
        RegCloseKey(m_key);
}

long CRDDialog::OpenPort()
{
    // A port that does not open keeps the component, whose port dialog is
    // where the operator picks another.
    const HRESULT result = OpenSerial();
    if (result == 0)
        SetTransmitProtocol();
    return result;
}

void CRDDialog::ClosePort()
{
    CloseSerial();
}

BOOL CRDDialog::SetSettingsKey(HKEY key)
{
    // A handle of our own: the caller closes the one it hands over.
    HKEY own = nullptr;
    if (key && RegOpenKeyEx(key, "", 0, KEY_READ | KEY_WRITE, &own) != ERROR_SUCCESS)
        own = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (m_key)
            RegCloseKey(m_key);
        m_key = own;
    }
    ReadSettings(own);
    SetTransmitProtocol();
    return TRUE;
}

void CRDDialog::ReadSettings(HKEY key)
{
    if (!key)
        return;
    CRegistrySupport reg;
    Settings s;
    reg.GetDword(key, "", "OutputEnabled", s.OutputEnabled, TRUE);
    reg.GetDword(key, "", "RemoteFormat", s.RemoteFormat, TRUE);
    reg.GetDword(key, "", "RemoteChannel", s.RemoteChannel, TRUE);
    std::lock_guard lock(m_lock);
    m_settings = s;
}

void CRDDialog::WriteSettings(HKEY key)
{
    const Settings s = GetSettings();
    if (key) {
        CRegistrySupport reg;
        reg.SetDword(key, "", "OutputEnabled", s.OutputEnabled);
        reg.SetDword(key, "", "RemoteFormat", s.RemoteFormat);
        reg.SetDword(key, "", "RemoteChannel", s.RemoteChannel);
    }
    SetTransmitProtocol();
}

CRDDialog::Settings CRDDialog::GetSettings() const
{
    std::lock_guard lock(m_lock);
    return m_settings;
}

void CRDDialog::ApplySettings(const Settings& settings)
{
    HKEY key;
    {
        std::lock_guard lock(m_lock);
        m_settings = settings;
        key = m_key;
    }
    WriteSettings(key);
}

void CRDDialog::Reset()
{
    ApplySettings(Settings{});
}

std::string CRDDialog::TransmitProtocol(const Settings& settings)
{
    return settings.OutputEnabled == 1 ? "ASCII" : "";
}

void CRDDialog::SetTransmitProtocol()
{
    SetTxProtocol(TransmitProtocol(GetSettings()));
}

std::string CRDDialog::DepthText(DWORD format, int channel, std::uint64_t pingTime, double depth,
                                 double transducerDepth, double second, double heave)
{
    switch (format) {
    case kRD1: {
        char text[64];
        std::snprintf(text, sizeof text, "%6.1f\r\n", depth);
        return text;
    }
    case kNMEA:
        return FormatDepthTelegram(CNoDepthTelegramSources(), 1, 1, channel, pingTime, depth, transducerDepth, second,
                                   heave);
    default:
        return {};
    }
}

void CRDDialog::SendDepth(IQYNetPingSource& ping)
{
    const Settings s = GetSettings();
    if (s.OutputEnabled == 0)
        return;
    SQYNetChannelPing first;
    if (!ping.GetChannelPing(0, first))
        return;
    {
        std::lock_guard lock(m_lock);
        // A ping earlier than the last output (a replay wound back) counts
        // as new.
        if (first.pingTime >= m_lastOutput && first.pingTime - m_lastOutput < kMinimumSpacing && m_lastOutput != 0)
            return;
        m_lastOutput = first.pingTime;
        m_replayPingTime = m_isReplaying && m_isReplaying() ? first.pingTime : 0;
    }
    const int channel = static_cast<int>(s.RemoteChannel);
    SQYNetChannelPing c;
    if (channel < 0 || channel >= ping.GetChannelCount() || !ping.GetChannelPing(channel, c))
        return;
    const std::string text =
        DepthText(s.RemoteFormat, channel, c.pingTime, c.depth, c.transducerDepth, c.second, c.heave);
    if (!text.empty())
        SendText(text);
}

std::uint64_t CRDDialog::GetReplayPingTime() const
{
    std::lock_guard lock(m_lock);
    return m_replayPingTime;
}

void CRDDialog::TakePing(const OutputPing& ping)
{
    CEchoSounderPingSource source(ping.sounder, ping.soundVelocity, ping.waterTemperature);
    SendDepth(source);
}

void CRDDialog::SendText(const std::string& text)
{
    SendTelegram(text);
}
