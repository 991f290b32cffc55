#include "transceivers/Tftp.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct CTftp::Slot
{
    enum State { Free = 0, Reading = 1, Writing = 2 };
    int state = Free;
    SocketAddress peer;
    int fd = -1;
    int directory = -1;  // the folder a written file is named in
    std::string tempName;
    std::string finalName;
    int timeLeft = 0;
    int retriesLeft = 0;
    std::uint16_t block = 0;
    bool finished = false;  // last block sent or written: only repeats are answered
    std::vector<std::uint8_t> last;
};

namespace {

struct ErrorRow
{
    CTftp::ErrorKind kind;
    std::uint16_t code;
    const char* message;
};

constexpr std::array<ErrorRow, 9> kErrors{{
    {CTftp::ErrorKind::IllegalOperation, 4, "<illegal TFTP operation>"},
    {CTftp::ErrorKind::FileNotFound, 2, "<file not found>"},
    {CTftp::ErrorKind::DiskFull, 3, "<file system full>"},
    {CTftp::ErrorKind::Network, 0, "<server network ERRDRU>"},
    {CTftp::ErrorKind::TimedOut, 0, "<operation timed out>"},
    {CTftp::ErrorKind::ReadError, 3, "<server read ERRDRU>"},
    {CTftp::ErrorKind::WriteError, 3, "<server write ERRDRU>"},
    {CTftp::ErrorKind::FileExists, 6, "<file already exists>"},
    {CTftp::ErrorKind::Other, 0, "< unknown ERRDRU on server >"},
}};

std::uint16_t Word(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::vector<std::uint8_t> DataPacket(std::uint16_t block, const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    out.reserve(4 + size);
    PutWord(out, CTftp::Data);
    PutWord(out, block);
    out.insert(out.end(), data, data + size);
    return out;
}

std::vector<std::uint8_t> AckPacket(std::uint16_t block)
{
    std::vector<std::uint8_t> out;
    PutWord(out, CTftp::Ack);
    PutWord(out, block);
    return out;
}

// A zero-terminated text of a request starting at at; false when the packet
// ends before its terminator.
bool TakeText(const std::uint8_t* packet, std::size_t length, std::size_t& at, std::string& out)
{
    if (at >= length)
        return false;
    const void* end = std::memchr(packet + at, 0, length - at);
    if (end == nullptr)
        return false;
    const auto* stop = static_cast<const std::uint8_t*>(end);
    out.assign(reinterpret_cast<const char*>(packet + at), static_cast<std::size_t>(stop - (packet + at)));
    at = static_cast<std::size_t>(stop - packet) + 1;
    return true;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> out;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                out.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        out.push_back(part);
    return out;
}

bool HasDrive(const std::string& text)
{
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

// Reads up to one block from fd; the count, or -1 on a read error.
int ReadBlock(int fd, std::uint8_t* buffer)
{
    std::size_t got = 0;
    while (got < CTftp::kBlock) {
        const ssize_t n = read(fd, buffer + got, CTftp::kBlock - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<int>(got);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

CTftp::CTftp() : CTftp(Timing{}) {}

CTftp::CTftp(const Timing& timing) : m_timing(timing), m_slots(kSlots) {}

CTftp::~CTftp()
{
    for (Slot& slot : m_slots)
        FreeSlot(slot, false);
}

std::vector<std::uint8_t> CTftp::ErrorPacket(ErrorKind kind)
{
    const ErrorRow* row = &kErrors.back();
    for (const ErrorRow& r : kErrors)
        if (r.kind == kind)
            row = &r;
    const std::size_t message = std::strlen(row->message);
    // The packet length is the message length + 5 rounded down to a multiple
    // of 4, plus 4: the message and its terminator always fit, zero padded.
    const std::size_t size = (message + 5) / 4 * 4 + 4;
    std::vector<std::uint8_t> out;
    PutWord(out, Error);
    PutWord(out, row->code);
    out.insert(out.end(), row->message, row->message + message);
    out.resize(size, 0);
    return out;
}

bool CTftp::ResolveName(const std::string& root, const std::string& request, std::vector<std::string>& components)
{
    components.clear();
    std::string name = request;
    if (HasDrive(name))
        name.erase(0, 2);
    std::vector<std::string> asked = Components(name);
    std::string rootText = root;
    if (HasDrive(rootText))
        rootText.erase(0, 2);
    // A full path the BOOTP reply handed out names the served folder's own
    // folders first: each that matches the folder's path, in order, is
    // passed over, so that only the part beneath the folder remains.
    std::size_t at = 0;
    for (const std::string& part : Components(rootText))
        if (at < asked.size() && EqualNoCase(asked[at], part))
            ++at;
    for (; at < asked.size(); ++at) {
        if (asked[at] == "." || asked[at] == "..")
            return false;
        components.push_back(asked[at]);
    }
    return !components.empty();
}

void CTftp::SetRoot(const std::string& rootFolder)
{
    m_root = rootFolder;
}

int CTftp::TftpStartServer(const std::string& rootFolder, std::uint16_t port)
{
    for (Slot& slot : m_slots)
        FreeSlot(slot, false);
    m_active = 0;
    m_stop = false;
    if (!rootFolder.empty())
        m_root = rootFolder;
    m_socket.Close();
    m_socket.ResetStop();
    if (!m_socket.Create(CSocket::Udp) || !m_socket.SetReuseAddress(true) || !m_socket.Bind(SocketAddress(0, port)) ||
        !m_socket.SetReceiveBufferSize(32768)) {
        m_socket.Close();
        return -1;
    }
    if (!m_socket.SetBroadcast(true)) {
        m_socket.Close();
        return 1;
    }
    m_port = m_socket.LocalAddress().port;
    return 0;
}

std::uint16_t CTftp::ServerPort() const
{
    return m_port.load();
}

void CTftp::TftpStopServer()
{
    m_stop = true;
    m_socket.Stop();
}

void CTftp::TftpPoll()
{
    if (!m_socket.IsOpen())
        return;
    auto tick = Clock::now();
    std::array<std::uint8_t, kPacket + 1> packet{};
    while (!m_stop) {
        const auto wait = m_active > 0 ? m_timing.second * m_timing.activeWait : std::chrono::milliseconds(-1);
        SocketAddress from;
        const int n = m_socket.ReceiveFrom(packet.data(), packet.size(), &from, static_cast<int>(wait.count()));
        const auto now = Clock::now();
        const auto seconds = static_cast<int>((now - tick) / m_timing.second);
        if (seconds > 0) {
            tick += m_timing.second * seconds;
            TimerStep(seconds);
        }
        if (n == CSocket::kStopped || m_stop)
            break;
        if (n < 0)
            continue;
        HandlePacket(packet.data(), static_cast<std::size_t>(n), from);
    }
    for (Slot& slot : m_slots)
        FreeSlot(slot, false);
    m_socket.Close();
}

void CTftp::HandlePacket(const std::uint8_t* packet, std::size_t length, const SocketAddress& from)
{
    if (length > kPacket) {
        ++m_counters.dropped;
        SendError(ErrorKind::IllegalOperation, from);
        return;
    }
    const std::uint16_t opcode = length >= 2 ? Word(packet) : 0;
    switch (opcode) {
    case ReadRequest:
    case WriteRequest:
        HandleRequest(packet, length, from, opcode == WriteRequest);
        break;
    case Data:
        HandleData(packet, length, from);
        break;
    case Ack:
        HandleAck(packet, length, from);
        break;
    case Error: {
        // The peer gave its transfer up: it ends here, and a file it was
        // writing is not kept. An error is never answered.
        ++m_counters.peerErrors;
        Slot* slot = FindSlot(from, Slot::Reading);
        if (slot == nullptr)
            slot = FindSlot(from, Slot::Writing);
        if (slot != nullptr)
            FreeSlot(*slot, false);
        break;
    }
    default:
        ++m_counters.dropped;
        SendError(ErrorKind::IllegalOperation, from);
        break;
    }
}

CTftp::Slot* CTftp::FindSlot(const SocketAddress& peer, int state)
{
    for (Slot& slot : m_slots)
        if (slot.state == state && slot.peer == peer)
            return &slot;
    return nullptr;
}

void CTftp::SendError(ErrorKind kind, const SocketAddress& to)
{
    const auto packet = ErrorPacket(kind);
    m_socket.SendTo(packet.data(), packet.size(), to, 0);
}

void CTftp::SendSlot(Slot& slot)
{
    m_socket.SendTo(slot.last.data(), slot.last.size(), slot.peer, 0);
}

void CTftp::FreeSlot(Slot& slot, bool commit)
{
    if (slot.state == Slot::Free)
        return;
    if (slot.fd >= 0)
        close(slot.fd);
    if (slot.directory >= 0) {
        bool named = false;
        if (commit && !slot.tempName.empty())
            named = renameat2(slot.directory, slot.tempName.c_str(), slot.directory, slot.finalName.c_str(),
                              RENAME_NOREPLACE) == 0;
        if (!named && !slot.tempName.empty())
            unlinkat(slot.directory, slot.tempName.c_str(), 0);
        close(slot.directory);
    }
    if (commit)
        ++m_counters.served;
    slot = Slot{};
    --m_active;
}

int CTftp::OpenBeneath(const std::vector<std::string>& components, bool forWrite, int& directory) const
{
    directory = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return -1;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        const int next = openat(directory, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(directory);
        directory = next;
        if (directory < 0)
            return -1;
    }
    const std::string& name = components.back();
    if (forWrite) {
        errno = 0;
        return -1;  // the caller creates the file under a temporary name
    }
    const int fd = openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat info
    {};
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        fcntl(fd, F_SETFL, 0);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    close(directory);
    directory = -1;
    return -1;
}

void CTftp::HandleRequest(const std::uint8_t* packet, std::size_t length, const SocketAddress& from, bool write)
{
    std::size_t at = 2;
    std::string name;
    std::string mode;
    if (!TakeText(packet, length, at, name) || !TakeText(packet, length, at, mode) || name.empty()) {
        ++m_counters.dropped;
        SendError(ErrorKind::IllegalOperation, from);
        return;
    }
    // Files travel as they are stored, in either of the modes a client may
    // ask for them in: a netascii client gets them unconverted, as the units'
    // binary transfers do. Any other mode is not served.
    if (!EqualNoCase(mode, "octet") && !EqualNoCase(mode, "netascii")) {
        ++m_counters.refused;
        SendError(ErrorKind::IllegalOperation, from);
        return;
    }
    // A repeated request of the same peer starts its transfer again.
    if (Slot* old = FindSlot(from, write ? Slot::Writing : Slot::Reading))
        FreeSlot(*old, false);
    Slot* slot = nullptr;
    for (Slot& s : m_slots)
        if (s.state == Slot::Free) {
            slot = &s;
            break;
        }
    if (slot == nullptr) {
        ++m_counters.ignored;
        return;
    }
    std::vector<std::string> components;
    if (!ResolveName(m_root, name, components)) {
        ++m_counters.refused;
        SendError(ErrorKind::FileNotFound, from);
        return;
    }
    int directory = -1;
    if (!write) {
        const int fd = OpenBeneath(components, false, directory);
        if (fd < 0) {
            ++m_counters.refused;
            SendError(ErrorKind::FileNotFound, from);
            return;
        }
        slot->state = Slot::Reading;
        slot->fd = fd;
        slot->directory = directory;
        slot->peer = from;
        slot->block = 0;
        ++m_active;
        SendNextBlock(*slot);
        return;
    }
    OpenBeneath(components, true, directory);
    if (directory < 0) {
        ++m_counters.refused;
        SendError(ErrorKind::FileNotFound, from);
        return;
    }
    const std::string& target = components.back();
    struct stat info
    {};
    if (fstatat(directory, target.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        close(directory);
        ++m_counters.refused;
        SendError(ErrorKind::FileExists, from);
        return;
    }
    static std::atomic<unsigned> serial{0};
    const std::string temp = "." + target + ".part" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    const int fd = openat(directory, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        close(directory);
        ++m_counters.refused;
        SendError(ErrorKind::FileNotFound, from);
        return;
    }
    slot->state = Slot::Writing;
    slot->fd = fd;
    slot->directory = directory;
    slot->tempName = temp;
    slot->finalName = target;
    slot->peer = from;
    slot->block = 0;
    slot->last = AckPacket(0);
    slot->timeLeft = m_timing.transferTimeout;
    slot->retriesLeft = m_timing.retries;
    ++m_active;
    SendSlot(*slot);
}

bool CTftp::SendNextBlock(Slot& slot)
{
    std::array<std::uint8_t, kBlock> data{};
    const int n = ReadBlock(slot.fd, data.data());
    if (n < 0) {
        const SocketAddress peer = slot.peer;
        FreeSlot(slot, false);
        SendError(ErrorKind::ReadError, peer);
        return false;
    }
    ++slot.block;
    slot.last = DataPacket(slot.block, data.data(), static_cast<std::size_t>(n));
    SendSlot(slot);
    if (static_cast<std::size_t>(n) < kBlock) {
        // The last block: waited for a while, never resent.
        slot.finished = true;
        slot.timeLeft = m_timing.linger;
        slot.retriesLeft = 1;
    } else {
        slot.timeLeft = m_timing.transferTimeout;
        slot.retriesLeft = m_timing.retries;
    }
    return true;
}

void CTftp::HandleData(const std::uint8_t* packet, std::size_t length, const SocketAddress& from)
{
    Slot* slot = FindSlot(from, Slot::Writing);
    if (length < 4 || slot == nullptr) {
        ++m_counters.dropped;
        SendError(length < 4 ? ErrorKind::IllegalOperation : ErrorKind::TimedOut, from);
        return;
    }
    const std::uint16_t block = Word(packet + 2);
    if (block == static_cast<std::uint16_t>(slot->block + 1) && !slot->finished) {
        if (!WriteAll(slot->fd, packet + 4, length - 4)) {
            const bool full = errno == ENOSPC || errno == EDQUOT;
            FreeSlot(*slot, false);
            SendError(full ? ErrorKind::DiskFull : ErrorKind::WriteError, from);
            return;
        }
        slot->block = block;
        slot->last = AckPacket(block);
        if (length < kPacket) {
            close(slot->fd);
            slot->fd = -1;
            // Complete: named before the last acknowledgement, so that the
            // peer finds the file once told; the slot stays to answer a repeat.
            if (renameat2(slot->directory, slot->tempName.c_str(), slot->directory, slot->finalName.c_str(),
                          RENAME_NOREPLACE) != 0) {
                FreeSlot(*slot, false);
                SendError(ErrorKind::FileExists, from);
                return;
            }
            slot->tempName.clear();
            ++m_counters.served;
            SendSlot(*slot);
            slot->finished = true;
            slot->timeLeft = m_timing.linger;
            slot->retriesLeft = 1;
            return;
        }
    } else if (block != slot->block) {
        ++m_counters.dropped;
        return;
    }
    SendSlot(*slot);
    if (!slot->finished) {
        slot->timeLeft = m_timing.transferTimeout;
        slot->retriesLeft = m_timing.retries;
    }
}

void CTftp::HandleAck(const std::uint8_t* packet, std::size_t length, const SocketAddress& from)
{
    Slot* slot = FindSlot(from, Slot::Reading);
    if (length < 4 || slot == nullptr) {
        ++m_counters.dropped;
        SendError(length < 4 ? ErrorKind::IllegalOperation : ErrorKind::TimedOut, from);
        return;
    }
    const std::uint16_t block = Word(packet + 2);
    if (block == slot->block) {
        if (slot->finished) {
            FreeSlot(*slot, true);
            return;
        }
        SendNextBlock(*slot);
    } else if (block == static_cast<std::uint16_t>(slot->block - 1)) {
        SendSlot(*slot);
    } else {
        FreeSlot(*slot, false);
    }
}

void CTftp::TimerStep(int seconds)
{
    for (Slot& slot : m_slots) {
        if (slot.state == Slot::Free)
            continue;
        slot.timeLeft -= seconds;
        if (slot.timeLeft > 0)
            continue;
        if (--slot.retriesLeft <= 0) {
            FreeSlot(slot, false);
            continue;
        }
        SendSlot(slot);
        slot.timeLeft = m_timing.transferTimeout;
    }
}

CTftp::ClientTransfer::ClientTransfer(bool send, int fd, const std::string& name, const SocketAddress& server)
    : m_send(send), m_fd(fd), m_peer(server)
{
    PutWord(m_last, send ? WriteRequest : ReadRequest);
    m_last.insert(m_last.end(), name.begin(), name.end());
    m_last.push_back(0);
    for (char c : std::string("octet"))
        m_last.push_back(static_cast<std::uint8_t>(c));
    m_last.push_back(0);
}

CTftp::ClientTransfer::Step CTftp::ClientTransfer::Fail(const std::string& why)
{
    m_why = why;
    return Step::Failed;
}

CTftp::ClientTransfer::Step CTftp::ClientTransfer::Take(const std::uint8_t* packet, std::size_t length,
                                                        const SocketAddress& from)
{
    // Only the unit speaks: its address, and from its first answer on, the
    // port it answered from.
    if (from.ip != m_peer.ip || (m_locked && from.port != m_peer.port))
        return Step::Wait;
    if (length < 4 || length > kPacket)
        return Step::RefuseSender;
    if (!m_locked) {
        m_peer = from;
        m_locked = true;
    }
    const std::uint16_t opcode = Word(packet);
    const std::uint16_t number = Word(packet + 2);
    if (opcode == Error) {
        // The message up to its terminator, or to the packet's end.
        const auto* text = reinterpret_cast<const char*>(packet + 4);
        const std::size_t size = length - 4;
        const void* end = std::memchr(text, 0, size);
        const std::string message(text, end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size);
        return Fail("unit refused: " + message);
    }
    if (m_send && opcode == Ack) {
        if (number != m_block)
            return Step::Wait;  // a stale acknowledgement; the timer resends
        if (m_lastBlock)
            return Step::Done;
        std::array<std::uint8_t, kBlock> data{};
        const int got = ReadBlock(m_fd, data.data());
        if (got < 0)
            return Fail("cannot read the file sent");
        ++m_block;
        m_last = DataPacket(m_block, data.data(), static_cast<std::size_t>(got));
        m_lastBlock = static_cast<std::size_t>(got) < kBlock;
        return Step::Send;
    }
    if (!m_send && opcode == Data) {
        if (number == static_cast<std::uint16_t>(m_block + 1)) {
            if (!WriteAll(m_fd, packet + 4, length - 4))
                return Fail("cannot write the file fetched");
            m_block = number;
            m_last = AckPacket(m_block);
            return length < kPacket ? Step::SendAndDone : Step::Send;
        }
        // A repeated block is acknowledged again; any other waits.
        return number == m_block ? Step::Send : Step::Wait;
    }
    return Step::RefuseSender;
}

bool CTftp::TftpPutFile(const std::string& path, const std::string& peerIp, int send, std::uint16_t port,
                        std::string* why)
{
    auto fail = [why](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    std::uint32_t ip = 0;
    if (!SocketAddress::ParseIp(peerIp, ip))
        return fail("bad unit address " + peerIp);
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return fail("no file name in " + path);

    int fd = -1;
    if (send) {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "Error file %s NOT found!\n", path.c_str());
            return fail("cannot open " + path);
        }
    } else {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return fail("cannot create " + path);
    }
    struct Closer
    {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};

    CSocket socket;
    socket.SetStopEvent(m_clientStop);
    if (!socket.Create(CSocket::Udp) || !socket.SetReuseAddress(true) || !socket.Bind(SocketAddress(0, 0)) ||
        !socket.SetReceiveBufferSize(32768))
        return fail("cannot open a socket");

    ClientTransfer transfer(send != 0, fd, name, SocketAddress(ip, port));
    int timeLeft = m_timing.transferTimeout;
    int retries = m_timing.retries;
    socket.SendTo(transfer.Packet().data(), transfer.Packet().size(), transfer.Peer(), 1000);
    auto tick = Clock::now();
    std::array<std::uint8_t, kPacket + 1> packet{};
    for (;;) {
        SocketAddress from;
        const int n = socket.ReceiveFrom(packet.data(), packet.size(), &from,
                                         static_cast<int>((m_timing.second * m_timing.activeWait).count()));
        const auto seconds = static_cast<int>((Clock::now() - tick) / m_timing.second);
        if (seconds > 0) {
            tick += m_timing.second * seconds;
            timeLeft -= seconds;
            if (timeLeft <= 0) {
                if (--retries <= 0)
                    return fail("no answer from " + peerIp);
                socket.SendTo(transfer.Packet().data(), transfer.Packet().size(), transfer.Peer(), 1000);
                timeLeft = m_timing.transferTimeout;
            }
        }
        if (n == CSocket::kError || n == CSocket::kStopped)
            return fail("socket failure");
        if (n < 0)
            continue;
        switch (transfer.Take(packet.data(), static_cast<std::size_t>(n), from)) {
        case ClientTransfer::Step::Wait:
            break;
        case ClientTransfer::Step::RefuseSender: {
            const auto error = ErrorPacket(ErrorKind::IllegalOperation);
            socket.SendTo(error.data(), error.size(), from, 1000);
            break;
        }
        case ClientTransfer::Step::Send:
            socket.SendTo(transfer.Packet().data(), transfer.Packet().size(), transfer.Peer(), 1000);
            timeLeft = m_timing.transferTimeout;
            retries = m_timing.retries;
            break;
        case ClientTransfer::Step::SendAndDone:
            socket.SendTo(transfer.Packet().data(), transfer.Packet().size(), transfer.Peer(), 1000);
            return true;
        case ClientTransfer::Step::Done:
            return true;
        case ClientTransfer::Step::Failed:
            return fail(transfer.Why());
        }
    }
}
