#include "sensors/NmeaDepth.h"

#include "base/RegistrySupport.h"

CNmeaDepth::CNmeaDepth(const ISensorHost& host) : CSerialSensor(kSettingId, host, kMonitorCutAbove, kMonitorKeep) {}

CNmeaDepth::~CNmeaDepth()
{
    CloseAsciiPort();
}

void CNmeaDepth::LoadSettings(HKEY key)
{
    KeepKey(key);
    DWORD enabled = m_enabled.load() ? 1 : 0;
    if (Key())
        CRegistrySupport().GetDword(Key(), "", "NMEADepthEnabled", enabled, TRUE);
    m_enabled = enabled != 0;
    if (IsOpen())
        SetTxProtocol("ASCII");
}

HRESULT CNmeaDepth::OpenPort()
{
    return OpenAsciiPort(kTransmitDelayMs, m_enabled);
}

void CNmeaDepth::ClosePort()
{
    CloseAsciiPort();
}

bool CNmeaDepth::StoreSettings()
{
    if (!Key())
        return false;
    return CRegistrySupport().SetDword(Key(), "", "NMEADepthEnabled", m_enabled.load() ? 1 : 0) != FALSE;
}

void CNmeaDepth::ParseTelegram(const CTarnMessage& message)
{
    if (!m_enabled.load() || m_host.IsReplaying())
        return;
    const std::string text = TextOf(message);
    // $SDDPT,12.3,0.5  $SDDBS,...  $SDDBT,...: nothing else is kept.
    if (text.find("DPT") == std::string::npos && text.find("DBS") == std::string::npos &&
        text.find("DBT") == std::string::npos)
        return;
    if (Monitor().IsVisible())
        Monitor().AppendText(text);
    PostTelegram(text, TimeOf(message));
}
