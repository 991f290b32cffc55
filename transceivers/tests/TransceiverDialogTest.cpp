// The channel dialogs as the transceiver runs them, with a runner of the
// test's own in place of the windows: what each dialog is shown, what OK
// does to the channel record, the channel, the registry and the unit's next
// set-up, that Cancel does nothing, and that a transceiver that goes while
// its dialog runs is never touched again.
#include "transceivers/Transceiver.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/tests/TestTransceiverDialogs.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TransceiverDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        services.dialogs = &dialogs;
        services.tide = -1.25;
        MakeUnit();
    }
    void TearDown() override
    {
        if (unit)
            reg.CloseKey(record->key);
        unit.reset();
        reg.CloseRootKeys();
    }
    void MakeUnit()
    {
        CTestTransceiver::Options o;
        o.name = "DLG";
        o.services = &services;
        unit = std::make_unique<CTestTransceiver>(o);
        channel = unit->GetChannelId(0);
        record = unit->FindRecord(channel);
        record->key = reg.OpenKey(CRegistrySupport::UserRootKey(), "Transceiver\\DLG 1", TRUE);
        const double pulses[5] = {0.000256, 0.000512, 0.001024, 0.002048, 0.004096};
        const double gains[5] = {21.0, 22.0, 23.0, 24.0, 25.0};
        std::copy(std::begin(pulses), std::end(pulses), record->pulseLengthTable);
        std::copy(std::begin(gains), std::end(gains), record->gainTable);
        for (int i = 0; i < 10; ++i)
            record->powerSteps[i] = 200.0 * (i + 1);
        record->pulseLength = 0.001024;
        record->txPower = 1000.0;
        record->transducerLabel = "Hull";
    }
    bool HasValue(const char* name)
    {
        DWORD type = 0;
        return RegQueryValueEx(record->key, name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
    }
    double RegDouble(const char* name)
    {
        double v = -12345.0;
        EXPECT_TRUE(reg.GetDouble(record->key, "", name, v, FALSE)) << name;
        return v;
    }
    DWORD RegDword(const char* name)
    {
        DWORD v = 12345;
        EXPECT_TRUE(reg.GetDword(record->key, "", name, v, FALSE)) << name;
        return v;
    }

    CTempHives hives;
    CRegistrySupport reg;
    CTestTransceiverDialogs dialogs;
    CTestTransceiverServices services;
    std::unique_ptr<CTestTransceiver> unit;
    CChannel* channel = nullptr;
    CTransceiver::StructChannelParameters* record = nullptr;
};

}  // namespace

TEST_F(TransceiverDialog, ShowsTheChannelsValuesInTheFormOfTheModel)
{
    for (const SounderModel model : {SounderModel::QY310, SounderModel::QYNVU}) {
        services.model = model;
        TransceiverDialogValues shown;
        dialogs.channel = [&](TransceiverDialogValues& v) {
            shown = v;
            return 0;
        };
        EXPECT_EQ(unit->RunChannelDialog(channel), 1);
        EXPECT_EQ(shown.templateId, model == SounderModel::QYNVU ? 283 : 135);
        EXPECT_FALSE(shown.testModeAllowed);
        EXPECT_DOUBLE_EQ(shown.pulseLength, 0.001024);
        EXPECT_DOUBLE_EQ(shown.pulseLengths[4], 0.004096);
        EXPECT_DOUBLE_EQ(shown.powerSteps[9], 2000.0);
        EXPECT_DOUBLE_EQ(shown.frequency, 38000.0);
        EXPECT_DOUBLE_EQ(shown.tide, -1.25);
        EXPECT_EQ(shown.label, "Hull");
        EXPECT_EQ(shown.channelName, "DLG 1");
        EXPECT_FALSE(shown.remark.has_value()) << "a live unit's channel has no remark";
    }
}

