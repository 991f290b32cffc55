#include "sim/sensors/SensorSimulator.h"

#include "platform/FileTime.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zv::sim {

namespace {

constexpr std::size_t kLongLine = 5000;

speed_t Speed(unsigned baud)
{
    switch (baud) {
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

}  // namespace

CSensorSimulator::CSensorSimulator(Settings settings) : m_settings(std::move(settings))
{
    if (m_settings.probe)
        m_probe.emplace(*m_settings.probe);
}

CSensorSimulator::~CSensorSimulator()
{
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
    if (m_fd >= 0 && m_ownsFd)
        ::close(m_fd);
}

bool CSensorSimulator::ParseMode(const std::string& name, Mode& mode)
{
    static const std::pair<const char*, Mode> kModes[] = {
        {"rate", Mode::Rate},     {"flood", Mode::Flood}, {"garbage", Mode::Garbage}, {"nul", Mode::Nul},
        {"long", Mode::LongLine}, {"half", Mode::Half},   {"silence", Mode::Silence},
    };
    for (const auto& [text, m] : kModes)
        if (name == text) {
            mode = m;
            return true;
        }
    return false;
}

bool CSensorSimulator::Open(std::string& error)
{
    if (m_settings.fd >= 0) {
        m_fd = m_settings.fd;
        return true;
    }
    m_ownsFd = true;
    m_fd = ::open(m_settings.port.c_str(), O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        error = m_settings.port + ": " + std::strerror(errno);
        return false;
    }
    termios raw{};
    if (::tcgetattr(m_fd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::cfsetspeed(&raw, Speed(m_settings.baud));
        ::tcsetattr(m_fd, TCSANOW, &raw);
    }
    return true;
}

bool CSensorSimulator::Sleep(double seconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!m_stop.load() && Clock::now() < until)
        std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(20)));
    return !m_stop.load();
}

void CSensorSimulator::Write(const std::string& bytes)
{
    if (bytes.empty())
        return;
    // The bytes leave at the line's rate (ten bits a character, 8N1), a few
    // at a time: a pseudo-terminal would otherwise deliver a long burst at
    // once, and the port dates what it reads by the line's rate.
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kPiece = 32;
    const double characterTime = 10.0 / m_settings.baud;
    std::unique_lock lock(m_writeLock);
    const Clock::time_point start = Clock::now();
    std::size_t done = 0;
    while (done < bytes.size() && !m_stop.load()) {
        const std::size_t end = std::min(bytes.size(), done + kPiece);
        while (done < end && !m_stop.load()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, end - done);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    Sleep(0.01);
                    continue;
                }
                return;
            }
            done += static_cast<std::size_t>(n);
        }
        const auto carried = start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(static_cast<double>(done) * characterTime));
        Sleep(std::chrono::duration<double>(carried - Clock::now()).count());
    }
}

std::string CSensorSimulator::Round()
{
    if (m_settings.motion)
        MoveScene(*m_settings.motion, CFileTime::Now(), m_settings.scene);
    std::string round;
    for (const std::string& kind : m_settings.kinds)
        if (auto sentence = EncodeSentence(kind, m_settings.scene))
            round += *sentence + (IsBinaryKind(kind) ? "" : "\r\n");
    return round;
}

void CSensorSimulator::Run()
{
    if (m_settings.read)
        m_reader = std::thread([this] { ReadLoop(); });
    const double period = m_settings.rateHz > 0 ? 1.0 / m_settings.rateHz : 1.0;
    while (!m_stop.load()) {
        if (m_probe) {
            std::unique_lock lock(m_probeLock);
            const std::string line = m_probe->Round();
            lock.unlock();
            Write(line);
        }
        const std::string round = Round();
        switch (m_settings.mode) {
        case Mode::Rate:
            Write(round);
            break;
        case Mode::Flood:
            // As fast as the line's rate lets the bytes go.
            Write(round);
            continue;
        case Mode::Garbage: {
            std::string garbage;
            for (int i = 0; i < 64; ++i)
                garbage += static_cast<char>((m_counter * 73 + static_cast<unsigned>(i) * 151) & 0xFF);
            ++m_counter;
            Write(garbage + "\r\n");
            Write(Round());
            break;
        }
        case Mode::Nul: {
            // A NUL in the middle of a sentence, a whole round after it.
            std::string broken = round.substr(0, round.size() / 2);
            broken.insert(broken.size() / 2, 1, '\0');
            Write(broken + "\r\n");
            Write(Round());
            break;
        }
        case Mode::LongLine:
            Write(std::string(kLongLine, 'A') + "\r\n");
            Write(Round());
            break;
        case Mode::Half: {
            // Each sentence cut in half and ended, then the whole round.
            std::string halves;
            for (const std::string& kind : m_settings.kinds)
                if (auto sentence = EncodeSentence(kind, m_settings.scene))
                    halves += sentence->substr(0, sentence->size() / 2) + "\r\n";
            Write(halves);
            Write(Round());
            break;
        }
        case Mode::Silence:
            break;
        }
        if (!Sleep(period))
            break;
    }
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
}

void CSensorSimulator::ReadLoop()
{
    std::string line;
    char buffer[512];
    while (!m_stop.load()) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            Sleep(0.05);
            continue;
        }
        Answer(buffer, static_cast<std::size_t>(n));
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c != '\r' && c != '\n') {
                line += c;
                continue;
            }
            if (!line.empty()) {
                if (auto telegram = DecodeDepthTelegram(line); telegram && onTelegram)
                    onTelegram(*telegram, line);
                line.clear();
            }
        }
    }
}

void CSensorSimulator::Answer(const char* bytes, std::size_t length)
{
    if (!m_probe)
        return;
    std::unique_lock lock(m_probeLock);
    const std::string answer = m_probe->Receive(std::string_view(bytes, length));
    lock.unlock();
    Write(answer);
}

}  // namespace zv::sim
