// The message-box service: headless answers, the presenter's thread, and
// boxes asked for on workers.
#include "platform/MessageBox.h"

#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct DefaultCase
{
    UINT flags;
    int answer;
    const char* legend;
};

TEST(MessageBox, HeadlessAnswerIsTheDefaultButton)
{
    const DefaultCase cases[] = {
        {MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND, IDOK, "fatal report box"},
        {MB_OKCANCEL, IDOK, "ok/cancel, first button"},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL, "ok/cancel, second button"},
        {MB_YESNO | MB_ICONQUESTION, IDYES, "yes/no"},
        {MB_YESNO | MB_DEFBUTTON2, IDNO, "yes/no, second button"},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO, "yes/no/cancel, second"},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL, "yes/no/cancel, third"},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE, "abort/retry/ignore, third"},
        {MB_RETRYCANCEL, IDRETRY, "retry/cancel"},
    };
    ClearMessageBoxRecord();
    for (const auto& c : cases)
        EXPECT_EQ(MessageBox(0, c.legend, "Caption", c.flags), c.answer) << c.legend;
    auto record = MessageBoxRecord();
    ASSERT_EQ(record.size(), std::size(cases));
    EXPECT_EQ(record[0].caption, "Caption");
    EXPECT_EQ(record[0].text, "fatal report box");
    EXPECT_EQ(record[0].flags, cases[0].flags);
    EXPECT_EQ(record[2].answer, IDCANCEL);
}

TEST(MessageBoxThreads, WorkerBoxIsShownOnThePresenterThread)
{
    ClearMessageBoxRecord();
    DWORD shownOn = 0;
    std::string shownText;
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
        shownOn = GetCurrentThreadId();
        shownText = text;
        return IDNO;
    });
    // On the presenter's own thread the presenter is called directly.
    EXPECT_EQ(MessageBox(0, "here", "C", MB_YESNO), IDNO);
    EXPECT_EQ(shownOn, GetCurrentThreadId());

    std::atomic<int> workerAnswer{0};
    shownOn = 0;
    std::thread worker([&] { workerAnswer = MessageBox(0, "from worker", "C", MB_YESNO); });
    EXPECT_TRUE(PumpUntil([&] { return workerAnswer != 0; }, 10s));
    worker.join();
    EXPECT_EQ(workerAnswer, IDNO);
    EXPECT_EQ(shownOn, GetCurrentThreadId());
    EXPECT_EQ(shownText, "from worker");
    EXPECT_EQ(MessageBoxRecord().size(), 2u);
    SetMessageBoxPresenter(nullptr);
}

TEST(MessageBoxThreads, PostedBoxIsShownLaterOnThePresenterThreadWithoutHoldingTheWorker)
{
    ClearMessageBoxRecord();
    DWORD shownOn = 0;
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) {
        shownOn = GetCurrentThreadId();
        return IDOK;
    });
    // The worker is done before this thread has pumped a single message.
    std::thread worker([] { PostMessageBox(0, "posted", "C", MB_OK | MB_ICONEXCLAMATION); });
    worker.join();
    EXPECT_EQ(shownOn, 0u);
    EXPECT_TRUE(MessageBoxRecord().empty());
    EXPECT_TRUE(PumpUntil([&] { return !MessageBoxRecord().empty(); }, 10s));
    EXPECT_EQ(shownOn, GetCurrentThreadId());
    const auto record = MessageBoxRecord();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].text, "posted");
    EXPECT_EQ(record[0].flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(record[0].answer, IDOK);
    SetMessageBoxPresenter(nullptr);

    // Without a presenter the box is answered and recorded at once.
    PostMessageBox(0, "headless", "C", MB_OK);
    ASSERT_EQ(MessageBoxRecord().size(), 2u);
    EXPECT_EQ(MessageBoxRecord()[1].text, "headless");
}

TEST(MessageBoxThreads, WorkerGetsDefaultWhenThePresenterThreadIsGone)
{
    std::thread ui(
        [] { SetMessageBoxPresenter([](HWND, const std::string&, const std::string&, UINT) { return IDNO; }); });
    ui.join();  // its queue and relay window end with it
    int answer = 0;
    std::thread worker([&] { answer = MessageBox(0, "nobody there", "C", MB_YESNO); });
    worker.join();
    EXPECT_EQ(answer, IDYES);
    SetMessageBoxPresenter(nullptr);
}

}  // namespace
