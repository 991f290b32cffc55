// The QApplication that the widget tests of every layer share, and a
// dialog's controls found by their numeric id or by their object name.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

namespace zv::test {

inline QApplication& QtTestApp()
{
    static int argc = 1;
    static char name[] = "zelvar-widget-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: statics of Qt and of the program outlive the tests.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A missing control fails the test and comes back null.
template <typename W>
W* ControlById(QWidget& dialog, int id)
{
    W* w = dialog.findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
}

template <typename W>
W* ControlByName(QWidget& dialog, const char* name)
{
    W* w = dialog.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << "control " << name;
    return w;
}

}  // namespace zv::test
