// The TFTP object: our server and client against each other on loopback, the
// server's refusals of names and packets outside what it serves, our server
// against Debian's TFTP clients in a network namespace of the test's own
// (port 69 is privileged), and our client against Debian's TFTP server in
// one as well.
#include "transceivers/Tftp.h"

#include "platform/ChildProcess.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct TempFolder
{
    fs::path path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "zvtftpXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

std::string Bytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A server polling on a thread of its own for the life of the object.
struct RunningServer
{
    CTftp tftp;
    std::thread thread;
    RunningServer(const fs::path& root, std::uint16_t port, const CTftp::Timing& timing = {}) : tftp(timing)
    {
        started = tftp.TftpStartServer(root.string(), port);
        if (started == 0)
            thread = std::thread([this] {
                tftp.TftpPoll();
                polled = true;
            });
    }
    ~RunningServer()
    {
        tftp.TftpStopServer();
        if (thread.joinable())
            thread.join();
    }
    int started = -1;
    std::atomic<bool> polled{false};
};

// Packets sent by hand, and the server's answer to them.
struct RawPeer
{
    CSocket socket;
    SocketAddress server;
    explicit RawPeer(std::uint16_t port) : server(SocketAddress::kLoopback, port)
    {
        socket.Create(CSocket::Udp);
        socket.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    }
    void Send(const std::string& bytes) { socket.SendTo(bytes.data(), bytes.size(), server); }
    std::string Answer(int timeoutMs = 20000)
    {
        char buffer[600];
        const int n = socket.ReceiveFrom(buffer, sizeof buffer, nullptr, timeoutMs);
        return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
    }
};

std::string Request(int opcode, const std::string& name, const std::string& mode = "octet")
{
    return std::string{'\0', static_cast<char>(opcode)} + name + std::string(1, '\0') + mode + std::string(1, '\0');
}

std::vector<std::uint8_t> Packet(const std::string& bytes)
{
    return {bytes.begin(), bytes.end()};
}

int ErrorCode(const std::string& packet)
{
    if (packet.size() < 4 || packet[1] != CTftp::Error)
        return -1;
    return (static_cast<unsigned char>(packet[2]) << 8) | static_cast<unsigned char>(packet[3]);
}

const std::vector<std::size_t> kSizes{0, 511, 512, 513, 3 * 1024 * 1024};

TEST(Tftp, OurClientPutsAndFetchesWholeFilesOfEveryEdgeSize)
{
    TempFolder served;
    TempFolder local;
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);
    CTftp client;
    for (std::size_t size : kSizes) {
        SCOPED_TRACE(size);
        const std::string bytes = Bytes(size, static_cast<unsigned>(size));
        const fs::path out = local.path / ("put" + std::to_string(size) + ".bin");
        WriteFile(out, bytes);
        std::string why;
        ASSERT_TRUE(client.TftpPutFile(out.string(), "127.0.0.1", 1, server.tftp.ServerPort(), &why)) << why;
        EXPECT_TRUE(ReadFile(served.path / out.filename()) == bytes);

        const fs::path back = local.path / out.filename();
        fs::remove(back);
        ASSERT_TRUE(client.TftpPutFile(back.string(), "127.0.0.1", 0, server.tftp.ServerPort(), &why)) << why;
        EXPECT_TRUE(ReadFile(back) == bytes);
    }
    // No temporary file is left beside the ones received.
    EXPECT_EQ(std::distance(fs::directory_iterator(served.path), fs::directory_iterator()),
              static_cast<long>(kSizes.size()));
}

TEST(Tftp, ClientFailsOnAnErrorAndOnASilentPeer)
{
    TempFolder served;
    TempFolder local;
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);
    CTftp client;
    std::string why;
    EXPECT_FALSE(
        client.TftpPutFile((local.path / "absent.bin").string(), "127.0.0.1", 0, server.tftp.ServerPort(), &why));
    EXPECT_NE(why.find("<file not found>"), std::string::npos) << why;

    // A file of that name exists already: the server refuses to replace it.
    WriteFile(served.path / "kept.bin", "old");
    WriteFile(local.path / "kept.bin", "new");
    EXPECT_FALSE(client.TftpPutFile((local.path / "kept.bin").string(), "127.0.0.1", 1, server.tftp.ServerPort()));
    EXPECT_EQ(ReadFile(served.path / "kept.bin"), "old");

    // Nobody listens: the retries run out.
    CSocket closed;
    closed.Create(CSocket::Udp);
    closed.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    const std::uint16_t silentPort = closed.LocalAddress().port;
    CTftp::Timing quick;
    quick.second = std::chrono::milliseconds(20);
    CTftp impatient(quick);
    EXPECT_FALSE(impatient.TftpPutFile((local.path / "kept.bin").string(), "127.0.0.1", 1, silentPort, &why));
    EXPECT_NE(why.find("no answer"), std::string::npos) << why;
}

