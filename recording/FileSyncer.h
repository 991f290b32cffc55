// A thread that writes the recorder's files through to the disk: the open
// ones once an interval, so that a power cut costs at most about that
// interval of a recording, and a closed one at once. The wait for the disk
// falls on this thread, never on the ping-data thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zv::recording {

class CFileSyncer
{
public:
    // A handle to sync (see CDatagramFile::TakeSyncHandle) with its file's path.
    struct SHandle
    {
        int handle;
        std::string path;
    };
    // collect appends the handles of the open files that are due, once an
    // interval; done hears of each sync (0 or the errno). Both run on the
    // syncer's thread.
    CFileSyncer(std::chrono::milliseconds interval, std::function<void(std::vector<SHandle>&)> collect,
                std::function<void(int error, const std::string& path)> done);
    // Syncs what was handed over, then stops.
    ~CFileSyncer();
    CFileSyncer(const CFileSyncer&) = delete;
    CFileSyncer& operator=(const CFileSyncer&) = delete;

    // Syncs the handle soon and closes it: for a file that was just closed.
    void Hand(int handle, std::string path);
    // Syncs the folder entry of a file just made, so that its name survives
    // a power cut too.
    void HandFolderOf(std::string path);

private:
    void Run();

    const std::chrono::milliseconds m_interval;
    const std::function<void(std::vector<SHandle>&)> m_collect;
    const std::function<void(int, const std::string&)> m_done;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<SHandle> m_handed;
    std::vector<std::string> m_newFiles;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace zv::recording
