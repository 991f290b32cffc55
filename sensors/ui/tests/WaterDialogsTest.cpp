// The water model's dialogs: the environment dialog's controls by id, its
// live values and its file choice; the profile editor's opening, tool bar
// and storing.
#include "sensors/ui/EnvironmentDialog.h"
#include "sensors/ui/SvpGraph.h"

#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/TempHives.h"
#include "plot/GraphProp.h"
#include "plot/PlotIds.h"
#include "plot/ui/GraphSplitter.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/PointList.h"
#include "plot/ui/PointsView.h"
#include "testsupport/ui/QtTestApp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using zv::test::ControlById;
using zv::test::QtTestApp;

// Saves a picture of the dialog under /tmp for a person to look at.
bool Screenshot(QWidget& widget, const std::string& name)
{
    return widget.grab().save(QDir::temp().filePath(QString::fromStdString("zv-water-" + name + ".png")));
}

class WaterDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtTestApp();
        ClearMessageBoxRecord();
        char pattern[] = "/tmp/waterdialogsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
        ::setenv("ZELVAR_DATA_ROOT", (dir + "data").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("ZELVAR_DATA_ROOT");
        fs::remove_all(dir);
    }
    void WriteAsvp(const std::string& path, const std::string& rows)
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 0 )\r\n" << rows;
    }

    std::string dir;
};

// Every control is there by its id; each velocity type opens only its own
// controls; fresh water closes the salinity; the computed velocity follows
// what the dialog shows.
TEST_F(WaterDialogsTest, EnvironmentControlsAndComputedVelocity)
{
    SEnvironmentDialogValues values;
    values.svpType = CEnvironment::SvpTypeConstant;
    values.sensorAvailable = FALSE;
    CEnvironmentDialog::Live live;
    double probe = 1502.25;
    std::optional<double> sensor;
    live.probeVelocity = [&] { return probe; };
    live.sensorTemperature = [&] { return sensor; };
    CEnvironmentDialog dialog(values, live);
    for (int id : {1137, 1274, 1055, 1142, 1496, 1497, 1056, 1144, 1498, 1329, 1494, 1538, 1330, 1273, 1141, 1495, 1499,
                   1328, 1352})
        EXPECT_NE(dialog.findChild<QWidget*>(QString::number(id)), nullptr) << id;

    auto* fileButton = ControlById<QPushButton>(dialog, 1328);
    EXPECT_EQ(fileButton->text(), "NONE");
    EXPECT_TRUE(ControlById<QLineEdit>(dialog, 1273)->isEnabled());
    EXPECT_FALSE(fileButton->isEnabled());
    EXPECT_FALSE(ControlById<QPushButton>(dialog, 1352)->isEnabled()) << "no editor given";
    EXPECT_FALSE(ControlById<QRadioButton>(dialog, 1497)->isEnabled()) << "no sensor";
    ControlById<QRadioButton>(dialog, 1330)->setChecked(true);
    EXPECT_FALSE(ControlById<QLineEdit>(dialog, 1273)->isEnabled());
    EXPECT_TRUE(fileButton->isEnabled());

    // 10 degrees C, salinity 35: 1489.77 m/s; fresh water uses salinity 0.
    ControlById<QLineEdit>(dialog, 1056)->setText("10");
    EXPECT_EQ(ControlById<QLabel>(dialog, 1495)->text(), "1489.8");
    ControlById<QRadioButton>(dialog, 1137)->setChecked(true);
    EXPECT_FALSE(ControlById<QLineEdit>(dialog, 1055)->isEnabled());
    EXPECT_EQ(ControlById<QLabel>(dialog, 1495)->text(), QString::number(CEnvironment::ComputeVelocity(10, 0), 'f', 1));
    ControlById<QLineEdit>(dialog, 1056)->setText("41");  // beyond 40: not taken
    EXPECT_EQ(ControlById<QLabel>(dialog, 1495)->text(), QString::number(CEnvironment::ComputeVelocity(10, 0), 'f', 1));
    ControlById<QLineEdit>(dialog, 1056)->setText("10");

    // The timer's step: the probe, and a sensor reading once there is one.
    sensor = 31.0;  // above 30: not shown
    dialog.Refresh();
    EXPECT_EQ(ControlById<QLabel>(dialog, 1499)->text(), "1502.2");
    EXPECT_FALSE(ControlById<QRadioButton>(dialog, 1497)->isEnabled());
    sensor = 4.5;
    dialog.Refresh();
    EXPECT_EQ(ControlById<QLabel>(dialog, 1498)->text(), "4.5");
    ControlById<QRadioButton>(dialog, 1497)->setChecked(true);
    EXPECT_FALSE(ControlById<QLineEdit>(dialog, 1056)->isEnabled());
    EXPECT_EQ(ControlById<QLabel>(dialog, 1495)->text(),
              QString::number(CEnvironment::ComputeVelocity(4.5, 0), 'f', 1));

    ControlById<QRadioButton>(dialog, 1274)->setChecked(true);
    EXPECT_TRUE(Screenshot(dialog, "environment-dialog"));
    ControlById<QRadioButton>(dialog, 1137)->setChecked(true);
    dialog.accept();
    EXPECT_EQ(values.waterType, 0u);
    EXPECT_EQ(values.temperatureType, 1u);
    EXPECT_EQ(values.svpType, CEnvironment::SvpTypeProfile);
    EXPECT_DOUBLE_EQ(values.temperatureConstant, 10.0);
}

