#include "platform/ChildProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

int CChildProcess::Run(const std::vector<std::string>& argv, bool quiet)
{
    if (argv.empty() || argv[0].empty())
        return kNotStarted;
    std::vector<std::string> words = argv;
    std::vector<char*> pointers;
    for (std::string& w : words)
        pointers.push_back(w.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return kNotStarted;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return kNotStarted;
    return WIFEXITED(status) ? WEXITSTATUS(status) : kNotStarted;
}
