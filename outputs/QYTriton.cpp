#include "outputs/QYTriton.h"

#include "base/RegistrySupport.h"
#include "platform/NumberText.h"

CQYTriton::CQYTriton(HKEY root, IRawDataRecorder& recorder, unsigned configPeriodMs)
    : m_root(root), m_recorder(recorder), m_periodMs(configPeriodMs)
{
    LoadSettings();
    const Settings s = GetSettings();
    SetDestination(s.DestAddr, s.DestPort);
    {
        std::lock_guard lock(m_sendLock);
        OpenSocket();
    }
    if (s.OutputDatagrams)
        m_timer.Start(m_periodMs);
}

CQYTriton::~CQYTriton()
{
    m_timer.Stop();
    SaveSettings();
    std::lock_guard lock(m_sendLock);
    m_socket.Close();
}

void CQYTriton::LoadSettings()
{
    Settings s;
    if (m_root) {
        CRegistrySupport reg;
        DWORD port = s.DestPort, on = s.OutputDatagrams;
        reg.GetDword(m_root, kSection, "DestPort", port, TRUE);
        reg.GetString(m_root, kSection, "DestAddr", s.DestAddr, TRUE);
        reg.GetDword(m_root, kSection, "OutputDatagrams", on, TRUE);
        s.DestPort = port;
        s.OutputDatagrams = on;
    }
    std::lock_guard lock(m_settingsLock);
    m_settings = s;
}

void CQYTriton::SaveSettings() const
{
    if (!m_root)
        return;
    const Settings s = GetSettings();
    CRegistrySupport reg;
    reg.SetDword(m_root, kSection, "DestPort", s.DestPort);
    reg.SetString(m_root, kSection, "DestAddr", s.DestAddr);
    reg.SetDword(m_root, kSection, "OutputDatagrams", s.OutputDatagrams);
}

CQYTriton::Settings CQYTriton::GetSettings() const
{
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

CQYTriton::DialogValues CQYTriton::GetDialogValues() const
{
    const Settings s = GetSettings();
    DialogValues v;
    std::uint32_t ip = 0;
    if (SocketAddress::ParseIp(s.DestAddr, ip))
        v.address = {int(ip >> 24), int((ip >> 16) & 0xFF), int((ip >> 8) & 0xFF), int(ip & 0xFF)};
    v.port = s.DestPort & 0xFFFF;
    v.enabled = s.OutputDatagrams != 0;
    return v;
}

void CQYTriton::ApplyDialogValues(const DialogValues& opened, const DialogValues& edited)
{
    Settings s = GetSettings();
    if (edited.address != opened.address)
        s.DestAddr = CNumberText::Format("%d.%d.%d.%d", edited.address[0], edited.address[1], edited.address[2],
                                         edited.address[3]);
    if (edited.port != opened.port)
        s.DestPort = edited.port;
    s.OutputDatagrams = edited.enabled ? 1 : 0;
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = s;
    }
    SetDestination(s.DestAddr, s.DestPort);
    SaveSettings();
    if (s.OutputDatagrams)
        m_recorder.WriteConfiguration();
    m_timer.Stop();
    if (s.OutputDatagrams)
        m_timer.Start(m_periodMs);
}

void CQYTriton::SetDestination(const std::string& dotted, std::uint32_t port)
{
    // An address that does not parse leaves the output without a
    // destination: it never becomes the broadcast address that inet_addr
    // would make of it.
    std::uint32_t ip = 0;
    const bool ok = SocketAddress::ParseIp(dotted.substr(0, 63), ip);
    std::lock_guard lock(m_sendLock);
    m_destinationValid = ok;
    m_destination = SocketAddress(ip, static_cast<std::uint16_t>(port));
}

bool CQYTriton::OpenSocket()
{
    if (m_socket.IsOpen())
        return true;
    // Broadcast is allowed where it can be; without the send buffer the
    // largest sample datagrams could not go, and the output stays closed.
    if (!m_socket.Create(CSocket::Udp))
        return false;
    m_socket.SetBroadcast(true);
    if (!m_socket.SetSendBufferSize(kSendBufferBytes)) {
        m_socket.Close();
        return false;
    }
    return true;
}

bool CQYTriton::IsReady() const
{
    std::lock_guard lock(m_sendLock);
    return m_socket.IsOpen() && m_destinationValid;
}

bool CQYTriton::IsEnabled() const
{
    if (!GetSettings().OutputDatagrams)
        return false;
    std::lock_guard lock(m_sendLock);
    return m_destinationValid;
}

bool CQYTriton::Send(std::span<const std::uint8_t> body)
{
    // Off since the recorder asked: nothing more goes.
    if (!GetSettings().OutputDatagrams)
        return false;
    std::lock_guard lock(m_sendLock);
    if (!m_destinationValid || !OpenSocket())
        return false;
    const int sent = m_socket.SendTo(body.data(), body.size(), m_destination, 0);
    if (sent == CSocket::kError) {
        // Not used again: the next datagram opens a new one.
        m_socket.Close();
        return false;
    }
    return sent == static_cast<int>(body.size());
}

void CQYTriton::OnConfigTimer()
{
    if (GetSettings().OutputDatagrams)
        m_recorder.WriteConfiguration();
}
