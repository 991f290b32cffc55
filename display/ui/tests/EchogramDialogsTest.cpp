// The echogram settings, filter and range dialogs offscreen: each is filled
// from a document's values and read back from its controls; the checks made
// on OK; the dialogs run modally behind the document's launchers; and the
// depth view's commands reaching the channel and the right echogram.
#include "display/ui/EchogramDialogs.h"
#include "app/widgets/UpDownCtrl.h"
#include "display/ui/DepthView.h"
#include "display/ui/DepthViewCommands.h"
#include "display/ui/EchogramDialog.h"
#include "display/ui/EchogramDialogQY210.h"
#include "display/ui/EchogramDialogRM30.h"
#include "display/ui/EchogramFilterDialog.h"
#include "display/ui/EchogramView.h"
#include "display/ui/RangeBottomDialog.h"
#include "display/ui/RangeSidescanDialog.h"
#include "display/ui/RangeSlopeDialog.h"
#include "display/ui/RangeSurfaceDialog.h"
#include "display/ui/RangeTrawlDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "base/DepthUnit.h"
#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/Slope.h"
#include "engine/tests/TestDetectionDialogs.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Values = CEchogramDoc::SettingsDialogValues;

template <typename T>
T* Id(QWidget& w, int id)
{
    T* c = w.findChild<T*>(QString::number(id));
    EXPECT_NE(c, nullptr) << id;
    return c;
}

bool Checked(QWidget& w, int id)
{
    auto* b = w.findChild<QAbstractButton*>(QString::number(id));
    EXPECT_NE(b, nullptr) << id;
    return b && b->isChecked();
}

void Check(QWidget& w, int id, bool on)
{
    auto* b = w.findChild<QAbstractButton*>(QString::number(id));
    ASSERT_NE(b, nullptr) << id;
    b->setChecked(on);
}

class DialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
        CDepthUnit::SetUnit(CDepthUnit::kMeter);
    }
};

TEST_F(DialogsTest, GeneralAndRM30DialogsShowAndTakeTheirValues)
{
    Values v;
    v.gainType = 2;
    v.trawlLine = true;
    v.scaleLineCount = 12;
    v.minuteMarkers = true;
    v.echogramKind = CEchogramDoc::kTrawlOrSidescan;
    v.bottomLine = 2;
    v.purseSeine = true;
    CEchogramDialog general(v);
    EXPECT_EQ(general.windowTitle(), "Echogram");
    EXPECT_TRUE(Checked(general, 1009)) << "\"40 log\" is the third TVG button";
    EXPECT_TRUE(Checked(general, 1023));
    EXPECT_TRUE(Checked(general, 1027));
    EXPECT_TRUE(Checked(general, 1012)) << "Trawl";
    EXPECT_TRUE(Checked(general, 1016)) << "White Line";
    EXPECT_TRUE(Checked(general, 1025));
    EXPECT_FALSE(Checked(general, 1024));
    EXPECT_EQ(Id<QLineEdit>(general, 1054)->text(), "12");

    Check(general, 1010, true);
    Check(general, 1013, true);
    Check(general, 1039, true);
    Check(general, 1023, false);
    Check(general, 1024, true);
    Check(general, 1026, true);
    Check(general, 1028, true);
    Check(general, 1029, true);
    Check(general, 1030, true);
    Check(general, 1308, true);
    Id<QLineEdit>(general, 1054)->setText("50");
    ASSERT_TRUE(general.TakeValues());
    const Values& g = general.Values();
    EXPECT_EQ(g.gainType, 3);
    EXPECT_EQ(g.echogramKind, CEchogramDoc::kBottom);
    EXPECT_EQ(g.bottomLine, 0);
    EXPECT_FALSE(g.trawlLine);
    EXPECT_TRUE(g.scaleLines && g.pingFilter && g.variableDepthLines && g.newRangeMarkers && g.eventMarkers &&
                g.rangeOther && g.purseSeine && g.minuteMarkers);
    EXPECT_EQ(g.scaleLineCount, 50u);

    // The up-down control keeps the count within 0..50; a typed 51 fails on OK.
    auto* spin = Id<CUpDownCtrl>(general, 1057);
    spin->UpButton()->click();
    EXPECT_EQ(Id<QLineEdit>(general, 1054)->text(), "50");
    for (const char* bad : {"51", "-1", "2.5", "x"}) {
        ClearMessageBoxRecord();
        Id<QLineEdit>(general, 1054)->setText(bad);
        EXPECT_FALSE(general.TakeValues()) << bad;
        EXPECT_EQ(MessageBoxRecord().size(), 1u) << bad;
        EXPECT_EQ(general.Values().scaleLineCount, 50u) << "a refused OK keeps the values";
    }

    // RM30: two gain buttons; a third choice shows none and OK gives none.
    v.gainType = 2;
    CEchogramDialogRM30 rm30(v);
    EXPECT_EQ(rm30.windowTitle(), "Echogram Dialog");
    EXPECT_EQ(Id<QRadioButton>(rm30, 1005)->text(), "School ");
    EXPECT_EQ(Id<QRadioButton>(rm30, 1006)->text(), "Fish ");
    EXPECT_EQ(rm30.findChild<QRadioButton*>("1009"), nullptr);
    EXPECT_FALSE(Checked(rm30, 1005) || Checked(rm30, 1006));
    ASSERT_TRUE(rm30.TakeValues());
    EXPECT_EQ(rm30.Values().gainType, -1);
    Check(rm30, 1006, true);
    ASSERT_TRUE(rm30.TakeValues());
    EXPECT_EQ(rm30.Values().gainType, 1);
}

