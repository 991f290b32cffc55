#include "testsupport/Wait.h"

#include <thread>

namespace zv::test {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return WaitUntil(condition, timeout, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& idle)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        idle();
    }
    return true;
}

}  // namespace zv::test
