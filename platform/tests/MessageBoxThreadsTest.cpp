// The message-box service: headless answers, the presenter's thread, and
// boxes asked for on workers.
#include "platform/MessageBox.h"

#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

TEST(MessageBoxThreads, WorkerBoxIsPostedAndTheWorkerGoesOnWithTheDefault)
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

    // The worker has its answer before this thread has pumped a message.
    shownOn = 0;
    int workerAnswer = 0;
    std::thread worker([&] { workerAnswer = MessageBox(0, "from worker", "C", MB_YESNO | MB_DEFBUTTON2); });
    worker.join();
    EXPECT_EQ(workerAnswer, IDNO);
    EXPECT_EQ(shownOn, 0u);
    EXPECT_TRUE(PumpUntil([&] { return MessageBoxRecord().size() == 2; }, 10s));
    EXPECT_EQ(shownOn, GetCurrentThreadId());
    EXPECT_EQ(shownText, "from worker");
    SetMessageBoxPresenter(nullptr);
}

TEST(MessageBoxThreads, WaitingBoxFromAWorkerGetsThePresentersAnswer)
{
    ClearMessageBoxRecord();
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) { return IDNO; });
    std::atomic<int> workerAnswer{0};
    std::thread worker([&] { workerAnswer = WaitingMessageBox(0, "breaking down", "C", MB_YESNO); });
    EXPECT_TRUE(PumpUntil([&] { return workerAnswer != 0; }, 10s));
    worker.join();
    EXPECT_EQ(workerAnswer, IDNO);
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    SetMessageBoxPresenter(nullptr);
}

TEST(MessageBoxThreads, BoxesOfTheSameTextAreNotStackedAndTheirCountIsLogged)
{
    const std::string log = ::testing::TempDir() + "msgbox_events.log";
    std::remove(log.c_str());
    setenv("ZELVAR_EVENTLOG_FILE", log.c_str(), 1);
    ClearMessageBoxRecord();
    int shown = 0;
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) {
        ++shown;
        // More of the same arrive while the box is open.
        std::thread more([] {
            for (int i = 0; i < 3; ++i)
                MessageBox(0, "Error converting", "", MB_OK);
        });
        more.join();
        return IDOK;
    });
    std::thread worker([] {
        for (int i = 0; i < 100; ++i)
            MessageBox(0, "Error converting", "", MB_OK);
        MessageBox(0, "another text", "", MB_OK);
    });
    worker.join();
    EXPECT_TRUE(PumpUntil([&] { return MessageBoxRecord().size() == 2; }, 10s));
    EXPECT_EQ(shown, 2);
    // Once the box is closed, the same text is shown again.
    std::thread later([] { MessageBox(0, "Error converting", "", MB_OK); });
    later.join();
    EXPECT_TRUE(PumpUntil([&] { return MessageBoxRecord().size() == 3; }, 10s));
    EXPECT_EQ(shown, 3);
    SetMessageBoxPresenter(nullptr);
    unsetenv("ZELVAR_EVENTLOG_FILE");

    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // 99 waiting behind the first and 3 asked for while it was open.
    EXPECT_NE(all.find("asked for 102 more time(s) while shown: Error converting"), std::string::npos) << all;
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
