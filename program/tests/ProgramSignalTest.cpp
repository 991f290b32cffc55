// The program as the system runs it: its own process, ended by a signal as a
// session end, `kill` or a service stop ends it. Inside a network namespace
// of the test's own, so that the ports it opens meet nothing but the test.
#include "app/tests/ShellTestSupport.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::uint16_t kInputPort = 10183;

// The running program in a child process.
class RunningProgram
{
public:
    RunningProgram(const fs::path& root, const char* model) : m_socket(root / "instance")
    {
        m_pid = fork();
        if (m_pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("ZELVAR_INSTANCE_SOCKET", m_socket.c_str(), 1);
            const std::string path = std::string(ZELVAR_PROGRAM_DIR) + "/" + model;
            execl(path.c_str(), model, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~RunningProgram()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // Up: it listens for a second start's hand-over, the last step of its
    // start-up.
    bool WaitUntilUp() const
    {
        return zv::test::WaitUntil([&] { return fs::exists(m_socket) || Exited(); }) && !m_exited;
    }
    bool Exited() const
    {
        if (!m_exited && waitpid(m_pid, &m_status, WNOHANG) == m_pid)
            m_exited = true;
        return m_exited;
    }
    bool WaitForExit() const
    {
        return zv::test::WaitUntil([&] { return Exited(); }, 60s);
    }
    pid_t Pid() const { return m_pid; }
    int Status() const { return m_status; }

private:
    fs::path m_socket;
    pid_t m_pid = -1;
    mutable bool m_exited = false;
    mutable int m_status = 0;
};

bool FileBelow(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->path().filename() == name)
            return true;
    return false;
}

}  // namespace

TEST(ProgramSignal, TermHupAndIntCloseTheProgramAsExitDoes)
{
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        shelltest::ShellEnvironment env;
        nettest::RunNamespaceTest([&] {
            nettest::Checks check;
            RunningProgram program(env.Root(), "QY310");
            if (!check(program.WaitUntilUp(), "the program started"))
                return check.failures;
            // What the close writes is not there before it.
            check(!FileBelow(env.Root(), "OperationControl.sav"), "no operation settings saved before the close");
            kill(program.Pid(), signo);
            check(program.WaitForExit(), "the program ended");
            check(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0,
                  "exit code 0 after signal " + std::to_string(signo) + " (status " + std::to_string(program.Status()) +
                      ")");
            check(FileBelow(env.Root(), "OperationControl.sav"), "the operation settings were saved");
            return check.failures;
        });
    }
}
