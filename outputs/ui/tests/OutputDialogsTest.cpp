// The outputs' settings dialogs: the serial I/O hub's, with its channel
// rules, its rate field and Cancel, and the network output's, with its
// range dialogs and value counts.
#include "outputs/ui/QYNetDialog.h"
#include "outputs/ui/QYSerialDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/DepthUnit.h"
#include "display/ui/RangeDialog.h"
#include "platform/MessageBox.h"
#include "platform/TempHives.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using outputsui::CQYSerialDialog;
using shelltest::Control;

namespace {

const std::vector<std::string> kTwoChannels = {"T38 38 kHz", "T200 200 kHz"};

class OutputDialogsTest : public ::testing::Test
{
protected:
    OutputDialogsTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
    void Set(void (*change)(CQYSerial::Settings&))
    {
        CQYSerial::Settings s = hub.GetSettings();
        change(s);
        hub.StoreSettings(s);
    }

    CTempHives hives;
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CQYSerial hub{host, sources, {}};
};

// Channels not installed: their boxes disabled and cleared, their names on
// the installed ones; an NMEA channel that is gone clears the NMEA choice.
TEST_F(OutputDialogsTest, SerialDialogFollowsTheInstalledChannels)
{
    Set([](CQYSerial::Settings& s) {
        s.ZelvarChannel = {1, 0, 1, 1};
        s.NMEADestination = 3;
        s.DPTFormat = 1;
        s.Termination = 2;
    });
    CQYSerialDialog dialog(hub, kTwoChannels);
    EXPECT_EQ(dialog.windowTitle(), "Serial Interface");
    EXPECT_EQ(Control<QCheckBox>(dialog, 1334)->text(), "T38 38 kHz");
    EXPECT_EQ(Control<QRadioButton>(dialog, 1329)->text(), "T200 200 kHz");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1334)->isChecked());
    for (int id : {1337, 1338, 1346, 1347, 1354, 1355}) {
        EXPECT_FALSE(Control<QCheckBox>(dialog, id)->isEnabled()) << id;
        EXPECT_FALSE(Control<QCheckBox>(dialog, id)->isChecked()) << id;
    }
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1325)->isChecked());
    for (int id = 1328; id <= 1331; ++id)
        EXPECT_FALSE(Control<QRadioButton>(dialog, id)->isEnabled()) << id;
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1007)->isChecked());
    // Checking DBT enables the installed channels' NMEA buttons.
    Control<QCheckBox>(dialog, 1327)->click();
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1328)->isEnabled());
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1329)->isEnabled());
    EXPECT_FALSE(Control<QRadioButton>(dialog, 1330)->isEnabled());
    EXPECT_TRUE(shelltest::Screenshot(dialog, "serial-interface-dialog"));
    Control<QRadioButton>(dialog, 1329)->click();
    dialog.accept();
    EXPECT_EQ(dialog.Values().NMEADestination, 1u);
    EXPECT_EQ(dialog.Values().DBTFormat, 1u);
    EXPECT_EQ(dialog.Values().ZelvarChannel, (std::array<std::uint32_t, 4>{1, 0, 0, 0}));
    EXPECT_EQ(dialog.Values().Termination, 2u);
}

// A second FZ box disables the other two; unchecking one enables them
// again for the installed channels. The same for Atlas.
TEST_F(OutputDialogsTest, SerialDialogAtMostTwoOfAKind)
{
    CQYSerialDialog dialog(hub, {"A", "B", "C"});
    for (const auto& ids : {std::array<int, 4>{1352, 1353, 1354, 1355}, std::array<int, 4>{1335, 1339, 1346, 1347}}) {
        Control<QCheckBox>(dialog, ids[0])->click();
        EXPECT_TRUE(Control<QCheckBox>(dialog, ids[2])->isEnabled());
        Control<QCheckBox>(dialog, ids[1])->click();
        EXPECT_FALSE(Control<QCheckBox>(dialog, ids[2])->isEnabled());
        EXPECT_FALSE(Control<QCheckBox>(dialog, ids[3])->isEnabled());
        EXPECT_TRUE(Control<QCheckBox>(dialog, ids[0])->isEnabled());
        Control<QCheckBox>(dialog, ids[0])->click();
        EXPECT_TRUE(Control<QCheckBox>(dialog, ids[2])->isEnabled());
        EXPECT_FALSE(Control<QCheckBox>(dialog, ids[3])->isEnabled());  // not installed
    }
}

// The rate never leaves 1 to 40 by the spin control.
TEST_F(OutputDialogsTest, SerialDialogRateStaysWithinLimits)
{
    Set([](CQYSerial::Settings& s) { s.DecimateHz = 39; });
    CQYSerialDialog dialog(hub, kTwoChannels);
    auto* spin = Control<QSpinBox>(dialog, CQYSerialDialog::kDecimateSpin);
    auto* field = Control<QLineEdit>(dialog, 1512);
    for (int i = 0; i < 3; ++i)
        spin->stepUp();
    EXPECT_EQ(field->text(), "40");
    for (int i = 0; i < 45; ++i)
        spin->stepDown();
    EXPECT_EQ(field->text(), "1");
    spin->stepUp();
    EXPECT_EQ(field->text(), "2");
}

