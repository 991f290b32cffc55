// Components in a server process of their own: creation through the
// classes hive, calls and their arguments on the wire, the stream hand-over,
// and a server that refuses, dies, dawdles or answers nonsense, none of
// which leaves a caller waiting longer than the time-out.
#include "platform/LocalServer.h"
#include "platform/TempHives.h"
#include "platform/tests/LocalServerPeer.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class CPeerProxy final : public TLocalServerProxy<ILocalServerPeer>
{
public:
    using TLocalServerProxy::TLocalServerProxy;
    HRESULT Take(const VARIANT* args, ULONG count) override { return Connection().Call(3, args, count); }
};

IUnknown* MakePeerProxy(std::shared_ptr<CLocalServerConnection> connection)
{
    return static_cast<ILocalServerPeer*>(new CPeerProxy(std::move(connection), IID_ILocalServerPeer));
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LocalServer : public ::testing::Test
{
protected:
    LocalServer()
    {
        CoRegisterInterfaceProxy(IID_ILocalServerPeer, MakePeerProxy);
        log = fs::temp_directory_path() / ("zv-localserver-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove(log);
    }
    ~LocalServer() override { fs::remove(log); }

    void Register(const std::string& options = {})
    {
        const std::string line = QuoteCommandLineWord(LOCALSERVER_PEER_PATH) + " --log " +
                                 QuoteCommandLineWord(log.string()) + (options.empty() ? "" : " " + options);
        ASSERT_EQ(RegisterLocalServer(CLSID_LocalServerPeer, "Local server peer", line), S_OK);
    }

    ILocalServerPeer* Create(HRESULT expected = S_OK)
    {
        void* p = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_LocalServerPeer, nullptr, CLSCTX_LOCAL_SERVER, IID_ILocalServerPeer, &p),
                  expected);
        return static_cast<ILocalServerPeer*>(p);
    }

    bool LogHas(const std::string& text)
    {
        return zv::test::WaitUntil([&] { return ReadFile(log).find(text) != std::string::npos; });
    }

    pid_t ServerPid()
    {
        const std::string text = ReadFile(log);
        const auto at = text.find("started ");
        return at == std::string::npos ? 0 : static_cast<pid_t>(std::atoi(text.c_str() + at + 8));
    }

    CTempHives hives;
    fs::path log;
};

TEST_F(LocalServer, CallsCarryTheirArgumentsAndTheServerEndsWithItsObject)
{
    Register();
    ILocalServerPeer* peer = Create();
    ASSERT_NE(peer, nullptr);

    VARIANT args[7];
    args[0].vt = VT_R8;
    args[0].dblVal = -45.25;
    args[1].vt = VT_UI2;
    args[1].uiVal = 65535;
    args[2].vt = VT_I4;
    args[2].lVal = -7;
    args[3].vt = VT_BSTR;
    args[3].bstrVal = SysAllocString("T38 38 kHz");
    args[4].vt = VT_BSTR;
    args[4].bstrVal = nullptr;
    args[5].vt = VT_ARRAY | VT_R8;
    args[5].parray = SafeArrayCreateVector(VT_R8, 0, 3);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(args[5].parray, &data), S_OK);
    static_cast<double*>(data)[0] = 1.5;
    static_cast<double*>(data)[1] = -0.1;
    static_cast<double*>(data)[2] = 1e-300;
    args[6].vt = VT_ARRAY | VT_R8;
    args[6].parray = SafeArrayCreateVector(VT_R8, 0, 0);
    EXPECT_EQ(peer->Take(args, 7), 7) << "the server's own result comes back";
    EXPECT_EQ(SafeArrayUnaccessData(args[5].parray), S_OK);
    for (VARIANT& v : args)
        EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_TRUE(LogHas("slot 3: VT 5 -45.25 | VT 18 65535 | VT 3 -7 | VT 8 'T38 38 kHz' | VT 8 null | "
                       "VT 8197 [0] 1.5 -0.10000000000000001 1e-300 | VT 8197 [0]\n"))
        << ReadFile(log);

    EXPECT_EQ(peer->Release(), 0u);
    EXPECT_TRUE(LogHas("ended")) << "released, the object's server ends";
}