TEST_F(DialogsTest, QYDialogFillsReadsBackAndFollowsThePingerMode)
{
    Values v;
    v.templateId = CEchogramDoc::kQY310Template;
    v.gainType = 1;
    v.echogramKind = CEchogramDoc::kAlongTrackSlope;
    v.bottomLine = 3;
    v.scaleLineCount = 4;
    v.subBottomGainOn = true;
    v.subBottomGain = 4.95f;
    v.externalDepthList = {"Trawl", "Geo port", "Geo starboard"};
    v.externalDepthSource = "Geo";
    v.importList = {"Trawl", "Geo port"};
    v.importSource = "None";
    v.sidescanSide = 1;
    v.sidescanView = 0;
    v.pingerGain = -3.5;
    v.pingerGainMode = 1;
    CEchogramDialogQY210 dialog(v, CEchogramDoc::kQY310Template);
    EXPECT_TRUE(Checked(dialog, 1006)) << "20 log R";
    EXPECT_TRUE(Checked(dialog, 1012)) << "Along Track Slope";
    EXPECT_TRUE(Checked(dialog, 1376)) << "Contour Line";
    EXPECT_TRUE(Checked(dialog, 1500)) << "Starbord";
    EXPECT_TRUE(Checked(dialog, 1014)) << "the side and view groups are apart";
    EXPECT_TRUE(Checked(dialog, 1580));
    EXPECT_EQ(Id<QRadioButton>(dialog, 1501)->text(), "Slant Range");
    // The first entry that begins with the source's text; none when none does.
    EXPECT_EQ(Id<QComboBox>(dialog, 1322)->currentText(), "Geo port");
    EXPECT_EQ(Id<QComboBox>(dialog, 1326)->currentIndex(), -1);
    EXPECT_EQ(Id<QLineEdit>(dialog, 1555)->text(), "-3.5");

    // The sub-bottom gain steps by 0.1 and stays within 0..5.
    auto* gainSpin = Id<CUpDownCtrl>(dialog, 1058);
    gainSpin->UpButton()->click();
    EXPECT_FLOAT_EQ(dialog.Values().subBottomGain, 5.0f);
    EXPECT_EQ(Id<QLineEdit>(dialog, 1055)->text(), "5");
    Id<QLineEdit>(dialog, 1055)->setText("0.05");
    gainSpin->DownButton()->click();
    EXPECT_FLOAT_EQ(dialog.Values().subBottomGain, 0.0f);

    Check(dialog, 1009, true);
    Check(dialog, 1379, true);
    Check(dialog, 1015, true);
    Check(dialog, 1502, true);
    Check(dialog, 1501, true);
    Check(dialog, 1351, true);
    Check(dialog, 1378, true);
    Check(dialog, 1321, true);
    Check(dialog, 1325, true);
    Check(dialog, 1309, true);
    Check(dialog, 1579, true);
    Id<QComboBox>(dialog, 1322)->setCurrentIndex(0);
    Id<QComboBox>(dialog, 1326)->setCurrentIndex(1);
    Id<QLineEdit>(dialog, 1055)->setText("1.5");
    Id<QLineEdit>(dialog, 1555)->setText("6");
    ASSERT_TRUE(dialog.TakeValues());
    const Values& r = dialog.Values();
    EXPECT_EQ(r.gainType, 2);
    EXPECT_EQ(r.echogramKind, CEchogramDoc::kTrawlOrSidescan);
    EXPECT_EQ(r.bottomLine, 1);
    EXPECT_EQ(r.sidescanSide, 0);
    EXPECT_EQ(r.sidescanView, 1);
    EXPECT_TRUE(r.newSvpMarkers && r.showAnnotation && r.externalDepthOn && r.importOn && r.bottomDetectionLines);
    EXPECT_EQ(r.externalDepthSource, "Trawl");
    EXPECT_EQ(r.importSource, "Geo port");
    EXPECT_FLOAT_EQ(r.subBottomGain, 1.5f);
    EXPECT_DOUBLE_EQ(r.pingerGain, 6.0);
    EXPECT_EQ(r.pingerGainMode, 0);

    // Pinger mode: the TVG choice off, on the larger template its frame too;
    // otherwise the pinger controls off.
    const struct
    {
        int templateId;
        bool pinger;
    } rows[] = {{CEchogramDoc::kQY210Template, true},
                {CEchogramDoc::kQY310Template, true},
                {CEchogramDoc::kQY210Template, false},
                {CEchogramDoc::kQY310Template, false}};
    for (const auto& row : rows) {
        Values p;
        p.pingerMode = row.pinger;
        CEchogramDialogQY210 d(p, row.templateId);
        for (int id : {1005, 1006, 1009, 1010})
            EXPECT_EQ(Id<QRadioButton>(d, id)->isEnabled(), !row.pinger) << row.templateId << " " << id;
        auto* frame = d.findChild<QGroupBox*>("1557");
        EXPECT_EQ(frame != nullptr, row.templateId == CEchogramDoc::kQY310Template);
        if (frame) {
            EXPECT_EQ(frame->isEnabled(), !row.pinger);
        }
        for (int id : {1554, 1555, 1553, 1579, 1580})
            EXPECT_EQ(d.findChild<QWidget*>(QString::number(id))->isEnabled(), row.pinger) << id;
    }
}

