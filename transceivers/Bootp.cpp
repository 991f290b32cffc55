#include "transceivers/Bootp.h"

#include "base/AppIds.h"
#include "platform/EventLog.h"
#include "platform/NetworkAdapters.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char* kEventSource = "Ostrival";

void LogEvent(WORD type, const std::string& text)
{
    if (HEVENTSOURCE log = RegisterEventSource(kEventSource)) {
        ReportEvent(log, type, 0, 0, {text});
        DeregisterEventSource(log);
    }
}

std::string RangeText()
{
    return SocketAddress::IpText(CIpAddressTable::kFirstAddress) + "-" +
           SocketAddress::IpText(CIpAddressTable::kLastAddress);
}

}  // namespace

std::string CBootp::BootPathOf(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/')
        return folder + kBootFileName;
    return folder + "/" + kBootFileName;
}

CBootp::CBootp(Settings settings)
    : m_settings(std::move(settings)),
      m_table(m_settings.tableFolder),
      m_bootPath(BootPathOf(m_settings.bootFolder)),
      m_tftp(m_settings.tftpTiming)
{
    if (!m_table.Load())
        LogEvent(EVENTLOG_WARNING_TYPE,
                 "BOOTP server: the address table " + m_table.Path() + " cannot be read; it starts empty");
    if (m_bootPath.size() >= kFileSize) {
        LogEvent(EVENTLOG_ERROR_TYPE, "BOOTP server: the boot file path " + m_bootPath + " is longer than the " +
                                          std::to_string(kFileSize - 1) +
                                          " characters a reply holds; no wide-band unit can boot from this PC");
        m_reported = Outcome::PathTooLong;
    }

    // Both sockets are bound here, so that a port this program may not use
    // is known at once, and reported, rather than ending a thread unseen.
    const Network& network = m_settings.network;
    if (m_socket.Create(CSocket::Udp) && m_socket.SetReuseAddress(true) &&
        m_socket.Bind(SocketAddress(0, network.serverPort))) {
        m_bootpPort = m_socket.LocalAddress().port;
    } else {
        const int error = m_socket.LastError();
        LogEvent(EVENTLOG_ERROR_TYPE, "BOOTP server: UDP port " + std::to_string(network.serverPort) +
                                          " cannot be opened (" + std::strerror(error) +
                                          "); wide-band units cannot boot from this PC." +
                                          (error == EACCES ? " The program needs the capability "
                                                             "cap_net_bind_service to bind it."
                                                           : ""));
        m_socket.Close();
        m_startFailures.push_back(app::ids::BOOTP_PORT_UNAVAILABLE);
    }
    const int tftp = m_tftp.TftpStartServer(m_settings.bootFolder, network.tftpPort);
    if (tftp != 0) {
        LogEvent(EVENTLOG_ERROR_TYPE, "TFTP server: UDP port " + std::to_string(network.tftpPort) +
                                          (tftp < 0 ? " cannot be opened" : " cannot send broadcasts") +
                                          "; wide-band units cannot load their boot file from this PC. Another "
                                          "program holds the port, or this one lacks the capability "
                                          "cap_net_bind_service to bind it.");
        m_startFailures.push_back(app::ids::TFTP_PORT_UNAVAILABLE);
    }

    if (m_socket.IsOpen()) {
        m_bootpRunning = true;
        m_bootpThread = std::thread([this] { ServerThread(); });
    }
    if (tftp == 0) {
        m_tftpRunning = true;
        m_tftpThread = std::thread([this] { TftpServerThread(); });
    }
}

CBootp::~CBootp()
{
    m_stop = true;
    m_socket.Stop();
    m_tftp.TftpStopServer();
    if (m_bootpThread.joinable())
        m_bootpThread.join();
    if (m_tftpThread.joinable())
        m_tftpThread.join();
}

void CBootp::TftpServerThread()
{
    m_tftp.TftpPoll();
    m_tftpRunning = false;
}

