#include "serialcom/ComSercor32.h"

#include "serialcom/RegSection.h"
#include "serialcom/TovrelixApp.h"

namespace {

struct SNumber
{
    const char* name;
    DWORD value;
};

}  // namespace

CComSercor32::CComSercor32()
{
    // The port lives in the component, so its help goes with it.
    SetOptionsHelp([] { CTovrelixApp::OnHelp(); });
}

BOOL CComSercor32::UpdateIniSection(IniOp op)
{
    if (m_strSection.empty())
        return FALSE;
    CRegSection section;
    if (!section.Open("Zelvar\\Tovrelix\\" + m_strSection))
        return FALSE;
    HKEY key = section.UserKey();
    SNumber numbers[] = {
        {"Baud", static_cast<DWORD>(m_nBaud)},      {"Databits", static_cast<DWORD>(m_nDataBits)},
        {"Parity", static_cast<DWORD>(m_nParity)},  {"StopBits", static_cast<DWORD>(m_nStopBits)},
        {"DTRDSR", static_cast<DWORD>(m_bDTRDSR)},  {"RTSCTS", static_cast<DWORD>(m_bRTSCTS)},
        {"XonOff", static_cast<DWORD>(m_bXonXoff)},
    };
    if (op == IniLoad) {
        // A stored empty port is the "NONE" port; a new section stores empty.
        std::string port = m_bPortNone || m_strPort == s_szPortNone ? std::string() : m_strPort;
        if (CRegSection::ReadString(key, "", "Port", port, TRUE)) {
            m_strPort = port.empty() ? std::string(s_szPortNone) : port;
            m_bPortNone = m_strPort == s_szPortNone;
        }
        for (auto& n : numbers) {
            if (!CRegSection::ReadNumber(key, "", n.name, n.value, TRUE))
                continue;
            const std::string name = n.name;
            if (name == "Baud") {
                if (n.value)
                    m_nBaud = static_cast<int>(n.value);
            } else if (name == "Databits") {
                m_nDataBits = static_cast<int>(n.value);
            } else if (name == "Parity") {
                m_nParity = static_cast<int>(n.value);
            } else if (name == "StopBits") {
                m_nStopBits = static_cast<int>(n.value);
            } else if (name == "DTRDSR") {
                m_bDTRDSR = n.value != 0;
            } else if (name == "RTSCTS") {
                m_bRTSCTS = n.value != 0;
            } else {
                m_bXonXoff = n.value != 0;
            }
        }
        UpdateEffectiveRxTimeout();
    } else {
        const std::string port = m_bPortNone ? std::string() : m_strPort;
        CRegSection::WriteString(key, "", "Port", port);
        for (const auto& n : numbers)
            CRegSection::WriteNumber(key, "", n.name, n.value);
        RegFlushKey(key);
    }
    section.Close();
    return TRUE;
}
