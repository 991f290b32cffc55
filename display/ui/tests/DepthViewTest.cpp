// The depth row as the operator meets it: its texts and names, the depth it
// keeps while the channel is passive, what a click on each of its parts
// reaches, the context menu of each model, the frame the mouse activates
// and the message that clears the transceiver's pending flag.
#include "display/ui/DepthView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"
#include "engine/ColorScaleDialogs.h"
#include "engine/Slope.h"
#include "engine/tests/TestDetectionDialogs.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// What a row shows of a channel, as a case sets it.
struct SetRow : IDepthViewChannel
{
    std::string title = "T38 38 kHz";
    std::string second;
    bool held = false;
    std::string GetTitle() const override { return title; }
    std::string GetSecondName() const override { return second; }
    std::string GetTransceiverName() const override { return "T38 1"; }
    bool GetSlope(double&) const override { return false; }
    bool GetTrawl(double&) const override { return false; }
    bool IsDepthHeld() const override { return held; }
};

struct SetBottom : IDepthChannel
{
    double depth = 0.0;
    bool found = false;
    bool GetBottom(double& d) override
    {
        d = depth;
        return found;
    }
    bool GetCorrectedDepth(double&) override { return false; }
    bool IsDepthFilterOn() const override { return false; }
};

QStringList Texts(const QMenu& menu)
{
    QStringList texts;
    for (QAction* a : menu.actions())
        if (!a->isSeparator())
            texts << a->text();
    return texts;
}

}  // namespace

TEST(DepthViewText, DepthFormatsAndColourSchemes)
{
    EXPECT_EQ(CDepthView::FormatDepth(SounderModel::QY310, 12.345, 12.345, "m"), "12.35m ");
    EXPECT_EQ(CDepthView::FormatDepth(SounderModel::RM30, 999.9, 999.9, "m"), "999.9m");
    EXPECT_EQ(CDepthView::FormatDepth(SounderModel::RM30, 1000.0, 1000.0, "m"), " 1000m");
    EXPECT_EQ(CDepthView::SchemeAt(0, 0, 120), 0);
    EXPECT_EQ(CDepthView::SchemeAt(119, 0, 120), 11);
    EXPECT_EQ(CDepthView::SchemeAt(10, 10, 10), 0);
}

// The depth strip's side text: the slope angle while the channel's slope is
// valid, the trawl depth while an external depth marker matched, which wins.
TEST(DepthViewText, ChannelsSlopeAndTrawlDepth)
{
    CChannel channel{CChannel::Construction{}};
    auto slope = std::make_unique<CSlope>();
    CSlope* tracker = slope.get();
    channel.SetSlopeTracker(std::move(slope));
    CDepthDoc doc;
    doc.SetChannel(&channel);
    const CDepthViewChannel read(doc);
    double angle = -1.0, trawl = -1.0;
    EXPECT_FALSE(read.GetSlope(angle));
    EXPECT_FALSE(read.GetTrawl(trawl));

    // Valid without an angle of its own yet: shown as 0.
    tracker->UpdateValidity(true);
    EXPECT_TRUE(read.GetSlope(angle));
    EXPECT_EQ(angle, 0.0);
    channel.SetEchogramValue(23.5);
    channel.AccumulateFlag(1);
    EXPECT_TRUE(read.GetTrawl(trawl));
    EXPECT_EQ(trawl, 23.5);
    doc.SetChannel(nullptr);
    EXPECT_FALSE(read.GetSlope(angle)) << "no channel, nothing beside the depth";
}

