#include "outputs/HBX.h"

#include "sounder/EchoSounder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8 & 0xFF);
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

std::uint16_t Get16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

struct SCommandRow
{
    std::string_view text;
    CHBX::ECommand command;
};

constexpr std::array<SCommandRow, 9> kCommands{{
    {"P00", CHBX::ECommand::Register},
    {"PU0", CHBX::ECommand::Ports},
    {"P03", CHBX::ECommand::Query},
    {"P02", CHBX::ECommand::StopPinging},
    {"P10", CHBX::ECommand::ResumePinging},
    {"P20", CHBX::ECommand::Clock},
    {"S00", CHBX::ECommand::Known},
    {"P30", CHBX::ECommand::Known},
    {"QYL", CHBX::ECommand::Logging},
}};

// The text of a datagram: up to its first NUL.
std::string_view Text(std::span<const std::uint8_t> datagram)
{
    std::string_view text(reinterpret_cast<const char*>(datagram.data()), datagram.size());
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::uint16_t CHBX::ModelNumber(SounderModel model)
{
    switch (model) {
    case SounderModel::QY210:
        return kModelQY210;
    case SounderModel::QY310:
        return kModelQY310;
    case SounderModel::RM30:
        return kModelRM30;
    case SounderModel::TQ30:
        return kModelTQ30;
    case SounderModel::TOTAL:
        return kModelTotal;
    case SounderModel::QYNVU:
        return kModelQYNVU;
    }
    return kModelQY310;
}

CHBX::ECommand CHBX::Command(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() < 6)
        return ECommand::None;
    const std::string_view text(reinterpret_cast<const char*>(datagram.data()) + 3, 3);
    for (const SCommandRow& row : kCommands)
        if (row.text == text)
            return row.command;
    return ECommand::None;
}

int CHBX::LoggingRequest(std::string_view text)
{
    // "...,LOG=<n>,FIL=<name>,...": the number up to ",FIL=" (the name is
    // not used).
    const auto log = text.find(",LOG=");
    if (log == std::string_view::npos)
        return -1;
    std::string_view field = text.substr(log + 5);
    field = field.substr(0, field.find(",FIL="));
    const std::string digits(field.substr(0, 16));
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits.c_str(), &end, 10);
    if (end == digits.c_str() || errno != 0)
        return -1;
    return value >= 0 && value <= 2 ? static_cast<int>(value) : -1;
}

std::vector<std::uint8_t> CHBX::Head(std::uint8_t type, std::uint16_t model, const std::tm& time, std::size_t size)
{
    std::vector<std::uint8_t> b(size, 0);
    b[0] = kStartByte;
    b[1] = type;
    Put16(b, 2, model);
    Put32(b, 4, static_cast<std::uint32_t>((time.tm_year + 1900) * 10000 + (time.tm_mon + 1) * 100 + time.tm_mday));
    Put32(b, 8, static_cast<std::uint32_t>(((time.tm_hour * 60 + time.tm_min) * 60 + time.tm_sec) * 1000));
    Put16(b, 12, 1);
    Put16(b, 14, model);
    return b;
}

std::vector<std::uint8_t> CHBX::Announcement(std::uint16_t model, const std::tm& start, std::uint16_t receivePort,
                                             std::uint32_t surveyAddress)
{
    std::vector<std::uint8_t> b = Head(kAnnouncement, model, start, kAnnouncementSize);
    Put32(b, 16, receivePort);
    // Network order.
    for (int i = 0; i < 4; ++i)
        b[kAddressOffset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(surveyAddress >> (24 - 8 * i));
    return b;
}

std::vector<std::uint8_t> CHBX::QueryReply(std::uint16_t model, const std::tm& now)
{
    std::vector<std::uint8_t> b = Head(kQueryReply, model, now, kQueryReplySize);
    Put16(b, 16, 99);
    Put16(b, 18, 1);
    std::memcpy(b.data() + 20, kQueryResult, sizeof kQueryResult);
    return b;
}

std::vector<std::uint8_t> CHBX::ClockReply(const std::tm& now)
{
    // "CS,hhmmss00,DATE:yyyymmdd\n" and its NUL.
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "CS,%02i%02i%02i00,DATE:%04i%02i%02i\n", now.tm_hour, now.tm_min,
                  now.tm_sec, now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    std::vector<std::uint8_t> b(kClockReplySize, 0);
    std::memcpy(b.data(), text.data(), std::strlen(text.data()));
    return b;
}

double CHBX::IntervalSeconds() const
{
    // The whole 100 ns count: cut to 32 bits, intervals above 214 s would
    // come back wrong.
    return static_cast<double>(m_sounder.GetInterval()) / 1e7;
}

std::tm CHBX::LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

CHBX::CHBX(IHbxHost& host, const CEchoSounder& sounder, SounderModel model, Options options)
    : m_host(host), m_sounder(sounder), m_model(ModelNumber(model)), m_options(options)
{
    m_start = LocalNow();
    if (!m_options.worker || !OpenSockets())
        return;
    m_running = true;
    m_thread = std::thread([this] { Run(); });
}

CHBX::~CHBX()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_receive.Stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool CHBX::IsRunning() const
{
    std::lock_guard lock(m_lock);
    return m_running;
}

std::uint64_t CHBX::Cycles() const
{
    std::lock_guard lock(m_lock);
    return m_cycles;
}

bool CHBX::OpenSockets()
{
    if (!m_receive.Create(CSocket::Udp) || !m_send.Create(CSocket::Udp) || !m_announce.Create(CSocket::Udp))
        return false;
    m_send.SetBroadcast(true);
    m_announce.SetBroadcast(true);
    if (!m_receive.Bind(SocketAddress(0, m_options.receivePort))) {
        m_host.StatusText("HBX: cannot receive on port " + std::to_string(m_options.receivePort) + ": " +
                          std::strerror(m_receive.LastError()));
        m_receive.Close();
        m_send.Close();
        m_announce.Close();
        return false;
    }
    return true;
}

void CHBX::Run()
{
    for (;;) {
        {
            std::unique_lock lock(m_lock);
            if (m_wake.wait_for(lock, std::chrono::milliseconds(m_options.cycleMs), [this] { return m_stop; }))
                break;
        }
        Cycle();
        std::lock_guard lock(m_lock);
        ++m_cycles;
    }
    m_receive.Close();
    m_send.Close();
    m_announce.Close();
    std::lock_guard lock(m_lock);
    m_running = false;
}

void CHBX::Cycle()
{
    if (m_sounder.GetHbx() != 1) {
        m_forceSingleStep = true;
        return;
    }
    if (m_forceSingleStep) {
        // The survey program paces the pings from now on. What it sent
        // while the mode was off is out of date: it would run minutes late.
        Discard();
        m_host.RequestPingMode(CEchoSounder::kSingleStep, m_sounder.GetTrigger(), m_sounder.GetSequenceFlag(),
                               IntervalSeconds(), m_sounder.GetHbx());
        m_forceSingleStep = false;
    }
    Send(m_announce, Announcement(m_model, m_start, m_options.receivePort, m_surveyAddress), m_options.announcement);
    if (m_statusEnabled)
        Send(m_send, Head(kStatus, m_model, LocalNow(), kStatusSize), SocketAddress(m_surveyAddress, m_statusPort));
    std::vector<std::uint8_t> buffer(kReceiveSize, 0);
    SocketAddress from;
    const int n = m_receive.ReceiveFrom(buffer.data(), buffer.size(), &from, 0);
    if (n <= 0)
        return;
    Handle(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)), from);
}