// OK: the values are the record's and the channel's for the next ping, the
// gain follows the pulse length, the unit sets its transmit up afresh, the
// registry has every value and the channel status window is told.
TEST_F(TransceiverDialog, ConfirmedValuesReachRecordChannelRegistryAndUnit)
{
    unsigned statusUpdates = 0;
    const HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        statusUpdates += message == app::WM_ES_UPDATECHANNELSTATUS ? 1 : 0;
        return 0;
    });
    SetMainWindow(frame);
    dialogs.channel = [](TransceiverDialogValues& v) {
        v.pulseLength = v.pulseLengths[3];
        v.power = v.powerSteps[2];
        v.draught = 1.5;
        v.z = 4.0;
        v.x = -2.0;
        v.label = "Keel";
        v.mode = 1;
        return 1;
    };
    EXPECT_EQ(unit->RunChannelDialog(channel), 1);

    EXPECT_DOUBLE_EQ(record->pulseLength, 0.002048);
    EXPECT_DOUBLE_EQ(record->txPower, 600.0);
    EXPECT_DOUBLE_EQ(record->gain, 24.0) << "the gain of the pulse length";
    EXPECT_DOUBLE_EQ(record->gain2, 24.0);
    EXPECT_DOUBLE_EQ(record->transducerZMinusDepth, 2.5);
    EXPECT_EQ(record->transceiverMode, CTransceiver::kPassive);
    EXPECT_EQ(unit->GetChannelName(channel), "Keel");

    const ChannelParameters next = channel->GetNextParameters();
    EXPECT_DOUBLE_EQ(next.PulseLength, 0.002048);
    EXPECT_DOUBLE_EQ(next.TransmitPower, 600.0);
    EXPECT_DOUBLE_EQ(next.Draught(), 1.5);
    EXPECT_EQ(next.TransceiverMode, 1);

    CTransceiver::StructChannelParameters copy;
    EXPECT_TRUE(unit->TakeForPing(*record, copy)) << "a new transmit set-up at the next Start";
    EXPECT_DOUBLE_EQ(copy.pulseLength, 0.002048);
    EXPECT_FALSE(unit->TakeForPing(*record, copy)) << "once";

    for (const char* name : {"enumTransceiverMode", "PulseLength",        "TxPower",          "TransducerDepth",
                             "TransducerZ",         "TransducerX",        "TransducerY",      "TransducerRoll",
                             "TransducerPitch",     "TransducerAzimuth",  "TransducerLabel",  "TrFixedDraft",
                             "TrVariableDraft",     "bFMpulse",           "FmPulseLength",    "FmResolutionLength",
                             "DoubleSampleRate",    "CWResolutionLength", "ResolutionLength", "FilterType"})
        EXPECT_TRUE(HasValue(name)) << name;
    EXPECT_EQ(RegDword("enumTransceiverMode"), 1u);
    EXPECT_DOUBLE_EQ(RegDouble("PulseLength"), 0.002048);
    EXPECT_DOUBLE_EQ(RegDouble("TxPower"), 600.0);
    EXPECT_DOUBLE_EQ(RegDouble("TransducerX"), -2.0);
    std::string label;
    EXPECT_TRUE(reg.GetString(record->key, "", "TransducerLabel", label, FALSE));
    EXPECT_EQ(label, "Keel");

    EXPECT_TRUE(PumpUntil([&] { return statusUpdates == 1; }, std::chrono::milliseconds(5000)));
    SetMainWindow(0);
    DestroyWindow(frame);
}

TEST_F(TransceiverDialog, TestModeFallsBackToActiveWhereTheUnitHasNone)
{
    struct Row
    {
        const char* legend;
        bool unitAllowsTest;
        int chosen;
        int stored;
    };
    const Row rows[] = {
        {"Test on a unit without it", false, CTransceiver::kTest, CTransceiver::kActive},
        {"Test on a unit with it", true, CTransceiver::kTest, CTransceiver::kTest},
        {"Passive stays passive", false, CTransceiver::kPassive, CTransceiver::kPassive},
    };
    for (const Row& r : rows) {
        unit->testMode = r.unitAllowsTest ? 1 : 0;
        bool offered = false;
        dialogs.channel = [&](TransceiverDialogValues& v) {
            offered = v.testModeAllowed;
            v.mode = r.chosen;
            return 1;
        };
        EXPECT_EQ(unit->RunChannelDialog(channel), 1) << r.legend;
        EXPECT_EQ(offered, r.unitAllowsTest) << r.legend;
        EXPECT_EQ(record->transceiverMode, r.stored) << r.legend;
        EXPECT_EQ(RegDword("enumTransceiverMode"), static_cast<DWORD>(r.stored)) << r.legend;
    }
}

// With pinger mode on, the pulse length is the pinger's over 2000, the
// nearest of the first four.
TEST_F(TransceiverDialog, PingerModeSetsThePulseLength)
{
    services.pingerPulseLength = 1.5;  // 0.75 ms: nearest 0.512 ms
    dialogs.channel = [](TransceiverDialogValues& v) {
        v.pulseLength = v.pulseLengths[4];
        return 1;
    };
    EXPECT_EQ(unit->RunChannelDialog(channel), 1);
    EXPECT_DOUBLE_EQ(record->pulseLength, 0.000512);
    EXPECT_DOUBLE_EQ(record->gain, 22.0);
}

