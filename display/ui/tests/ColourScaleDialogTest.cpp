// The colour scale dialogs offscreen, run by a channel's launcher as the
// depth row runs it: the dialog of each model, the start levels each shows
// and takes back on OK, the checks made on OK, the controls of a row
// following each other, the RM30's limit switch, and a channel that goes
// while its dialog is open. The levels go in and come out through the
// channel's stored layout, as a layout file brings them.
#include "display/ui/ColorScaleDialog.h"
#include "display/ui/ColorScaleDialogQY210.h"
#include "display/ui/ColorScaleDialogRM30.h"
#include "display/ui/ColorScaleDialogs.h"

#include "app/ui/tests/QtTestSupport.h"
#include "app/widgets/UpDownCtrl.h"
#include "base/Archive.h"
#include "engine/Channel.h"
#include "engine/ChannelLinks.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace {

// A channel's links of one model with the display's dialogs.
class ModelLinks : public IChannelLinks
{
public:
    explicit ModelLinks(SounderModel model) : m_model(model) {}
    SounderModel GetModel() const override { return m_model; }
    IColorScaleDialogs* GetColorScaleDialogs() const override { return &m_dialogs; }

private:
    SounderModel m_model;
    mutable displayui::CColorScaleDialogs m_dialogs;
};

// The record's six start levels and the limit switch, as a layout holds them.
struct Scale
{
    std::array<double, 6> levels{};
    bool limit = false;
};

void Load(CChannel& channel, const Scale& s)
{
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        const auto& l = s.levels;
        ar << l[0] << l[1] << l[2] << l[3] << 3.0 << static_cast<LONG>(s.limit) << l[4] << l[5];
    }
    CArchive in(bytes, CArchive::load);
    channel.SerializeColorScale(in);
}

Scale Stored(CChannel& channel)
{
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        channel.SerializeColorScale(ar);
    }
    CArchive in(bytes, CArchive::load);
    Scale s;
    double interval = 0.0;
    LONG limit = 0;
    auto& l = s.levels;
    in >> l[0] >> l[1] >> l[2] >> l[3] >> interval >> limit >> l[4] >> l[5];
    s.limit = limit != 0;
    return s;
}

Scale AllAt(double level)
{
    Scale s;
    s.levels.fill(level);
    return s;
}

template <typename T>
T* Id(QWidget& w, int id)
{
    T* c = w.findChild<T*>(QString::number(id));
    EXPECT_NE(c, nullptr) << id;
    return c;
}

// Acts on the modal dialog once it is up.
void WhenModal(std::function<void(QWidget&)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

// A row of a dialog: its controls and the record's level it shows.
struct SRow
{
    int edit, upDown, slider, place;
};

struct SClass
{
    const char* name;
    SounderModel model;
    int templateId;
    std::vector<SRow> rows;
    // The edits as OK takes them.
    std::vector<int> exchangeOrder;
};

const SClass kGeneral{"general",
                      SounderModel::TQ30,
                      134,
                      {{1012, 1051, 1006, 1}, {1010, 1052, 1007, 2}, {1013, 1053, 1008, 3}, {1014, 1054, 1214, 4}},
                      {1012, 1010, 1013, 1014}};
const SClass kQY210{"QY210",
                    SounderModel::QY210,
                    206,
                    {{1012, 1051, 1006, 1}, {1014, 1054, 1214, 4}, {1015, 1055, 1215, 5}, {1016, 1056, 1216, 6}},
                    {1012, 1014, 1016, 1015}};
const SClass kRM30{"RM30",
                   SounderModel::RM30,
                   207,
                   {{1010, 1052, 1007, 2}, {1013, 1053, 1008, 3}, {1014, 1054, 1214, 4}},
                   {1010, 1013, 1014}};

class ColourScaleClass : public ::testing::TestWithParam<SClass>
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        CChannel::Construction c;
        c.Links = &links;
        channel = std::make_unique<CChannel>(c);
        ClearMessageBoxRecord();
    }

    const SClass& cls = GetParam();
    ModelLinks links{GetParam().model};
    std::unique_ptr<CChannel> channel;
};

