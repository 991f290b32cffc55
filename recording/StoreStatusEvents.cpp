#include "recording/StoreStatusEvents.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "platform/MessageBox.h"

#include <cstdio>

namespace zv::recording {

namespace {

constexpr UINT kShowNotice = WM_USER + 1;

struct SText
{
    const char* text;
    unsigned id;
};

constexpr SText kTexts[] = {
    {kTextDiskFull, app::ids::DISK_FULL},
    {kTextFileRecordFull, app::ids::FILE_RECORD_FULL},
    {kTextFileMaxSize, app::ids::FILE_MAX_SIZE},
    {kTextUdpTooLarge, app::ids::UDP_TOO_LARGE},
};

}  // namespace

CStoreStatusEvents::CStoreStatusEvents()
{
    m_noticeWindow = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message != kShowNotice)
            return 0;
        if (const std::string* text = CurrentPayload<std::string>())
            MessageBox(GetMainWindow(), *text, "Recording", MB_OK | MB_ICONSTOP);
        return 0;
    });
}

CStoreStatusEvents::~CStoreStatusEvents()
{
    if (m_noticeWindow)
        DestroyWindow(m_noticeWindow);
}

unsigned CStoreStatusEvents::StringIdOf(const std::string& text)
{
    for (const SText& t : kTexts)
        if (text == t.text)
            return t.id;
    return 0;
}

void CStoreStatusEvents::RaiseAlarm(const std::string& text)
{
    if (const unsigned id = StringIdOf(text))
        app::CStatus::RaiseAlarm(id);
    else
        PostFreeText(text);
}

void CStoreStatusEvents::PostStatusMessage(const std::string& text)
{
    if (const unsigned id = StringIdOf(text))
        app::CStatus::PostStatusMessage(id);
    else
        PostFreeText(text);
}

void CStoreStatusEvents::PostFreeText(const std::string& text)
{
    PostMessage(GetMainWindow(), app::WM_ES_STATUSTEXT, app::ids::ES_STATUS_TEXT_PANE, 0,
                MakePayload<std::string>(text));
}

void CStoreStatusEvents::RecordingState(bool active, int lineNumber)
{
    PostMessage(GetMainWindow(), app::WM_ES_NEWDATA, active ? 1 : 0, lineNumber);
}

void CStoreStatusEvents::SendLogLine(const std::string& line)
{
    if (sendLine)
        sendLine(line);
}

void CStoreStatusEvents::Notify(const std::string& text)
{
    // Shown later on the owning thread; the recorder goes on meanwhile.
    // Without a user-interface thread (the dispatcher has stopped) nobody can
    // be asked; the text is not lost.
    if (!m_noticeWindow || !PostMessage(m_noticeWindow, kShowNotice, 0, 0, MakePayload<std::string>(text)))
        std::fprintf(stderr, "Recording: %s\n", text.c_str());
}

}  // namespace zv::recording
