// Objects whose last share goes on another thread end on the thread that
// made them, when it next handles its messages.
#include "platform/OwnerThreadRelease.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Says on which thread it ended.
struct Probe
{
    explicit Probe(std::atomic<DWORD>& endedOn) : endedOn(endedOn) {}
    ~Probe() { endedOn = GetCurrentThreadId(); }
    std::atomic<DWORD>& endedOn;
};

// Drops the share on a thread of its own and waits for it.
void DropElsewhere(std::shared_ptr<Probe>& share)
{
    std::thread([held = std::move(share)]() mutable { held.reset(); }).join();
}

TEST(OwnerThreadReleaseThreads, TheLastShareEndsTheObjectOnTheMakingThread)
{
    COwnerThreadRelease release;
    const DWORD self = GetCurrentThreadId();

    // Dropped on the making thread: at once.
    std::atomic<DWORD> here{0};
    auto local = release.MakeShared<Probe>(here);
    local.reset();
    EXPECT_EQ(here.load(), self);

    // Dropped last elsewhere: waits for this thread's messages.
    std::atomic<DWORD> posted{0};
    auto share = release.MakeShared<Probe>(posted);
    auto copy = share;
    share.reset();
    DropElsewhere(copy);
    EXPECT_EQ(posted.load(), 0u);
    ASSERT_TRUE(PumpUntil([&] { return posted.load() != 0; }, 10s));
    EXPECT_EQ(posted.load(), self);

    // Many threads racing for the last share: one end, here.
    for (int round = 0; round < 20; ++round) {
        std::atomic<DWORD> raced{0};
        auto shared = release.MakeShared<Probe>(raced);
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([held = shared, &go]() mutable {
                while (!go.load()) {
                }
                held.reset();
            });
        shared.reset();
        go = true;
        for (std::thread& t : threads)
            t.join();
        ASSERT_TRUE(PumpUntil([&] { return raced.load() != 0; }, 10s));
        EXPECT_EQ(raced.load(), self);
    }
}

TEST(OwnerThreadReleaseThreads, WithoutItsWindowTheObjectEndsWhereItIsDropped)
{
    std::atomic<DWORD> queued{0}, late{0};
    std::shared_ptr<Probe> lateShare;
    {
        COwnerThreadRelease release;
        auto share = release.MakeShared<Probe>(queued);
        DropElsewhere(share);
        lateShare = release.MakeShared<Probe>(late);
        EXPECT_EQ(queued.load(), 0u);
    }
    // Still queued when the window went: ended with it, on this thread.
    EXPECT_EQ(queued.load(), GetCurrentThreadId());

    DWORD dropper = 0;
    std::thread([&] {
        dropper = GetCurrentThreadId();
        lateShare.reset();
    }).join();
    EXPECT_EQ(late.load(), dropper);
}

}  // namespace
