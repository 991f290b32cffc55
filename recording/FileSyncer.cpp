#include "recording/FileSyncer.h"

#include "recording/DatagramFile.h"

#include "platform/DurableFile.h"

namespace zv::recording {

CFileSyncer::CFileSyncer(std::chrono::milliseconds interval, std::function<void(std::vector<SHandle>&)> collect,
                         std::function<void(int, const std::string&)> done)
    : m_interval(interval), m_collect(std::move(collect)), m_done(std::move(done)), m_thread([this] { Run(); })
{}

CFileSyncer::~CFileSyncer()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CFileSyncer::Hand(int handle, std::string path)
{
    if (handle < 0)
        return;
    {
        std::lock_guard lock(m_lock);
        m_handed.push_back({handle, std::move(path)});
    }
    m_wake.notify_all();
}

void CFileSyncer::HandFolderOf(std::string path)
{
    {
        std::lock_guard lock(m_lock);
        m_newFiles.push_back(std::move(path));
    }
    m_wake.notify_all();
}

void CFileSyncer::Run()
{
    auto next = std::chrono::steady_clock::now() + m_interval;
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait_until(lock, next, [this] { return m_stop || !m_handed.empty() || !m_newFiles.empty(); });
        std::vector<SHandle> due;
        due.swap(m_handed);
        std::vector<std::string> newFiles;
        newFiles.swap(m_newFiles);
        const bool stop = m_stop;
        lock.unlock();
        if (!stop && std::chrono::steady_clock::now() >= next) {
            m_collect(due);
            next = std::chrono::steady_clock::now() + m_interval;
        }
        for (const std::string& path : newFiles)
            CDurableFile::SyncFolderOf(path);
        for (const SHandle& h : due)
            m_done(CDatagramFile::SyncAndClose(h.handle), h.path);
        lock.lock();
        if (stop && m_handed.empty() && m_newFiles.empty())
            return;
    }
}

}  // namespace zv::recording