TEST(Tftp, ClientTakesRepliesOnlyFromTheUnitsFirstPort)
{
    TempFolder local;
    const fs::path path = local.path / "fetched.bin";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    using Step = CTftp::ClientTransfer::Step;
    CTftp::ClientTransfer transfer(false, fd, "dir\\file.bin", SocketAddress(SocketAddress::kLoopback, 69));
    EXPECT_EQ(transfer.Packet(), Packet(Request(1, "dir\\file.bin")));
    const auto take = [&](const std::string& packet, std::uint32_t ip, std::uint16_t port) {
        return transfer.Take(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(),
                             SocketAddress(ip, port));
    };
    const auto data = [](int block, const std::string& bytes) {
        return std::string{'\0', '\3', '\0', static_cast<char>(block)} + bytes;
    };
    const std::string full(512, 'a');
    EXPECT_EQ(take(data(1, full), 0x7F000009, 40000), Step::Wait) << "another address";
    EXPECT_EQ(take(std::string(1, '\3'), SocketAddress::kLoopback, 40000), Step::RefuseSender);
    EXPECT_EQ(take(data(1, full), SocketAddress::kLoopback, 40000), Step::Send);
    EXPECT_EQ(transfer.Peer().port, 40000);
    EXPECT_EQ(transfer.Packet(), Packet(std::string("\0\4\0\1", 4)));
    EXPECT_EQ(take(data(2, "late"), SocketAddress::kLoopback, 40001), Step::Wait) << "another port";
    EXPECT_EQ(take(data(1, full), SocketAddress::kLoopback, 40000), Step::Send) << "a repeat acknowledged again";
    EXPECT_EQ(take(data(3, "ahead"), SocketAddress::kLoopback, 40000), Step::Wait);
    EXPECT_EQ(take(std::string{'\0', '\6', '\0', '\0'}, SocketAddress::kLoopback, 40000), Step::RefuseSender);
    EXPECT_EQ(take(data(2, "end"), SocketAddress::kLoopback, 40000), Step::SendAndDone);
    close(fd);
    EXPECT_EQ(ReadFile(path), full + "end");

    // An error ends the transfer with the unit's text, terminated or not.
    CTftp::ClientTransfer refused(true, -1, "x", SocketAddress(SocketAddress::kLoopback, 69));
    const std::string error = std::string{'\0', '\5', '\0', '\2'} + "Access violation";
    EXPECT_EQ(refused.Take(reinterpret_cast<const std::uint8_t*>(error.data()), error.size(),
                           SocketAddress(SocketAddress::kLoopback, 40002)),
              Step::Failed);
    EXPECT_EQ(refused.Why(), "unit refused: Access violation");
}

