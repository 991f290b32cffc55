// The recorder's reports reach the main frame as its messages, posted from a
// worker thread and delivered on the thread that owns the frame; a notice
// becomes a message box there and never holds the worker.
#include "recording/StoreStatusEvents.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "base/StringTable.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace zv::recording;

namespace {

struct SGot
{
    UINT message;
    WPARAM w;
    LPARAM l;
    std::string text;  // the payload text, when there is one
};

// The test thread's window stands in for the main frame.
struct Frame
{
    Frame()
    {
        hwnd = CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            const std::string* text = CurrentPayload<std::string>();
            got.push_back({m, w, l, text ? *text : std::string()});
            return 0;
        });
        SetMainWindow(hwnd);
    }
    ~Frame()
    {
        SetMainWindow(0);
        DestroyWindow(hwnd);
    }
    HWND hwnd = 0;
    std::vector<SGot> got;
};

TEST(StoreStatusEvents, ReportsFromAWorkerArriveAsTheFramesMessages)
{
    ClearMessageBoxRecord();
    Frame frame;
    CStoreStatusEvents events;
    std::vector<std::string> lines;
    events.sendLine = [&](const std::string& line) { lines.push_back(line); };

    std::thread worker([&] {
        events.RaiseAlarm(kTextDiskFull);
        events.RaiseAlarm(kTextFileRecordFull);
        events.PostStatusMessage(kTextFileMaxSize);
        events.PostStatusMessage("A text without a string id");
        events.RecordingState(true, 7);
        events.RecordingState(false, 8);
        events.Notify("File write error\n/data/x.raw\nNo space left on device");
    });
    worker.join();  // nothing the worker did waited for this thread
    EXPECT_TRUE(MessageBoxRecord().empty());
    ASSERT_TRUE(
        PumpUntil([&] { return frame.got.size() >= 6 && !MessageBoxRecord().empty(); }, std::chrono::seconds(10)));

    struct SExpected
    {
        const char* legend;
        UINT message;
        WPARAM w;
        LPARAM l;
        const char* text;
    };
    const SExpected expected[] = {
        {"alarm Disk full", app::WM_ES_STATUSMESSAGE, app::ids::DISK_FULL, app::MESSAGE_TYPE_ALARM, ""},
        {"alarm File record is full", app::WM_ES_STATUSMESSAGE, app::ids::FILE_RECORD_FULL, app::MESSAGE_TYPE_ALARM,
         ""},
        {"status File Max. Size", app::WM_ES_STATUSMESSAGE, app::ids::FILE_MAX_SIZE, app::MESSAGE_TYPE_STATUS, ""},
        {"text without an id: free text pane", app::WM_ES_STATUSTEXT, app::ids::ES_STATUS_TEXT_PANE, 0,
         "A text without a string id"},
        {"recording on, line 7", app::WM_ES_NEWDATA, 1, 7, ""},
        {"recording off, line 8", app::WM_ES_NEWDATA, 0, 8, ""},
    };
    ASSERT_EQ(frame.got.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].legend);
        EXPECT_EQ(frame.got[i].message, expected[i].message);
        EXPECT_EQ(frame.got[i].w, expected[i].w);
        EXPECT_EQ(frame.got[i].l, expected[i].l);
        EXPECT_EQ(frame.got[i].text, expected[i].text);
    }
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File write error\n/data/x.raw\nNo space left on device");

    events.SendLogLine("START, 120000,/data/x.raw");
    EXPECT_EQ(lines, std::vector<std::string>{"START, 120000,/data/x.raw"});
}

// Each text the recorder raises has a string id whose English text is that
// text, so the status bar shows what the recorder said.
TEST(StoreStatusEvents, RecorderTextsHaveTheirOwnStrings)
{
    for (const char* text : {kTextDiskFull, kTextFileRecordFull, kTextFileMaxSize, kTextUdpTooLarge}) {
        const unsigned id = CStoreStatusEvents::StringIdOf(text);
        ASSERT_NE(id, 0u) << text;
        EXPECT_EQ(app::Strings().Load(id), text);
    }
    EXPECT_EQ(CStoreStatusEvents::StringIdOf("Disk ful"), 0u);
}

}  // namespace
