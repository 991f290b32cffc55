#include "testsupport/ui/QtWait.h"

#include <QCoreApplication>
#include <QTimer>

namespace zv::test {

bool QtWaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    if (!QCoreApplication::instance())
        return WaitUntil(condition, timeout);  // no loop to run yet
    // The loop waits for its next event; this one comes often enough to
    // check a condition that changes without telling the loop.
    QTimer tick;
    tick.start(std::chrono::milliseconds(2));
    return WaitUntil(condition, timeout,
                     [] { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); });
}

}  // namespace zv::test