TEST(Tftp, ServerRefusesNamesOutsideItsFolderAndMalformedPackets)
{
    TempFolder outside;
    WriteFile(outside.path / "secret.txt", "secret");
    TempFolder served;
    fs::create_directory(served.path / "sub");
    WriteFile(served.path / "sub" / "file.bin", "inside");
    fs::create_symlink(outside.path / "secret.txt", served.path / "link.txt");
    fs::create_directory_symlink(outside.path, served.path / "away");
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);

    struct Row
    {
        const char* legend;
        std::string packet;
        int code;
    };
    const std::string secret = (outside.path / "secret.txt").string();
    const std::vector<Row> rows{
        {"parent folder", Request(1, "../" + outside.path.filename().string() + "/secret.txt"), 2},
        {"parent folder, backslashes", Request(1, "sub\\..\\..\\secret.txt"), 2},
        {"link to a file outside", Request(1, "link.txt"), 2},
        {"through a linked folder", Request(1, "away/secret.txt"), 2},
        {"a folder", Request(1, "sub"), 2},
        {"write through a linked folder", Request(2, "away/new.txt"), 2},
        {"write over a link", Request(2, "link.txt"), 6},
        {"unknown opcode 6", std::string{'\0', '\6', '\0', '\1'}, 4},
        {"one byte", std::string(1, '\1'), 4},
        {"name without terminator", std::string{'\0', '\1', 'a', 'b'}, 4},
        {"mode without terminator", std::string{'\0', '\1', 'a', '\0', 'o'}, 4},
        {"mode mail", Request(2, "new.txt", "mail"), 4},
        {"a mode of no transfer", Request(1, "sub/file.bin", "binary"), 4},
        {"data for no transfer", std::string{'\0', '\3', '\0', '\1', 'x'}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        RawPeer peer(server.tftp.ServerPort());
        peer.Send(row.packet);
        const std::string answer = peer.Answer();
        EXPECT_EQ(ErrorCode(answer), row.code);
    }
    RawPeer illegal(server.tftp.ServerPort());
    illegal.Send(std::string{'\0', '\6'});
    const std::string answer = illegal.Answer();
    EXPECT_EQ(answer, std::string("\0\5\0\4<illegal TFTP operation>\0\0\0", 32));
    EXPECT_EQ(ReadFile(outside.path / "secret.txt"), "secret");
    EXPECT_FALSE(fs::exists(outside.path / "new.txt"));

    EXPECT_FALSE(fs::exists(served.path / "new.txt"));
    // Either transfer mode of a client, in any case, gets the file as stored.
    for (const char* mode : {"OCTET", "NetAscii"}) {
        RawPeer peer(server.tftp.ServerPort());
        peer.Send(Request(1, "sub/file.bin", mode));
        EXPECT_EQ(peer.Answer(), std::string("\0\3\0\1inside", 10)) << mode;
    }

    // A full path of the served folder itself, as a boot reply names it.
    RawPeer full(server.tftp.ServerPort());
    full.Send(Request(1, "C:\\" + served.path.filename().string() + "\\sub\\file.bin"));
    EXPECT_EQ(full.Answer(), std::string("\0\3\0\1inside", 10));
}

TEST(Tftp, NinthSimultaneousRequestGetsNoAnswer)
{
    TempFolder served;
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < CTftp::kSlots; ++i) {
        peers.push_back(std::make_unique<RawPeer>(server.tftp.ServerPort()));
        peers.back()->Send(Request(2, "upload" + std::to_string(i)));
        EXPECT_EQ(peers.back()->Answer(), std::string("\0\4\0\0", 4));
    }
    RawPeer ninth(server.tftp.ServerPort());
    ninth.Send(Request(2, "upload8"));
    // An illegal packet after it: its answer comes only once the server has
    // handled the request before it, so what arrives first tells.
    ninth.Send(std::string{'\0', '\6'});
    EXPECT_EQ(ErrorCode(ninth.Answer()), 4);
    EXPECT_EQ(server.tftp.GetCounters().ignored.load(), 1);

    // A repeated data block is acknowledged again and written once.
    RawPeer& first = *peers.front();
    const std::string block = std::string{'\0', '\3', '\0', '\1'} + "abc";
    first.Send(block);
    EXPECT_EQ(first.Answer(), std::string("\0\4\0\1", 4));
    first.Send(block);
    EXPECT_EQ(first.Answer(), std::string("\0\4\0\1", 4));
    EXPECT_TRUE(zv::test::WaitUntil([&] { return ReadFile(served.path / "upload0") == "abc"; }));
}

TEST(Tftp, PeersErrorEndsItsTransferAndFreesTheSlot)
{
    TempFolder served;
    WriteFile(served.path / "three.bin", Bytes(3 * 512, 7));
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);
    const std::string error = std::string{'\0', '\5', '\0', '\0'} + "gave up" + std::string(1, '\0');
    // An illegal packet after the error: its answer is the first to come, so
    // the error was not answered.
    const std::string illegal{'\0', '\6'};

    RawPeer reader(server.tftp.ServerPort());
    reader.Send(Request(1, "three.bin"));
    ASSERT_EQ(reader.Answer().substr(0, 4), std::string("\0\3\0\1", 4));
    EXPECT_EQ(server.tftp.ActiveTransfers(), 1);
    reader.Send(error);
    reader.Send(illegal);
    EXPECT_EQ(ErrorCode(reader.Answer()), 4);
    EXPECT_EQ(server.tftp.ActiveTransfers(), 0);
    // What comes for the ended transfer belongs to none.
    reader.Send(std::string{'\0', '\4', '\0', '\1'});
    EXPECT_EQ(ErrorCode(reader.Answer()), 0);

    RawPeer writer(server.tftp.ServerPort());
    writer.Send(Request(2, "half.bin"));
    ASSERT_EQ(writer.Answer(), std::string("\0\4\0\0", 4));
    writer.Send(std::string{'\0', '\3', '\0', '\1'} + std::string(512, 'h'));
    ASSERT_EQ(writer.Answer(), std::string("\0\4\0\1", 4));
    writer.Send(error);
    writer.Send(illegal);
    EXPECT_EQ(ErrorCode(writer.Answer()), 4);
    EXPECT_EQ(server.tftp.ActiveTransfers(), 0);
    EXPECT_FALSE(fs::exists(served.path / "half.bin")) << "a broken write leaves no file";
    EXPECT_EQ(std::distance(fs::directory_iterator(served.path), fs::directory_iterator()), 1)
        << "nor its temporary one";

    // An error of a peer with no transfer is counted too and changes nothing.
    RawPeer stranger(server.tftp.ServerPort());
    stranger.Send(error);
    stranger.Send(illegal);
    EXPECT_EQ(ErrorCode(stranger.Answer()), 4);
    EXPECT_EQ(server.tftp.GetCounters().peerErrors.load(), 3);
    EXPECT_EQ(server.tftp.GetCounters().served.load(), 0);
}

