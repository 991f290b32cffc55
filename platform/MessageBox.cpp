#include "platform/MessageBox.h"

#include "platform/EventLog.h"
#include "platform/MessageDispatcher.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

// Asks the presenter's thread to show a box; the payload is the request.
// The sender of the first waits for the answer, the poster of the second not.
constexpr UINT kShowBoxMessage = 0x8000;
constexpr UINT kPostedBoxMessage = 0x8001;

struct BoxRequest
{
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
};

struct State
{
    std::mutex m;
    std::shared_ptr<const MessageBoxPresenter> presenter;
    DWORD presenterThread = 0;
    HWND relay = 0;
    std::vector<MessageBoxEntry> record;
    // Posted boxes waiting or shown, by caption and text, with the number of
    // posts of the same box taken in meanwhile.
    std::map<std::pair<std::string, std::string>, unsigned> posted;
};

State& S()
{
    static State* s = new State;  // boxes may come late in process exit
    return *s;
}

int Headless(const std::string& text, const std::string& caption, UINT flags)
{
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return MessageBoxDefaultButton(flags);
}

void Record(const std::string& text, const std::string& caption, UINT flags, int answer)
{
    std::lock_guard lk(S().m);
    S().record.push_back(MessageBoxEntry{caption, text, flags, answer});
}

// The posts of a box that were not stacked, for whoever looks into the
// event log later.
void ReportRepeats(const std::string& text, const std::string& caption, unsigned repeats)
{
    if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
        std::string what = caption.empty() ? text : caption + ": " + text;
        ReportEvent(log, EVENTLOG_WARNING_TYPE, 0, 0,
                    {"Message box asked for " + std::to_string(repeats) + " more time(s) while shown: " + what});
        DeregisterEventSource(log);
    }
}

int ShowPosted(const BoxRequest& req, const std::shared_ptr<const MessageBoxPresenter>& p)
{
    const int answer =
        p ? (*p)(req.owner, req.text, req.caption, req.flags) : Headless(req.text, req.caption, req.flags);
    unsigned repeats = 0;
    {
        std::lock_guard lk(S().m);
        auto it = S().posted.find({req.caption, req.text});
        if (it != S().posted.end()) {
            repeats = it->second;
            S().posted.erase(it);
        }
    }
    Record(req.text, req.caption, req.flags, answer);
    if (repeats)
        ReportRepeats(req.text, req.caption, repeats);
    return answer;
}

}  // namespace

int MessageBoxDefaultButton(UINT flags)
{
    const UINT def = flags & MB_DEFMASK;
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return def == MB_DEFBUTTON2 ? IDCANCEL : IDOK;
    case MB_ABORTRETRYIGNORE:
        return def == MB_DEFBUTTON2 ? IDRETRY : def == MB_DEFBUTTON3 ? IDIGNORE : IDABORT;
    case MB_YESNOCANCEL:
        return def == MB_DEFBUTTON2 ? IDNO : def == MB_DEFBUTTON3 ? IDCANCEL : IDYES;
    case MB_YESNO:
        return def == MB_DEFBUTTON2 ? IDNO : IDYES;
    case MB_RETRYCANCEL:
        return def == MB_DEFBUTTON2 ? IDCANCEL : IDRETRY;
    default:
        return IDOK;
    }
}

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    std::shared_ptr<const MessageBoxPresenter> presenter;
    DWORD presenterThread = 0;
    {
        std::lock_guard lk(S().m);
        presenter = S().presenter;
        presenterThread = S().presenterThread;
    }
    if (presenter && presenterThread != GetCurrentThreadId()) {
        PostMessageBox(owner, text, caption, flags);
        return MessageBoxDefaultButton(flags);
    }
    const int answer = presenter ? (*presenter)(owner, text, caption, flags) : Headless(text, caption, flags);
    Record(text, caption, flags, answer);
    return answer;
}

int WaitingMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    std::shared_ptr<const MessageBoxPresenter> presenter;
    DWORD presenterThread = 0;
    HWND relay = 0;
    {
        std::lock_guard lk(S().m);
        presenter = S().presenter;
        presenterThread = S().presenterThread;
        relay = S().relay;
    }
    int answer = 0;
    bool answered = false;
    if (presenter && presenterThread == GetCurrentThreadId()) {
        answer = (*presenter)(owner, text, caption, flags);
        answered = true;
    } else if (presenter) {
        bool ok = false;
        answer = static_cast<int>(SendMessage(relay, kShowBoxMessage, 0, 0,
                                              MakePayload<BoxRequest>(BoxRequest{owner, text, caption, flags}), &ok));
        answered = ok;
    }
    // Nobody to ask (or the user interface is gone): the default button.
    if (!answered)
        answer = Headless(text, caption, flags);
    Record(text, caption, flags, answer);
    return answer;
}

void PostMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    HWND relay = 0;
    {
        std::lock_guard lk(S().m);
        relay = S().presenter ? S().relay : 0;
        if (relay) {
            auto [it, added] = S().posted.try_emplace({caption, text}, 0u);
            if (!added) {
                ++it->second;
                return;
            }
        }
    }
    if (relay &&
        PostMessage(relay, kPostedBoxMessage, 0, 0, MakePayload<BoxRequest>(BoxRequest{owner, text, caption, flags})))
        return;
    if (relay) {
        std::lock_guard lk(S().m);
        S().posted.erase({caption, text});
    }
    Record(text, caption, flags, Headless(text, caption, flags));
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    HWND oldRelay = 0;
    HWND newRelay = 0;
    if (presenter) {
        newRelay = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message != kShowBoxMessage && message != kPostedBoxMessage)
                return 0;
            auto* req = CurrentPayload<BoxRequest>();
            std::shared_ptr<const MessageBoxPresenter> p;
            {
                std::lock_guard lk(S().m);
                p = S().presenter;
            }
            if (!req)
                return 0;
            if (message == kPostedBoxMessage)
                return ShowPosted(*req, p);
            // A sent box is recorded by its sender, which gets the answer.
            return p ? (*p)(req->owner, req->text, req->caption, req->flags)
                     : Headless(req->text, req->caption, req->flags);
        });
    }
    {
        std::lock_guard lk(S().m);
        oldRelay = S().relay;
        S().relay = newRelay;
        S().presenter = presenter ? std::make_shared<const MessageBoxPresenter>(std::move(presenter)) : nullptr;
        S().presenterThread = S().presenter ? GetCurrentThreadId() : 0;
        // Boxes queued at the old relay go with it.
        S().posted.clear();
    }
    if (oldRelay)
        DestroyWindow(oldRelay);
}

std::vector<MessageBoxEntry> MessageBoxRecord()
{
    std::lock_guard lk(S().m);
    return S().record;
}

void ClearMessageBoxRecord()
{
    std::lock_guard lk(S().m);
    S().record.clear();
}
