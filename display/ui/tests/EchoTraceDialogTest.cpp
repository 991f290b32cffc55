// The echo trace dialog by model: which controls each model shows, the
// scale choice TQ30 hides and keeps, and "Calibration..." with one channel
// of the sounder linked already.
#include "display/ui/EchoTraceDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/ui/EchoTraceDialogs.h"
#include "engine/Channel.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// The running sounder's channels, and the starts asked for.
struct FakeCalibration : displayui::IEchoTraceCalibration
{
    std::vector<CChannel*> channels;
    int starts = 0;
    std::vector<CChannel*> GetChannels() const override { return channels; }
    CCalibrationLink::SStartResult StartCalibration(CChannel& channel) override
    {
        ++starts;
        CCalibrationLink::SStartResult r;
        r.outcome = CCalibrationLink::SStartResult::Started;
        channel.SetLinkFlag(true);
        return r;
    }
};

class EchoTraceDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        for (auto& c : channels) {
            c = std::make_unique<CChannel>(CChannel::Construction{});
            calibration.channels.push_back(c.get());
        }
    }
    std::unique_ptr<CChannel> channels[2];
    FakeCalibration calibration;
};

}  // namespace

TEST_F(EchoTraceDialogTest, ControlsByModel)
{
    struct Case
    {
        SounderModel model;
        const char* name;
        bool commands, scale;
    };
    const Case cases[] = {
        {SounderModel::QY210, "QY210", false, true}, {SounderModel::QY310, "QY310", false, true},
        {SounderModel::RM30, "RM30", false, true},   {SounderModel::TQ30, "TQ30", true, false},
        {SounderModel::TOTAL, "TOTAL", true, true},  {SounderModel::QYNVU, "QYNVU", false, true},
    };
    for (const Case& c : cases) {
        CEchoTraceDialog dialog(c.model, channels[0].get(), &calibration);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dialog.windowTitle(), "Echo Trace");
        EXPECT_EQ(!dialog.TsDetectionButton()->isHidden(), c.commands);
        EXPECT_EQ(!dialog.CalibrationButton()->isHidden(), c.commands);
        EXPECT_EQ(!dialog.ScaleGroup()->isHidden(), c.scale);
        for (int id : {1041, 1036, 1042, 1196})
            ASSERT_NE(dialog.findChild<QRadioButton*>(QString::number(id)), nullptr) << id;
        // Pictured with the defaults' choices.
        dialog.m_presentation = 2;
        dialog.m_sizeScale = c.model == SounderModel::RM30 ? 0 : 3;
        dialog.ShowValues();
        EXPECT_TRUE(shelltest::Screenshot(dialog, std::string("echotrace-dialog-") + c.name));
    }
}

TEST_F(EchoTraceDialogTest, OkTakesTheChoicesAndTq30KeepsItsHiddenScale)
{
    for (SounderModel model : {SounderModel::TOTAL, SounderModel::TQ30}) {
        CEchoTraceDialog dialog(model, channels[0].get(), &calibration);
        dialog.m_presentation = 2;
        dialog.m_sizeScale = 1;
        dialog.ShowValues();
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("1039")->isChecked());
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("1036")->isChecked());
        dialog.findChild<QRadioButton*>("1037")->setChecked(true);
        dialog.findChild<QRadioButton*>("1042")->setChecked(true);
        dialog.accept();
        EXPECT_EQ(dialog.m_presentation, 0);
        EXPECT_EQ(dialog.m_sizeScale, model == SounderModel::TQ30 ? 1 : 2);
    }
}

TEST_F(EchoTraceDialogTest, OneChannelIsCalibratedAtATime)
{
    channels[1]->SetLinkFlag(true);
    for (SounderModel model : {SounderModel::TQ30, SounderModel::TOTAL}) {
        CEchoTraceDialog other(model, channels[0].get(), &calibration);
        EXPECT_FALSE(other.CalibrationButton()->isEnabled());
        // On the channel being calibrated it stays enabled; the link stands.
        CEchoTraceDialog linked(model, channels[1].get(), &calibration);
        EXPECT_TRUE(linked.CalibrationButton()->isEnabled());
    }
    // A start on a channel of no running sounder does nothing.
    CChannel stray{CChannel::Construction{}};
    CEchoTraceDialog strayDialog(SounderModel::TQ30, &stray, &calibration);
    strayDialog.OnCalibration();
    EXPECT_EQ(calibration.starts, 0);
    EXPECT_FALSE(stray.GetLinkFlag());
    // Not linked: the start goes to the sounder.
    channels[1]->SetLinkFlag(false);
    CEchoTraceDialog dialog(SounderModel::TQ30, channels[0].get(), &calibration);
    dialog.OnCalibration();
    EXPECT_EQ(calibration.starts, 1);
    EXPECT_TRUE(channels[0]->GetLinkFlag());
}