void CHBX::Discard()
{
    std::array<std::uint8_t, kReceiveSize> buffer{};
    while (m_receive.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 0) >= 0) {
    }
}

void CHBX::HandleDatagram(std::span<const std::uint8_t> datagram, const SocketAddress& from)
{
    if (!m_thread.joinable())
        Handle(datagram.first(std::min(datagram.size(), kReceiveSize)), from);
}

void CHBX::Handle(std::span<const std::uint8_t> datagram, const SocketAddress& from)
{
    const auto pingMode = [this](int mode) {
        m_host.RequestPingMode(mode, m_sounder.GetTrigger(), m_sounder.GetSequenceFlag(), IntervalSeconds(),
                               m_sounder.GetHbx());
    };
    switch (Command(datagram)) {
    case ECommand::Register:
        m_surveyAddress = from.ip;
        m_statusEnabled = false;
        m_surveyStartedRecording = false;
        break;
    case ECommand::Ports: {
        // A short one would take its ports from nothing, and port 0 is no
        // destination.
        if (datagram.size() < kPortsSize)
            break;
        const std::uint16_t status = Get16(datagram, 20), reply = Get16(datagram, 22);
        if (status == 0 || reply == 0)
            break;
        m_statusPort = status;
        m_replyPort = reply;
        m_host.PointNetworkOutput(m_surveyAddress, m_replyPort);
        m_statusEnabled = true;
        break;
    }
    case ECommand::Query:
        Send(m_send, QueryReply(m_model, LocalNow()), SocketAddress(m_surveyAddress, m_statusPort));
        break;
    case ECommand::StopPinging:
        pingMode(CEchoSounder::kSingleStep);
        break;
    case ECommand::ResumePinging:
        pingMode(m_host.StoredPingMode());
        break;
    case ECommand::Clock:
        Send(m_send, ClockReply(LocalNow()), SocketAddress(m_surveyAddress, m_replyPort));
        break;
    case ECommand::Logging:
        Logging(Text(datagram));
        break;
    case ECommand::Known:
    case ECommand::None:
        break;
    }
}

void CHBX::Logging(std::string_view text)
{
    const bool recording = m_host.IsRecording();
    switch (LoggingRequest(text)) {
    case 0:
        if (recording)
            m_host.PostRecordToggle();
        break;
    case 1:
        if (!recording) {
            m_host.PostRecordToggle();
            m_surveyStartedRecording = true;
        }
        break;
    case 2:
        if (recording) {
            m_host.PostRecordToggle();
            m_host.PostRecordToggle();
        }
        break;
    default:
        break;
    }
}

void CHBX::Send(CSocket& socket, const std::vector<std::uint8_t>& datagram, const SocketAddress& to)
{
    // No port yet: the survey program has not said where.
    if (to.port == 0)
        return;
    const int sent = socket.SendTo(datagram.data(), datagram.size(), to, 100);
    if (sent == static_cast<int>(datagram.size())) {
        m_lastFailure.clear();
        return;
    }
    // Told once, not every cycle while it lasts.
    std::string failure =
        "HBX: cannot send to " + to.Text() + ": " +
        (sent < 0 ? std::string(std::strerror(socket.LastError())) : std::string("datagram cut short"));
    if (failure == m_lastFailure)
        return;
    m_lastFailure = failure;
    m_host.StatusText(failure);
}
