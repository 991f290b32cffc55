// The end of a session, `kill` or a service stop (SIGTERM, SIGHUP, SIGINT)
// closes the program as its exit command does: the signal is written into a
// pipe, and the user-interface thread, woken by it, runs the callback (which
// posts the exit message). A second signal while the program is closing ends
// it at once, as the signal's default does.
#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace app {

class CSignalExit
{
public:
    // Takes over the three signals for as long as it lives; only one may
    // live at a time. onSignal runs on the constructing thread, once.
    explicit CSignalExit(std::function<void()> onSignal);
    ~CSignalExit();
    CSignalExit(const CSignalExit&) = delete;
    CSignalExit& operator=(const CSignalExit&) = delete;

    // The signals closed by the exit command.
    static constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace app
