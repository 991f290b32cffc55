// The serial component through the component runtime only, as the main
// program uses it: registered into temporary hives by the registration tool,
// created by ProgID, driven over a pseudo-terminal.
#include "serialcom/ISerialCom.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include "platform/MessageDispatcher.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "seriallib/TarnMessage.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

struct SBstr
{
    explicit SBstr(const std::string& s) : b(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~SBstr() { SysFreeString(b); }
    BSTR b;
};

std::string GetRx(ISerialCom* com)
{
    BSTR out = nullptr;
    EXPECT_EQ(com->get_RxProtocol(&out), S_OK);
    std::string s = BstrToString(out);
    SysFreeString(out);
    return s;
}

// Collects what arrives, with the thread it arrived on.
class CCollector
{
public:
    void Add(std::string text)
    {
        std::lock_guard lock(m_Lock);
        m_Texts.push_back(std::move(text));
        m_Threads.push_back(std::this_thread::get_id());
    }
    bool WaitFor(std::size_t n)
    {
        return zv::test::WaitUntil(
            [&] {
                std::lock_guard lock(m_Lock);
                return m_Texts.size() >= n;
            },
            std::chrono::seconds(10));
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_Lock);
        return m_Texts;
    }
    std::vector<std::thread::id> Threads()
    {
        std::lock_guard lock(m_Lock);
        return m_Threads;
    }

private:
    std::mutex m_Lock;
    std::vector<std::string> m_Texts;
    std::vector<std::thread::id> m_Threads;
};

class COwner : public ISerialComOwner, public CCollector
{
public:
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override
    {
        if (nID != ID_SERIALCOM_RECEIVED || nCode != 0 || pHandlerInfo) {
            Add("<bad call>");
            return FALSE;
        }
        Add(static_cast<std::string>(*static_cast<CTarnMessage*>(pExtra)));
        return TRUE;
    }
};

class CCallback final : public ISerialComCallback, public CCollector
{
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISerialComCallback) {
            *ppv = static_cast<ISerialComCallback*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_nRef; }
    ULONG Release() override { return --m_nRef; }
    HRESULT ReceiveString(const FILETIME64* stamp, BSTR text) override
    {
        Add(stamp && *stamp ? BstrToString(text) : "<no stamp>");
        SysFreeString(text);
        return S_OK;
    }
    HRESULT ReceiveData(const FILETIME64*, long count, const BYTE* bytes) override
    {
        Add(std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count)));
        return S_OK;
    }
    std::atomic<ULONG> m_nRef{1};
};

void WritePort(const std::string& settingId, HKEY root, const std::string& port)
{
    const std::string path = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class Tovrelix : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(RunRegSvr(false), 0); }
    void TearDown() override { CoFreeUnusedLibraries(); }

    ISerialCom* Make()
    {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), S_OK);
        ISerialCom* com = nullptr;
        EXPECT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ISerialCom, reinterpret_cast<void**>(&com)),
            S_OK);
        return com;
    }

    CTempHives m_Hives;
};

}  // namespace

TEST(TovrelixRegistration, ProgIdCreatesAfterRegistrationAndNotAfterUnregistration)
{
    CTempHives hives;
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), REGDB_E_CLASSNOTREG);

    ASSERT_EQ(RunRegSvr(false), 0);
    ASSERT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_SerialCom);
    CLSID viaIndependent;
    EXPECT_EQ(CLSIDFromProgID(kSerialComVersionIndependentProgId, &viaIndependent), S_OK);
    EXPECT_TRUE(viaIndependent == CLSID_SerialCom);

    ISerialCom* com = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ISerialCom, reinterpret_cast<void**>(&com)),
              S_OK);
    ASSERT_NE(com, nullptr);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(com->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    com->Release();

    ASSERT_EQ(RunRegSvr(true), 0);
    EXPECT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CLSIDFromProgID(kSerialComVersionIndependentProgId, &clsid), REGDB_E_CLASSNOTREG);
    void* factory = nullptr;
    EXPECT_EQ(CoGetClassObject(CLSID_SerialCom, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory),
              REGDB_E_CLASSNOTREG);
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 0u);

    // The tool refuses what is not a plug-in, and says so by its exit code.
    const std::string bad = std::string(ZVREGSVR) + " /nonexistent/plugin.so >/dev/null 2>&1";
    const int status = std::system(bad.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST_F(Tovrelix, UnloadsOnlyWhenNoObjectOrLockRemains)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_SerialCom, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_ISerialCom, &object),
              CLASS_E_NOAGGREGATION);
    ISerialCom* com = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISerialCom, reinterpret_cast<void**>(&com)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();

    EXPECT_EQ(com->AddRef(), 2u);
    EXPECT_EQ(com->Release(), 1u);
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 1u);  // the object lives

    com->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 1u);  // the lock holds

    ASSERT_EQ(CoGetClassObject(CLSID_SerialCom, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 0u);
}