TEST(Tftp, StopWakesAPollWithNoTransfer)
{
    TempFolder served;
    RunningServer server(served.path, 0);
    ASSERT_EQ(server.started, 0);
    server.tftp.TftpStopServer();
    EXPECT_TRUE(zv::test::WaitUntil([&] { return server.polled.load(); }));
}

// Runs a program, its output discarded; its exit code.
int RunQuiet(const std::vector<std::string>& argv)
{
    return CChildProcess::Run(argv, true);
}

bool Installed(const char* program)
{
    return RunQuiet({"sh", "-c", std::string("command -v ") + program}) == 0;
}

TEST(Tftp, OurServerServesDebiansClients)
{
    for (const char* program : {"tftp", "atftp", "curl"})
        if (!Installed(program))
            GTEST_SKIP() << program << " is not installed (scripts/setup-debian.sh)";
    TempFolder served;
    TempFolder local;
    for (std::size_t size : kSizes)
        WriteFile(served.path / ("f" + std::to_string(size)), Bytes(size, static_cast<unsigned>(size) + 7));
    for (std::size_t size : kSizes)
        WriteFile(local.path / ("up" + std::to_string(size)), Bytes(size, static_cast<unsigned>(size) + 3));
    nettest::RunNamespaceTest([&] {
        nettest::Checks check;
        RunningServer server(served.path, CTftp::kPort);
        if (!check(server.started == 0, "server started on port 69"))
            return 1;
        for (std::size_t size : kSizes) {
            const std::string name = "f" + std::to_string(size);
            const std::string expected = ReadFile(served.path / name);
            const std::string out = (local.path / name).string();
            const std::vector<std::vector<std::string>> clients{
                {"tftp", "127.0.0.1", "-m", "binary", "-c", "get", name, out},
                {"atftp", "--get", "-r", name, "-l", out, "127.0.0.1"},
                {"curl", "-s", "-o", out, "tftp://127.0.0.1/" + name},
            };
            for (const auto& argv : clients) {
                fs::remove(out);
                check(RunQuiet(argv) == 0, argv[0] + " get " + name + " succeeds");
                check(ReadFile(out) == expected, argv[0] + " received " + name + " whole");
            }
        }
        // Puts of the same sizes: each client names of its own, since
        // nothing is replaced.
        for (std::size_t size : kSizes) {
            const std::string upload = (local.path / ("up" + std::to_string(size))).string();
            const std::string expected = ReadFile(upload);
            const std::string tail = "-" + std::to_string(size);
            const std::vector<std::pair<std::string, std::vector<std::string>>> clients{
                {"by-tftp" + tail, {"tftp", "127.0.0.1", "-m", "binary", "-c", "put", upload, "by-tftp" + tail}},
                {"by-atftp" + tail, {"atftp", "--put", "-l", upload, "-r", "by-atftp" + tail, "127.0.0.1"}},
                {"by-curl" + tail, {"curl", "-s", "-T", upload, "tftp://127.0.0.1/by-curl" + tail}},
            };
            for (const auto& [name, argv] : clients) {
                check(RunQuiet(argv) == 0, argv[0] + " put " + name + " succeeds");
                // The file is named as the last block comes, before or after
                // its acknowledgement reaches the client.
                check(zv::test::WaitUntil([&] { return ReadFile(served.path / name) == expected; }),
                      name + " arrived whole");
            }
        }
        // The refusals a real client reports as failures.
        fs::remove(local.path / "x");
        check(RunQuiet({"curl", "-s", "-o", (local.path / "x").string(), "tftp://127.0.0.1/../etc/passwd"}) != 0,
              "curl refused a parent folder");
        return check.failures;
    });
}

