#include "platform/MessageBox.h"

#include "platform/MessageDispatcher.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

// Asks the presenter's thread to show a box; the payload is the request.
constexpr UINT kShowBoxMessage = 0x8000;

struct BoxRequest {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
};

struct State {
    std::mutex m;
    std::shared_ptr<const MessageBoxPresenter> presenter;
    DWORD presenterThread = 0;
    HWND relay = 0;
    std::vector<MessageBoxEntry> record;
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
    std::lock_guard lk(S().m);
    S().record.push_back(MessageBoxEntry{caption, text, flags, answer});
    return answer;
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    HWND oldRelay = 0;
    HWND newRelay = 0;
    if (presenter) {
        newRelay = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message != kShowBoxMessage)
                return 0;
            auto* req = CurrentPayload<BoxRequest>();
            std::shared_ptr<const MessageBoxPresenter> p;
            {
                std::lock_guard lk(S().m);
                p = S().presenter;
            }
            if (!req)
                return 0;
            if (!p)
                return Headless(req->text, req->caption, req->flags);
            return (*p)(req->owner, req->text, req->caption, req->flags);
        });
    }
    {
        std::lock_guard lk(S().m);
        oldRelay = S().relay;
        S().relay = newRelay;
        S().presenter = presenter ? std::make_shared<const MessageBoxPresenter>(std::move(presenter)) : nullptr;
        S().presenterThread = S().presenter ? GetCurrentThreadId() : 0;
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
