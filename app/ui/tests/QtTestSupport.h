// A QApplication for GoogleTest tests, and waiting on conditions while the
// Qt loop (and with it the message dispatcher) runs.
#pragma once

#include "testsupport/ui/QtTestApp.h"
#include "testsupport/ui/QtWait.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace shelltest {

inline QApplication& QtApp()
{
    return zv::test::QtTestApp();
}

// Runs the event loop until pred() holds or timeoutMs has passed.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000)
{
    return zv::test::QtWaitUntil(pred, std::chrono::milliseconds(timeoutMs));
}

// While it lives, every message box the program shows is answered with its
// default button as soon as it is up, so a box never holds a test; what the
// boxes said is in the message-box record. It makes the application first:
// a timer started before it never runs.
class AnswerMessageBoxes
{
public:
    AnswerMessageBoxes()
    {
        QtApp();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    if (QPushButton* button = box->defaultButton())
                        button->click();
                    else
                        box->reject();
                }
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

// A dialog's control by its numeric id; a missing one fails the test.
template <typename W>
W* Control(QWidget& dialog, int id)
{
    return zv::test::ControlById<W>(dialog, id);
}

// Saves a picture of the widget under /tmp for a person to look at.
inline bool Screenshot(QWidget& widget, const std::string& name)
{
    return widget.grab().save(QDir::temp().filePath(QString::fromStdString("zv-shell-" + name + ".png")));
}

}  // namespace shelltest