// Each level shows as the whole part of (0.5 - level); OK stores minus the
// value, so the level comes back rounded to whole decibels. A level beyond
// 0..100 shows one step outside and OK refuses it until it is put right;
// a layout's level far beyond what a whole number holds too.
TEST_P(ColourScaleClass, LevelsShownAndTakenBackOnOk)
{
    struct SCase
    {
        double level;
        int shown;
        bool accepted;
        double after;  // the level after OK (refused: after Cancel)
    };
    const SCase cases[] = {
        {0.0, 0, true, 0.0},          {-100.0, 100, true, -100.0}, {-70.5, 71, true, -71.0},
        {-70.49, 70, true, -70.0},    {-0.4, 0, true, 0.0},        {1.7, -1, false, 1.7},
        {-100.7, 101, false, -100.7}, {1e300, -1, false, 1e300},   {-1e300, 101, false, -1e300},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.level);
        // The places the dialog lacks keep a level of their own.
        Scale before = AllAt(c.level);
        std::vector<int> others;
        for (int place = 1; place <= 6; ++place)
            if (std::none_of(cls.rows.begin(), cls.rows.end(), [&](const SRow& r) { return r.place == place; })) {
                before.levels[place - 1] = -33.0;
                others.push_back(place);
            }
        Load(*channel, before);
        ClearMessageBoxRecord();
        bool stayedOpen = false;
        WhenModal([&](QWidget& w) {
            for (const SRow& r : cls.rows) {
                EXPECT_EQ(Id<QLineEdit>(w, r.edit)->text(), QString::number(c.shown)) << r.edit;
                // 0 at the slider's right end, 100 at its left.
                EXPECT_EQ(Id<QSlider>(w, r.slider)->value(), std::clamp(100 - c.shown, 0, 100)) << r.slider;
            }
            Id<QPushButton>(w, IDOK)->click();
            stayedOpen = w.isVisible();
            if (stayedOpen)
                static_cast<QDialog&>(w).reject();
        });
        EXPECT_EQ(channel->OnColorScale(), 1);
        EXPECT_EQ(stayedOpen, !c.accepted);
        const std::size_t messages = c.accepted ? 0u : 1u;
        ASSERT_EQ(MessageBoxRecord().size(), messages);
        if (!c.accepted) {
            EXPECT_EQ(MessageBoxRecord()[0].text, "Please enter an integer between 0 and 100.");
        }
        const Scale after = Stored(*channel);
        for (const SRow& r : cls.rows)
            EXPECT_EQ(after.levels[r.place - 1], c.after) << "place " << r.place;
        for (int place : others)
            EXPECT_EQ(after.levels[place - 1], -33.0) << "place " << place;
    }
}

// OK takes the edits in the dialog's order: the first that holds no whole
// number is reported, with the focus on it, and the dialog stays open.
TEST_P(ColourScaleClass, OkReportsTheEditsInItsOrder)
{
    std::vector<int> reported;
    WhenModal([&](QWidget& w) {
        for (const SRow& r : cls.rows)
            Id<QLineEdit>(w, r.edit)->setText("x");
        for (std::size_t i = 0; i <= cls.rows.size() && w.isVisible(); ++i) {
            ClearMessageBoxRecord();
            Id<QPushButton>(w, IDOK)->click();
            if (!w.isVisible())
                break;
            ASSERT_EQ(MessageBoxRecord().size(), 1u);
            EXPECT_EQ(MessageBoxRecord()[0].text, "Please enter an integer.");
            auto* at = qobject_cast<QLineEdit*>(w.focusWidget());
            ASSERT_NE(at, nullptr);
            reported.push_back(at->objectName().toInt());
            at->setText(QString::number(10 + static_cast<int>(i)));
        }
    });
    const Scale before = Stored(*channel);
    EXPECT_EQ(channel->OnColorScale(), 1);
    EXPECT_EQ(reported, cls.exchangeOrder);
    const Scale after = Stored(*channel);
    for (std::size_t i = 0; i < cls.exchangeOrder.size(); ++i)
        for (const SRow& r : cls.rows)
            if (r.edit == cls.exchangeOrder[i]) {
                EXPECT_EQ(after.levels[r.place - 1], -(10.0 + static_cast<double>(i)));
            }
    EXPECT_NE(after.levels, before.levels);
}

// The up-down control steps its edit within 0..100 and moves the slider; the
// arrow keys in the edit do the same; the slider shows its value in the
// edit; a typed number moves nothing. OK takes what the edit shows.
TEST_P(ColourScaleClass, RowControlsFollowEachOther)
{
    Scale s = AllAt(-100.0);
    s.levels[cls.rows[1].place - 1] = 0.0;
    Load(*channel, s);
    WhenModal([&](QWidget& w) {
        const SRow& top = cls.rows[0];
        const SRow& second = cls.rows[1];
        auto* edit = Id<QLineEdit>(w, top.edit);
        auto* slider = Id<QSlider>(w, top.slider);
        auto* upDown = Id<CUpDownCtrl>(w, top.upDown);
        upDown->UpButton()->click();
        EXPECT_EQ(edit->text(), "100") << "stays at 100";
        EXPECT_EQ(slider->value(), 0);
        upDown->DownButton()->click();
        EXPECT_EQ(edit->text(), "99");
        EXPECT_EQ(slider->value(), 1);
        QTest::keyClick(edit, Qt::Key_Down);
        EXPECT_EQ(edit->text(), "98");
        EXPECT_EQ(slider->value(), 2);

        auto* low = Id<QLineEdit>(w, second.edit);
        Id<CUpDownCtrl>(w, second.upDown)->DownButton()->click();
        EXPECT_EQ(low->text(), "0") << "stays at 0";
        EXPECT_EQ(Id<QSlider>(w, second.slider)->value(), 100);
        Id<QSlider>(w, second.slider)->setValue(30);
        EXPECT_EQ(low->text(), "70");

        const SRow& third = cls.rows[2];
        Id<QLineEdit>(w, third.edit)->setText("55");
        EXPECT_EQ(Id<QSlider>(w, third.slider)->value(), 0) << "typing moves nothing";
        Id<QPushButton>(w, IDOK)->click();
    });
    EXPECT_EQ(channel->OnColorScale(), 1);
    const Scale after = Stored(*channel);
    EXPECT_EQ(after.levels[cls.rows[0].place - 1], -98.0);
    EXPECT_EQ(after.levels[cls.rows[1].place - 1], -70.0);
    EXPECT_EQ(after.levels[cls.rows[2].place - 1], -55.0);
}

