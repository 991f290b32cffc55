// The running program and a second start: the file of the second start
// reaches the first as the open command; the exit message from outside ends
// the program without powering the PC off.
#include "app/ui/SingleInstance.h"
#include "QtTestSupport.h"
#include "app/DdeCommand.h"
#include "app/tests/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <unistd.h>

using namespace app;
using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class SingleInstance : public ::testing::Test
{
protected:
    SingleInstance() : socketName(QString("zv-test-%1-%2").arg(getpid()).arg(++counter)) { QtApp(); }
    QProcessEnvironment Environment() const
    {
        auto e = QProcessEnvironment::systemEnvironment();
        e.insert("ZELVAR_INSTANCE_SOCKET", socketName);
        e.insert("QT_QPA_PLATFORM", "offscreen");
        return e;
    }
    static QString Program(const char* model) { return QString(ZELVAR_PROGRAM_DIR) + "/" + model; }

    ShellEnvironment env;
    QString socketName;
    static inline int counter = 0;
};

TEST_F(SingleInstance, SecondStartHandsItsFileToTheRunningProgram)
{
    CSingleInstance running;
    std::vector<std::string> lines;
    running.onLine = [&](const std::string& line) { lines.push_back(line); };
    ASSERT_TRUE(running.Listen(socketName));

    const fs::path raw = env.Root() / "survey 1.raw";
    QProcess second;
    second.setProcessEnvironment(Environment());
    second.start(Program("QY310"), {QString::fromStdString(raw.string())});
    ASSERT_TRUE(WaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(WaitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], MakeDdeOpenCommand(raw.string()));
    EXPECT_EQ(ParseDdeOpenCommand(lines[0]), raw.string());
}

TEST_F(SingleInstance, ExitMessageEndsTheProgramWithoutPoweringOff)
{
    const fs::path marker = env.Root() / "powered-off";
    auto e = Environment();
    e.insert("zelvarqy310shutdown", "1");
    e.insert("ZELVAR_POWEROFF_COMMAND", QString::fromStdString("touch " + marker.string()));
    QProcess program;
    program.setProcessEnvironment(e);
    program.start(Program("QY310"));
    ASSERT_TRUE(program.waitForStarted(10000));
    // Wait until it listens: a connection succeeds.
    ASSERT_TRUE(WaitFor(
        [&] {
            QLocalSocket probe;
            probe.connectToServer(socketName);
            return probe.waitForConnected(100);
        },
        20000));
    ASSERT_TRUE(CSingleInstance::SendToRunning(socketName, kExitMessageName));
    ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000))
        << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(SingleInstance, OverlongLineFromAPeerIsDropped)
{
    CSingleInstance running;
    std::vector<std::string> lines;
    running.onLine = [&](const std::string& line) { lines.push_back(line); };
    ASSERT_TRUE(running.Listen(socketName));
    QLocalSocket peer;
    peer.connectToServer(socketName);
    ASSERT_TRUE(peer.waitForConnected(2000));
    peer.write(QByteArray(200 * 1024, 'x'));
    peer.flush();
    ASSERT_TRUE(WaitFor([&] { return peer.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_TRUE(lines.empty());
}

}  // namespace
