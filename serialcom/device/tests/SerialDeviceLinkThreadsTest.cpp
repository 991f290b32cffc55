// A device owner on the serial device link, with the real component loaded
// by ProgID from temporary hives, on a pseudo-terminal.
#include "serialcom/device/SerialDeviceLink.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "seriallib/SercorHooks.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

class CTestOwner final : public CSerialDeviceLink
{
public:
    CTestOwner(const char* rx, const char* tx) : CSerialDeviceLink("Navigation", rx, tx) {}
    ~CTestOwner() override { CloseSerial(); }

    bool WaitFor(std::size_t n)
    {
        return zv::test::WaitUntil(
            [&] {
                std::lock_guard lock(m_ParseLock);
                return m_Texts.size() >= n;
            },
            std::chrono::seconds(10));
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_ParseLock);
        return m_Texts;
    }
    std::thread::id FirstThread()
    {
        std::lock_guard lock(m_ParseLock);
        return m_FirstThread;
    }
    int m_nOther = 0;

protected:
    void ParseTelegram(const CTarnMessage& message) override
    {
        std::lock_guard lock(m_ParseLock);
        if (m_Texts.empty())
            m_FirstThread = std::this_thread::get_id();
        m_Texts.push_back(message.GetTime() ? static_cast<std::string>(message) : "<no stamp>");
    }
    BOOL OnOtherCommand(UINT, int, void*, void*) override
    {
        ++m_nOther;
        return FALSE;
    }

private:
    std::vector<std::string> m_Texts;
    std::thread::id m_FirstThread;
};

void SetPort(const std::string& port)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\NavigationCOM settings", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

}  // namespace

TEST(SerialDeviceLink, OpensReceivesSendsAndCloses)
{
    CTempHives hives;
    ASSERT_EQ(RunRegSvr(false), 0);
    CPtyPair pty;
    SetPort(pty.Name());

    CTestOwner owner(CSerialDeviceLink::RxProtocolForTermination(2), "ASCII");
    ASSERT_EQ(owner.OpenSerial(), 0);
    EXPECT_TRUE(owner.IsOpen());
    EXPECT_EQ(owner.GetRxProtocolName(), "ASCII_LF");
    EXPECT_EQ(owner.GetTxProtocolName(), "ASCII");
    EXPECT_EQ(owner.OpenSerial(), 0);  // already open: the first instance stays

    pty.Write("ABC\n\n");  // the empty line never reaches the parser
    ASSERT_TRUE(owner.WaitFor(1));
    EXPECT_NE(owner.FirstThread(), std::this_thread::get_id());

    EXPECT_FALSE(owner.SendTelegram(""));
    EXPECT_TRUE(owner.SendTelegram("$SDDPT,12.3,0.0"));
    EXPECT_EQ(pty.Read(17), "$SDDPT,12.3,0.0\r\n");

    // Disabled owners ignore what arrives; other command ids go elsewhere.
    owner.Enable(false);
    CTarnMessage message("XYZ", 16);
    message.SetTime();
    EXPECT_TRUE(owner.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr));
    EXPECT_FALSE(owner.OnCmdMsg(32850, 0, nullptr, nullptr));
    EXPECT_EQ(owner.m_nOther, 1);
    owner.Enable(true);
    pty.Write("DEF\n");
    ASSERT_TRUE(owner.WaitFor(2));
    EXPECT_EQ(owner.Texts(), (std::vector<std::string>{"ABC", "DEF"}));

    owner.CloseSerial();
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_FALSE(owner.SendTelegram("$SDDPT,1.0,0.0"));
    owner.CloseSerial();  // twice is harmless
    CoFreeUnusedLibraries();
}

