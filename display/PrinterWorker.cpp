#include "display/PrinterWorker.h"

CPrinterWorker::CPrinterWorker()
{
    m_thread = std::thread([this] { Run(); });
}

CPrinterWorker::~CPrinterWorker()
{
    {
        std::lock_guard lk(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CPrinterWorker::Post(std::function<void()> job)
{
    {
        std::lock_guard lk(m_lock);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void CPrinterWorker::WaitIdle()
{
    std::unique_lock lk(m_lock);
    m_idle.wait(lk, [this] { return m_jobs.empty() && !m_busy; });
}

void CPrinterWorker::Run()
{
    std::unique_lock lk(m_lock);
    for (;;) {
        m_wake.wait(lk, [this] { return m_stop || !m_jobs.empty(); });
        // Stopping, the jobs still queued run first: no page is lost.
        if (m_jobs.empty())
            break;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lk.unlock();
        job();
        lk.lock();
        m_busy = false;
        m_idle.notify_all();
    }
    m_idle.notify_all();
}
