// The wait on a condition of testsupport/Wait.h for tests with a Qt
// application: the event loop runs meanwhile, and with it the message
// dispatcher that the program's windows are fed by.
#pragma once

#include "testsupport/Wait.h"

namespace zv::test {

// Runs the calling thread's Qt event loop until condition holds or timeout
// has passed; answers whether it held. The loop sleeps while it has nothing
// to do, and a condition that another thread makes true is seen within a
// few milliseconds. Before the application is made it waits as WaitUntil.
bool QtWaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kWaitTimeout);

}  // namespace zv::test
