#include "plot/ui/GraphPropertySheet.h"

#include "plot/ui/GrPointsCombo.h"
#include "plot/ui/GraphPage.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/TitlePrompt.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

// A plot view over x 1499.96..1600 and y -300..0 with one decimal on both
// axes, a recording pane in column 1 and two curves: "A" (red, slot 0) and
// "B" (green, slot 1).
class PagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pane = new plottest::RecordingPane;
        view.SetPointsPane(pane, pane);
        view.resize(700, 400);
        view.show();
        view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
        view.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
        view.AddGraph(0x0000FF, false, "A", 1);
        view.AddGraph(0x00FF00, false, "B", 1);
        view.AddPoint(0, 1500, -10, 1, 1, -1, 1);
        view.SetAxisRanges(1499.96, 1600, -300, 0, 1);
        pane->heard.clear();
    }
    // The sheet of the plot window (general page first) or of the points
    // view, shown without running it.
    std::unique_ptr<CGraphPropertySheet> Sheet(bool general)
    {
        auto sheet = std::make_unique<CGraphPropertySheet>(view, general, nullptr);
        sheet->show();
        return sheet;
    }
    template <typename T = QLineEdit>
    static T* Control(CGraphPropertySheet& sheet, int page, int id)
    {
        return sheet.GetTabs()->widget(page)->findChild<T*>(QString::number(id));
    }
    // OK on the sheet, answering a message box that may come and keeping
    // its text.
    QString PressOk(CGraphPropertySheet& sheet)
    {
        QString message;
        auto answer = plottest::WhenModal<QMessageBox>([&message](QMessageBox& box) {
            message = box.text();
            box.accept();
        });
        sheet.accept();
        return message;
    }

    QApplication& app = plottest::QtApp();  // before any widget
    CGraphView view;
    plottest::RecordingPane* pane = nullptr;
};

TEST_F(PagesTest, TheGraphWindowCommandOpensThreePages)
{
    QString title;
    QStringList tabs;
    auto answer = plottest::WhenModal<CGraphPropertySheet>([&](CGraphPropertySheet& sheet) {
        title = sheet.windowTitle();
        for (int i = 0; i < sheet.GetTabs()->count(); ++i)
            tabs << sheet.GetTabs()->widget(i)->objectName();
        sheet.reject();
    });
    EXPECT_TRUE(view.GetGraphix()->OnCommand(plot::ID_GRAPH_PROPERTIES));
    EXPECT_EQ(title, QStringLiteral("Graph window properties"));
    EXPECT_EQ(tabs, (QStringList{"231", "102", "230"}));
}

TEST_F(PagesTest, GeneralPageShowsRangesRoundedAndSetsThem)
{
    auto sheet = Sheet(true);
    EXPECT_EQ(Control(*sheet, 0, plot::IDC_GEN_X_FROM)->text(), QStringLiteral("1500"));
    EXPECT_EQ(Control(*sheet, 0, plot::IDC_GEN_Y_FROM)->text(), QStringLiteral("-300"));
    EXPECT_TRUE(Control<QCheckBox>(*sheet, 0, plot::IDC_GEN_GRID)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(*sheet, 0, plot::IDC_GEN_MOUSE_TIP)->isChecked());
    Control<QCheckBox>(*sheet, 0, plot::IDC_GEN_MOUSE_TIP)->setChecked(true);
    Control<QCheckBox>(*sheet, 0, plot::IDC_GEN_GRID)->setChecked(false);
    Control(*sheet, 0, plot::IDC_GEN_Y_TO)->setText(QStringLiteral("10"));
    EXPECT_TRUE(PressOk(*sheet).isEmpty());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    const CPlotRanges r = view.GetAxisRanges();
    EXPECT_EQ(r.x1, 1500.0);
    EXPECT_EQ(r.y2, 10.0);
    EXPECT_EQ(view.GetDisplayFlags(), plot::DF_AUTO_RANGE | plot::DF_MARKERS | plot::DF_MOUSE_TIP);
}

TEST_F(PagesTest, RangesThatAreNotFiniteNumbersAreRefused)
{
    for (const char* text : {"nan", "inf", "-inf", "1e400", "abc", "", "12 m"}) {
        auto sheet = Sheet(true);
        sheet->GetTabs()->setCurrentIndex(2);
        QLineEdit* field = Control(*sheet, 0, plot::IDC_GEN_X_TO);
        field->setText(QString::fromLatin1(text));
        EXPECT_EQ(PressOk(*sheet), QStringLiteral("Please enter a number.")) << text;
        EXPECT_TRUE(sheet->isVisible()) << text;
        EXPECT_EQ(sheet->GetTabs()->currentIndex(), 0) << text;
        EXPECT_EQ(field->selectedText(), field->text()) << text;
        EXPECT_EQ(view.GetAxisRanges().x2, 1600.0) << text;
    }
}

TEST_F(PagesTest, ARangeWiderThanADoubleHoldsIsRefused)
{
    auto sheet = Sheet(true);
    Control(*sheet, 0, plot::IDC_GEN_Y_FROM)->setText(QStringLiteral("1e308"));
    QLineEdit* to = Control(*sheet, 0, plot::IDC_GEN_Y_TO);
    to->setText(QStringLiteral("-1e308"));
    EXPECT_EQ(PressOk(*sheet), QStringLiteral("Please enter a smaller range."));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(to->selectedText(), to->text());
    EXPECT_EQ(view.GetAxisRanges().y1, -300.0);
}