TEST_F(DialogsTest, FilterDialogListsAndTypedValues)
{
    CEchogramDoc::FilterDialogValues v;
    v.echoAmplifier = true;
    v.secondStageFilter = true;
    v.value1 = "3";
    v.value2 = "1";
    CEchogramFilterDialog dialog(v);
    EXPECT_EQ(dialog.windowTitle(), "Echogram filter");
    auto* size = Id<QComboBox>(dialog, 1630);
    auto* factor = Id<QComboBox>(dialog, 1631);
    ASSERT_TRUE(size && factor);
    EXPECT_EQ(size->count(), 4);
    EXPECT_EQ(factor->itemText(0), " 1");
    EXPECT_EQ(factor->itemText(9), "30");
    EXPECT_FALSE(Id<QCheckBox>(dialog, 1627)->isEnabled()) << "carried through, not edited";
    EXPECT_TRUE(Checked(dialog, 1625));
    EXPECT_EQ(size->currentText(), "3");

    Check(dialog, 1626, true);
    Check(dialog, 1628, true);
    size->setCurrentText("11");
    factor->setCurrentIndex(3);
    const CEchogramDoc::FilterDialogValues r = dialog.Values();
    EXPECT_TRUE(r.echoAmplifier && r.medianFilter && r.secondStageFilter && r.pingToPingMedian);
    EXPECT_EQ(r.value1, "11");
    EXPECT_EQ(r.value2, " 6");
}