void CBootp::ServerThread()
{
    std::vector<std::uint8_t> buffer(kReceiveSize);
    while (!m_stop) {
        const int n = m_socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, m_settings.waitMs);
        if (n == CSocket::kStopped || m_stop)
            break;
        if (n == CSocket::kTimeout)
            continue;
        if (n < 0) {
            LogEvent(EVENTLOG_ERROR_TYPE, std::string("BOOTP server: receiving failed (") +
                                              std::strerror(m_socket.LastError()) + "); the server has stopped");
            break;
        }
        Answer(buffer.data(), static_cast<std::size_t>(n));
        ++m_handled;
    }
    m_bootpRunning = false;
}

CBootp::Outcome CBootp::HandleRequest(const std::uint8_t* data, std::size_t length, CIpAddressTable& table,
                                      const std::string& bootPath, std::vector<std::uint8_t>* reply, bool* saved)
{
    if (saved)
        *saved = true;
    // Shorter than a message without its vendor area, the fields asked for
    // are not all there.
    if (length < kMinimumSize || data[kOp] != kRequest || data[kHardwareType] != kEthernet)
        return Outcome::Ignored;
    static constexpr std::uint8_t kUnitFile[] = {'N', 'V', 'U', 0};
    if (std::memcmp(data + kFile, kUnitFile, sizeof kUnitFile) != 0)
        return Outcome::Ignored;
    if (bootPath.size() >= kFileSize)
        return Outcome::PathTooLong;
    const auto ip = table.GiveAddress(CIpAddressTable::HardwareAddressText(data + kHardwareAddress), saved);
    std::uint32_t address = 0;
    if (!ip || !SocketAddress::ParseIp(*ip, address))
        return Outcome::RangeFull;
    if (reply) {
        reply->assign(kMessageSize, 0);
        std::copy_n(data, std::min(length, kMessageSize), reply->begin());
        std::uint8_t* message = reply->data();
        message[kOp] = kReply;
        for (int i = 0; i < 4; ++i) {
            message[kYourAddress + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
            message[kServerAddress + i] = 0;
        }
        std::memset(message + kFile, 0, kFileSize);
        std::memcpy(message + kFile, bootPath.data(), bootPath.size());
    }
    return Outcome::Answered;
}

void CBootp::Answer(const std::uint8_t* data, std::size_t length)
{
    std::vector<std::uint8_t> reply;
    bool saved = true;
    const Outcome outcome = HandleRequest(data, length, m_table, m_bootPath, &reply, &saved);
    if (!saved && !m_unsavedReported) {
        LogEvent(EVENTLOG_ERROR_TYPE, "BOOTP server: the address table " + m_table.Path() +
                                          " cannot be written; the address given is kept until the program ends");
        m_unsavedReported = true;
    }
    if (outcome == Outcome::Answered) {
        SendReply(reply);
        ++m_answered;
        m_reported = outcome;
        return;
    }
    if (outcome == Outcome::Ignored || outcome == m_reported)
        return;
    m_reported = outcome;
    if (outcome == Outcome::PathTooLong)
        LogEvent(EVENTLOG_ERROR_TYPE, "BOOTP server: a wide-band unit is not answered: the boot file path " +
                                          m_bootPath + " does not fit the reply's file field of " +
                                          std::to_string(kFileSize) + " bytes");
    else
        LogEvent(EVENTLOG_ERROR_TYPE,
                 "BOOTP server: every address of " + RangeText() + " is taken; the wide-band unit " +
                     CIpAddressTable::HardwareAddressText(data + kHardwareAddress) + " is not answered");
}

void CBootp::SendReply(const std::vector<std::uint8_t>& reply)
{
    const SocketAddress to(m_settings.network.replyDestination, m_settings.network.clientPort);
    for (const NetworkAdapter& adapter : CNetworkAdapters::List()) {
        if (adapter.address == 0)
            continue;
        CSocket socket;
        if (!socket.Create(CSocket::Udp) || !socket.SetReuseAddress(true) || !socket.SetBroadcast(true) ||
            !socket.Bind(SocketAddress(adapter.address, m_bootpPort)))
            continue;
        socket.SendTo(reply.data(), reply.size(), to, 100);
    }
}
