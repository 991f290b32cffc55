// A channel's colour-scale record as the colour scale dialogs see it: the
// start levels each dialog's rows show, the limit switch, and the launcher
// when the channel goes while the dialog is open. The dialogs themselves are
// scripted here; display/ui runs the real ones.
#include "engine/Channel.h"
#include "engine/ChannelLinks.h"
#include "engine/ColorScaleDialogs.h"
#include "engine/ColorScaleSettings.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// The record's places 1..6 hold -11 .. -16: a row showing place p shows 10 + p.
void Number(CColorScaleSettings& s)
{
    for (int place = 1; place <= 6; ++place)
        s.SetLevel(place, -10.0 - place);
}

// The rows of each dialog show and take back their own places; the third
// level is read by no selector, and only the RM30's dialog touches the limit.
TEST(ColourScale, EachDialogsRowsAreItsPlaces)
{
    struct SCase
    {
        SounderModel model;
        ColorScaleDialogKind kind;
        std::array<int, 4> shown;
    };
    const SCase cases[] = {
        {SounderModel::QY210, ColorScaleDialogKind::QY210, {11, 14, 15, 16}},
        {SounderModel::QY310, ColorScaleDialogKind::QY210, {11, 14, 15, 16}},
        {SounderModel::QYNVU, ColorScaleDialogKind::QY210, {11, 14, 15, 16}},
        {SounderModel::RM30, ColorScaleDialogKind::RM30, {12, 13, 14, 0}},
        {SounderModel::TQ30, ColorScaleDialogKind::General, {11, 12, 13, 14}},
        {SounderModel::TOTAL, ColorScaleDialogKind::General, {11, 12, 13, 14}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.model));
        ASSERT_EQ(ColorScaleDialogOf(c.model), c.kind);
        CColorScaleSettings s;
        Number(s);
        ColorScaleDialogValues v = s.MakeDialogValues(c.kind);
        EXPECT_EQ(v.kind, c.kind);
        EXPECT_EQ(v.values, c.shown);
        // OK with every row at 50 (the RM30 has no fourth row to take).
        v.values.fill(50);
        v.limitRegulation = true;
        s.TakeDialogValues(v);
        for (int place = 1; place <= 6; ++place) {
            const bool shownHere = std::find(c.shown.begin(), c.shown.end(), 10 + place) != c.shown.end();
            EXPECT_EQ(s.GetLevel(place), shownHere ? -50.0 : -10.0 - place) << "place " << place;
        }
        EXPECT_EQ(s.GetLimit40Log(), c.kind == ColorScaleDialogKind::RM30);
    }
    CColorScaleSettings s;
    Number(s);
    EXPECT_EQ(s.GetValueBySelector(0), -11.0);
    EXPECT_EQ(s.GetValueBySelector(1), -12.0);
    EXPECT_EQ(s.GetValueBySelector(2), -16.0) << "target strength";
    EXPECT_EQ(s.GetValueBySelector(3), -14.0);
    EXPECT_EQ(s.GetValueBySelector(4), -15.0);
}

// The limit switch raises the change flag (the next ping rebuilds the TVG
// tables) only when OK changed it.
TEST(ColourScale, Rm30LimitRaisesTheChangeFlagOnlyWhenChanged)
{
    CColorScaleSettings s;
    ColorScaleDialogValues v = s.MakeDialogValues(ColorScaleDialogKind::RM30);
    s.TakeDialogValues(v);
    EXPECT_FALSE(s.TakeChangeFlag()) << "OK with the box unchanged";
    v.limitRegulation = true;
    s.TakeDialogValues(v);
    EXPECT_TRUE(s.TakeChangeFlag());
    EXPECT_TRUE(s.GetLimit40Log());
    s.TakeDialogValues(v);
    EXPECT_FALSE(s.TakeChangeFlag());
}

// Links that give the channel scripted colour scale dialogs.
class ScriptedDialogs : public IChannelLinks, public IColorScaleDialogs
{
public:
    IColorScaleDialogs* GetColorScaleDialogs() const override { return const_cast<ScriptedDialogs*>(this); }
    int RunColorScale(ColorScaleDialogValues& v, const DialogOpened& opened) override { return run(v, opened); }
    std::function<int(ColorScaleDialogValues&, const DialogOpened&)> run;
};

struct FakeDialog : CModalSession::IOpenDialog
{
    int result = 0;
    void EndDialog(int r) override { result = r; }
};

// The echogram views copy their channel's scale at every ping: a copy has
// the levels, but only the record itself ends the dialog open on it.
TEST(ColourScale, CopiesLeaveTheOpenDialogToTheRecord)
{
    auto record = std::make_unique<CColorScaleSettings>();
    record->SetLevel(3, -44.0);
    FakeDialog dialog;
    CModalSession session(record->DialogSlot());
    session.Opened()(&dialog);
    {
        const CColorScaleSettings copy(*record);
        CColorScaleSettings assigned;
        assigned = *record;
        EXPECT_EQ(copy.GetLevel(3), -44.0);
        EXPECT_EQ(assigned.GetLevel(3), -44.0);
    }
    EXPECT_EQ(dialog.result, 0) << "still open";
    record.reset();
    EXPECT_EQ(dialog.result, -1);
    EXPECT_TRUE(session.OwnerGone());
}

// OK stores, Cancel keeps, a dialog that could not be made gives 0; a
// channel deleted while its dialog runs ends it with -1, and the launcher
// writes nothing into it (the address sanitizer sees any write).
TEST(ColourScale, LauncherResults)
{
    ScriptedDialogs links;
    CChannel::Construction c;
    c.Links = &links;
    auto channel = std::make_unique<CChannel>(c);
    links.run = [](ColorScaleDialogValues& v, const auto&) {
        v.values[0] = 40;
        return IDCANCEL;
    };
    EXPECT_EQ(channel->OnColorScale(), 1);
    EXPECT_EQ(channel->GetValueBySelector(0), -70.0);
    links.run = [](ColorScaleDialogValues& v, const auto&) {
        v.values[0] = 40;
        return IDOK;
    };
    EXPECT_EQ(channel->OnColorScale(), 1);
    EXPECT_EQ(channel->GetValueBySelector(0), -40.0);
    links.run = [](ColorScaleDialogValues&, const auto&) { return -1; };
    EXPECT_EQ(channel->OnColorScale(), 0);

    FakeDialog dialog;
    links.run = [&](ColorScaleDialogValues& v, const IColorScaleDialogs::DialogOpened& opened) {
        opened(&dialog);
        v.values.fill(5);
        channel.reset();
        return IDOK;  // confirmed anyway: the harshest case for the launcher
    };
    CChannel* raw = channel.get();
    EXPECT_EQ(raw->OnColorScale(), 0);
    EXPECT_EQ(dialog.result, -1);
}

}  // namespace
