#include "display/ESDocList.h"

#include "display/AbstractESDoc.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <chrono>

namespace {

// Waits for done() while serving the calling thread's messages, since the
// thread waited for may be blocked in a send to this one.
void WaitServing(const std::function<bool()>& done, std::mutex& lock, std::condition_variable& cv)
{
    using namespace std::chrono_literals;
    while (!done()) {
        if (PumpUntil(done, 100ms))
            return;
        // A stopped dispatcher returns at once: wait on the condition then.
        std::unique_lock lk(lock);
        cv.wait_for(lk, 10ms);
    }
}

}  // namespace

CESDocList::CESDocList()
{
    m_worker = std::thread([this] { ThreadLoop(); });
}

CESDocList::~CESDocList()
{
    // A dispatch of the worker stops before its next document.
    m_hold.store(true);
    {
        std::lock_guard lk(m_tickLock);
        m_stop = true;
    }
    m_tickCv.notify_all();
    // The worker may be in a document that waits for this thread.
    std::mutex waitLock;
    std::condition_variable never;
    WaitServing([this] { return m_workerDone.load(); }, waitLock, never);
    m_worker.join();

    std::vector<CAbstractESDoc*> docs = GetDocList();
    for (CAbstractESDoc* doc : docs)
        doc->DetachFromSource();
}

int CESDocList::Notify(int flag)
{
    if (flag == 0) {
        {
            std::lock_guard lk(m_tickLock);
            if (m_ticks >= kMaxPendingTicks)
                return 0;
            ++m_ticks;
        }
        m_tickCv.notify_one();
        return 1;
    }
    DispatchToDocs(1);
    return 1;
}

void CESDocList::AddDoc(CAbstractESDoc* doc)
{
    if (!doc)
        return;
    std::lock_guard lk(m_listLock);
    m_docs.push_back(doc);
}

void CESDocList::RemoveDoc(CAbstractESDoc* doc)
{
    std::unique_lock lk(m_listLock);
    auto it = std::find(m_docs.begin(), m_docs.end(), doc);
    if (it != m_docs.end())
        m_docs.erase(it);
    const bool busyElsewhere = m_running == doc && m_runningThread != std::this_thread::get_id();
    lk.unlock();
    if (busyElsewhere) {
        WaitServing(
            [this, doc] {
                std::lock_guard g(m_listLock);
                return m_running != doc;
            },
            m_listLock, m_runningDone);
    }
}

std::vector<CAbstractESDoc*> CESDocList::GetDocList() const
{
    std::lock_guard lk(m_listLock);
    return m_docs;
}

bool CESDocList::Contains(const CAbstractESDoc* doc) const
{
    std::lock_guard lk(m_listLock);
    return std::find(m_docs.begin(), m_docs.end(), doc) != m_docs.end();
}

int CESDocList::GetCount() const
{
    std::lock_guard lk(m_listLock);
    return static_cast<int>(m_docs.size());
}

void CESDocList::DispatchToDocs(int flag)
{
    std::lock_guard dispatch(m_dispatchLock);
    const std::vector<CAbstractESDoc*> docs = GetDocList();
    for (CAbstractESDoc* doc : docs) {
        if (m_hold.load())
            break;
        {
            std::lock_guard lk(m_listLock);
            // Removed by an earlier document's update or by another thread.
            if (std::find(m_docs.begin(), m_docs.end(), doc) == m_docs.end())
                continue;
            m_running = doc;
            m_runningThread = std::this_thread::get_id();
        }
        doc->OnSourceUpdate(flag);
        {
            std::lock_guard lk(m_listLock);
            m_running = nullptr;
        }
        m_runningDone.notify_all();
    }
}

void CESDocList::ThreadLoop()
{
    for (;;) {
        {
            std::unique_lock lk(m_tickLock);
            m_tickCv.wait(lk, [this] { return m_stop || m_ticks > 0; });
            if (m_stop)
                break;
            --m_ticks;
        }
        DispatchToDocs(0);
    }
    m_workerDone.store(true);
}