TEST_F(LocalServer, TheStreamHandsTheProxyOverOnce)
{
    Register();
    ILocalServerPeer* peer = Create();
    ASSERT_NE(peer, nullptr);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_ILocalServerPeer, peer, &stream), S_OK);
    peer->Release();  // the stream keeps the object alive

    ILocalServerPeer* other = nullptr;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_ILocalServerPeer, reinterpret_cast<void**>(&other)), S_OK);
    ASSERT_NE(other, nullptr);
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = 1;
    EXPECT_EQ(other->Take(&v, 1), 1);
    other->Release();
    EXPECT_TRUE(LogHas("ended"));

    // Asked for an interface it does not hold, the stream is used up all
    // the same: its reference goes and the server with it.
    fs::remove(log);
    peer = Create();
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_ILocalServerPeer, peer, &stream), S_OK);
    peer->Release();
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_TRUE(LogHas("ended"));
}

TEST_F(LocalServer, CreationFailuresNameTheirCause)
{
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_LocalServerPeer, nullptr, CLSCTX_LOCAL_SERVER, IID_ILocalServerPeer, &p),
              REGDB_E_CLASSNOTREG)
        << "no entry";
    EXPECT_EQ(p, nullptr);

    const struct
    {
        const char* legend;
        std::string commandLine;
        IID iid;
        HRESULT expected;
    } rows[] = {
        {"a program that is not there", "/nonexistent/zvcalib --log x", IID_ILocalServerPeer, CO_E_SERVER_EXEC_FAILURE},
        {"a program that ends without serving", "/bin/true", IID_ILocalServerPeer, CO_E_SERVER_EXEC_FAILURE},
        {"an empty command line", "   ", IID_ILocalServerPeer, REGDB_E_CLASSNOTREG},
        {"an interface without a proxy starts nothing",
         QuoteCommandLineWord(LOCALSERVER_PEER_PATH) + " --log " + log.string(), IID_IClassFactory, E_NOINTERFACE},
        {"a server that refuses its object",
         QuoteCommandLineWord(LOCALSERVER_PEER_PATH) + " --refuse --log " + log.string(), IID_ILocalServerPeer,
         E_OUTOFMEMORY},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(RegisterLocalServer(CLSID_LocalServerPeer, "peer", row.commandLine), S_OK);
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(CLSID_LocalServerPeer, nullptr, CLSCTX_LOCAL_SERVER, row.iid, &p), row.expected)
            << row.legend;
        EXPECT_EQ(p, nullptr) << row.legend;
        if (row.iid == IID_IClassFactory) {
            EXPECT_FALSE(fs::exists(log)) << row.legend;
        }
    }

    struct COuter final : IUnknown
    {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
    } outer;
    fs::remove(log);
    Register();
    EXPECT_EQ(CoCreateInstance(CLSID_LocalServerPeer, &outer, CLSCTX_LOCAL_SERVER, IID_ILocalServerPeer, &p),
              CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(fs::exists(log)) << "nothing is started for an aggregate";
}

TEST_F(LocalServer, AServerThatDiesIsAnErrorAndLaterCallsFailAtOnce)
{
    Register("--exit-at 2");
    ILocalServerPeer* peer = Create();
    ASSERT_NE(peer, nullptr);
    VARIANT v;
    v.vt = VT_I4;
    EXPECT_EQ(peer->Take(&v, 1), 1);
    EXPECT_EQ(peer->Take(&v, 1), RPC_E_DISCONNECTED);
    const auto before = Clock::now();
    EXPECT_EQ(peer->Take(&v, 1), RPC_E_DISCONNECTED);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(100));
    peer->Release();
}

