#include "program/SignalExit.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {

namespace {

// Only what a signal handler may touch.
std::atomic<int> g_writeEnd{-1};
std::atomic<bool> g_closing{false};

extern "C" void OnExitSignal(int signo)
{
    const int saved = errno;
    if (g_closing.exchange(true)) {
        // Asked again while closing: end now, as the signal would have.
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    const int fd = g_writeEnd.load();
    const char byte = static_cast<char>(signo);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

CSignalExit::CSignalExit(std::function<void()> onSignal) : m_onSignal(std::move(onSignal))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_closing = false;
    g_writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
    struct sigaction action = {};
    action.sa_handler = &OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : kSignals)
        ::sigaction(signo, &action, nullptr);
}

CSignalExit::~CSignalExit()
{
    for (int signo : kSignals)
        std::signal(signo, SIG_DFL);
    g_writeEnd = -1;
    m_notifier.reset();
    for (int fd : m_pipe)
        if (fd >= 0)
            ::close(fd);
}

void CSignalExit::OnReadable()
{
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_onSignal) {
        auto onSignal = std::move(m_onSignal);
        m_onSignal = nullptr;
        onSignal();
    }
}

}  // namespace app
