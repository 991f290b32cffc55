// The computer's clock is set only through the one setter, only where the
// machine allows it and the process may, and never by a test: the system's
// call itself is replaced here by a recording one.
#include "platform/ClockSetter.h"
#include "platform/FileTime.h"
#include "platform/SystemClockSetter.h"
#include "platform/TempHives.h"
#include "platform/tests/EventLogFixture.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace {

// 2026-03-04 05:06:07 UTC.
constexpr std::uint64_t kTarget = CFileTime::kUnixEpoch + 1772600767ULL * CFileTime::kTicksPerSecond;

class ClockSetterTest : public EventLogFixture
{
protected:
    void AllowOnThisMachine(std::optional<DWORD> value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, CSystemClockSetter::kMachineKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (value)
            RegSetValueEx(key, CSystemClockSetter::kAllowValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value),
                          sizeof *value);
        else
            RegDeleteValue(key, CSystemClockSetter::kAllowValue);
        RegCloseKey(key);
    }

    CTempHives hives;
};

}  // namespace

TEST_F(ClockSetterTest, TheClockIsSetOnlyWhereTheMachineAllowsItAndTheProcessMay)
{
    struct Row
    {
        const char* legend;
        bool testRun;
        std::optional<DWORD> allowed;
        bool mayProcess;
        int callResult;
        std::uint64_t target;
        bool set;
        const char* why;  // in the event-log entry; null: no entry
    };
    const Row rows[] = {
        {"allowed and able", false, 1, true, 0, kTarget, true, nullptr},
        {"a test run", true, 1, true, 0, kTarget, false, "a test run never sets it"},
        {"no machine setting", false, std::nullopt, true, 0, kTarget, false, "this machine does not allow it"},
        {"machine setting off", false, 0, true, 0, kTarget, false, "this machine does not allow it"},
        {"no right to set the clock", false, 1, false, 0, kTarget, false, "no right to set it (CAP_SYS_TIME)"},
        {"the system refuses", false, 1, true, EPERM, kTarget, false, "Operation not permitted"},
        {"a time before 1970", false, 1, true, 0, CFileTime::kUnixEpoch - 1, false, "before 1970"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        std::filesystem::remove(path_);
        AllowOnThisMachine(r.allowed);
        std::vector<std::uint64_t> calls;
        CSystemClockSetter setter({r.testRun, [&] { return r.mayProcess; },
                                   [&](std::uint64_t t) {
                                       calls.push_back(t);
                                       return r.callResult;
                                   }});
        EXPECT_EQ(setter.SetUtc(r.target), r.set);
        const bool reachesTheSystem = r.set || r.callResult != 0;
        EXPECT_EQ(calls, reachesTheSystem ? std::vector<std::uint64_t>{r.target} : std::vector<std::uint64_t>{});
        const auto lines = Lines();
        if (!r.why) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("Ostrival\twarning\t"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(r.why), std::string::npos) << lines[0];
        if (r.target == kTarget) {
            EXPECT_NE(lines[0].find("not set to 2026-03-04 05:06:07 UTC"), std::string::npos) << lines[0];
        }
    }
}

TEST_F(ClockSetterTest, AnInstalledSetterStandsInFrontOfTheSystemsOwn)
{
    struct Recording : IClockSetter
    {
        bool SetUtc(std::uint64_t t) override
        {
            setTo.push_back(t);
            return true;
        }
        std::vector<std::uint64_t> setTo;
    } recording;
    CClockSetter::Install(&recording);
    EXPECT_TRUE(CClockSetter::SetUtc(kTarget));
    EXPECT_EQ(recording.setTo, std::vector<std::uint64_t>{kTarget});

    // Without it the system's setter answers, and in a test run it refuses
    // whatever the machine allows.
    CClockSetter::Install(nullptr);
    ::setenv("ZELVAR_TEST", "1", 1);
    AllowOnThisMachine(1);
    EXPECT_FALSE(CClockSetter::SetUtc(kTarget));
    EXPECT_EQ(recording.setTo.size(), 1u);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_NE(Lines()[0].find("a test run never sets it"), std::string::npos);
}