TEST_F(DialogsTest, RangeColumnsSlidersEditsAndUpDowns)
{
    // Surface presets (m): ... 10, 15, 25, 50, 75 ... ; starts 0, 2, 5, 7, 10 ...
    CRangeSurfaceDialog surface(20.0, 4.0, false, true);
    EXPECT_EQ(surface.windowTitle(), "Surface Range");
    EXPECT_EQ(surface.Slider(0)->value(), 7) << "half way between 15 and 25: the larger";
    EXPECT_EQ(surface.Slider(1)->value(), 2) << "4 is nearest 5";
    EXPECT_EQ(Id<QLabel>(surface, 1046)->text(), "1");
    EXPECT_EQ(Id<QLabel>(surface, 1049)->text(), "10000");
    EXPECT_EQ(Id<QLabel>(surface, 1029)->text(), " m");
    EXPECT_EQ(surface.Edit(0)->text(), "20");
    // Automatic start: that column is off, the range column works.
    EXPECT_FALSE(surface.Slider(1)->isEnabled() || surface.Edit(1)->isEnabled() || surface.Spin(1)->isEnabled());
    EXPECT_TRUE(surface.Slider(0)->isEnabled());

    surface.Slider(0)->setValue(8);
    EXPECT_EQ(surface.Edit(0)->text(), "50");
    // The up-down steps the edit and the slider follows.
    surface.Spin(0)->OnDeltaPos(1);
    EXPECT_EQ(surface.Edit(0)->text(), "51");
    EXPECT_EQ(surface.Slider(0)->value(), 8);
    // What the edit shows is taken, whatever moved it last.
    surface.Edit(0)->setText("33");
    ASSERT_TRUE(surface.TakeValues());
    EXPECT_DOUBLE_EQ(surface.Range(), 33.0);
    EXPECT_DOUBLE_EQ(surface.Start(), 4.0) << "a disabled column is still read";
    // Above the last preset: the slider sits at the end and OK fails.
    CRangeSurfaceDialog high(20000.0, 0.0, false, false);
    EXPECT_EQ(high.Slider(0)->value(), high.Slider(0)->maximum());
    EXPECT_FALSE(high.TakeValues());
    EXPECT_EQ(MessageBoxRecord().size(), 1u);

    CRangeBottomDialog bottom(25.0, 15.0);
    EXPECT_EQ(bottom.windowTitle(), "Bottom Range");
    EXPECT_EQ(Id<QLabel>(bottom, 1048)->text(), "-50");
    ASSERT_TRUE(bottom.TakeValues());
    EXPECT_DOUBLE_EQ(bottom.Offset(), 15.0);

    // Side-scan: each up-down moves the slider of its own side.
    CRangeSidescanDialog sidescan(200.0, 200.0);
    ASSERT_EQ(Id<QLineEdit>(sidescan, 1003), sidescan.Edit(0)) << "port edit";
    const int starboard = sidescan.Slider(1)->value();
    sidescan.Edit(0)->setText("101");
    Id<app::CSpinButtonDoubleCtrl>(sidescan, 1023)->OnDeltaPos(-1);
    EXPECT_EQ(sidescan.Edit(0)->text(), "100");
    EXPECT_LT(sidescan.Slider(0)->value(), starboard);
    EXPECT_EQ(sidescan.Slider(1)->value(), starboard);

    // Slope: whole degrees 0..90.
    CRangeSlopeDialog slope(45.7);
    EXPECT_EQ(Id<QSlider>(slope, 1318)->value(), 45);
    EXPECT_EQ(Id<QLabel>(slope, 1030)->text(), "deg");
    EXPECT_EQ(Id<QLabel>(slope, 1047)->text(), "90");
    slope.Slider(0)->setValue(30);
    ASSERT_TRUE(slope.TakeValues());
    EXPECT_DOUBLE_EQ(slope.Range(), 30.0);

    // Trawl: one decimal.
    CRangeTrawlDialog trawl(1.0);
    EXPECT_EQ(Id<QLineEdit>(trawl, 1144)->text(), "1.0");
    trawl.Slider(0)->setValue(1);
    EXPECT_EQ(trawl.Edit(0)->text(), "0.1");
}