// Protocols put after opening report back what the component made of them;
// the receive time-outs report the total and the reference back.
TEST(SerialDeviceLink, ProtocolsAndTimeoutsAreReadBack)
{
    CTempHives hives;
    ASSERT_EQ(RunRegSvr(false), 0);
    CPtyPair pty;
    SetPort(pty.Name());
    CTestOwner owner("", "");
    ASSERT_EQ(owner.OpenSerial(), 0);
    EXPECT_TRUE(owner.IsPortOpen());
    EXPECT_EQ(owner.GetRxProtocolName(), "ASCII");  // the component's default
    EXPECT_EQ(owner.SetRxProtocol("ASCII_CRLF"), "ASCII");
    EXPECT_EQ(owner.SetRxProtocol("ASCII_CR"), "ASCII_CR");
    EXPECT_EQ(owner.GetRxProtocolName(), "ASCII_CR");
    EXPECT_EQ(owner.SetTxProtocol("ASCII"), "ASCII");
    EXPECT_EQ(owner.SetTxProtocol(""), "");
    const auto back = owner.SetRxTimeouts(0, 100, 0);
    EXPECT_EQ(back.total, 100u);
    EXPECT_EQ(back.refBaudRate, 0u);
    owner.CloseSerial();
    EXPECT_EQ(owner.SetTxProtocol("ASCII"), "");
    EXPECT_EQ(owner.SetRxTimeouts(0, 100, 0).total, 0u);
    CoFreeUnusedLibraries();
}

// The port dialog runs without the link's lock: a telegram sent from a ping
// thread meanwhile goes out at once, and a close while the dialog is open
// takes effect when it ends.
TEST(SerialDeviceLink, PortDialogHoldsNothingASendWaitsFor)
{
    CTempHives hives;
    ASSERT_EQ(RunRegSvr(false), 0);
    CPtyPair pty;
    SetPort(pty.Name());
    {
        CTestOwner owner("ASCII", "ASCII");
        ASSERT_EQ(owner.OpenSerial(), 0);
        bool sentDuringDialog = false;
        std::string arrived;
        SercorHooks hooks;
        hooks.runOptions = [&](CComOptions&) {
            auto send = std::async(std::launch::async, [&] { return owner.SendTelegram("$SDDBT,1.0,f,0.3,M,0.2,F"); });
            sentDuringDialog = send.wait_for(std::chrono::seconds(5)) == std::future_status::ready && send.get();
            // Read before the close: a close drops what the transmitter has
            // not written yet.
            arrived = pty.Read(26);
            owner.CloseSerial();  // the sensors close while the dialog is open
            EXPECT_FALSE(owner.IsOpen());
            return false;
        };
        SetSercorHooks(hooks);
        owner.ConfigurePort();
        SetSercorHooks({});
        EXPECT_TRUE(sentDuringDialog);
        EXPECT_EQ(arrived, "$SDDBT,1.0,f,0.3,M,0.2,F\r\n");
        EXPECT_FALSE(owner.IsOpen());
    }
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 0u);  // closed and released after the dialog
}

TEST(SerialDeviceLink, ComponentThatCannotBeMadeLeavesTheOwnerClosed)
{
    CTempHives hives;
    // Not registered: the program runs on without the device.
    CTestOwner owner("ASCII", "ASCII");
    EXPECT_EQ(owner.OpenSerial(), E_NOINTERFACE);
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_FALSE(owner.SendTelegram("X"));
    EXPECT_EQ(owner.SetRxProtocol("ASCII_LF"), "");
    owner.ConfigurePort();  // nothing to configure: nothing happens
}

// A port that does not open keeps the component, so that its port dialog
// can pick another; until then nothing is sent or received.
TEST(SerialDeviceLink, PortThatDoesNotOpenKeepsTheComponent)
{
    CTempHives hives;
    ASSERT_EQ(RunRegSvr(false), 0);
    SetPort("/nonexistent/tty");
    {
        CTestOwner owner("ASCII", "ASCII");
        EXPECT_EQ(owner.OpenSerial(), 0);
        EXPECT_TRUE(owner.IsOpen());
        EXPECT_FALSE(owner.IsPortOpen());
        EXPECT_EQ(owner.GetRxProtocolName(), "ASCII");
        owner.SendTelegram("$SDDPT,1.0,0.0");  // dropped, not a fault
        owner.CloseSerial();
        EXPECT_FALSE(owner.IsOpen());
    }
    CoFreeUnusedLibraries();
    EXPECT_EQ(CoLoadedLibraryCount(), 0u);  // the component was released
}
