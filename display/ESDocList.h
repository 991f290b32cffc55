// The list of documents that take every ping. The ping-data thread runs
// every document's update on its own thread (Notify with 1); the display
// timer wakes the list's worker, which runs them with 0 (Notify with 0).
//
// Threads: the list lock guards only the list and is never held while a
// document runs, because a document may hand its result to the
// user-interface thread and wait for it (a test's or tool's hand-off; the
// program's posts it), and that thread takes the list lock to add and
// remove documents. A separate dispatch lock keeps the two dispatching
// threads apart, so a document never runs two updates at once. A document
// removed while it runs on another thread is waited for (serving the
// remover's own messages meanwhile), so it is never touched after it left.
#pragma once

#include "sounder/EchoSounder.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class CAbstractESDoc;

class CESDocList : public IPingDocuments
{
public:
    // Asynchronous ticks that may wait for the worker; a further tick is lost.
    static constexpr int kMaxPendingTicks = 3;

    CESDocList();
    ~CESDocList() override;
    CESDocList(const CESDocList&) = delete;
    CESDocList& operator=(const CESDocList&) = delete;

    // Flag 0: wakes the worker; 0 when kMaxPendingTicks are already waiting
    // (the tick is dropped), else 1. Any other flag: dispatches with 1 on the
    // calling thread and returns 1.
    int Notify(int flag) override;
    void SetHold(bool hold) override { m_hold.store(hold); }
    bool IsHeld() const { return m_hold.load(); }

    // Called by CAbstractESDoc's attach and detach only.
    void AddDoc(CAbstractESDoc* doc);
    void RemoveDoc(CAbstractESDoc* doc);

    // A copy of the registered documents in order of registration; a
    // document may look for its fellows from inside its own update.
    std::vector<CAbstractESDoc*> GetDocList() const;
    bool Contains(const CAbstractESDoc* doc) const;
    int GetCount() const;

    void DispatchToDocs(int flag);

private:
    void ThreadLoop();

    mutable std::mutex m_listLock;
    std::vector<CAbstractESDoc*> m_docs;
    // The document whose update runs now, and on which thread.
    CAbstractESDoc* m_running = nullptr;
    std::thread::id m_runningThread;
    std::condition_variable m_runningDone;

    std::mutex m_dispatchLock;
    std::atomic<bool> m_hold{false};

    std::mutex m_tickLock;
    std::condition_variable m_tickCv;
    int m_ticks = 0;
    bool m_stop = false;
    std::atomic<bool> m_workerDone{false};
    std::thread m_worker;
};