// A value outside its range keeps the dialog open and the values as given.
TEST_F(WaterDialogsTest, EnvironmentRefusesValuesOutOfRange)
{
    SEnvironmentDialogValues values;
    CEnvironmentDialog dialog(values, {});
    ControlById<QLineEdit>(dialog, 1273)->setText("0");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(values.constantVelocity, 1500.0);
    ASSERT_FALSE(MessageBoxRecord().empty());
    EXPECT_EQ(MessageBoxRecord().back().text, "Please enter a number between 1400.0 and 2000.0.");
}

// The file choice: name, folder and extension, the format by the extension
// (with case), the button's text.
TEST_F(WaterDialogsTest, EnvironmentFileChoiceAndFormat)
{
    struct Case
    {
        const char* file;
        DWORD format;
    } cases[] = {{"a.cal", 0}, {"a.calc", 0}, {"a.ksi", 1}, {"a.asvp", 4}, {"a.CALC", 4}, {"a", 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        SEnvironmentDialogValues values;
        values.svpType = CEnvironment::SvpTypeProfile;
        CEnvironmentDialog::Live live;
        live.chooseFile = [&](const std::string&) { return dir + c.file; };
        CEnvironmentDialog dialog(values, live);
        ControlById<QPushButton>(dialog, 1328)->click();
        EXPECT_EQ(ControlById<QPushButton>(dialog, 1328)->text().toStdString(), c.file);
        dialog.accept();
        EXPECT_EQ(values.format, c.format);
        EXPECT_EQ(values.fileName, c.file);
        EXPECT_EQ(values.folder, dir);
    }
}

// "Edit..." opens the editor on what the type says; a stored profile
// becomes the dialog's file.
TEST_F(WaterDialogsTest, EnvironmentEditOpensTheEditorByType)
{
    SEnvironmentDialogValues values;
    values.constantVelocity = 1490.0;
    CEnvironmentDialog::Live live;
    std::vector<SSvpEditRequest> requests;
    live.editProfile = [&](SSvpEditRequest& r) {
        requests.push_back(r);
        r.fileName = "edited.asvp";
        r.folder = dir;
        r.stored = true;
    };
    CEnvironmentDialog dialog(values, live);
    ControlById<QPushButton>(dialog, 1352)->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, 0);
    EXPECT_EQ(requests[0].curveName, "Constant");
    EXPECT_DOUBLE_EQ(requests[0].velocity, 1490.0);
    EXPECT_EQ(ControlById<QPushButton>(dialog, 1328)->text(), "edited.asvp");
    ControlById<QRadioButton>(dialog, 1494)->click();
    ControlById<QPushButton>(dialog, 1352)->click();
    EXPECT_EQ(requests.back().curveName, "ComputedConst");
    ControlById<QRadioButton>(dialog, 1330)->click();
    ControlById<QPushButton>(dialog, 1352)->click();
    EXPECT_EQ(requests.back().kind, 1);
    EXPECT_EQ(requests.back().fileName, "edited.asvp");
    ControlById<QRadioButton>(dialog, 1538)->click();
    EXPECT_FALSE(ControlById<QPushButton>(dialog, 1352)->isEnabled()) << "the probe's velocity has no profile";
    dialog.accept();
    EXPECT_EQ(values.fileName, "edited.asvp");
    EXPECT_EQ(values.extension, "asvp");
    EXPECT_EQ(values.format, 4u);
}

