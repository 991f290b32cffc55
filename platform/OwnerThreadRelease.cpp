#include "platform/OwnerThreadRelease.h"

COwnerThreadRelease::COwnerThreadRelease() : m_threadId(GetCurrentThreadId())
{
    // The message's payload owns the object: it goes when the message has
    // been handled, so the window need do nothing.
    m_window = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
}

COwnerThreadRelease::~COwnerThreadRelease()
{
    if (m_window)
        DestroyWindow(m_window);
}
