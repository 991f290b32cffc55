// A window shaped like the profile editor that will hold the plot: a tool
// bar with the edit modes, fit and undo, and the plot view with one sound
// velocity profile (velocity, -depth) in m/s and m beside its points view.
// For looking at the plot until its real user arrives.
//
//   plot_host [--tracker] [--tip] [--select row] [--menu 132|134|135]
//             [--sheet graph|points] [--page n] [--point-edit]
//             [--title-prompt] [--shot file.png]
//     --tracker       shows the rectangle tracker
//     --tip           moves the mouse over the plot so that its tooltip shows
//     --select        selects a row of the point list
//     --menu          opens the point list's menu (132 with row 1 selected,
//                     134 without a selection) or the plot's (135)
//     --sheet         opens a property sheet at page n (from 0)
//     --point-edit    opens the point dialog, --title-prompt the title prompt
//     --shot          saves the window, or the menu or dialog opened (without
//                     tooltips), and quits
#include "plot/ui/GraphPropertySheet.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PointEdit.h"
#include "plot/ui/PointList.h"
#include "plot/ui/PointsView.h"
#include "plot/ui/TitlePrompt.h"

#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

struct Mode
{
    const char* text;
    int mode;
};

void MoveMouse(QWidget* target, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
}

QString Value(const QStringList& args, const QString& option)
{
    const int at = args.indexOf(option);
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Sound velocity profile"));
    dialog.resize(760, 560);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(35, 0, 0, 50);
    auto* tools = new QToolBar(&dialog);
    layout->addWidget(tools);
    auto* view = new CGraphView(&dialog);
    auto* points = new CPointsView;
    view->SetPointsPane(points, points);
    layout->addWidget(view, 1);

    auto* modes = new QActionGroup(&dialog);
    const Mode buttons[] = {{"Delete", plot::EM_DELETE},
                            {"Move", plot::EM_PICK},
                            {"Add", plot::EM_ADD},
                            {"Zoom", plot::EM_ZOOM},
                            {"Pan", plot::EM_PAN}};
    for (const Mode& b : buttons) {
        QAction* a = tools->addAction(QString::fromLatin1(b.text));
        a->setCheckable(true);
        a->setChecked(b.mode == plot::EM_ZOOM);
        modes->addAction(a);
        QObject::connect(a, &QAction::triggered, view,
                         [view, mode = b.mode] { view->GetGraphix()->SetEditMode(mode); });
    }
    tools->addSeparator();
    QObject::connect(tools->addAction(QStringLiteral("Fit")), &QAction::triggered, view, [view] { view->FitToData(); });
    QObject::connect(tools->addAction(QStringLiteral("Undo")), &QAction::triggered, view, [view] { view->Undo(); });

    view->SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
    view->SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
    view->SetRangeOptions(14, 1);
    const int slot = view->AddGraph(128, true, "Profile", 1);
    const double profile[][2] = {{0, 1510.2},   {5, 1509.8},   {10, 1508.1},  {15, 1503.4},  {20, 1497.0},
                                 {25, 1492.5},  {30, 1490.1},  {40, 1488.6},  {50, 1487.9},  {75, 1486.8},
                                 {100, 1486.0}, {150, 1485.1}, {200, 1484.9}, {250, 1485.3}, {300, 1485.8}};
    for (const auto& p : profile)
        view->AddPoint(slot, p[1], -p[0], 0, 0, -1, 1);
    view->FitToData();
    dialog.show();

    CGraphix* graphix = view->GetGraphix();
    if (args.contains(QStringLiteral("--tracker")))
        graphix->OnCommand(plot::ID_GRAPH_TRACKER);
    if (args.contains(QStringLiteral("--tip"))) {
        QTimer::singleShot(300, graphix, [graphix] {
            for (int i = 0; i < 4; ++i)
                MoveMouse(graphix, QPoint(300 + i, 200));
        });
    }

    const auto select = [points](int row) {
        const unsigned state = CListCtrlEx::LVIS_SELECTED | CListCtrlEx::LVIS_FOCUSED;
        points->GetList()->SetItemState(row, state, state);
    };
    if (const QString row = Value(args, QStringLiteral("--select")); !row.isEmpty())
        select(row.toInt());
    QWidget* subject = &dialog;
    std::unique_ptr<QMenu> menu;
    const QString menuId = Value(args, QStringLiteral("--menu"));
    if (menuId == QStringLiteral("135")) {
        menu = graphix->BuildContextMenu();
    } else if (menuId == QStringLiteral("132") || menuId == QStringLiteral("134")) {
        if (menuId == QStringLiteral("132"))
            select(1);
        menu = points->BuildListMenu();
    }
    if (menu) {
        menu->popup(dialog.mapToGlobal(QPoint(300, 200)));
        subject = menu.get();
    }
    std::unique_ptr<QDialog> opened;
    if (const QString sheet = Value(args, QStringLiteral("--sheet")); !sheet.isEmpty()) {
        auto s = std::make_unique<CGraphPropertySheet>(*view, sheet == QStringLiteral("graph"), &dialog);
        s->GetTabs()->setCurrentIndex(Value(args, QStringLiteral("--page")).toInt());
        opened = std::move(s);
    } else if (args.contains(QStringLiteral("--point-edit"))) {
        opened = std::make_unique<CPointEdit>(12.5, 1500.0, &dialog);
    } else if (args.contains(QStringLiteral("--title-prompt"))) {
        opened = std::make_unique<CTitlePrompt>(QStringLiteral("Profile"), &dialog);
    }
    if (opened) {
        opened->show();
        subject = opened.get();
    }
    if (const QString file = Value(args, QStringLiteral("--shot")); !file.isEmpty()) {
        QTimer::singleShot(500, &dialog, [subject, file] {
            subject->grab().save(file);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