// Debian's TFTP server beside the test, serving root on a free port of
// 127.0.0.1 as the user running it (in a namespace, its root), until the
// object goes.
class CAtftpd
{
public:
    static std::string Program()
    {
        for (const char* path : {"/usr/sbin/atftpd", "/usr/bin/atftpd"})
            if (access(path, X_OK) == 0)
                return path;
        return {};
    }

    explicit CAtftpd(const fs::path& root)
    {
        const passwd* user = getpwuid(getuid());
        const group* grp = getgrgid(getgid());
        if (Program().empty() || user == nullptr || grp == nullptr)
            return;
        const std::string as = std::string(user->pw_name) + "." + grp->gr_name;
        // A port that was free a moment ago; taken meanwhile, the server
        // ends at once and the next one is tried.
        for (int attempt = 0; attempt < 5 && m_pid <= 0; ++attempt) {
            CSocket probe;
            probe.Create(CSocket::Udp);
            probe.Bind(SocketAddress(SocketAddress::kLoopback, 0));
            m_port = probe.LocalAddress().port;
            probe.Close();
            std::vector<std::string> words{
                Program(),        "--daemon",  "--no-fork", "--user",    as,           "--port", std::to_string(m_port),
                "--bind-address", "127.0.0.1", "--logfile", "/dev/null", root.string()};
            std::vector<char*> argv;
            for (std::string& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            pid_t pid = -1;
            if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
                m_pid = pid;
            posix_spawn_file_actions_destroy(&actions);
            // Up once the port is bound: our own bind of it fails then.
            const bool up = m_pid > 0 && zv::test::WaitUntil([&] {
                                int status = 0;
                                if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                                    m_pid = -1;
                                    return true;
                                }
                                CSocket taken;
                                taken.Create(CSocket::Udp);
                                return !taken.Bind(SocketAddress(SocketAddress::kLoopback, m_port));
                            });
            if (!up)
                Stop();
        }
    }
    ~CAtftpd() { Stop(); }
    CAtftpd(const CAtftpd&) = delete;
    CAtftpd& operator=(const CAtftpd&) = delete;

    bool IsRunning() const { return m_pid > 0; }
    std::uint16_t Port() const { return m_port; }

private:
    void Stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

// In a user namespace just made: the user outside becomes the namespace's
// root, so that a server told to run as it can switch to it. Where there is
// no user namespace (the test runs as root), nothing needs mapping.
void MapUserToRoot(uid_t uid, gid_t gid)
{
    const auto write = [](const char* path, const std::string& text) {
        std::ofstream out(path);
        out << text;
    };
    write("/proc/self/setgroups", "deny");
    write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

TEST(Tftp, OurClientPutsAndFetchesThroughDebiansServer)
{
    if (CAtftpd::Program().empty())
        GTEST_SKIP() << "atftpd is not installed (scripts/setup-debian.sh)";
    TempFolder served;
    TempFolder local;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    // The server runs in the namespace as its root user: the test's own user
    // outside, which it must be able to become.
    nettest::RunNamespaceTest([&] {
        nettest::Checks check;
        MapUserToRoot(uid, gid);
        CAtftpd server(served.path);
        if (!check(server.IsRunning(), "atftpd started"))
            return 1;
        CTftp client;
        std::string why;
        for (std::size_t size : kSizes) {
            const std::string bytes = Bytes(size, static_cast<unsigned>(size) + 11);
            const std::string name = "sent" + std::to_string(size) + ".bin";
            WriteFile(local.path / name, bytes);
            check(client.TftpPutFile((local.path / name).string(), "127.0.0.1", 1, server.Port(), &why),
                  "put " + name + ": " + why);
            // The server names the file as the last block comes, before or
            // after its acknowledgement.
            check(zv::test::WaitUntil([&] { return ReadFile(served.path / name) == bytes; }), name + " arrived whole");

            const std::string kept = "kept" + std::to_string(size) + ".bin";
            WriteFile(served.path / kept, bytes);
            check(client.TftpPutFile((local.path / kept).string(), "127.0.0.1", 0, server.Port(), &why),
                  "fetch " + kept + ": " + why);
            check(ReadFile(local.path / kept) == bytes, kept + " fetched whole");
        }
        // The server's error packet fails the fetch with its text.
        why.clear();
        check(!client.TftpPutFile((local.path / "absent.bin").string(), "127.0.0.1", 0, server.Port(), &why),
              "fetching an absent file fails");
        check(why.find("unit refused") != std::string::npos, "with the server's refusal: " + why);
        return check.failures;
    });
}

}  // namespace
