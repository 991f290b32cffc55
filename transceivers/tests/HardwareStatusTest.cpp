// The hardware status: the report and fields made from the units' answers,
// byte for byte; answers that are short or come while no window is open;
// the hand-over from a unit's thread to the window's; and "HW request",
// which asks only the network units of the chosen name.
#include "transceivers/HardwareStatus.h"

#include "base/RegistrySupport.h"
#include "platform/ByteWriter.h"
#include "platform/TempHives.h"
#include "testsupport/qy42/QY42LinkFixture.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

Bytes BoardRecord(std::size_t size = CHardwareStatus::kBoardRecordSize)
{
    Bytes b(size, 0);
    CByteWriter w(b.data(), b.size());
    w.U32(0, static_cast<std::uint32_t>(size));
    w.Bytes(4, "DCSA", 4);
    w.Bytes(8, "BRD-7", 5);
    w.I32(16, 20304);
    const float values[11] = {180.04f, 12.1f, 9.96f, 5.0f, 3.3f, 2.49f, 1.5f, 6.04f, 41.25f, 38.0f, -4.5f};
    for (int i = 0; i < 11; ++i)
        w.F32(20 + 4 * static_cast<std::size_t>(i), values[i]);
    return b;
}

Bytes AddressRecord(const std::string& text)
{
    Bytes b(CHardwareStatus::kReportHeadSize + text.size(), 0);
    CByteWriter w(b.data(), b.size());
    w.U32(0, static_cast<std::uint32_t>(b.size()));
    w.Bytes(4, "VA", 2);
    w.U32(16, 5);
    const BYTE local[] = {127, 0, 0, 1, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    w.Bytes(20, local, sizeof local);
    w.U16(30, 12348);
    const BYTE remote[] = {127, 0, 0, 2, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};
    w.Bytes(32, remote, sizeof remote);
    w.U16(42, 12346);
    w.Bytes(44, text.data(), text.size());
    return b;
}

const char* const kReportHead = "Status \t\t5\r\n\r\n"
                                "Local:\r\n"
                                "IpAddress \t127.0.0.1\r\n"
                                "EthernetAddress \t00-1A-2B-3C-4D-5E\r\n"
                                "UdpPort \t\t12348\r\n\r\n"
                                "Remote:\r\n"
                                "IpAddress \t127.0.0.2\r\n"
                                "EthernetAddress \tA0-B1-C2-D3-E4-F5\r\n"
                                "UdpPort \t\t12346\r\n\r\n";

class CNoUnits final : public CHardwareStatus::IUnits
{
public:
    bool IsSounderRunning() const override { return false; }
    void ForEachTransceiver(const std::function<void(int, CTransceiver&)>&) override {}
};

// What the window was shown, and on which thread.
class CView final : public CHardwareStatus::IView
{
public:
    void ShowFields(const CHardwareStatus::Fields& f) override
    {
        fields.push_back(f);
        thread = std::this_thread::get_id();
    }
    void ShowReport(const std::string& r) override { reports.push_back(r); }
    std::vector<CHardwareStatus::Fields> fields;
    std::vector<std::string> reports;
    std::thread::id thread;
};

bool Pump(const std::function<bool()>& until)
{
    return PumpUntil(until, std::chrono::milliseconds(5000));
}

}  // namespace

TEST(HardwareStatus, ReportLinesEndInCrLfAndTheUnitsTextIsBounded)
{
    struct Row
    {
        const char* legend;
        std::string text;  // as the unit sends it after its addresses
        std::string shown;
    };
    const Row rows[] = {
        {"bare line feeds become line ends", std::string("QY42 1.0\nboot ok\n\0junk", 23), "QY42 1.0\r\nboot ok\r\n"},
        {"line ends stay as they are", "a\r\nb", "a\r\nb"},
        {"a text to the end of the datagram", "no NUL", "no NUL"},
        {"no text", "", ""},
        {"at most 1424 characters", std::string(1500, 'x'), std::string(1424, 'x')},
    };
    for (const Row& r : rows) {
        const Bytes record = AddressRecord(r.text);
        EXPECT_EQ(CHardwareStatus::FormatReport(record.data(), record.size()), kReportHead + r.shown) << r.legend;
    }
    const Bytes whole = AddressRecord("");
    EXPECT_FALSE(CHardwareStatus::FormatReport(whole.data(), whole.size() - 1)) << "shorter than its addresses";
}

TEST(HardwareStatus, BoardFieldsInTheirFormats)
{
    const Bytes record = BoardRecord();
    const auto f = CHardwareStatus::ReadBoard(record.data(), record.size());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->boardId, " 20304");
    EXPECT_EQ(f->boardType, " BRD-7");
    const char* expected[11] = {" 180.0", " 12.1", " 10.0", "  5.0", "  3.3", "  2.5",
                                "  1.5",  "  6.0", " 41.2", " 38.0", " -4.5"};
    for (std::size_t i = 0; i < 11; ++i)
        EXPECT_EQ(f->values[i], expected[i]) << i;
    // A board type that fills its eight bytes ends there.
    Bytes full = record;
    std::memcpy(full.data() + 8, "ABCDEFGH", 8);
    EXPECT_EQ(CHardwareStatus::ReadBoard(full.data(), full.size())->boardType, " ABCDEFGH");
    EXPECT_FALSE(CHardwareStatus::ReadBoard(record.data(), record.size() - 1)) << "63 bytes";
    EXPECT_FALSE(CHardwareStatus::ReadBoard(nullptr, 64));
}

