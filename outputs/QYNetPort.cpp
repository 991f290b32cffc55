#include "outputs/QYNetPort.h"

#include "base/StringHelpers.h"
#include "platform/FileTime.h"

CQYNetPort::~CQYNetPort()
{
    Close();
}

bool CQYNetPort::Create(std::uint16_t port, std::uint32_t address)
{
    Close();
    if (!m_socket.Create(CSocket::Udp) || !m_socket.Bind(SocketAddress(address, port))) {
        m_socket.Close();
        return false;
    }
    return true;
}

void CQYNetPort::StartReader()
{
    if (!m_socket.IsOpen() || m_reader.joinable())
        return;
    m_reader = std::thread([this] {
        for (;;) {
            const int r = m_socket.WaitReadable(-1);
            if (r == CSocket::kStopped || r == CSocket::kError)
                return;
            OnReceive(0);
        }
    });
}

void CQYNetPort::Close()
{
    m_socket.Stop();
    if (m_reader.joinable())
        m_reader.join();
    m_socket.Close();
    m_socket.ResetStop();
}

bool CQYNetPort::OnReceive(int timeoutMs)
{
    const std::uint64_t received = CFileTime::Now();
    SocketAddress from;
    const int n = m_socket.ReceiveFrom(m_receive.data(), kReceiveBuffer, &from, timeoutMs);
    if (n <= 0)
        return false;
    OnDatagram(std::string(m_receive.data(), static_cast<std::size_t>(n)), received);
    return true;
}

void CQYNetPort::OnDatagram(const std::string& text, std::uint64_t received)
{
    if (m_links.isReplaying && m_links.isReplaying())
        return;
    if (!ParseSvpDatagram(text) && m_links.parseNmea)
        m_links.parseNmea(text, received);
}

int CQYNetPort::Import(int format)
{
    m_profile.Clear();
    const int points = m_profile.Import(format, m_buffer);
    m_buffer.clear();
    if (points <= 0 || !m_links.storeProfile)
        return 0;
    return m_links.storeProfile(m_profile) ? 1 : 0;
}

int CQYNetPort::ParseSvpDatagram(const std::string& text)
{
    // A whole profile in one datagram: "SV,<count>,<depth>,<velocity>,..."
    const std::string first = GetField(text, ",", 0);
    if (first == "SV") {
        m_buffer = text + "\r\n";
        return Import(CSvpProfile::FormatZelvarA);
    }
    // Other profiles come in pieces. Only a recognised start opens the
    // buffer, so that telegrams between profiles are never taken for profile
    // text, and a profile whose end never comes is dropped at a bound.
    if (m_buffer.empty()) {
        const bool s10 =
            !text.empty() && text[0] == '$' && first.size() >= 3 &&
            (first.compare(first.size() - 3, 3, "S10") == 0 || first.compare(first.size() - 3, 3, "S00") == 0);
        const bool start = s10 || text.rfind("CALC", 0) == 0 || text.find("SvPlus") != std::string::npos ||
                           text.find("PROFILE_HEADER") != std::string::npos;
        if (!start)
            return 0;
    }
    m_buffer += text;
    m_buffer += "\r\n";
    if (m_buffer.find('\\') != std::string::npos)
        return Import(CSvpProfile::FormatS10);
    if (m_buffer.find("0  0  0") != std::string::npos)
        return Import(CSvpProfile::FormatCalc);
    if (m_buffer.find("SvPlus") != std::string::npos)
        return Import(CSvpProfile::FormatSbe);
    if (m_buffer.find("PROFILE_HEADER") != std::string::npos)
        return Import(CSvpProfile::FormatXbt);
    if (m_buffer.size() > kMaxProfileText)
        m_buffer.clear();
    return 0;
}
