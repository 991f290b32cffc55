// Shares of objects that must end on the thread that made them: an object
// with windows, timers or views of the user-interface thread (a serial
// sensor with its monitor) is held for a moment by the ping-data, reader and
// decoding threads too, and the last share may go on one of them. A share
// made here and dropped last on another thread posts its object to a window
// of the making thread, which deletes it when it handles the message;
// dropped there, the object goes at once.
//
// When the window is gone or the dispatcher has stopped (the program is
// ending, its other threads over), the object goes where the share was
// dropped: nothing is left to hand it to.
#pragma once

#include "platform/MessageDispatcher.h"

#include <memory>
#include <utility>

class COwnerThreadRelease
{
public:
    static constexpr UINT kReleaseMessage = WM_USER + 0x151;  // to this object's own window only

    // On the thread that is to delete the objects.
    COwnerThreadRelease();
    // Objects still waiting in the window's queue go now, on this thread.
    ~COwnerThreadRelease();
    COwnerThreadRelease(const COwnerThreadRelease&) = delete;
    COwnerThreadRelease& operator=(const COwnerThreadRelease&) = delete;

    template <class T, class... Args>
    std::shared_ptr<T> MakeShared(Args&&... args) const
    {
        return Adopt(std::make_unique<T>(std::forward<Args>(args)...));
    }

    // The deleter keeps the window and thread by value, so a share may
    // outlive this object.
    template <class T>
    std::shared_ptr<T> Adopt(std::unique_ptr<T> object) const
    {
        return std::shared_ptr<T>(object.release(), Deleter<T>{m_window, m_threadId});
    }

    DWORD GetThreadId() const { return m_threadId; }

private:
    template <class T>
    struct Deleter
    {
        HWND window;
        DWORD threadId;
        void operator()(T* p) const
        {
            std::unique_ptr<T> object(p);
            if (GetCurrentThreadId() != threadId)
                // On failure the payload, and the object with it, goes here.
                PostMessage(window, kReleaseMessage, 0, 0, MakePayload<std::unique_ptr<T>>(std::move(object)));
        }
    };

    DWORD m_threadId = 0;
    HWND m_window = 0;
};
