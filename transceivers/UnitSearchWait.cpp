#include "transceivers/UnitSearchWait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// One wait, shared by the worker and the dialog. The worker's done check is
// called only under the lock and only until the worker has left, so the
// dialog never calls into a transceiver that may already be gone.
struct CUnitSearchWait::Request
{
    std::string text;
    std::function<bool()> done;
    std::mutex lock;
    std::condition_variable cv;
    bool finished = false;  // the dialog ended, or the request was dropped
    bool answered = false;
    bool left = false;      // the worker no longer waits

    bool Done()
    {
        std::lock_guard<std::mutex> guard(lock);
        return left || done();
    }
    void Finish(bool ok)
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (finished)
                return;
            finished = true;
            answered = ok;
        }
        cv.notify_all();
    }
};

// Travels with the posted wait. A wait that is never handled (its window
// destroyed, the dispatcher stopped) is answered with false as the message
// is dropped, so no worker waits for a dialog that will not come.
class CUnitSearchWait::RequestPayload : public MessagePayload
{
public:
    explicit RequestPayload(std::shared_ptr<Request> request) : m_request(std::move(request)) {}
    ~RequestPayload() override { m_request->Finish(false); }
    const std::shared_ptr<Request>& Get() const { return m_request; }

private:
    std::shared_ptr<Request> m_request;
};

CUnitSearchWait::CUnitSearchWait(ShowDialog show) : m_show(std::move(show)), m_threadId(::GetCurrentThreadId())
{
    m_window = ::CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) { return OnMessage(message); });
}

CUnitSearchWait::~CUnitSearchWait()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

bool CUnitSearchWait::Wait(const std::string& text, const std::function<bool()>& done)
{
    if (::GetCurrentThreadId() == m_threadId)
        return m_show ? m_show(text, done) : done();

    auto request = std::make_shared<Request>();
    request->text = text;
    request->done = done;
    if (!::PostMessage(m_window, kWaitMessage, 0, 0, std::make_unique<RequestPayload>(request)))
        return false;
    std::unique_lock<std::mutex> lock(request->lock);
    bool doneHere = false;
    // The done check has no event to wait on: it is looked at as often as
    // the dialog looks at it.
    while (!request->finished && !(doneHere = request->done()))
        request->cv.wait_for(lock, std::chrono::milliseconds(kPollMs));
    request->left = true;
    return doneHere || request->answered;
}

LRESULT CUnitSearchWait::OnMessage(UINT message)
{
    if (message != kWaitMessage)
        return 0;
    auto* payload = dynamic_cast<RequestPayload*>(::CurrentMessagePayload());
    if (!payload)
        return 0;
    const std::shared_ptr<Request> request = payload->Get();
    // The unit may have answered, or the worker given up, while the wait was
    // on its way here.
    if (request->Done()) {
        request->Finish(true);
        return 0;
    }
    const bool ok = m_show ? m_show(request->text, [request] { return request->Done(); }) : false;
    request->Finish(ok);
    return 0;
}