// Answers the next modal dialog from inside its own loop.
void WhenModal(std::function<void(QWidget&)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

TEST_F(DialogsTest, LaunchersRunTheQtDialogs)
{
    CTestDisplayContext program;
    program.model = SounderModel::QY210;
    const int& statusPosts = program.channelStatusChanges;
    displayui::CEchogramDialogs dialogs;
    SDisplayContext context = program.Context();
    context.echogramDialogs = &dialogs;

    auto doc = std::make_unique<CEchogramDoc>(context);
    doc->m_rangeReference = CEchogramDoc::SURFACE;
    WhenModal([](QWidget& w) {
        EXPECT_EQ(w.objectName(), "dialog_208");
        Check(w, 1013, true);
        Id<QLineEdit>(w, 1054)->setText("6");
        Id<QPushButton>(w, 1)->click();
    });
    EXPECT_EQ(doc->OnEchogramSettings(), 1);
    EXPECT_EQ(doc->m_rangeReference, CEchogramDoc::BOTTOM);
    EXPECT_EQ(doc->m_depthLines, 6);
    EXPECT_EQ(statusPosts, 1);

    // A wrong field keeps the dialog open; Cancel then leaves everything.
    WhenModal([](QWidget& w) {
        Id<QLineEdit>(w, 1054)->setText("60");
        Check(w, 1036, true);
        Id<QPushButton>(w, 1)->click();
        EXPECT_TRUE(w.isVisible());
        Id<QPushButton>(w, 2)->click();
    });
    EXPECT_EQ(doc->OnEchogramSettings(), 1);
    EXPECT_EQ(doc->m_rangeReference, CEchogramDoc::BOTTOM);
    EXPECT_EQ(statusPosts, 1);

    WhenModal([](QWidget& w) {
        EXPECT_EQ(w.objectName(), "dialog_143");
        Id<QLineEdit>(w, 1004)->setText("40");
        Id<QPushButton>(w, 1)->click();
    });
    EXPECT_EQ(doc->OnRangeSettings(), 1);
    EXPECT_DOUBLE_EQ(doc->m_bottomRange, 40.0);

    WhenModal([](QWidget& w) {
        Check(w, 1625, true);
        Id<QComboBox>(w, 1630)->setCurrentText("7");
        Id<QPushButton>(w, 1)->click();
    });
    doc->OnEchogramFilter();
    EXPECT_TRUE(doc->m_echoAmplifier);
    EXPECT_EQ(doc->m_filterValue1, 7);

    // The document goes while its dialog is open: the dialog ends and the
    // launcher returns without touching it.
    CEchogramDoc* raw = doc.get();
    WhenModal([&doc](QWidget&) { doc.reset(); });
    EXPECT_EQ(raw->OnEchogramSettings(), 0);
    EXPECT_EQ(doc, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DialogsTest, DepthViewCommandsReachTheRightDocument)
{
    CTestDisplayContext program;
    // Each runner leaves a mark the test can find on the document it ran for.
    program.rangeDialog = [](CEchogramDoc::RangeDialogValues& v, const CEchogramDoc::DialogOpened&) {
        v.range = 77.0;
        return IDOK;
    };
    program.filterDialog = [](CEchogramDoc::FilterDialogValues& v, const CEchogramDoc::DialogOpened&) {
        v.pingToPingMedian = true;
        return IDOK;
    };
    program.settingsDialog = [](CEchogramDoc::SettingsDialogValues& v, const CEchogramDoc::DialogOpened&) {
        v.scaleLineCount = 33;
        return IDOK;
    };
    CEchogramDoc upper(program.Context()), lower(program.Context());
    upper.m_rangeReference = lower.m_rangeReference = CEchogramDoc::SURFACE;
    CDepthDoc depth;
    depth.m_upperEchogram = &upper;
    depth.m_lowerEchogram = &lower;

    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_LOWER_ECHOGRAM));
    EXPECT_EQ(lower.m_depthLines, 33);
    EXPECT_EQ(upper.m_depthLines, 10);
    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_UPPER_RANGE));
    EXPECT_DOUBLE_EQ(upper.m_surfaceRange, 77.0);
    EXPECT_DOUBLE_EQ(lower.m_surfaceRange, 100.0);
    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_ECHOGRAM_FILTER));
    EXPECT_TRUE(upper.m_pingToPingMedian);
    EXPECT_FALSE(lower.m_pingToPingMedian);
    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_UPPER_ECHOGRAM));
    EXPECT_EQ(upper.m_depthLines, 33);
    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_LOWER_RANGE));
    EXPECT_DOUBLE_EQ(lower.m_surfaceRange, 77.0);

    // Without the echogram (second frame kind) or a channel nothing runs,
    // and the menu greys those items out.
    CDepthDoc bare;
    for (unsigned id : {CDepthView::ID_UPPER_ECHOGRAM, CDepthView::ID_LOWER_ECHOGRAM, CDepthView::ID_UPPER_RANGE,
                        CDepthView::ID_LOWER_RANGE, CDepthView::ID_ECHOGRAM_FILTER, CDepthView::ID_BOTTOM_DETECTOR,
                        CDepthView::ID_SLOPE_SETTINGS, CDepthView::ID_TRANSCEIVER_SETTINGS}) {
        EXPECT_FALSE(CDepthViewCommands::CanRun(bare, id)) << id;
        EXPECT_FALSE(CDepthViewCommands::Run(bare, id)) << id;
    }
    {
        CDepthView bareView(&bare);
        std::unique_ptr<QMenu> menu(bareView.BuildContextMenu(nullptr));
        for (QAction* a : menu->actions()) {
            const unsigned id = a->data().toUInt();
            if (id == CDepthView::ID_FONT || id == CDepthView::ID_STATUS_WINDOW) {
                EXPECT_TRUE(a->isEnabled()) << id;
            } else if (id != 0) {
                EXPECT_FALSE(a->isEnabled()) << id;
            }
        }
        CDepthView depthView(&depth);
        std::unique_ptr<QMenu> full(depthView.BuildContextMenu(nullptr));
        int enabled = 0;
        for (QAction* a : full->actions())
            enabled += a->isEnabled() && CDepthViewCommands::CanRun(depth, a->data().toUInt()) ? 1 : 0;
        EXPECT_EQ(enabled, 5) << "both echograms, their ranges and the filter";
    }

    // Through the view: a right click off the boxes runs the channel's bottom
    // detector dialog on the document's alarm settings.
    CChannel::Construction c;
    c.Parameters.SampleDistance = 0.1;
    c.Parameters.SampleInterval = 0.1 * 2.0 / 1500.0;
    c.StandardParts = true;
    CTestDetectionDialogs detection;
    CTestDialogLinks links(detection);
    c.Links = &links;
    CChannel channel(c);
    depth.SetChannel(&channel);
    detection.bottomDetector = [](CBottomDetector::DialogValues& v, const auto&) {
        v.BottomLostWarning = true;
        v.MaximumDepthAlarm = true;
        v.MaximumAlarmDepth = 250.0;
        return true;
    };
    int slopeRuns = 0;
    detection.slope = [&slopeRuns](CSlope::DialogValues&, const auto&) {
        ++slopeRuns;
        return false;
    };
    {
        CDepthView view(&depth);
        view.resize(600, 60);
        view.show();
        view.OnInitialUpdate();
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(300, 40));

        // The context menu's "Lower Echogram..." runs the lower document's dialog.
        lower.m_depthLines = upper.m_depthLines = 10;
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions())
                if (a->data().toUInt() == CDepthView::ID_LOWER_ECHOGRAM)
                    menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(300, 40));
        EXPECT_EQ(lower.m_depthLines, 33);
        EXPECT_EQ(upper.m_depthLines, 10);
    }
    EXPECT_TRUE(depth.m_bottomLostMessage);
    EXPECT_TRUE(depth.m_maximumAlarm);
    EXPECT_DOUBLE_EQ(depth.m_maximumDepth, 250.0);
    EXPECT_TRUE(CDepthViewCommands::Run(depth, CDepthView::ID_SLOPE_SETTINGS));
    EXPECT_EQ(slopeRuns, 1);
}