// The sounder goes while the dialog is open (a stop, a replay's next file):
// the channel's record ends the dialog with -1, and the launcher, back from
// it, writes nothing into the channel that is gone.
TEST_P(ColourScaleClass, ChannelGoneWhileTheDialogRuns)
{
    CChannel* raw = channel.get();
    QPointer<QWidget> open;
    int result = 0;
    WhenModal([&](QWidget& w) {
        open = &w;
        Id<QLineEdit>(w, cls.rows[0].edit)->setText("12");
        // Confirmed just before the channel went.
        static_cast<QDialog&>(w).setResult(QDialog::Accepted);
        channel.reset();
        result = static_cast<QDialog&>(w).result();
    });
    EXPECT_EQ(raw->OnColorScale(), 0);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(open.isNull()) << "the dialog went with its runner";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Classes, ColourScaleClass, ::testing::Values(kGeneral, kQY210, kRM30),
                         [](const auto& info) { return std::string(info.param.name); });

// The model chooses the dialog: QY210, QY310 and QYNVU the QY one, RM30 its
// own, TQ30 and TOTAL the general one; each "Colour Scale" in Arial 8 with
// OK, Cancel and Help.
TEST(ColourScaleDialogs, DialogOfEachModel)
{
    shelltest::QtApp();
    const std::pair<SounderModel, const char*> cases[] = {
        {SounderModel::QY210, "dialog_206"}, {SounderModel::QY310, "dialog_206"}, {SounderModel::RM30, "dialog_207"},
        {SounderModel::TQ30, "dialog_134"},  {SounderModel::TOTAL, "dialog_134"}, {SounderModel::QYNVU, "dialog_206"},
    };
    for (const auto& [model, name] : cases) {
        SCOPED_TRACE(static_cast<int>(model));
        ModelLinks links(model);
        CChannel::Construction c;
        c.Links = &links;
        CChannel channel(c);
        WhenModal([&, name = name](QWidget& w) {
            EXPECT_EQ(w.objectName(), name);
            EXPECT_EQ(w.windowTitle(), "Colour Scale");
            EXPECT_EQ(w.font().family(), "Arial");
            EXPECT_EQ(w.font().pointSize(), 8);
            for (int id : {IDOK, IDCANCEL, CColorScaleDialog::kHelpId})
                EXPECT_NE(w.findChild<QPushButton*>(QString::number(id)), nullptr) << id;
            EXPECT_EQ(w.findChild<QCheckBox*>("1301") != nullptr, model == SounderModel::RM30);
            shelltest::Screenshot(w, std::string("colour-scale-") + name);
            static_cast<QDialog&>(w).reject();
        });
        EXPECT_EQ(channel.OnColorScale(), 1);
    }
    // A channel given no dialogs shows none.
    CChannel bare{CChannel::Construction{}};
    EXPECT_EQ(bare.OnColorScale(), 0);
}

// "Limit Regulation Range" shows the record's switch; Cancel after ticking
// it changes nothing, OK stores it.
TEST(ColourScaleDialogs, Rm30LimitSwitch)
{
    shelltest::QtApp();
    ModelLinks links(SounderModel::RM30);
    CChannel::Construction c;
    c.Links = &links;
    CChannel channel(c);
    auto tickAnd = [&](int button) {
        bool shown = false;
        WhenModal([&](QWidget& w) {
            auto* box = Id<QCheckBox>(w, CColorScaleDialogRM30::kLimitId);
            shown = box->isChecked();
            box->setChecked(!shown);
            Id<QPushButton>(w, button)->click();
        });
        EXPECT_EQ(channel.OnColorScale(), 1);
        return shown;
    };
    EXPECT_FALSE(tickAnd(IDCANCEL));
    EXPECT_FALSE(Stored(channel).limit);
    EXPECT_FALSE(tickAnd(IDOK));
    EXPECT_TRUE(Stored(channel).limit);
    EXPECT_TRUE(tickAnd(IDCANCEL)) << "the next dialog shows the switch on";
    EXPECT_TRUE(Stored(channel).limit);
}

}  // namespace
