// The one worker of the printing: finished pages are written and spooled
// here, in the order they were finished, so that neither the ping thread
// nor the user-interface thread waits for a disk or a printer. Going, it
// does every page it was given first.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CPrinterWorker
{
public:
    CPrinterWorker();
    ~CPrinterWorker();
    CPrinterWorker(const CPrinterWorker&) = delete;
    CPrinterWorker& operator=(const CPrinterWorker&) = delete;

    void Post(std::function<void()> job);
    // Returns once every job posted before has run.
    void WaitIdle();

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};