// Cancel leaves every setting as it was; OK saves them.
TEST_F(OutputDialogsTest, SerialDialogCancelKeepsOkStores)
{
    Set([](CQYSerial::Settings& s) { s.Status = 1; });
    const auto press = [&](bool ok) {
        QTimer::singleShot(0, [ok] {
            shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            Control<QCheckBox>(*d, 1343)->click();
            Control<QCheckBox>(*d, 1349)->click();
            Control<QCheckBox>(*d, 1336)->click();
            ok ? d->accept() : d->reject();
        });
        return CQYSerialDialog::Run(hub, kTwoChannels, nullptr);
    };
    EXPECT_EQ(press(false), 0);
    EXPECT_EQ(hub.GetSettings().Status, 1u);
    EXPECT_EQ(hub.GetSettings().SVPInput, 0u);
    EXPECT_EQ(hub.GetSettings().ZelvarChannel[1], 0u);
    EXPECT_EQ(press(true), 1);
    EXPECT_EQ(hub.GetSettings().Status, 0u);
    EXPECT_EQ(hub.GetSettings().SVPInput, 1u);
    EXPECT_EQ(hub.GetSettings().ZelvarChannel[1], 1u);
}

}  // namespace

namespace {

using outputsui::CQYNetDialog;

class NetworkDialogTest : public ::testing::Test
{
protected:
    NetworkDialogTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
};

// The TVG choice both ways: 1 (the default) shows "20 log R", which stores 3.
TEST_F(NetworkDialogTest, TvgMapping)
{
    const std::pair<std::uint32_t, int> shown[] = {{0, 1005}, {1, 1006}, {2, 1010}, {3, 1006},
                                                   {4, 1009}, {5, 1011}, {9, 1006}};
    for (const auto& [stored, id] : shown) {
        CQYNet::Settings s;
        s.TVGType = stored;
        CQYNetDialog dialog(s, kTwoChannels);
        EXPECT_TRUE(Control<QRadioButton>(dialog, id)->isChecked()) << stored;
        dialog.accept();
        const std::uint32_t back = stored == 1 || stored == 3 || stored == 9 ? 3u : stored;
        EXPECT_EQ(dialog.Values().TVGType, back) << stored;
    }
}

// "Output Enabled" follows the three NMEA boxes and the NMEA channel
// buttons follow it; channels not installed are disabled and cleared; a
// chosen NMEA channel that is gone goes back to the first.
TEST_F(NetworkDialogTest, NmeaBoxAndInstalledChannels)
{
    CQYNet::Settings s;
    s.DepthNMEADatagramDBT = 1;
    s.NMEAsource = 1;
    s.DepthDatagram = {1, 1, 1, 1};
    s.Echogram = {0, 0, 1, 0};
    CQYNetDialog dialog(s, kTwoChannels);
    EXPECT_EQ(dialog.windowTitle(), "Network Interface");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1291)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1319)->isChecked());
    EXPECT_EQ(Control<QCheckBox>(dialog, 1305)->text(), "T200 200 kHz");
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1306)->isEnabled());
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1306)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1356)->isChecked());
    EXPECT_TRUE(shelltest::Screenshot(dialog, "network-interface-dialog"));
    Control<QCheckBox>(dialog, 1561)->click();  // the last NMEA box off
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1291)->isChecked());
    for (int id = 1318; id <= 1321; ++id)
        EXPECT_FALSE(Control<QRadioButton>(dialog, id)->isEnabled()) << id;
    Control<QCheckBox>(dialog, 1291)->click();  // follows the boxes, not the click
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1291)->isChecked());
    dialog.accept();
    EXPECT_EQ(dialog.Values().DepthDatagram, (std::array<std::uint32_t, 4>{1, 1, 0, 0}));

    s.NMEAsource = 3;
    CQYNetDialog gone(s, kTwoChannels);
    EXPECT_TRUE(Control<QRadioButton>(gone, 1318)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(gone, 1291)->isChecked());
}

