// A window shaped like the profile editor that will hold the plot: a tool
// bar with the edit modes, fit and undo, and the plot view with one sound
// velocity profile (velocity, -depth) in m/s and m. For looking at the plot
// until its real user arrives.
//
//   plot_host [--tracker] [--tip] [--shot file.png]
//     --tracker   shows the rectangle tracker
//     --tip       moves the mouse over the plot so that its tooltip shows
//     --shot      saves the window (without tooltips) and quits
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"

#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
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

} // namespace

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
    layout->addWidget(view, 1);

    auto* modes = new QActionGroup(&dialog);
    const Mode buttons[] = {{"Delete", plot::EM_DELETE}, {"Move", plot::EM_PICK}, {"Add", plot::EM_ADD},
                            {"Zoom", plot::EM_ZOOM},     {"Pan", plot::EM_PAN}};
    for (const Mode& b : buttons) {
        QAction* a = tools->addAction(QString::fromLatin1(b.text));
        a->setCheckable(true);
        a->setChecked(b.mode == plot::EM_ZOOM);
        modes->addAction(a);
        QObject::connect(a, &QAction::triggered, view, [view, mode = b.mode] { view->GetGraphix()->SetEditMode(mode); });
    }
    tools->addSeparator();
    QObject::connect(tools->addAction(QStringLiteral("Fit")), &QAction::triggered, view, [view] { view->FitToData(); });
    QObject::connect(tools->addAction(QStringLiteral("Undo")), &QAction::triggered, view, [view] { view->Undo(); });

    view->SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
    view->SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
    view->SetRangeOptions(14, 1);
    const int slot = view->AddGraph(128, true, "Profile", 1);
    const double profile[][2] = {{0, 1510.2},  {5, 1509.8},   {10, 1508.1},  {15, 1503.4},  {20, 1497.0},
                                 {25, 1492.5}, {30, 1490.1},  {40, 1488.6},  {50, 1487.9},  {75, 1486.8},
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
    const int shot = args.indexOf(QStringLiteral("--shot"));
    if (shot >= 0 && shot + 1 < args.size()) {
        QTimer::singleShot(500, &dialog, [&dialog, file = args[shot + 1]] {
            dialog.grab().save(file);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
