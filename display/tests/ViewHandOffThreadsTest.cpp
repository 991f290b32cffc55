// The hand-off of the documents' results to their views: the ping-data
// thread posts each ping's result and goes on, whatever the user-interface
// thread is doing; that thread later draws every ping, in order, each with
// its own result.
#include "base/AppIds.h"
#include "display/DepthDoc.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "platform/MessageDispatcher.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Every sample of ping n is n; the bottom of ping n lies at n metres.
class NumberedChannel : public CStubEchogramChannel, public IDepthChannel
{
public:
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        ++m_samples;
        std::fill(out, out + n, static_cast<std::int16_t>(m_samples));
        return true;
    }
    bool GetBottom(double& depth) override
    {
        depth = ++m_bottoms;
        return true;
    }
    bool GetCorrectedDepth(double&) override { return false; }
    bool IsDepthFilterOn() const override { return false; }

private:
    int m_samples = 0;
    int m_bottoms = 0;
};

// What the views saw, a ping per update: the echogram's number and first
// sample, the depth.
struct Seen
{
    std::vector<std::uint64_t> numbers;
    std::vector<int> samples;
    std::vector<double> depths;
};

class EchogramProbe : public IDocumentView
{
public:
    EchogramProbe(const CEchogramDoc& doc, Seen& seen) : m_doc(doc), m_seen(seen) {}
    void OnUpdate() override
    {
        m_seen.numbers.push_back(m_doc.Shown().number);
        m_seen.samples.push_back(m_doc.Shown().column.empty() ? -1 : m_doc.Shown().column.front());
    }
    int RealizeViewPalette() override { return 0; }

private:
    const CEchogramDoc& m_doc;
    Seen& m_seen;
};

class DepthProbe : public IDocumentView
{
public:
    DepthProbe(const CDepthDoc& doc, Seen& seen) : m_doc(doc), m_seen(seen) {}
    void OnUpdate() override { m_seen.depths.push_back(m_doc.Shown().depth); }
    int RealizeViewPalette() override { return 0; }

private:
    const CDepthDoc& m_doc;
    Seen& m_seen;
};

// The main window of the test's thread, doing with WM_ES_UPDATEALLVIEWS what
// the main frame does.
class MainWindow
{
public:
    MainWindow()
    {
        m_hwnd = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == app::WM_ES_UPDATEALLVIEWS)
                CAbstractESDoc::RunUpdatePayload(CurrentMessagePayload());
            return 1;
        });
        SetMainWindow(m_hwnd);
    }
    ~MainWindow()
    {
        SetMainWindow(0);
        DestroyWindow(m_hwnd);
    }

private:
    HWND m_hwnd = 0;
};

struct Documents
{
    Documents()
    {
        echogram.SetEchogramChannel(&channel);
        echogram.SetColumnLength(40);
        depth.SetDepthChannel(&channel);
        echogram.SetSource(&list);
        echogram.AttachToSource();
        depth.SetSource(&list);
        depth.AttachToSource();
    }
    NumberedChannel channel;
    CESDocList list;
    // The program's own hand-off: the context names none.
    CEchogramDoc echogram;
    CDepthDoc depth;
};

TEST(ViewHandOffThreads, PingThreadGoesOnWhileTheInterfaceThreadIsBusy)
{
    constexpr int kPings = 100;
    MainWindow window;
    Documents docs;
    Seen seen;
    EchogramProbe echogramView(docs.echogram, seen);
    DepthProbe depthView(docs.depth, seen);
    docs.echogram.AddView(&echogramView);
    docs.depth.AddView(&depthView);

    // This thread stands for a busy user-interface thread: it handles no
    // message until the ping thread has run every ping. A hand-off that
    // waited for it would never get there.
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
    std::thread pings([&] {
        for (int i = 0; i < kPings; ++i)
            docs.list.Notify(1);
        std::lock_guard lk(lock);
        done = true;
        cv.notify_all();
    });
    bool ranThrough = false;
    {
        std::unique_lock lk(lock);
        ranThrough = cv.wait_for(lk, zv::test::kWaitTimeout, [&] { return done; });
    }
    // Free a waiting ping thread either way, so that the test ends.
    EXPECT_TRUE(PumpUntil([&] { return seen.depths.size() >= kPings; }, zv::test::kWaitTimeout));
    pings.join();
    ASSERT_TRUE(ranThrough) << "the ping thread waited for the user-interface thread";

    // Every ping drawn once, in order, with its own samples and depth.
    ASSERT_EQ(seen.numbers.size(), static_cast<std::size_t>(kPings));
    ASSERT_EQ(seen.depths.size(), static_cast<std::size_t>(kPings));
    for (int i = 0; i < kPings; ++i) {
        EXPECT_EQ(seen.numbers[i], static_cast<std::uint64_t>(i + 1)) << i;
        EXPECT_EQ(seen.samples[i], i + 1) << i;
        EXPECT_DOUBLE_EQ(seen.depths[i], i + 1.0) << i;
    }
    EXPECT_EQ(docs.echogram.GetWaitingPings(), 0u);
    // A message handled with no result waiting draws nothing again.
    docs.echogram.UpdateAllViews();
    EXPECT_EQ(seen.numbers.size(), static_cast<std::size_t>(kPings));
    docs.echogram.RemoveView(&echogramView);
    docs.depth.RemoveView(&depthView);
}

TEST(ViewHandOffThreads, AFarBehindInterfaceThreadDrawsTheNewestPingsInOrder)
{
    constexpr int kPings = static_cast<int>(CAbstractESDoc::kMaxWaitingResults) + 30;
    MainWindow window;
    Documents docs;
    Seen seen;
    EchogramProbe view(docs.echogram, seen);
    docs.echogram.AddView(&view);
    std::thread pings([&] {
        for (int i = 0; i < kPings; ++i)
            docs.list.Notify(1);
    });
    pings.join();
    // The oldest results went, and no more updates were posted than
    // results kept: the first 30 find theirs gone, the last takes along
    // those of the 30 never posted.
    EXPECT_EQ(docs.echogram.GetWaitingPings(), CAbstractESDoc::kMaxWaitingResults);
    EXPECT_EQ(docs.echogram.GetPostedUpdates(), CAbstractESDoc::kMaxWaitingResults);
    ProcessPending();
    EXPECT_EQ(docs.echogram.GetPostedUpdates(), 0u);
    ASSERT_EQ(seen.numbers.size(), CAbstractESDoc::kMaxWaitingResults);
    for (std::size_t i = 0; i < seen.numbers.size(); ++i)
        EXPECT_EQ(seen.numbers[i], 31 + i) << i;
    docs.echogram.RemoveView(&view);
}

TEST(ViewHandOffThreads, UpdatesOfADocumentGoneMeanwhileRunNothing)
{
    MainWindow window;
    Seen seen;
    auto docs = std::make_unique<Documents>();
    // Left registered: an update reaching the dead document would call it.
    EchogramProbe view(docs->echogram, seen);
    docs->echogram.AddView(&view);
    std::thread pings([&] {
        for (int i = 0; i < 5; ++i)
            docs->list.Notify(1);
    });
    pings.join();
    docs.reset();
    ProcessPending();
    EXPECT_TRUE(seen.numbers.empty());
}

}  // namespace
