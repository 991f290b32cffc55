// Runs a piece of a test inside a network namespace of its own, where only
// the loopback interface exists, so that broadcasts and privileged ports
// never reach a real network. The body runs in a forked child (single
// threaded, as unshare of a user namespace requires) and returns 0 on
// success; anything else, a crash included, is a failure.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nettest {

enum class NamespaceResult { Passed, Failed, Unavailable };

// Failures inside the namespace child cannot reach GoogleTest: they are
// printed and turn into the child's exit code (the failure count).
struct Checks
{
    int failures = 0;
    bool operator()(bool ok, const std::string& what)
    {
        if (!ok) {
            std::fprintf(stderr, "FAILED: %s\n", what.c_str());
            ++failures;
        }
        return ok;
    }
};

inline bool BringLoopbackUp()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return ok;
}

// Exit code 77 from the child means the namespace could not be made.
inline NamespaceResult RunInNetworkNamespace(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return NamespaceResult::Unavailable;
    if (child == 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0 && unshare(CLONE_NEWNET) != 0)
            _exit(77);
        if (!BringLoopbackUp())
            _exit(77);
        const int code = body();
        std::fflush(nullptr);
        _exit(code == 77 ? 1 : code);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return NamespaceResult::Unavailable;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? NamespaceResult::Passed : NamespaceResult::Failed;
}

// A test whose body runs in a namespace of its own: it fails when the body
// does, and is skipped where this machine cannot make a namespace.
inline void RunNamespaceTest(const std::function<int()>& body)
{
    const auto result = RunInNetworkNamespace(body);
    if (result == NamespaceResult::Unavailable)
        GTEST_SKIP() << "no network namespace here";
    EXPECT_EQ(result, NamespaceResult::Passed);
}

}  // namespace nettest