TEST_F(Tovrelix, Create2WritesTheSectionOfItsSettingIdWithDefaults)
{
    ISerialCom* com = Make();
    ASSERT_NE(com, nullptr);
    SBstr id("Heave");
    COwner owner;
    // No port is configured yet: the "NONE" port opens without a line.
    EXPECT_EQ(com->Create2(reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner)), id.b), S_OK);
    EXPECT_EQ(GetRx(com), "ASCII");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\HeaveCOM settings", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char port[16] = "x";
    DWORD size = sizeof port;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Port", nullptr, &type, reinterpret_cast<BYTE*>(port), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(port, "");
    const std::pair<const char*, DWORD> numbers[] = {{"Baud", 9600}, {"Databits", 8}, {"Parity", 0}, {"StopBits", 0},
                                                     {"DTRDSR", 0},  {"RTSCTS", 0},   {"XonOff", 0}};
    for (const auto& [name, expected] : numbers) {
        DWORD value = 12345;
        size = sizeof value;
        EXPECT_EQ(RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS)
            << name;
        EXPECT_EQ(type, REG_DWORD) << name;
        EXPECT_EQ(value, expected) << name;
    }
    RegCloseKey(key);
    com->Close();
    com->Release();
}

TEST_F(Tovrelix, MachineWideSectionSeedsTheUserAndAFailedOpenIsReported)
{
    CPtyPair pty;
    WritePort("Navigation", HKEY_LOCAL_MACHINE, pty.Name());
    WritePort("Depth", HKEY_LOCAL_MACHINE, "/nonexistent/tty");
    COwner owner;
    const LONG_PTR caller = reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner));

    ISerialCom* nav = Make();
    SBstr navId("Navigation");
    EXPECT_EQ(nav->Create2(caller, navId.b), S_OK);
    pty.Write("GPS\r\n");
    ASSERT_TRUE(owner.WaitFor(1));
    EXPECT_EQ(owner.Texts()[0], "GPS");
    nav->Close();
    nav->Release();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\NavigationCOM settings", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char port[256] = {};
    DWORD size = sizeof port;
    EXPECT_EQ(RegQueryValueEx(key, "Port", nullptr, nullptr, reinterpret_cast<BYTE*>(port), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(port), pty.Name());
    RegCloseKey(key);

    ISerialCom* depth = Make();
    SBstr depthId("Depth");
    EXPECT_TRUE(FAILED(depth->Create2(caller, depthId.b)));
    depth->Close();
    depth->Release();
}

TEST_F(Tovrelix, LineReachesTheOwnerOnTheReaderThreadAndSurvivesCloseAndCreate)
{
    CPtyPair pty;
    WritePort("Trawl", HKEY_CURRENT_USER, pty.Name());
    COwner owner;
    ISerialCom* com = Make();
    SBstr id("Trawl");
    const LONG_PTR caller = reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner));
    ASSERT_EQ(com->Create2(caller, id.b), S_OK);
    SBstr lf("ASCII_LF");
    com->put_RxProtocol(lf.b);
    pty.Write("ABC\n");
    ASSERT_TRUE(owner.WaitFor(1));
    EXPECT_EQ(owner.Texts()[0], "ABC");
    EXPECT_NE(owner.Threads()[0], std::this_thread::get_id());

    // A second Create on the same object builds its receive protocol again.
    com->Close();
    EXPECT_EQ(GetRx(com), "");
    ASSERT_EQ(com->Create2(caller, id.b), S_OK);
    EXPECT_EQ(GetRx(com), "ASCII");
    pty.Write("DEF\r\n");
    ASSERT_TRUE(owner.WaitFor(2));
    EXPECT_EQ(owner.Texts()[1], "DEF");

    // The last release closes a port left open: the line is free for the next.
    com->Release();
    ISerialCom* next = Make();
    EXPECT_EQ(next->Create2(caller, id.b), S_OK);
    next->Close();
    next->Release();
}

TEST_F(Tovrelix, CallbackGetsTextUpToAZeroByte)
{
    CPtyPair pty;
    WritePort("Heading", HKEY_CURRENT_USER, pty.Name());
    CCallback callback;
    ISerialCom* com = Make();
    SBstr id("Heading");
    ASSERT_EQ(com->Create(&callback, id.b), S_OK);
    EXPECT_EQ(callback.m_nRef.load(), 3u);  // the component's and its protocol's
    pty.Write(std::string("ABC\r\nAB\0C\r\n", 11));
    ASSERT_TRUE(callback.WaitFor(2)) << ::testing::PrintToString(callback.Texts());
    EXPECT_EQ(callback.Texts(), (std::vector<std::string>{"ABC", "AB"}));
    com->Close();
    com->Release();
    EXPECT_EQ(callback.m_nRef.load(), 1u);
}