// The second name follows the channel's own after " / " only while its
// echogram shows one side and publishes it; a passive channel holds the
// depth.
TEST(DepthViewText, SecondNameAndHoldOfARealChannel)
{
    shelltest::QtApp();
    struct Case
    {
        const char* legend;
        bool sidescan, publish;
        int transceiverMode;
        const char* second;
        bool held;
    };
    const Case cases[] = {
        {"neither flag, active", false, false, 0, "", false},
        {"a side, not published, passive", true, false, 1, "", true},
        {"published without a side, in test mode", false, true, 2, "", false},
        {"both flags", true, true, 0, "Port", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        CChannel::Construction construction;
        construction.ChannelName = "T38 38 kHz";
        construction.Parameters.TransceiverMode = c.transceiverMode;
        CChannel channel(construction);
        channel.SetEchogramInfo(c.sidescan, c.publish, "Port", false);
        CDepthDoc doc;
        doc.SetChannel(&channel);
        const CDepthViewChannel read(doc);
        EXPECT_EQ(read.GetSecondName(), c.second);
        EXPECT_EQ(read.IsDepthHeld(), c.held);

        CDepthView view(&doc);
        const std::string expected = *c.second ? std::string("T38 38 kHz / ") + c.second : "T38 38 kHz";
        EXPECT_EQ(view.Title(), expected);
        view.resize(900, 60);
        view.OnInitialUpdate();
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.repaint();
        EXPECT_EQ(view.NameBox().width(), QFontMetrics(view.font()).horizontalAdvance(expected.c_str()) + 10)
            << "the box holds both names";
    }
}

TEST(DepthViewText, ShownDepthHeldWhileTheChannelIsPassive)
{
    shelltest::QtApp();
    CTestDisplayContext program;
    program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
    CChannel channel{CChannel::Construction{}};
    SetBottom bottom;
    SetRow row;
    CDepthDoc doc(program.Context());
    doc.SetChannel(&channel);
    doc.SetDepthChannel(&bottom);
    CDepthView view(&doc);
    view.SetChannelAccess(&row);

    struct Step
    {
        const char* legend;
        bool found;
        double depth;
        bool held;
        double pinger;
        double shown;
    };
    const Step steps[] = {
        {"passive from the start: nothing shown yet", true, 8.0, true, 0.0, 0.0},
        {"a bottom", true, 12.5, false, 0.0, 12.5},
        {"passive: the depth moves on, the row keeps its own", true, 30.0, true, 0.0, 12.5},
        {"passive and no bottom", false, 0.0, true, 0.0, 12.5},
        {"active again without a bottom", false, 0.0, false, 0.0, 0.0},
        {"active with a bottom", true, 30.0, false, 0.0, 30.0},
        {"passive while the pinger synchronises: the pinger's depth", true, 31.0, true, 42.0, 42.0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.legend);
        bottom.found = s.found;
        bottom.depth = s.depth;
        row.held = s.held;
        program.pingerDepth = s.pinger;
        doc.OnSourceUpdate(1);
        EXPECT_EQ(view.GetShownDepth(), s.shown);
    }
}

// Models with the channel menu that has the channel's name as its header
// (QY310, QYNVU), the one without it (QY210), and those without a menu.
TEST(DepthViewMenu, EachModelsMenuNamedAfterTheEchograms)
{
    shelltest::QtApp();
    struct Case
    {
        unsigned menu;
        bool shown;
        bool header;
    };
    for (const Case& c : {Case{SViewContext::kChannelMenuWithHeader, true, true},
                          Case{SViewContext::kChannelMenu, true, false}, Case{0, false, false}}) {
        SCOPED_TRACE(c.menu);
        SViewContext context;
        context.channelMenu = c.menu;
        CDepthDoc doc;
        CEchogramDoc upper;
        upper.m_rangeReference = CEchogramDoc::BOTTOM;
        doc.m_upperEchogram = &upper;
        SetRow row;
        CDepthView view(&doc, context);
        view.SetChannelAccess(&row);
        std::unique_ptr<QMenu> menu(view.BuildContextMenu(nullptr));
        ASSERT_EQ(menu != nullptr, c.shown);
        if (menu) {
            const QStringList texts = Texts(*menu);
            EXPECT_EQ(texts.front() == "T38 38 kHz", c.header) << texts.join('|').toStdString();
            for (const char* item : {"Transceiver Settings...", "Bottom Detector...", "Colour Scale...",
                                     "Bottom Echogram...", "Bottom Range...", "Lower Echogram...", "Font..."})
                EXPECT_TRUE(texts.contains(item)) << item;
        }

        // A left click beside the bar opens the menu, if there is one.
        view.resize(600, 60);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        bool opened = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                opened = true;
                popup->close();
            }
        });
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(300, 40));
        QCoreApplication::processEvents();
        EXPECT_EQ(opened, c.shown);
    }
}

