// The application object of the benchmarks that draw widgets: offscreen, so
// they run without a display, and never destroyed, as Qt's statics outlive
// the benchmarks.
#pragma once

#include <QApplication>

inline QApplication& OffscreenApp()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
