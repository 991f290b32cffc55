#include "sensors/GyroCompass.h"

#include "base/RegistrySupport.h"

CGyroCompass::CGyroCompass(const ISensorHost& host) : CSerialSensor(kSettingId, host, kMonitorCutAbove, kMonitorKeep) {}

CGyroCompass::~CGyroCompass()
{
    CloseAsciiPort();
}

void CGyroCompass::LoadSettings(HKEY key)
{
    KeepKey(key);
    Settings s = GetSettings();
    if (Key()) {
        CRegistrySupport reg;
        reg.GetDword(Key(), "", "HDTEnabled", s.HDTEnabled, TRUE);
        reg.GetDword(Key(), "", "HeadingSentence", s.HeadingSentence, TRUE);
        reg.GetString(Key(), "", "HeadingStartSequence", s.HeadingStartSequence, TRUE);
    }
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    m_enabled = s.HDTEnabled != 0;
    if (IsOpen())
        SetTxProtocol("ASCII");
}

HRESULT CGyroCompass::OpenPort()
{
    return OpenAsciiPort(kTransmitDelayMs, m_enabled);
}

void CGyroCompass::ClosePort()
{
    CloseAsciiPort();
}

CGyroCompass::Settings CGyroCompass::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

void CGyroCompass::SetEnabled(bool on)
{
    {
        std::lock_guard lock(m_settingsLock);
        m_settings.HDTEnabled = on ? 1 : 0;
    }
    m_enabled = on;
}

void CGyroCompass::SelectSentence(DWORD sentence)
{
    if (sentence >= std::size(kSentenceNames))
        return;
    std::lock_guard lock(m_settingsLock);
    m_settings.HeadingSentence = sentence;
    m_settings.HeadingStartSequence = kSentenceNames[sentence];
}

bool CGyroCompass::StoreSettings()
{
    if (!Key())
        return false;
    const Settings s = GetSettings();
    CRegistrySupport reg;
    reg.SetDword(Key(), "", "HDTEnabled", s.HDTEnabled);
    reg.SetDword(Key(), "", "HeadingSentence", s.HeadingSentence);
    return reg.SetString(Key(), "", "HeadingStartSequence", s.HeadingStartSequence) != FALSE;
}

void CGyroCompass::ParseTelegram(const CTarnMessage& message)
{
    if (!m_enabled.load() || m_host.IsReplaying())
        return;
    const std::string text = TextOf(message);
    // $HEHDT,274.07,T  $HEHDG,...  $HEHDR,...: any of the three, whichever
    // is chosen.
    if (text.find("HDT") == std::string::npos && text.find("HDR") == std::string::npos &&
        text.find("HDG") == std::string::npos)
        return;
    if (Monitor().IsVisible())
        Monitor().AppendText(text);
    PostTelegram(text, TimeOf(message));
}
