// Waiting in tests for something another thread, a loop or a process makes
// happen: a condition checked again and again until it holds or a time-out
// has passed, never a fixed pause that hopes the work is done by then.
#pragma once

#include <chrono>
#include <functional>

namespace zv::test {

// Long enough for a loaded machine running the whole suite at once.
inline constexpr std::chrono::milliseconds kWaitTimeout{20000};

// Checks condition until it holds or timeout has passed, with a short pause
// between two checks; answers whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kWaitTimeout);

// The same wait with idle() run between two checks instead of the pause:
// it lets time pass, and may do the work the condition waits for (deliver
// queued messages, run an event loop). It should return within a few
// milliseconds so that the time-out is kept.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& idle);

}  // namespace zv::test
