// Trovadel run as a program from a script, as on a survey computer: what
// reaches the caller is its exit status and its messages.
#include "tools/converter/tests/ConverterTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct SRun
{
    bool exited = false;
    int status = -1;  // the exit status, or the signal that ended it
    std::string errors;
};

// Runs the command (words[0] found on the path), with the file-size limit
// given, its error stream in a file of the folder.
SRun RunCommand(const TempFolder& folder, const std::vector<std::string>& words, rlim_t limit = RLIM_INFINITY)
{
    const std::string errors = folder.File("errors.txt");
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit lim{limit, limit};
        // As a shell starts it: the signal of the limit at its default.
        ::signal(SIGXFSZ, SIG_DFL);
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0 || ::setrlimit(RLIMIT_FSIZE, &lim) != 0)
            ::_exit(100);
        ::execvp(argv[0], argv.data());
        ::_exit(101);
    }
    SRun run;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return run;
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    const auto bytes = converter_test::ReadBytes(errors);
    run.errors.assign(bytes.begin(), bytes.end());
    return run;
}

}  // namespace

// A file-size limit (ulimit -f) stops the output part-way: the run reports
// it for the file and fails, and leaves neither an output nor its part
// behind, instead of being killed with no word and a stray file.
TEST(TrovadelProgram, AFileSizeLimitIsAFailedFileNotAKill)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string input = folder.File("survey.out");
    converter_test::WriteOutFile(input, {"pings=200"});

    const SRun run = RunCommand(folder, {TROVADEL_PATH, input}, 8192);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.status;
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(input + ": cannot write " + folder.File("survey.QY")), std::string::npos) << run.errors;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(input).parent_path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    EXPECT_FALSE(std::filesystem::exists(folder.File("survey.QY")));
}

// An output the user may not write, such as one made read-only to keep it,
// stays as it is: the file is reported as not converted, as when it could
// not be opened for writing.
TEST(TrovadelProgram, AnOutputTheUserMayNotWriteIsKept)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string input = folder.File("survey.out");
    const std::string output = folder.File("survey.QY");
    converter_test::WriteOutFile(input, {"pings=3"});
    converter_test::WriteBytes(output, {'k', 'e', 'p', 't'});
    ASSERT_EQ(::chmod(output.c_str(), 0444), 0);
    // The folder itself may be written by anyone, so only the file keeps it.
    ASSERT_EQ(::chmod(std::filesystem::path(input).parent_path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(input.c_str(), 0644), 0);

    // The superuser may write any file: the run drops to an ordinary user.
    std::vector<std::string> words;
    if (::geteuid() == 0)
        words = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    words.insert(words.end(), {TROVADEL_PATH, input});
    const SRun run = RunCommand(folder, words);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.status;
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(input + ": cannot create " + output + ": Permission denied"), std::string::npos)
        << run.errors;
    EXPECT_EQ(converter_test::ReadBytes(output), (std::vector<std::uint8_t>{'k', 'e', 'p', 't'}));
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(input).parent_path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}
