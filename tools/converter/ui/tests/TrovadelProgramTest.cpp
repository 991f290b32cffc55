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

namespace {

struct SRun {
    bool exited = false;
    int status = -1;  // the exit status, or the signal that ended it
    std::string errors;
};

// Runs Trovadel on the file with the file-size limit given, its error
// stream in a file of the folder.
SRun RunWithFileSizeLimit(const TempFolder& folder, const std::string& input, rlim_t limit)
{
    const std::string errors = folder.File("errors.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit lim{limit, limit};
        // As a shell starts it: the signal of the limit at its default.
        ::signal(SIGXFSZ, SIG_DFL);
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0 || ::setrlimit(RLIMIT_FSIZE, &lim) != 0)
            ::_exit(100);
        ::execl(TROVADEL_PATH, "Trovadel", input.c_str(), static_cast<char*>(nullptr));
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

    const SRun run = RunWithFileSizeLimit(folder, input, 8192);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.status;
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(input + ": cannot write " + folder.File("survey.QY")), std::string::npos)
        << run.errors;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(input).parent_path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    EXPECT_FALSE(std::filesystem::exists(folder.File("survey.QY")));
}
