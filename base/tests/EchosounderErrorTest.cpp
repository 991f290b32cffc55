// The fatal report and the warning: their text, its cut at 4096 bytes, the
// box, and the end of the process.
#include "base/EchosounderError.h"

#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FatalReported
{
    std::string text;
};

class FatalReport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearMessageBoxRecord();
        SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });
    }
    void TearDown() override { SetFatalErrorHandler(nullptr); }

    template <class F>
    static std::string Catch(F&& f)
    {
        try {
            f();
        } catch (const FatalReported& r) {
            return r.text;
        }
        ADD_FAILURE() << "the fatal report returned";
        return {};
    }
};

const std::string kFatalHeader =
    "The echosounder program has broken down!\nPlease record this information before terminating the "
    "program.\n\nFile: 'Status'  Line: 214\n\n";

TEST_F(FatalReport, TextIsHeaderThenMessageInAStopBox)
{
    std::string text = Catch([] { EchosounderFatalError("Status", 214, "Invalid MESSAGE_TYPE (%d)", 2); });
    EXPECT_EQ(text, kFatalHeader + "Invalid MESSAGE_TYPE (2)");
    auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Fatal Echosounder Error !!!");
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].flags, MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND);
}

TEST_F(FatalReport, LongMessageIsCutAtTheBufferNeverPastIt)
{
    const std::string longArg(10000, 'x');
    struct Case
    {
        const char* legend;
        std::function<void()> report;
    };
    const Case cases[] = {
        {"long argument", [&] { EchosounderFatalError("Status", 214, "%s", longArg.c_str()); }},
        {"wide field", [] { EchosounderFatalError("Status", 214, "%9000d", 1); }},
        {"exactly the room left",
         [&] { EchosounderFatalError("Status", 214, "%s", longArg.substr(0, 4095 - kFatalHeader.size()).c_str()); }},
    };
    for (const auto& c : cases) {
        std::string text = Catch(c.report);
        EXPECT_EQ(text.size(), kEchosounderErrorTextSize - 1) << c.legend;
        EXPECT_EQ(text.substr(0, kFatalHeader.size()), kFatalHeader) << c.legend;
    }
}

TEST_F(FatalReport, PercentInArgumentsIsNotFormattedAgain)
{
    std::string text = Catch([] { EchosounderFatalError("Pelmaris", 7, "%s", "100% %s %n"); });
    EXPECT_EQ(text.substr(text.size() - 10), "100% %s %n");
}

TEST_F(FatalReport, MacroGivesFileNameWithoutPathAndExtension)
{
    int line = 0;
    std::string text = Catch([&] {
        line = __LINE__ + 1;
        ECHOSOUNDER_FATAL_ERROR("Unsupported Transceiver Type");
    });
    EXPECT_NE(text.find("File: 'EchosounderErrorTest'  Line: " + std::to_string(line) + "\n\n"), std::string::npos);
}

TEST(EchosounderWarning, ShowsItsOwnHeaderAndReturns)
{
    ClearMessageBoxRecord();
    EchosounderWarning("Pelmaris", 12, "value %d", 5);
    auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Fatal Echosounder Error !!!");
    EXPECT_EQ(boxes[0].text,
              "The echosounder program try to do a unleagal operation!\nPlease record this information.\n\n"
              "File: 'Pelmaris'  Line: 12\n\nvalue 5");
}

TEST(EchosounderFatalErrorDeathTest, AbortsAfterTheBox)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(EchosounderFatalError("Pelmaris", 99, "Illegal Operation Control Command (%d)", 0x4009),
                 "Fatal Echosounder Error !!!.*Line: 99.*Illegal Operation Control Command \\(16393\\)");
    // A handler that returns does not keep the process alive.
    EXPECT_DEATH(
        {
            SetFatalErrorHandler([](const std::string&) {});
            EchosounderFatalError("Pelmaris", 1, "x");
        },
        "");
}

TEST(SourceName, StripsFoldersAndExtension)
{
    const std::pair<const char*, std::string> cases[] = {
        {"/work/app/Pelmaris.cpp", "Pelmaris"},
        {"C:\\src\\Status.cpp", "Status"},
        {"MainFrm", "MainFrm"},
        {"dir.d/Name.tar.gz", "Name.tar"},
        {".hidden", ".hidden"},
        {"", ""},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(CSourceName(path).c_str(), name) << path;
    EXPECT_EQ(std::string(CSourceName(std::string(200, 'a').c_str()).c_str()), std::string(63, 'a'));
    EXPECT_STREQ(CSourceName(nullptr).c_str(), "");
}

}  // namespace
