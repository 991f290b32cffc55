// The simulated probe's dialogue and the profile texts against the
// program's own readers: the probe's lines as the program's probe parses
// them, its poll and cast commands as the program sends them, the profile
// texts through the network input port on loopback, cut as a sender cuts
// them; and the simulator program answering on a pseudo-terminal.
#include "sim/sensors/ProbeSimulator.h"
#include "sim/sensors/ProfileTexts.h"

#include "outputs/QYNetPort.h"
#include "sensors/SvpProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace zv::sim;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// A poll answers the depth the probe is at; bare carriage returns (the
// twelve the program sends after a reading) and unknown commands answer
// nothing; "M" lowers the probe a step a round to the cast's depth and
// hauls it back to rest.
TEST(ProbeSimulator, AnswersPollsAndLowersItsCast)
{
    SProbeScene scene;
    scene.surfaceVelocity = 1480.0;
    scene.gradient = 0.4;
    scene.castDepth = 2.0;
    scene.step = 0.75;
    CProbeSimulator probe(scene);

    EXPECT_EQ(probe.Round(), "") << "at rest it sends nothing of its own";
    EXPECT_EQ(probe.Receive(std::string(12, '\r')), "");
    EXPECT_EQ(probe.Receive("\rX\rSS\r"), "");
    // The program's poll arrives in pieces: "\r", then "S", then "\r".
    EXPECT_EQ(probe.Receive("\r"), "");
    EXPECT_EQ(probe.Receive("S"), "");
    auto reading = CSvpProbe::ParseLine(probe.Receive("\r"));
    ASSERT_TRUE(reading);
    EXPECT_DOUBLE_EQ(reading->depth, 0.0);
    EXPECT_DOUBLE_EQ(reading->velocity, 1480.0);

    EXPECT_EQ(probe.Receive("\rM\r"), "");
    EXPECT_TRUE(probe.IsCasting());
    const double expected[] = {0.0, 0.75, 1.5, 2.0};
    for (const double depth : expected) {
        SCOPED_TRACE(depth);
        reading = CSvpProbe::ParseLine(probe.Round());
        ASSERT_TRUE(reading);
        EXPECT_NEAR(reading->depth, depth, 1e-3);
        EXPECT_NEAR(reading->velocity, 1480.0 + 0.4 * depth, 0.005);
    }
    EXPECT_FALSE(probe.IsCasting()) << "hauled at the cast's depth";
    EXPECT_EQ(probe.Round(), "");
    reading = CSvpProbe::ParseLine(probe.Receive("\rS\r\rS\r").substr(0, 40));
    ASSERT_TRUE(reading);
    EXPECT_DOUBLE_EQ(reading->depth, 0.0) << "back at the surface";
    EXPECT_EQ(Lines(probe.Receive("\rS\r\rS\r")).size(), 2u) << "every poll answered";
}

// Each kind of profile text, cut into datagrams as a sender cuts it, is
// taken once by the network input when its last part arrives, with every
// point of the water it was written from.
TEST(ProfileTexts, EachKindIsTakenOnceByTheNetworkInput)
{
    SProbeScene water;
    water.surfaceVelocity = 1485.0;
    water.gradient = 0.2;
    water.castDepth = 40.0;
    const auto points = ProfilePoints(water, 5.0);
    ASSERT_EQ(points.size(), 9u);
    EXPECT_EQ(points.back(), std::make_pair(40.0, 1493.0));

    std::vector<CSvpProfile> stored;
    std::vector<std::string> decoded;
    CQYNetPort port;
    CQYNetPort::Links links;
    links.isReplaying = [] { return false; };
    links.parseNmea = [&](const std::string& text, std::uint64_t) { decoded.push_back(text); };
    links.storeProfile = [&](const CSvpProfile& profile) {
        stored.push_back(profile);
        return true;
    };
    port.SetLinks(links);
    ASSERT_TRUE(port.Create(0, SocketAddress::kLoopback));

    // Kinds and the datagrams they go in when asked for four.
    const std::pair<const char*, std::size_t> kinds[] = {
        {"S10", 4}, {"CALC", 4}, {"SvPlus", 1}, {"PROFILE_HEADER", 1}, {"SV", 1}};
    ASSERT_EQ(std::size(kinds), ProfileKinds().size());
    for (const auto& [kind, count] : kinds) {
        SCOPED_TRACE(kind);
        stored.clear();
        const auto text = EncodeProfileText(kind, points);
        ASSERT_TRUE(text);
        const auto datagrams = ProfileDatagrams(kind, *text, 4);
        ASSERT_EQ(datagrams.size(), count);
        std::string joined;
        for (const std::string& datagram : datagrams)
            joined += datagram + "\r\n";
        EXPECT_EQ(joined, *text) << "no line lost or doubled in the cut";

        std::string error;
        ASSERT_TRUE(SendToLoopback(port.LocalPort(), datagrams, error)) << error;
        for (std::size_t i = 0; i < datagrams.size(); ++i) {
            ASSERT_TRUE(port.OnReceive(5000));
            EXPECT_EQ(stored.size(), i + 1 == datagrams.size() ? 1u : 0u) << "after datagram " << i;
        }
        ASSERT_EQ(stored.size(), 1u);
        const std::vector<_svpPair>& got = stored[0].Points();
        // The readers that keep positive depths only drop the surface row.
        const std::size_t skipped = points.size() - got.size();
        ASSERT_LE(skipped, 1u);
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].depth, points[i + skipped].first, 0.05) << i;
            EXPECT_NEAR(got[i].velocity, points[i + skipped].second, 0.005) << i;
        }
    }
    EXPECT_TRUE(EncodeProfileText("S12", points) == std::nullopt);
}

// The simulator program as a probe on a pseudo-terminal: the program's
// poll is answered, "M" starts the cast; an unknown profile kind is
// refused.
TEST(SensorSimulatorProgram, ProbeOnALine)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    ASSERT_EQ(openpty(&master, &slave, name, &raw, nullptr), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(ZVSENSORSIM_PATH, "zvsensorsim", "--port", name, "--probe", "--rate", "20", "--velocity", "1470",
              "--gradient", "1", "--cast-depth", "3", "--step", "1", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::string got;
    const auto readUntil = [&](std::size_t lines) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Lines(got).size() < lines && std::chrono::steady_clock::now() < until) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
        return Lines(got);
    };
    // The poll waits on the line (the test holds its end open) until the
    // simulator has opened it.
    ASSERT_EQ(::write(master, "\rS\r", 3), 3);
    std::vector<std::string> lines = readUntil(1);
    ASSERT_EQ(lines.size(), 1u);
    auto reading = CSvpProbe::ParseLine(lines[0]);
    ASSERT_TRUE(reading) << lines[0];
    EXPECT_DOUBLE_EQ(reading->velocity, 1470.0);

    got.clear();
    ASSERT_EQ(::write(master, "\rM\r", 3), 3);
    lines = readUntil(4);
    ASSERT_GE(lines.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        reading = CSvpProbe::ParseLine(lines[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(reading) << lines[static_cast<std::size_t>(i)];
        EXPECT_NEAR(reading->depth, i, 1e-3);
        EXPECT_NEAR(reading->velocity, 1470.0 + i, 0.005);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(master);
    ::close(slave);

    const std::string refused = std::string(ZVSENSORSIM_PATH) + " --profile S12 --udp 9 2>/dev/null";
    EXPECT_NE(std::system(refused.c_str()), 0);
}

}  // namespace
