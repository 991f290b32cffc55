#include "display/ESDocList.h"
#include "display/AbstractESDoc.h"
#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A one-shot condition that a test thread can wait for without sleeping.
class Gate
{
public:
    void Open()
    {
        {
            std::lock_guard lk(m_lock);
            m_open = true;
        }
        m_cv.notify_all();
    }
    void Wait()
    {
        std::unique_lock lk(m_lock);
        m_cv.wait(lk, [this] { return m_open; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_open = false;
};

class RecordingDoc : public CAbstractESDoc
{
public:
    std::function<void(int)> onUpdate;
    std::atomic<int> calls0{0};
    std::atomic<int> calls1{0};

    ~RecordingDoc() override { DetachFromSource(); }

    void OnSourceUpdate(int flag) override
    {
        (flag == 0 ? calls0 : calls1).fetch_add(1);
        if (onUpdate)
            onUpdate(flag);
    }
};

TEST(ESDocList, EmptyListDispatchesNothingAndStopsCleanly)
{
    CESDocList list;
    EXPECT_EQ(list.Notify(1), 1);
    EXPECT_EQ(list.Notify(0), 1);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(ESDocList, PingNotifyRunsEveryDocumentInOrderOnTheCallingThread)
{
    CESDocList list;
    std::vector<int> order;
    RecordingDoc a, b;
    const auto caller = std::this_thread::get_id();
    a.onUpdate = [&](int) {
        order.push_back(1);
        EXPECT_EQ(std::this_thread::get_id(), caller);
    };
    b.onUpdate = [&](int) { order.push_back(2); };
    for (auto* d : {&a, &b}) {
        d->SetSource(&list);
        d->AttachToSource();
    }
    EXPECT_EQ(list.Notify(1), 1);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(a.calls1.load(), 1);
    EXPECT_EQ(a.calls0.load(), 0);
}

TEST(ESDocList, HoldStopsTheDispatchBeforeTheNextDocument)
{
    CESDocList list;
    RecordingDoc a, b;
    for (auto* d : {&a, &b}) {
        d->SetSource(&list);
        d->AttachToSource();
    }
    list.SetHold(true);
    list.Notify(1);
    EXPECT_EQ(a.calls1.load() + b.calls1.load(), 0);

    // Raised by the first document: the second is not reached.
    list.SetHold(false);
    a.onUpdate = [&](int) { list.SetHold(true); };
    list.Notify(1);
    EXPECT_EQ(a.calls1.load(), 1);
    EXPECT_EQ(b.calls1.load(), 0);
}

TEST(ESDocList, FourthTickWhileTheWorkerIsBusyIsDropped)
{
    // Declared before the list: its worker may still be notifying when the
    // test has seen the fourth tick, and the list's end joins that worker.
    Gate entered, release;
    std::mutex doneLock;
    std::condition_variable doneCv;
    CESDocList list;
    RecordingDoc doc;
    doc.onUpdate = [&](int flag) {
        if (flag == 0 && doc.calls0.load() == 1) {
            entered.Open();
            release.Wait();
        }
        std::lock_guard lk(doneLock);
        doneCv.notify_all();
    };
    doc.SetSource(&list);
    doc.AttachToSource();

    ASSERT_EQ(list.Notify(0), 1);
    entered.Wait();
    EXPECT_EQ(list.Notify(0), 1);
    EXPECT_EQ(list.Notify(0), 1);
    EXPECT_EQ(list.Notify(0), 1);
    EXPECT_EQ(list.Notify(0), 0);
    release.Open();

    // The three kept ticks all arrive, and no more.
    std::unique_lock lk(doneLock);
    doneCv.wait(lk, [&] { return doc.calls0.load() >= 4; });
    EXPECT_EQ(doc.calls0.load(), 4);
    EXPECT_EQ(doc.calls1.load(), 0);
}

TEST(ESDocList, AttachDetachAndSourceRules)
{
    CESDocList first, second;
    RecordingDoc doc;

    doc.AttachToSource();  // no source: nothing, flag clear
    EXPECT_FALSE(doc.IsRegistered());

    doc.SetSource(&first);
    doc.AttachToSource();
    doc.AttachToSource();
    EXPECT_EQ(first.GetCount(), 1);
    EXPECT_TRUE(doc.IsRegistered());

    doc.SetSource(&second);
    EXPECT_EQ(first.GetCount(), 0);
    EXPECT_EQ(second.GetCount(), 0);
    EXPECT_FALSE(doc.IsRegistered());
    doc.AttachToSource();
    EXPECT_TRUE(second.Contains(&doc));

    doc.DetachFromSource();
    doc.DetachFromSource();  // not registered: nothing
    EXPECT_EQ(second.GetCount(), 0);
    EXPECT_EQ(doc.GetSource(), &second);
}

TEST(ESDocList, DestructionOfEitherSideUnregisters)
{
    RecordingDoc survivor;
    {
        CESDocList list;
        survivor.SetSource(&list);
        survivor.AttachToSource();
        {
            RecordingDoc shortLived;
            shortLived.SetSource(&list);
            shortLived.AttachToSource();
            EXPECT_EQ(list.GetCount(), 2);
        }
        EXPECT_EQ(list.GetCount(), 1);
        EXPECT_TRUE(list.Contains(&survivor));
    }
    EXPECT_FALSE(survivor.IsRegistered());
}

TEST(ESDocList, DocumentMayRemoveItselfDuringItsUpdate)
{
    CESDocList list;
    RecordingDoc a, b;
    a.onUpdate = [&](int) { a.DetachFromSource(); };
    for (auto* d : {&a, &b}) {
        d->SetSource(&list);
        d->AttachToSource();
    }
    list.Notify(1);
    EXPECT_FALSE(list.Contains(&a));
    EXPECT_EQ(b.calls1.load(), 1);
    list.Notify(1);
    EXPECT_EQ(a.calls1.load(), 1);
}

// A document hands its ping to the user-interface thread and waits there
// while that thread removes the same document: the removal serves the hand-off
// and returns only after the update is over.
TEST(ESDocList, RemovalFromTheInterfaceThreadServesAWaitingHandOff)
{
    CESDocList list;
    std::atomic<int> handled{0};
    HWND window = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        handled.fetch_add(1);
        return 1;
    });
    ASSERT_NE(window, 0u);
    RecordingDoc doc;
    Gate entered;
    std::atomic<bool> finished{false};
    doc.onUpdate = [&](int) {
        entered.Open();
        SendMessage(window, WM_USER + 0x6E, 0, 0);
        finished.store(true);
    };
    doc.SetSource(&list);
    doc.AttachToSource();

    std::thread ping([&] { list.Notify(1); });
    entered.Wait();
    doc.DetachFromSource();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(handled.load(), 1);
    ping.join();
    DestroyWindow(window);
}

// Ping-thread and worker dispatches never run one document twice at once,
// while the interface thread keeps attaching and detaching documents.
TEST(ESDocList, DispatchPathsExcludeEachOtherUnderChurn)
{
    CESDocList list;
    std::atomic<int> inside{0};
    std::atomic<int> worst{0};
    auto probe = [&](int) {
        const int now = inside.fetch_add(1) + 1;
        int w = worst.load();
        while (now > w && !worst.compare_exchange_weak(w, now)) {
        }
        inside.fetch_sub(1);
    };
    RecordingDoc steady;
    steady.onUpdate = probe;
    steady.SetSource(&list);
    steady.AttachToSource();

    std::atomic<bool> stop{false};
    std::thread ping([&] {
        while (!stop.load())
            list.Notify(1);
    });
    std::thread timer([&] {
        while (!stop.load())
            list.Notify(0);
    });
    for (int i = 0; i < 300 || steady.calls0.load() < 20 || steady.calls1.load() < 20; ++i) {
        RecordingDoc transient;
        transient.onUpdate = probe;
        transient.SetSource(&list);
        transient.AttachToSource();
        list.SetHold(i % 4 == 0);
    }
    list.SetHold(false);
    stop.store(true);
    ping.join();
    timer.join();
    EXPECT_EQ(worst.load(), 1);
    EXPECT_GT(steady.calls1.load(), 0);
}

}  // namespace
