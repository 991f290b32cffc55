// Ping threads read the applied profile while the user-interface thread
// replaces it: every answer must come from one whole profile, never from a
// mix of two or from freed memory.
#include "sensors/Environment.h"

#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Two profiles with no depth or velocity in common, so that a depth answer
// tells which profile it came from. Profile A: 1500 m/s down to 50 m, then
// 1450; profile B: 1600 m/s throughout, with many points so that a swap
// during a walk would be noticed.
std::string RowsA()
{
    return "0.0 1500.0\r\n50.0 1450.0\r\n";
}
std::string RowsB()
{
    std::string rows;
    for (int i = 0; i <= 400; ++i)
        rows += std::to_string(i) + ".0 1600.0\r\n";
    return rows;
}

}  // namespace

TEST(EnvironmentThreads, ReadersSeeWholeProfilesWhileTheyAreReplaced)
{
    char pattern[] = "/tmp/envthreadsXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    for (auto [name, rows] : {std::pair{"a.asvp", RowsA()}, std::pair{"b.asvp", RowsB()}})
        std::ofstream(dir / name, std::ios::binary) << "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 0 )\r\n" << rows;

    ClearMessageBoxRecord();
    CEnvironment env;
    std::atomic<double> deepest{10.0};
    env.SetChannelDepthSource([&deepest] { return deepest.load(); });
    env.SetPendingProfile(TRUE, dir.string(), "a.asvp");
    env.ApplyNewProfile();
    ASSERT_TRUE(env.SetSvpType(CEnvironment::SvpTypeProfile));

    // One-way travel time 0.1 s from the surface: A gives 50 + 0.0667*1450,
    // B gives 160 m.
    const double depthA = 50.0 + (0.1 - 50.0 / 1500.0) * 1450.0;
    const double depthB = 160.0;

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<long> reads{0};
    auto reader = [&] {
        while (!stop.load()) {
            double d = env.GetDepthFromTravelTime(0.1, 0.0);
            if (std::abs(d - depthA) > 1e-6 && std::abs(d - depthB) > 1e-6)
                ++wrong;
            double c = env.GetSoundVelocity();
            if (!(c >= 1450.0 && c <= 1600.0))
                ++wrong;
            double m = env.GetMeanSoundVelocity(0.0, 100.0);
            if (std::abs(m - 1475.0) > 1e-6 && std::abs(m - 1600.0) > 1e-6)
                ++wrong;
            if (env.GetAbsorption(38000.0) <= 0.0)
                ++wrong;
            ++reads;
        }
    };
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back(reader);

    for (int round = 0; round < 200; ++round) {
        env.SetPendingProfile(TRUE, dir.string(), round % 2 ? "a.asvp" : "b.asvp");
        env.ApplyNewProfile();
        deepest.store(5.0 + round % 7);
        env.SetSensorTemperature(5.0 + round % 10, TRUE);
    }
    // Let the readers overlap at least a little with the last replacements.
    while (reads.load() < 1000)
        std::this_thread::yield();
    stop.store(true);
    for (auto& t : readers)
        t.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(MessageBoxRecord().empty());
    fs::remove_all(dir);
}
