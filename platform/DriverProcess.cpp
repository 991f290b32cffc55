#include "platform/DriverProcess.h"

#include "platform/ServiceControl.h"
#include "platform/Socket.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kDeviceVariable = "ZELVAR_DEVICE_DIR=";

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

DWORD ExecError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case EISDIR:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case EAGAIN:
    case ENOMEM:
        return ERROR_SERVICE_NO_THREAD;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// In the driver's process, between fork and exec: only calls that are safe
// there. Reports a failure as errno on the error pipe.
[[noreturn]] void RunDriver(const char* image, char* const* argv, char* const* envp, int devNull, int readyFd,
                            int errorFd)
{
    if (setsid() >= 0) {
        const pid_t driver = fork();
        if (driver > 0)
            _exit(0);  // the driver is nobody's child now
        if (driver == 0) {
            struct sigaction defaults
            {};
            defaults.sa_handler = SIG_DFL;
            for (int sig = 1; sig < NSIG; ++sig)
                sigaction(sig, &defaults, nullptr);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (dup2(devNull, 0) >= 0 && dup2(readyFd, 1) >= 0 && dup2(devNull, 2) >= 0) {
                // Nothing of the caller's stays open in the driver but the
                // error pipe, which closes itself on exec.
                close_range(3, static_cast<unsigned>(errorFd) - 1, 0);
                close_range(static_cast<unsigned>(errorFd) + 1, ~0u, 0);
                execve(image, argv, envp);
            }
        }
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t n = write(errorFd, &error, sizeof error);
    _exit(127);
}

// Waits for the driver's ready line on fd: 0, or a failure code.
DWORD AwaitReady(int fd, long long deadline, const std::shared_ptr<CStopEvent>& stop)
{
    std::string line;
    const std::string ready = CDriverProcess::kReadyLine;
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            return ERROR_TIMEOUT;
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop ? stop->Fd() : -1, POLLIN, 0}};
        const int n = poll(fds, 2, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ERROR_GEN_FAILURE;
        if (fds[1].revents != 0)
            return ERROR_OPERATION_ABORTED;
        if (fds[0].revents == 0)
            continue;
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return ERROR_GEN_FAILURE;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                if (line == ready)
                    return 0;
                line.clear();
            } else if (line.size() <= ready.size()) {
                line += buffer[i];  // a longer line is not the ready line, whatever follows
            }
        }
    }
}

}  // namespace

DWORD CDriverProcess::Launch(const std::string& image, const std::vector<std::string>& args,
                             const std::string& deviceFolder, int timeoutMs, const std::shared_ptr<CStopEvent>& stop)
{
    // Everything the child needs is made before the fork.
    std::vector<std::string> words;
    words.push_back(image);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string deviceEntry = std::string(kDeviceVariable) + deviceFolder;
    std::vector<char*> envp;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::strncmp(*e, kDeviceVariable, std::strlen(kDeviceVariable)) != 0)
            envp.push_back(*e);
    }
    envp.push_back(deviceEntry.data());
    envp.push_back(nullptr);

    int readyPipe[2];
    int errorPipe[2];
    if (pipe2(readyPipe, O_CLOEXEC) != 0)
        return ERROR_SERVICE_NO_THREAD;
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        close(readyPipe[0]);
        close(readyPipe[1]);
        return ERROR_SERVICE_NO_THREAD;
    }
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = devNull >= 0 ? fork() : -1;
    if (child == 0)
        RunDriver(image.c_str(), argv.data(), envp.data(), devNull, readyPipe[1], errorPipe[1]);
    const int forkError = errno;
    if (devNull >= 0)
        close(devNull);
    close(readyPipe[1]);
    close(errorPipe[1]);
    DWORD result = 0;
    if (child < 0) {
        result = ExecError(forkError);
    } else {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        // The error pipe closes on exec, or carries why there was none.
        int error = 0;
        ssize_t got;
        while ((got = read(errorPipe[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        if (got == sizeof error)
            result = ExecError(error);
        else
            result = AwaitReady(readyPipe[0], NowMs() + (timeoutMs < 0 ? 0 : timeoutMs), stop);
    }
    close(readyPipe[0]);
    close(errorPipe[0]);
    return result;
}