// An answer reaches the open window on the window's thread; one that comes
// while it is closed, or during an opening before, shows nowhere, and
// "Refresh" shows the last answers of this opening again.
TEST(HardwareStatus, AnswersReachOnlyTheOpenWindowOnItsThread)
{
    CTransceiverInstallation installation;
    CNoUnits units;
    CHardwareStatus status(installation, units);
    const Bytes board = BoardRecord();
    const Bytes address = AddressRecord("unit\n");
    CView view;

    status.ShowStatus(board.data(), board.size());
    status.FormatStatus(address.data(), address.size());
    status.Open(view);
    status.Refresh();
    EXPECT_FALSE(Pump([&] { return !view.fields.empty() || !view.reports.empty(); }))
        << "an answer while closed changes nothing";

    std::thread unit([&] {
        status.ShowStatus(board.data(), board.size() - 1);  // dropped
        status.ShowStatus(board.data(), board.size());
        status.FormatStatus(address.data(), address.size());
    });
    unit.join();
    EXPECT_TRUE(view.fields.empty()) << "nothing before the window's thread takes it";
    ASSERT_TRUE(Pump([&] { return view.fields.size() == 1 && view.reports.size() == 1; }));
    EXPECT_EQ(view.thread, std::this_thread::get_id());
    EXPECT_EQ(view.fields[0].boardType, " BRD-7");
    EXPECT_EQ(view.reports[0], std::string(kReportHead) + "unit\r\n");
    status.Refresh();
    EXPECT_EQ(view.fields.size(), 2u);
    EXPECT_EQ(view.reports.size(), 2u);

    // Posted during this opening, delivered after it closed: nowhere.
    status.ShowStatus(board.data(), board.size());
    status.Close("QY42");
    EXPECT_FALSE(status.IsOpen());
    EXPECT_EQ(status.GetSelectedName(), "QY42");
    CView next;
    status.Open(next);
    EXPECT_FALSE(Pump([&] { return !next.fields.empty() || view.fields.size() > 2; }));
    status.Refresh();
    EXPECT_TRUE(next.fields.empty()) << "a new opening starts empty";
    status.Close("QY42");
}

TEST(HardwareStatus, RequestAsksTheNetworkUnitsOfTheName)
{
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    struct Unit
    {
        const char* name;
        TransceiverType type;
    };
    const Unit installed[] = {
        {"QY42", TransceiverType::QY42},
        {"NVU", TransceiverType::NVU},
        {"HXU", TransceiverType::HXU},
    };
    HKEY key = installation.OpenChannelsKey();
    std::uint32_t address = 0x7F000002;
    for (const Unit& u : installed) {
        CTrList e = zv::test::QY42ChannelEntry(address++);
        e.transceiverId = u.name;
        e.type = u.type;
        const std::string description = std::string(u.name) + " 200 kHz " + std::to_string(address);
        e.FormatDescription(&description, u.type);
        installation.WriteChannelEntry(e, key);
    }
    reg.CloseKey(key);
    ASSERT_EQ(installation.GetTransceiverCount(), 3);

    class CAsked final : public CTestTransceiver
    {
    public:
        using CTestTransceiver::CTestTransceiver;
        int RequestStatus() override { return ++asked, 0; }
        int asked = 0;
    };
    std::vector<std::unique_ptr<CAsked>> sounder;
    for (int i = 0; i < 3; ++i)
        sounder.push_back(std::make_unique<CAsked>(CTestTransceiver::Options{}));
    class CUnits final : public CHardwareStatus::IUnits
    {
    public:
        explicit CUnits(std::vector<std::unique_ptr<CAsked>>& s) : m_s(s) {}
        bool IsSounderRunning() const override { return !m_s.empty(); }
        void ForEachTransceiver(const std::function<void(int, CTransceiver&)>& f) override
        {
            for (std::size_t i = 0; i < m_s.size(); ++i)
                f(static_cast<int>(i), *m_s[i]);
        }

    private:
        std::vector<std::unique_ptr<CAsked>>& m_s;
    } units(sounder);
    CHardwareStatus status(installation, units);
    EXPECT_TRUE(status.CanRequest());
    EXPECT_EQ(status.RequestStatus("QY42"), 1);
    EXPECT_EQ(status.RequestStatus("NVU"), 1) << "a wide-band unit is a network unit too";
    EXPECT_EQ(status.RequestStatus("HXU"), 0) << "not a network unit";
    EXPECT_EQ(status.RequestStatus("none"), 0);
    // Each transceiver of the sounder is the installation record of its place.
    for (int i = 0; i < 3; ++i) {
        const auto info = installation.GetTransceiverInfo(i);
        ASSERT_TRUE(info);
        EXPECT_EQ(sounder[static_cast<std::size_t>(i)]->asked, info->type == TransceiverType::HXU ? 0 : 1)
            << info->transceiverId;
    }
    sounder.clear();
    EXPECT_FALSE(status.CanRequest()) << "no sounder runs";
    reg.CloseRootKeys();
}
