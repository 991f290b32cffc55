// The running sounder's recorder as the rest of the program reaches it: the
// sounder owns the recorder, and while it exists this link knows it, so that
// annotations, profiles and sentences from any thread reach it and never
// reach it after it has gone.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

class IPingRecorder;

namespace zv::recording {
class CEngineStore;
class CStore;
}  // namespace zv::recording

namespace app {

class CRecorderLink
{
public:
    // The recorder as the sounder will own it: known here until it is gone.
    std::unique_ptr<IPingRecorder> Attach(std::unique_ptr<zv::recording::CEngineStore> recorder);
    // Runs f with the recorder under the lock that keeps it from going
    // meanwhile; false (f not run) when there is none. Any thread.
    bool With(const std::function<void(zv::recording::CStore&)>& f);
    // The recorder now (null when none), for a caller on the user-interface
    // thread that looks it up again after each message loop.
    zv::recording::CStore* Current();

private:
    class CLinked;
    std::mutex m_lock;
    zv::recording::CStore* m_recorder = nullptr;
};

}  // namespace app