TEST_F(TransceiverDialog, CancelChangesNothing)
{
    dialogs.channel = [](TransceiverDialogValues& v) {
        v.pulseLength = v.pulseLengths[0];
        v.label = "Changed";
        return 0;
    };
    const ChannelParameters before = channel->GetNextParameters();
    EXPECT_EQ(unit->RunChannelDialog(channel), 1);
    EXPECT_DOUBLE_EQ(record->pulseLength, 0.001024);
    EXPECT_EQ(record->transducerLabel, "Hull");
    EXPECT_DOUBLE_EQ(channel->GetNextParameters().PulseLength, before.PulseLength);
    EXPECT_FALSE(HasValue("PulseLength"));
    EXPECT_FALSE(HasValue("enumTransceiverMode"));
    CTransceiver::StructChannelParameters copy;
    EXPECT_FALSE(unit->TakeForPing(*record, copy));
}

TEST_F(TransceiverDialog, WithoutRecordOrRunnerNothingIsShown)
{
    EXPECT_EQ(unit->RunChannelDialog(nullptr), 1) << "no record: nothing to show";
    EXPECT_EQ(unit->RunAdvancedDialog(nullptr), 1);
    EXPECT_EQ(dialogs.runs, 0);
    EXPECT_TRUE(unit->HasChannelDialog(channel));
    EXPECT_FALSE(unit->HasChannelDialog(nullptr));
    services.dialogs = nullptr;
    EXPECT_FALSE(unit->HasChannelDialog(channel)) << "no one to show it to";
    EXPECT_EQ(unit->RunChannelDialog(channel), 0);
    EXPECT_EQ(unit->RunGeoChannelDialog(channel), 0);
    EXPECT_EQ(unit->RunAdvancedDialog(channel), 0);
    // A transceiver without the program's services (replay) offers none.
    CTestTransceiver alone(CTestTransceiver::Options{});
    EXPECT_FALSE(alone.HasChannelDialog(alone.GetChannelId(0)));
}

// The sounder is deleted while a dialog runs (a stop, a remote command): the
// dialog ends with -1, and neither the transceiver nor its channel is
// touched afterwards (the sanitizers see to that).
TEST_F(TransceiverDialog, TransceiverGoneWhileItsDialogRunsIsNotTouched)
{
    reg.CloseKey(record->key);
    dialogs.channel = [&](TransceiverDialogValues& v) {
        v.pulseLength = v.pulseLengths[0];
        unit.reset();
        return 1;
    };
    CTestTransceiver* running = unit.get();
    EXPECT_EQ(running->RunChannelDialog(channel), -1);
    EXPECT_EQ(unit, nullptr);

    // The same from the advanced dialog opened inside the channel dialog.
    MakeUnit();
    reg.CloseKey(record->key);
    dialogs.channel = [](TransceiverDialogValues& v) {
        v.advanced();
        return 1;
    };
    dialogs.advanced = [&](const AdvancedTransceiverDialogValues&) {
        unit.reset();
        return 1;
    };
    running = unit.get();
    EXPECT_EQ(running->RunChannelDialog(channel), -1);
    EXPECT_EQ(dialogs.runs, 3);
}