// The echogram ranges open the display's range dialogs in the depth unit
// and come back in metres; the bottom range's second value is how far the
// picture reaches below the bottom (range less start). Cancel keeps them.
TEST_F(NetworkDialogTest, RangeButtonsWorkInTheDepthUnit)
{
    CDepthUnit::SetUnit(CDepthUnit::kFeet);
    struct SMetresAgain
    {
        ~SMetresAgain() { CDepthUnit::SetUnit(CDepthUnit::kMeter); }
    } metresAgain;
    constexpr double kFoot = 0.3048;
    CQYNet::Settings s;
    s.EchogramRangeSurface = 100 * kFoot;
    s.EchogramRangeSurfaceStart = 10 * kFoot;
    s.EchogramRangeBottom = 50 * kFoot;
    s.EchogramRangeBottomStart = 40 * kFoot;
    CQYNetDialog dialog(s, kTwoChannels);
    // Opens the range dialog behind a button, reads what it shows, enters
    // two values and leaves it by OK or Cancel.
    const auto range = [&](int button, const char* first, const char* second, bool ok) {
        std::vector<double> shown;
        QTimer::singleShot(0, [&] {
            shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            auto* d = qobject_cast<CRangeDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            ASSERT_EQ(d->ColumnCount(), 2);
            shown = {d->Edit(0)->text().toDouble(), d->Edit(1)->text().toDouble()};
            d->Edit(0)->setText(first);
            d->Edit(1)->setText(second);
            ok ? d->accept() : d->reject();
        });
        Control<QPushButton>(dialog, button)->click();
        return shown;
    };
    const auto near = [](const std::vector<double>& got, std::vector<double> expect) {
        return got.size() == expect.size() && std::fabs(got[0] - expect[0]) < 0.05 &&
               std::fabs(got[1] - expect[1]) < 0.05;
    };
    EXPECT_EQ(Control<QPushButton>(dialog, 1296)->text(), "Surface Range...");
    EXPECT_EQ(Control<QPushButton>(dialog, 1299)->text(), "Bottom Range...");
    EXPECT_TRUE(near(range(1296, "200", "20", true), {100, 10}));
    EXPECT_TRUE(near(range(1299, "40", "5", true), {50, 10}));
    // What OK took is what the dialogs show next time; Cancel changes nothing.
    EXPECT_TRUE(near(range(1296, "300", "30", false), {200, 20}));
    EXPECT_TRUE(near(range(1299, "30", "3", false), {40, 5}));
    dialog.accept();
    const CQYNet::Settings& v = dialog.Values();
    EXPECT_NEAR(v.EchogramRangeSurface, 200 * kFoot, 1e-6);
    EXPECT_NEAR(v.EchogramRangeSurfaceStart, 20 * kFoot, 1e-6);
    EXPECT_NEAR(v.EchogramRangeBottom, 40 * kFoot, 1e-6);
    EXPECT_NEAR(v.EchogramRangeBottomStart, 35 * kFoot, 1e-6);
}

// The echogram value counts: 0 to 500 values above the bottom range, 0 to
// 200 in it; a count beyond is refused with a message and OK waits, the
// spin controls stop at the limits.
TEST_F(NetworkDialogTest, EchogramCountsStayWithinTheirLimits)
{
    struct Case
    {
        int edit, spin;
        unsigned limit;
        std::uint32_t CQYNet::Settings::*member;
    } cases[] = {
        {1301, 1302, 500, &CQYNet::Settings::EchogramSurfaceCount},
        {1303, 1304, 200, &CQYNet::Settings::EchogramBottomCount},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        CQYNet::Settings s;
        s.*c.member = c.limit - 1;
        CQYNetDialog dialog(s, kTwoChannels);
        auto* field = Control<QLineEdit>(dialog, c.edit);
        auto* spin = Control<QSpinBox>(dialog, c.spin);
        spin->stepUp();
        spin->stepUp();
        EXPECT_EQ(field->text(), QString::number(c.limit));
        ClearMessageBoxRecord();
        field->setText(QString::number(c.limit + 1));
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(MessageBoxRecord().size(), 1u);
        field->setText("-1");
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(MessageBoxRecord().size(), 2u);
        field->setText(QString::number(c.limit));
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.Values().*c.member, c.limit);
        spin->setValue(0);
        for (int i = 0; i < 3; ++i)
            spin->stepDown();
        EXPECT_EQ(field->text(), "0");
    }
}

// OK stores the destination as dotted text and the ports; the output takes
// them over and writes them.
TEST_F(NetworkDialogTest, OkAppliesDestinationAndPorts)
{
    CTempHives hives;
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                             nullptr),
              ERROR_SUCCESS);
    {
        CQYNet net(root);
        QTimer::singleShot(0, [] {
            shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            Control<QLineEdit>(*d, 1278)->setText("127");
            Control<QLineEdit>(*d, 1281)->setText("9");
            Control<QLineEdit>(*d, 1286)->setText("3030");
            Control<QLineEdit>(*d, 1288)->setText("1999");  // below the local port's range
            d->accept();
            EXPECT_TRUE(d->isVisible());
            Control<QLineEdit>(*d, 1288)->setText("12000");
            d->accept();
        });
        EXPECT_TRUE(CQYNetDialog::OnNetworkInterface(net, kTwoChannels, nullptr));
        EXPECT_EQ(net.GetSettings().DestPort, 3030u);
        EXPECT_EQ(net.GetSettings().LocalPort, 12000u);
        EXPECT_EQ(net.GetSettings().DestAddr.substr(0, 4), "127.");
        EXPECT_EQ(net.GetSettings().DestAddr.substr(net.GetSettings().DestAddr.size() - 2), ".9");
    }
    CQYNet again(root);
    EXPECT_EQ(again.GetSettings().DestPort, 3030u);
    RegCloseKey(root);
}

}  // namespace