TEST_F(DialogsTest, BottomDetectorDialogOutlivingItsDepthDocumentWritesNothingBack)
{
    CChannel::Construction c;
    c.Parameters.SampleDistance = 0.1;
    c.Parameters.SampleInterval = 0.1 * 2.0 / 1500.0;
    c.StandardParts = true;
    CTestDetectionDialogs detection;
    CTestDialogLinks links(detection);
    c.Links = &links;
    CChannel channel(c);
    auto depth = std::make_unique<CDepthDoc>();
    depth->SetChannel(&channel);
    // The layout is torn down while the dialog runs, taking the document.
    detection.bottomDetector = [&depth](CBottomDetector::DialogValues& v, const auto&) {
        depth.reset();
        v.MinimumDepthAlarm = true;
        v.MinimumAlarmDepth = 3.0;
        return true;
    };
    EXPECT_TRUE(CDepthViewCommands::Run(*depth, CDepthView::ID_BOTTOM_DETECTOR));
    EXPECT_EQ(depth, nullptr);

    // A document that stays takes the values.
    CDepthDoc kept;
    kept.SetChannel(&channel);
    detection.bottomDetector = [](CBottomDetector::DialogValues& v, const auto&) {
        v.MinimumDepthAlarm = true;
        v.MinimumAlarmDepth = 3.0;
        return true;
    };
    EXPECT_TRUE(CDepthViewCommands::Run(kept, CDepthView::ID_BOTTOM_DETECTOR));
    EXPECT_TRUE(kept.m_minimumAlarm);
    EXPECT_DOUBLE_EQ(kept.m_minimumDepth, 3.0);
}