TEST_F(TransceiverDialog, AdvancedShowsFourteenValuesInTheirFormats)
{
    using A = AdvancedTransceiverDialogValues;
    record->frequency = 38000.4;
    record->angleOffsetAlongship = 0.125;
    record->angleOffsetAthwartship = -0.5;
    record->beamWidthAlongship = 7.1;
    record->beamWidthAthwartship = 7.0;
    record->beamType = 1;
    record->bandwidth = 2425.6;
    record->gain = 25.555;
    record->sampleDistance = 0.0768;
    record->twoWayBeamAngle = -20.7;
    record->angleSensitivityAlongship = 21.9;
    record->angleSensitivityAthwartship = 21.875;
    record->absorption = 0.0098;
    unit->SetSoundVelocity(1494.6);
    A shown;
    dialogs.advanced = [&](const A& v) {
        shown = v;
        return 1;
    };
    EXPECT_EQ(unit->RunAdvancedDialog(channel), 1);
    const std::pair<A::Control, const char*> expected[] = {
        {A::kFrequency, "38000"},
        {A::kAngleOffsetAlongship, "0.12"},
        {A::kAngleOffsetAthwartship, "-0.50"},
        {A::kBeamWidthAlongship, "7.10"},
        {A::kBeamWidthAthwartship, "7.00"},
        {A::kBeamType, "Split"},
        {A::kBandwidth, "2426"},
        {A::kGain, "25.55"},
        {A::kSampleInterval, "0.0768"},
        {A::kSoundVelocity, "1495"},
        {A::kTwoWayBeamAngle, "-20.70"},
        {A::kAngleSensitivityAlongship, "21.90"},
        {A::kAngleSensitivityAthwartship, "21.88"},
        {A::kAbsorption, "9.80"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(shown.Text(id), text) << id;
    record->beamType = 0;
    EXPECT_EQ(unit->RunAdvancedDialog(channel), 1);
    EXPECT_EQ(shown.Text(A::kBeamType), "Single");
}

TEST_F(TransceiverDialog, GeoDialogStoresTheSampleIntervalAndTransducer)
{
    const double intervals[5] = {0.00002, 0.00004, 0.00008, 0.00008, 0.00008};
    std::copy(std::begin(intervals), std::end(intervals), record->capability.sampleInterval);
    record->sampleInterval = 0.00004;
    record->transceiverMode = CTransceiver::kTest;
    GeoTransceiverDialogValues shown;
    dialogs.geo = [&](GeoTransceiverDialogValues& v) {
        shown = v;
        v.sampleInterval = v.sampleIntervals[2];
        v.roll = 1.5;
        v.azimuth = 270.0;
        v.z = 3.0;
        v.draught = 2.0;
        return 1;
    };
    EXPECT_EQ(unit->RunGeoChannelDialog(channel), 1);
    EXPECT_DOUBLE_EQ(shown.sampleInterval, 0.00004);
    EXPECT_DOUBLE_EQ(shown.tide, -1.25);
    EXPECT_DOUBLE_EQ(record->sampleInterval, 0.00008);
    EXPECT_DOUBLE_EQ(record->transducerRoll, 1.5);
    EXPECT_DOUBLE_EQ(record->transducerZMinusDepth, 1.0);
    EXPECT_EQ(record->transceiverMode, CTransceiver::kActive) << "Test falls back here too";
    EXPECT_DOUBLE_EQ(RegDouble("TransducerAzimuth"), 270.0);
    EXPECT_EQ(RegDword("enumTransceiverMode"), 0u);
    EXPECT_FALSE(HasValue("PulseLength")) << "the GEO dialog keeps to its own values";
    EXPECT_FALSE(HasValue("bFMpulse"));
    CTransceiver::StructChannelParameters copy;
    EXPECT_TRUE(unit->TakeForPing(*record, copy));
}

// The marks that ask a unit for a new transmit set-up: every record when a
// sounder is made, a changed mode, and new values handed over by the
// sounder's refresh; a unit not ready for it keeps the mark.
TEST_F(TransceiverDialog, ChangedMarkIsTakenOnceByAUnitThatCanSendIt)
{
    CTransceiver::StructChannelParameters copy;
    unit->MarkChannelsChanged();
    EXPECT_FALSE(unit->TakeForPing(*record, copy, false)) << "not ready: kept";
    EXPECT_TRUE(unit->TakeForPing(*record, copy));
    EXPECT_FALSE(unit->TakeForPing(*record, copy));

    ChannelParameters p = channel->GetNextParameters();
    p.PulseLength = record->pulseLength;
    p.TransmitPower = record->txPower;
    p.FmPulse = record->fmPulse;
    p.FmPulseLength = record->fmPulseLength;
    p.FmResolutionLength = record->fmResolutionLength;
    p.ResolutionLength = record->resolutionLength;
    p.CwResolutionLength = record->cwResolutionLength;
    p.DoubleSampleRate = record->doubleSampleRate;
    unit->SetChannelParameters(channel, p);
    EXPECT_FALSE(unit->TakeForPing(*record, copy)) << "the same values again ask for nothing";
    p.PulseLength = 0.004096;
    unit->SetChannelParameters(channel, p);
    EXPECT_TRUE(unit->TakeForPing(*record, copy));

    unit->SetChannelMode(channel, CTransceiver::kPassive);
    EXPECT_TRUE(unit->TakeForPing(*record, copy));
    unit->SetChannelMode(channel, CTransceiver::kPassive);
    EXPECT_FALSE(unit->TakeForPing(*record, copy));
}

TEST(TransceiverDialogModeless, EndedWithFourAndDeletedUnlessReleased)
{
    struct Window final : IModelessDialog
    {
        Window(int& ended, int& deleted) : m_ended(ended), m_deleted(deleted) {}
        ~Window() override { ++m_deleted; }
        void EndDialog(int result) override { m_ended = result; }
        int& m_ended;
        int& m_deleted;
    };
    int ended = 0, deleted = 0;
    {
        CTestTransceiver unit(CTestTransceiver::Options{});
        unit.SetModelessDialog(std::make_unique<Window>(ended, deleted));
    }
    EXPECT_EQ(ended, 4);
    EXPECT_EQ(deleted, 1);

    ended = deleted = 0;
    auto window = std::make_unique<Window>(ended, deleted);
    Window* itself = window.get();
    {
        CTestTransceiver unit(CTestTransceiver::Options{});
        unit.SetModelessDialog(std::move(window));
        unit.ReleaseModelessDialog();  // it closed itself
        EXPECT_EQ(unit.GetModelessDialog(), nullptr);
    }
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(deleted, 0);
    delete itself;
}