// ---- Clicks, the mouse and message 0 on a channel of a unit ------------------

namespace {

// Every dialog a click may reach notes its name in one list and is
// cancelled.
struct Noted
{
    std::vector<std::string> runs;
};

class CNotedTransceiverDialogs final : public ITransceiverDialogs
{
public:
    explicit CNotedTransceiverDialogs(Noted& noted) : m_noted(noted) {}
    int RunChannel(TransceiverDialogValues&, const DialogOpened&) override
    {
        m_noted.runs.push_back("channel dialog");
        return IDCANCEL;
    }
    int RunGeoChannel(GeoTransceiverDialogValues&, const DialogOpened&) override
    {
        m_noted.runs.push_back("GEO channel dialog");
        return IDCANCEL;
    }
    int RunAdvanced(const AdvancedTransceiverDialogValues&, const DialogOpened&) override { return IDCANCEL; }

private:
    Noted& m_noted;
};

class CNotedColourScale final : public IColorScaleDialogs
{
public:
    explicit CNotedColourScale(Noted& noted) : m_noted(noted) {}
    int RunColorScale(ColorScaleDialogValues&, const DialogOpened&) override
    {
        m_noted.runs.push_back("colour scale");
        return IDCANCEL;
    }

private:
    Noted& m_noted;
};

class CNotedLinks final : public CTestDialogLinks
{
public:
    CNotedLinks(IDetectionDialogs& detection, IColorScaleDialogs& colourScale)
        : CTestDialogLinks(detection), m_colourScale(colourScale)
    {}
    IColorScaleDialogs* GetColorScaleDialogs() const override { return &m_colourScale; }

private:
    IColorScaleDialogs& m_colourScale;
};

class CNotedUnit final : public CTestTransceiver
{
public:
    CNotedUnit(const Options& o, Noted& noted) : CTestTransceiver(o), m_noted(noted) {}
    void ShowDiagnostics(int) override { m_noted.runs.push_back("diagnostics"); }
    void ClearPendingFlag() override { ++pendingCleared; }
    int pendingCleared = 0;

private:
    Noted& m_noted;
};

class PaintCountingDepthView : public CDepthView
{
public:
    using CDepthView::CDepthView;
    int paints = 0;

protected:
    void OnDraw(QPainter& painter) override
    {
        ++paints;
        CDepthView::OnDraw(painter);
    }
};

class DepthViewOfAUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        detection.bottomDetector = [this](CBottomDetector::DialogValues&, const auto&) {
            noted.runs.push_back("bottom detector");
            return false;
        };
        detection.slope = [this](CSlope::DialogValues&, const auto&) {
            noted.runs.push_back("slope settings");
            return false;
        };
        services.dialogs = &transceiverDialogs;
        services.channelLinks = &links;
        CTestTransceiver::Options o;
        o.name = "T38";
        o.services = &services;
        unit = std::make_unique<CNotedUnit>(o, noted);
        channel = unit->GetChannelId(0);
        unit->FindRecord(channel)->transducerLabel = "Hull T38";
        channel->AttachStandardParts();
        channel->UpdateSlopeValidity(true);
        doc.SetChannel(channel);
    }
    void TearDown() override { doc.SetChannel(nullptr); }

    Noted noted;
    CTestDetectionDialogs detection;
    CNotedColourScale colourScale{noted};
    CNotedLinks links{detection, colourScale};
    CNotedTransceiverDialogs transceiverDialogs{noted};
    CTestTransceiverServices services;
    std::unique_ptr<CNotedUnit> unit;
    CChannel* channel = nullptr;
    CDepthDoc doc;
};

}  // namespace