// Runs act on the modal dialog of type D once one is up (after a menu closes
// the dialog comes a few events later).
template <typename D>
void WhenModalOf(std::function<void(D&)> act, int triesLeft = 200)
{
    QTimer::singleShot(0, [act, triesLeft] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            act(*dialog);
            return;
        }
        ASSERT_GT(triesLeft, 0) << "no such dialog came up";
        WhenModalOf<D>(act, triesLeft - 1);
    });
}

TEST_F(DialogsTest, FontDialogOutlivingTheDepthViewTouchesNothingOfIt)
{
    CDepthDoc depth;
    auto* view = new CDepthView(&depth);
    view->resize(600, 60);
    view->show();
    view->OnInitialUpdate();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            if (a->data().toUInt() == CDepthView::ID_FONT)
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    // The frame goes while the font dialog is open; the dialog is then
    // accepted and must neither go with the view nor write into it.
    bool viewGone = false;
    WhenModalOf<QFontDialog>([&view, &viewGone](QFontDialog& dialog) {
        const QPointer<QFontDialog> open(&dialog);
        delete view;
        view = nullptr;
        viewGone = true;
        ASSERT_FALSE(open.isNull()) << "the dialog went with the view";
        dialog.accept();
    });
    // A bare press: nothing may reach the view after it, since it goes.
    const QPointF at(300, 40);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    EXPECT_TRUE(viewGone);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    delete view;
}

TEST_F(DialogsTest, ContextMenuOutlivingTheDepthViewTouchesNothingOfIt)
{
    CDepthDoc depth;
    auto* view = new CDepthView(&depth);
    view->resize(600, 60);
    view->show();
    view->OnInitialUpdate();
    bool viewGone = false;
    QTimer::singleShot(0, [&view, &viewGone] {
        ASSERT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
        delete view;
        view = nullptr;
        viewGone = true;
    });
    const QPointF at(300, 40);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    EXPECT_TRUE(viewGone);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    delete view;
}

// Counts the palette realizations that reach it.
class CountingView : public CEchogramView
{
public:
    using CEchogramView::CEchogramView;
    int RealizeViewPalette() override
    {
        ++realized;
        return CEchogramView::RealizeViewPalette();
    }
    int realized = 0;
};

TEST_F(DialogsTest, DocumentRealizesThePalettesOfItsOwnViews)
{
    CEchogramDoc a, b;
    CountingView a1(&a), a2(&a), b1(&b);
    a.RealizeViewPalettes();
    EXPECT_EQ(a1.realized, 1);
    EXPECT_EQ(a2.realized, 1);
    EXPECT_EQ(b1.realized, 0);
    b.RealizeViewPalettes();
    EXPECT_EQ(b1.realized, 1);
    EXPECT_EQ(a1.realized, 1);
}

}  // namespace
