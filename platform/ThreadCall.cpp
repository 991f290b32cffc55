#include "platform/ThreadCall.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// One call, shared by the caller and the owning thread. The caller's end
// check is called only under the lock and only until the caller has left,
// so the work never calls into an owner that may already be gone.
struct CThreadCall::Request
{
    Work work;
    std::function<bool()> end;
    std::mutex lock;
    std::condition_variable cv;
    bool finished = false;  // the work answered, or the call was dropped
    bool answer = false;
    bool endedFirst = false;  // the end check held when the call arrived
    bool left = false;        // the caller no longer waits

    bool Ended()
    {
        std::lock_guard<std::mutex> guard(lock);
        return left || end();
    }
    void Finish(bool yes, bool ended = false)
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (finished)
                return;
            finished = true;
            answer = yes;
            endedFirst = ended;
        }
        cv.notify_all();
    }
};

// Travels with the posted call. A call that is never handled (its window
// destroyed, the dispatcher stopped) is answered No as the message is
// dropped, so no caller waits for work that will not come.
class CThreadCall::RequestPayload : public MessagePayload
{
public:
    explicit RequestPayload(std::shared_ptr<Request> request) : m_request(std::move(request)) {}
    ~RequestPayload() override { m_request->Finish(false); }
    const std::shared_ptr<Request>& Get() const { return m_request; }

private:
    std::shared_ptr<Request> m_request;
};

CThreadCall::CThreadCall() : m_threadId(::GetCurrentThreadId())
{
    m_window = ::CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) { return OnMessage(message); });
}

CThreadCall::~CThreadCall()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

CThreadCall::EResult CThreadCall::Call(Work work, std::function<bool()> end)
{
    if (::GetCurrentThreadId() == m_threadId)
        return work && work(end) ? EResult::Yes : EResult::No;

    auto request = std::make_shared<Request>();
    request->work = std::move(work);
    request->end = std::move(end);
    if (!::PostMessage(m_window, kCallMessage, 0, 0, std::make_unique<RequestPayload>(request)))
        return EResult::No;
    std::unique_lock<std::mutex> lock(request->lock);
    bool ended = false;
    // The end check has no event to wait on: it is looked at as often as
    // the work looks at it.
    while (!request->finished && !(ended = request->end()))
        request->cv.wait_for(lock, std::chrono::milliseconds(kPollMs));
    request->left = true;
    if (ended || request->endedFirst)
        return EResult::Ended;
    return request->answer ? EResult::Yes : EResult::No;
}

LRESULT CThreadCall::OnMessage(UINT message)
{
    if (message != kCallMessage)
        return 0;
    auto* payload = dynamic_cast<RequestPayload*>(::CurrentMessagePayload());
    if (!payload)
        return 0;
    const std::shared_ptr<Request> request = payload->Get();
    // The caller may have given up while the call was on its way here.
    if (request->Ended()) {
        request->Finish(false, true);
        return 0;
    }
    const bool yes = request->work ? request->work([request] { return request->Ended(); }) : false;
    request->Finish(yes);
    return 0;
}