TEST_F(PagesTest, DecimalsAboveTenAreRefusedWithTheSheetOpen)
{
    auto sheet = Sheet(false);
    QLineEdit* decimals = Control(*sheet, 1, plot::IDC_AXIS_X_DECIMALS);
    EXPECT_EQ(decimals->text(), QStringLiteral("1"));
    decimals->setText(QStringLiteral("11"));
    Control(*sheet, 1, plot::IDC_AXIS_Y_CAPTION)->setText(QStringLiteral("Tiefe"));
    EXPECT_EQ(PressOk(*sheet), QStringLiteral("Please enter an integer between 0 and 10."));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->GetTabs()->currentIndex(), 1);
    EXPECT_EQ(view.GetAxisFormat(plot::kAxisX).GetDecimals(), 1);
    EXPECT_EQ(view.GetAxisFormat(plot::kAxisY).GetCaption(), "Depth");  // no page applied

    decimals->setText(QStringLiteral("2.5"));
    EXPECT_EQ(PressOk(*sheet), QStringLiteral("Please enter an integer."));
    decimals->setText(QStringLiteral("10"));
    EXPECT_TRUE(PressOk(*sheet).isEmpty());
    EXPECT_EQ(view.GetAxisFormat(plot::kAxisX).GetDecimals(), 10);
    EXPECT_EQ(view.GetAxisFormat(plot::kAxisY).GetCaption(), "Tiefe");
    EXPECT_EQ(pane->heard, (std::vector<std::string>{"9 0 0 0 0", "9 1 0 0 0", "11", "11"}));
}

TEST_F(PagesTest, HidingACurveTakesEffectOnlyWithOk)
{
    {
        auto sheet = Sheet(false);
        auto* hide = Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_SHOW);
        EXPECT_EQ(hide->text(), QStringLiteral("Hide"));
        hide->click();
        EXPECT_EQ(hide->text(), QStringLiteral("Show"));
        sheet->reject();
    }
    EXPECT_TRUE(view.GetGraph(0)->IsVisible());
    EXPECT_TRUE(pane->heard.empty());

    auto sheet = Sheet(false);
    Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_SHOW)->click();
    PressOk(*sheet);
    EXPECT_FALSE(view.GetGraph(0)->IsVisible());
    EXPECT_EQ(pane->heard.front(), "9 0 0 0 0");
    // The plot no longer draws the hidden curve.
    view.GetGraphix()->Redraw(false);
    const QImage* surface = view.GetGraphix()->GetSurface().GetSurface();
    EXPECT_EQ(plottest::CountColour(*surface, qRgb(255, 0, 0), surface->rect()), 0);
}

TEST_F(PagesTest, ShowAllAndTheButtonFollowTheSelectedCurve)
{
    view.GetGraph(0)->SetVisible(false);
    view.GetGraph(1)->SetVisible(false);
    auto sheet = Sheet(false);
    auto* combo = Control<CGrPointsCombo>(*sheet, 0, plot::IDC_GRAPH_COMBO);
    auto* show = Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_SHOW);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(show->text(), QStringLiteral("Show"));
    combo->setCurrentIndex(1);
    EXPECT_EQ(Control(*sheet, 0, plot::IDC_GRAPH_NAME)->text(), QStringLiteral("B"));
    Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_SHOW_ALL)->click();
    EXPECT_EQ(show->text(), QStringLiteral("Hide"));
    PressOk(*sheet);
    EXPECT_TRUE(view.GetGraph(0)->IsVisible());
    EXPECT_TRUE(view.GetGraph(1)->IsVisible());
}

TEST_F(PagesTest, TitleAndColourChangeTheCopyThenTheCurve)
{
    auto sheet = Sheet(false);
    auto* combo = Control<CGrPointsCombo>(*sheet, 0, plot::IDC_GRAPH_COMBO);
    combo->setCurrentIndex(1);
    {
        QString before;
        auto answer = plottest::WhenModal<CTitlePrompt>([&before](CTitlePrompt& prompt) {
            QLineEdit* field = prompt.findChild<QLineEdit*>(QStringLiteral("1006"));
            before = field->text();
            field->setText(QStringLiteral("Measured"));
            prompt.accept();
        });
        Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_TITLE)->click();
        EXPECT_EQ(before, QStringLiteral("B"));
    }
    {
        auto answer = plottest::WhenModal<QColorDialog>([](QColorDialog& dialog) {
            dialog.setCurrentColor(QColor(0x12, 0x34, 0x56));
            dialog.accept();
        });
        Control<QPushButton>(*sheet, 0, plot::IDC_GRAPH_COLOUR)->click();
    }
    EXPECT_EQ(Control(*sheet, 0, plot::IDC_GRAPH_NAME)->text(), QStringLiteral("Measured"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Measured"));
    EXPECT_EQ(view.GetGraph(1)->GetName(), "B");
    PressOk(*sheet);
    EXPECT_EQ(view.GetGraph(1)->GetName(), "Measured");
    EXPECT_EQ(view.GetGraph(1)->GetColor(), 0x563412u);
    EXPECT_EQ(view.GetGraph(1)->CreatePen().colour, 0x563412u);
}

TEST_F(PagesTest, WithoutCurvesNothingIsSelectedOrChangeable)
{
    view.RemoveGraph(0, 0);
    view.RemoveGraph(1, 0);
    auto sheet = Sheet(false);
    EXPECT_EQ(Control<CGrPointsCombo>(*sheet, 0, plot::IDC_GRAPH_COMBO)->currentIndex(), -1);
    for (int id : {plot::IDC_GRAPH_TITLE, plot::IDC_GRAPH_COLOUR, plot::IDC_GRAPH_SHOW, plot::IDC_GRAPH_SHOW_ALL})
        EXPECT_FALSE(Control<QPushButton>(*sheet, 0, id)->isEnabled()) << id;
    EXPECT_TRUE(Control(*sheet, 0, plot::IDC_GRAPH_NAME)->text().isEmpty());
    EXPECT_TRUE(PressOk(*sheet).isEmpty());
}

}  // namespace