// On a constant velocity: seven points from 0 to 300 m at the velocity,
// across 1470 to 1510; OK stores the curve, a point dragged above the
// surface as a negative depth.
TEST_F(WaterDialogsTest, EditorOnAConstantVelocity)
{
    SSvpEditRequest request;
    request.velocity = 1490.0;
    request.curveName = "Constant";
    CSvpGraph graph(request, SounderModel::QY210);
    CGraphProp* curve = graph.View().GetGraph(0);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->GetCount(), 7);
    for (int i = 0; i < 7; ++i) {
        double x = 0, y = 0;
        curve->GetPoint(i, x, y);
        EXPECT_DOUBLE_EQ(x, 1490.0);
        EXPECT_DOUBLE_EQ(y, -50.0 * i);
    }
    const CPlotRanges ranges = graph.View().GetAxisRanges();
    EXPECT_DOUBLE_EQ(ranges.x1, 1470.0);
    EXPECT_DOUBLE_EQ(ranges.x2, 1510.0);

    // The mode commands check their own button only.
    graph.RunCommand(CSvpGraph::IdAddMode);
    EXPECT_TRUE(graph.Action(CSvpGraph::IdAddMode)->isChecked());
    EXPECT_FALSE(graph.Action(CSvpGraph::IdPickMode)->isChecked());
    for (int id : {CSvpGraph::IdDeleteMode, CSvpGraph::IdZoomMode, CSvpGraph::IdPanMode, CSvpGraph::IdPickMode}) {
        graph.RunCommand(id);
        for (int other : {CSvpGraph::IdDeleteMode, CSvpGraph::IdPickMode, CSvpGraph::IdAddMode, CSvpGraph::IdZoomMode,
                          CSvpGraph::IdPanMode})
            EXPECT_EQ(graph.Action(other)->isChecked(), other == id) << id << " " << other;
    }

    // Beside the plot, the splitter's points view lists the curve as depth
    // and velocity, and a point added there is the curve's and the file's.
    graph.resize(800, 560);
    graph.show();
    auto* points = dynamic_cast<CPointsView*>(graph.View().GetSplitter()->widget(1));
    ASSERT_NE(points, nullptr);
    EXPECT_TRUE(points->isVisible());
    EXPECT_GT(points->width(), 0);
    CPointList& list = *points->GetList();
    const auto row = [&](int i) { return (list.GetItemText(i, 0) + "|" + list.GetItemText(i, 1)).toStdString(); };
    ASSERT_EQ(list.GetItemCount(), 7);
    EXPECT_EQ(row(0), "0.0 m|1490.0 m/s");
    EXPECT_EQ(row(6), "300.0 m|1490.0 m/s");
    EXPECT_TRUE(Screenshot(graph, "svp-editor"));
    QTimer operator_;
    operator_.setInterval(10);
    QObject::connect(&operator_, &QTimer::timeout, [&] {
        auto* edit = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
        if (!edit)
            return;
        operator_.stop();
        edit->findChild<QLineEdit*>("1007")->setText("325");
        edit->findChild<QLineEdit*>("1008")->setText("1488.5");
        edit->accept();
    });
    operator_.start();
    EXPECT_TRUE(points->OnCommand(plot::ID_POINT_INSERT_AFTER));
    ASSERT_EQ(list.GetItemCount(), 8);
    EXPECT_EQ(row(7), "325.0 m|1488.5 m/s");
    ASSERT_EQ(curve->GetCount(), 8);

    // Undo takes the last change back.
    graph.View().MovePoint(0, 0, 1480.0, -1.0, 0, 0, 1);
    graph.RunCommand(CSvpGraph::IdUndo);
    EXPECT_EQ(row(0), "0.0 m|1490.0 m/s");
    graph.View().MovePoint(0, 0, 1491.0, 5.0, 0, 0, 1);
    EXPECT_EQ(row(0), "-5.0 m|1491.0 m/s");
    graph.accept();
    ASSERT_TRUE(request.stored);
    EXPECT_EQ(request.fileName, "Constant.asvp");
    std::ifstream in(request.folder + request.fileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "-5.0 1491.0\r");
    EXPECT_EQ(lines[8], "325.0 1488.5\r");
}

// A file that cannot be read falls back to "1500.asvp" in the model's
// profile folder; a file of another format is kept and its points written
// beside it as ".asvp".
TEST_F(WaterDialogsTest, EditorOnFiles)
{
    const std::string folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(SounderModel::QY310));
    WriteAsvp(CPaths::WithTrailingSeparator(folder) + "1500.asvp", "0.0 1500.0\r\n100.0 1500.0\r\n");
    SSvpEditRequest request;
    request.kind = 1;
    request.fileName = "missing.asvp";
    request.folder = dir;
    {
        CSvpGraph graph(request, SounderModel::QY310);
        EXPECT_EQ(graph.View().GetGraph(0)->GetCount(), 2);
        EXPECT_EQ(request.fileName, "1500.asvp");
        EXPECT_FALSE(MessageBoxRecord().empty());
    }

    std::ofstream(dir + "cast.calc")
        << "CALC\r\nTIME:08:15\r\nDEPTH VELOCITY (M/S)\r\n1.0 1490.0\r\n2.0 1491.0\r\n0 0 0\r\n";
    request = {};
    request.kind = 1;
    request.fileName = "cast.calc";
    request.folder = dir;
    request.format = CSvpProfile::FormatCalc;
    CSvpGraph graph(request, SounderModel::QY310);
    EXPECT_EQ(request.fileName, "cast.calc.asvp");
    EXPECT_TRUE(fs::exists(dir + "cast.calc"));
    CSvpProfile written;
    EXPECT_EQ(written.ParseDatagram(dir + "cast.calc.asvp", CSvpProfile::FormatAsvp), 2);
}

}  // namespace