TEST_F(Tovrelix, ProtocolNamesTimeoutsAndDelay)
{
    CPtyPair pty;
    WritePort("SerialIO", HKEY_CURRENT_USER, pty.Name());
    COwner owner;
    ISerialCom* com = Make();
    SBstr id("SerialIO");
    ASSERT_EQ(com->Create2(reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner)), id.b), S_OK);

    struct
    {
        const char* put;
        const char* stored;
    } const names[] = {{"ASCII_LF", "ASCII_LF"}, {"XYZ", "ASCII"},         {"ASCII", "ASCII"},
                       {"RAW", "RAW"},           {"ASCII_CR", "ASCII_CR"}, {"", ""}};
    for (const auto& n : names) {
        SBstr name(n.put);
        EXPECT_EQ(com->put_RxProtocol(name.b), S_OK);
        EXPECT_EQ(GetRx(com), n.stored) << n.put;
    }

    SBstr lf("ASCII_LF");
    com->put_RxProtocol(lf.b);
    DWORD ch = 0, total = 0, ref = 1;
    // A transmit protocol that sets time-outs of its own keeps the receive ones.
    SBstr nmea("NMEA");
    com->put_TxProtocol(nmea.b);
    EXPECT_EQ(com->GetRxTimeout(&ch), S_OK);
    EXPECT_EQ(com->GetRxTotalTimeout(&total), S_OK);
    EXPECT_EQ(com->GetRxRefBaudRate(&ref), S_OK);
    EXPECT_EQ(ch, 40u);
    EXPECT_EQ(total, 10000u);
    EXPECT_EQ(ref, 0u);

    com->SetTxDelay(200);
    DWORD delay = 0;
    EXPECT_EQ(com->GetTxDelay(&delay), S_OK);
    EXPECT_EQ(delay, 20u);
    com->SetRxTimeouts(7, 70, 4800);
    com->GetRxTimeout(&ch);
    com->GetRxTotalTimeout(&total);
    com->GetRxRefBaudRate(&ref);
    EXPECT_EQ(ch, 7u);
    EXPECT_EQ(total, 70u);
    EXPECT_EQ(ref, 4800u);
    EXPECT_EQ(com->GetTxDelay(nullptr), E_POINTER);
    EXPECT_EQ(com->get_RxProtocol(nullptr), E_POINTER);
    EXPECT_EQ(com->get_TxProtocol(nullptr), E_POINTER);

    com->Close();
    // Without a port the out values stay as they were.
    DWORD untouched = 99;
    EXPECT_EQ(com->GetTxDelay(&untouched), S_OK);
    EXPECT_EQ(untouched, 99u);
    com->Release();
}

TEST_F(Tovrelix, SendsOnlyThroughAChosenTransmitProtocol)
{
    CPtyPair pty;
    WritePort("RemoteDisplay", HKEY_CURRENT_USER, pty.Name());
    COwner owner;
    ISerialCom* com = Make();
    SBstr id("RemoteDisplay");
    ASSERT_EQ(com->Create2(reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner)), id.b), S_OK);
    SBstr first("LOST");
    EXPECT_EQ(com->Send(first.b), S_OK);
    SBstr ascii("ASCII");
    com->put_TxProtocol(ascii.b);
    SBstr second("12.5");
    EXPECT_EQ(com->Send(second.b), S_OK);
    EXPECT_EQ(pty.Read(6), "12.5\r\n");
    com->Close();
    com->Release();
}

TEST_F(Tovrelix, LibraryPostsReachTheProgramsWindowAndHelpIsBroadcast)
{
    // The program, the serial library and the plug-in share one dispatcher.
    std::vector<std::pair<UINT, std::string>> got;
    HWND window = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        std::string text;
        if (message == 1127 && w)
            text = static_cast<std::string>(*reinterpret_cast<CTarnMessage*>(w));
        else
            text = std::to_string(w);
        got.emplace_back(message, text);
        return 0;
    });
    SetMainWindow(window);

    CPtyPair pty;
    WritePort("Gyro", HKEY_CURRENT_USER, pty.Name());
    ISerialCom* com = Make();
    SBstr id("Gyro");
    COwner owner;
    ASSERT_EQ(com->Create2(reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(&owner)), id.b), S_OK);
    SBstr nmea("NMEA");
    com->put_RxProtocol(nmea.b);
    pty.Write("$HEHDT,123.4,T*2B\r\n");
    EXPECT_TRUE(PumpUntil([&] { return !got.empty(); }, std::chrono::seconds(10)));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].first, 1127u);
    EXPECT_NE(got[0].second.find("HEHDT,123.4"), std::string::npos);

    void* plugin = ::dlopen(TOVRELIX_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(plugin, nullptr);
    auto onHelp = reinterpret_cast<bool (*)()>(::dlsym(plugin, "_ZN12CTovrelixApp6OnHelpEv"));
    ASSERT_NE(onHelp, nullptr);
    got.clear();
    EXPECT_TRUE(onHelp());
    const UINT help = RegisterWindowMessage("HELP_REQUIRED_FROM_COM");
    EXPECT_TRUE(PumpUntil([&] { return !got.empty(); }, std::chrono::seconds(10)));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, help);
    EXPECT_EQ(got[0].second, std::to_string(0x200C9));
    ::dlclose(plugin);

    com->Close();
    com->Release();
    SetMainWindow(0);
    DestroyWindow(window);
}