TEST_F(DepthViewOfAUnit, RightClickOnEachPartReachesItsDialog)
{
    PaintCountingDepthView view(&doc);
    view.resize(900, 60);
    view.OnInitialUpdate();
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.repaint();
    ASSERT_FALSE(view.NameBox().isEmpty());
    ASSERT_FALSE(view.TransceiverBox().isEmpty()) << "the unit names its channel";
    ASSERT_FALSE(view.SideTextBox().isEmpty()) << "the slope is valid";
    ASSERT_FALSE(view.SideTextBox().intersects(view.ColourBar()));

    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    const QPoint foot(2, view.height() - 3);
    struct Case
    {
        const char* legend;
        QPoint at;
        Qt::KeyboardModifiers keys;
        const char* dialog;
        bool drawnAtOnce;
    };
    const Case cases[] = {
        {"the channel's name", view.NameBox().center(), {}, "channel dialog", true},
        {"the transceiver's name", view.TransceiverBox().center(), {}, "channel dialog", true},
        {"the channel's name, Control and Shift", view.NameBox().center(), both, "diagnostics", true},
        {"the transceiver's name, Control and Shift", view.TransceiverBox().center(), both, "diagnostics", true},
        {"the transceiver's name, Control alone", view.TransceiverBox().center(), Qt::ControlModifier, "channel dialog",
         true},
        {"the colour bar", view.ColourBar().center(), {}, "colour scale", false},
        {"the slope beside the depth", view.SideTextBox().bottomLeft() + QPoint(3, -3), {}, "slope settings", false},
        {"elsewhere", foot, {}, "bottom detector", false},
        {"elsewhere, Control and Shift", foot, both, "bottom detector", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        noted.runs.clear();
        const int paints = view.paints;
        QTest::mouseClick(&view, Qt::RightButton, c.keys, c.at);
        EXPECT_EQ(noted.runs, std::vector<std::string>{c.dialog});
        if (c.drawnAtOnce) {
            EXPECT_GT(view.paints, paints) << "drawn before the click returned";
        }
    }
}

TEST_F(DepthViewOfAUnit, MessageZeroClearsTheUnitsPendingFlag)
{
    CDepthView view(&doc);
    EXPECT_EQ(SendMessage(view.GetSafeHwnd(), WM_NULL, 0, 0), 0);
    EXPECT_EQ(unit->pendingCleared, 1);
    SendMessage(view.GetSafeHwnd(), WM_USER + 1, 0, 0);
    EXPECT_EQ(unit->pendingCleared, 1) << "other messages leave it";

    CDepthDoc bare;
    CDepthView alone(&bare);
    EXPECT_EQ(SendMessage(alone.GetSafeHwnd(), WM_NULL, 0, 0), 0) << "no channel, nothing to clear";
}

// Moving the mouse over a frame's depth row makes that frame the active one
// with the row in focus; over the colour bar the cursor is the up-arrow.
TEST(DepthViewMouse, TheFrameUnderTheMouseBecomesActive)
{
    shelltest::QtApp();
    // The documents outlive the area, whose frames delete the views.
    CDepthDoc docs[2];
    QMdiArea area;
    area.resize(800, 400);
    CDepthView* views[2] = {};
    QMdiSubWindow* frames[2] = {};
    for (int i = 0; i < 2; ++i) {
        views[i] = new CDepthView(&docs[i]);
        frames[i] = area.addSubWindow(views[i]);
        frames[i]->setGeometry(0, i * 150, 700, 120);
        frames[i]->show();
    }
    area.show();
    area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    area.setActiveSubWindow(frames[0]);
    ASSERT_EQ(area.activeSubWindow(), frames[0]);

    const QPoint beside(20, views[1]->height() - 5);
    QTest::mouseMove(views[1], beside);
    EXPECT_TRUE(shelltest::WaitFor([&] { return area.activeSubWindow() == frames[1]; }));
    EXPECT_TRUE(views[1]->hasFocus());
    EXPECT_EQ(views[1]->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(views[1], views[1]->ColourBar().center());
    EXPECT_TRUE(shelltest::WaitFor([&] { return views[1]->cursor().shape() == Qt::UpArrowCursor; }));
    QTest::mouseMove(views[0], beside);
    EXPECT_TRUE(shelltest::WaitFor([&] { return area.activeSubWindow() == frames[0] && views[0]->hasFocus(); }));
}