TEST_F(LocalServer, ASlowServerTimesOutAndIsEndedWithItsProxy)
{
    Register("--delay-ms 4000");
    ILocalServerPeer* peer = Create();
    ASSERT_NE(peer, nullptr);
    const pid_t server = ServerPid();
    ASSERT_GT(server, 0);
    VARIANT v;
    v.vt = VT_I4;
    const auto before = Clock::now();
    EXPECT_EQ(peer->Take(&v, 1), RPC_E_TIMEOUT);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(CLocalServerConnection::kCallTimeoutMs + 1000));
    EXPECT_EQ(peer->Take(&v, 1), RPC_E_DISCONNECTED) << "a late answer would be taken for the next one";
    const auto released = Clock::now();
    peer->Release();
    EXPECT_LT(Clock::now() - released, std::chrono::milliseconds(500)) << "a server given up on gets no grace";
    EXPECT_NE(::kill(server, 0), 0) << "the server is gone and reaped";
}

// Answers of a server, as bytes, into a connection.
class CBytes final : public ILocalServerTransport
{
public:
    explicit CBytes(std::string bytes) : m_bytes(std::move(bytes)) {}
    bool Send(const std::uint8_t*, std::size_t) override { return true; }
    long Receive(std::uint8_t* data, std::size_t size, Clock::time_point) override
    {
        const std::size_t n = std::min(size, m_bytes.size() - m_at);
        std::memcpy(data, m_bytes.data() + m_at, n);
        m_at += n;
        return long(n);
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

TEST(LocalServerAnswers, WhatIsNotAnAnswerIsAnErrorAndEndsTheConnection)
{
    using namespace std::string_literals;
    const struct
    {
        const char* legend;
        std::string bytes;
        HRESULT expected;
    } rows[] = {
        {"an answer", "\x08\0\0\0\x04\0\0\0\x05\x40\0\x80"s, static_cast<HRESULT>(0x80004005u)},
        {"nothing at all", ""s, RPC_E_DISCONNECTED},
        {"a length cut short", "\x08\0"s, RPC_E_DISCONNECTED},
        {"a body cut short", "\x08\0\0\0\x04\0\0"s, RPC_E_DISCONNECTED},
        {"a length no frame has", "\xff\xff\xff\xff\x04\0\0\0"s, RPC_E_INVALID_DATAPACKET},
        {"a body too short for a result", "\x04\0\0\0\x04\0\0\0"s, RPC_E_INVALID_DATAPACKET},
        {"a body too long", "\x0c\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0"s, RPC_E_INVALID_DATAPACKET},
        {"another kind of frame", "\x08\0\0\0\x02\0\0\0\0\0\0\0"s, RPC_E_INVALID_DATAPACKET},
    };
    for (const auto& row : rows) {
        CLocalServerConnection c(std::make_unique<CBytes>(row.bytes), 100);
        EXPECT_EQ(c.Call(3, nullptr, 0), row.expected) << row.legend;
        EXPECT_EQ(c.IsConnected(), row.expected == static_cast<HRESULT>(0x80004005u)) << row.legend;
    }
}

TEST(LocalServerCommandLine, WordsAndQuotes)
{
    EXPECT_EQ(SplitCommandLine("  /opt/zv/zvcalibsim  --log \"/tmp/a b.log\" x"),
              (std::vector<std::string>{"/opt/zv/zvcalibsim", "--log", "/tmp/a b.log", "x"}));
    EXPECT_EQ(SplitCommandLine("\"\" a"), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(SplitCommandLine(" \t "), std::vector<std::string>{});
    EXPECT_EQ(QuoteCommandLineWord("/tmp/a b"), "\"/tmp/a b\"");
    EXPECT_EQ(QuoteCommandLineWord("/tmp/ab"), "/tmp/ab");
    EXPECT_EQ(SplitCommandLine(QuoteCommandLineWord("/tmp/a b") + " " + QuoteCommandLineWord("")),
              (std::vector<std::string>{"/tmp/a b", ""}));
}

}  // namespace
