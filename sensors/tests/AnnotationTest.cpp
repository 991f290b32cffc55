#include "sensors/Annotation.h"

#include "base/RegistrySupport.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

namespace {

class AnnotationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_CURRENT_USER, "Zelvar\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(key); }
    CAnnotation::Links Links()
    {
        CAnnotation::Links l;
        l.isReplaying = [this] { return replaying; };
        l.addAnnotation = [this](const std::string& t, std::uint64_t) { texts.push_back(t); };
        l.positionText = [] { return std::string("$GPGGA,1,5957.1,N"); };
        l.postEventNumber = [this](std::uint32_t n) { posted.push_back(n); };
        l.formatTimeLocal = [](std::uint64_t) { return std::string("12:34:56"); };
        return l;
    }
    CTempHives hives;
    HKEY key = nullptr;
    bool replaying = false;
    std::vector<std::string> texts;
    std::vector<std::uint32_t> posted;
};

TEST(AnnotationCounter, WrapsBothWays)
{
    struct Case
    {
        std::uint32_t from;
        bool up;
        std::uint32_t to;
    } cases[] = {{0, false, 9999}, {9999, true, 0}, {5, true, 6}, {5, false, 4}, {20000, false, 9999}};
    for (const Case& c : cases)
        EXPECT_EQ(CAnnotation::NextEventNumber(c.from, c.up), c.to) << c.from << c.up;
}

TEST_F(AnnotationTest, EventTextAndItsNumberAreSavedAndPosted)
{
    CRegistrySupport().SetDword(key, "Annotation", "EventNumber", 9999);
    CRegistrySupport().SetDword(key, "Annotation", "EventAddTime", 1);
    CRegistrySupport().SetDword(key, "Annotation", "EventAddPosition", 1);
    CAnnotation a(Links());
    a.SetUserKey(key);
    EXPECT_EQ(posted, (std::vector<std::uint32_t>{9999}));
    a.OnEvent();
    EXPECT_EQ(texts, (std::vector<std::string>{"0000 12:34:56 $GPGGA,1,5957.1,N"}));
    EXPECT_EQ(posted.back(), 0u);
    DWORD stored = 77;
    CRegistrySupport().GetDword(key, "Annotation", "EventNumber", stored, FALSE);
    EXPECT_EQ(stored, 0u);

    replaying = true;
    a.OnEvent();
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_EQ(a.GetSettings().EventNumber, 0u);
}

TEST_F(AnnotationTest, DialogResultIsTakenOver)
{
    CAnnotation a(Links());
    a.SetUserKey(key);
    posted.clear();
    CAnnotation::DialogResult r;
    r.text = "line start";
    r.settings = a.GetSettings();
    r.settings.EventNumber = 42;
    r.settings.Navigation = 1;
    r.settings.NavigationInterval = 5;
    r.settings.Timer = 1;
    r.settings.TimerInterval = 0;  // below the dialog's limit
    a.Apply(r);
    EXPECT_EQ(texts, (std::vector<std::string>{"line start"}));
    EXPECT_EQ(posted, (std::vector<std::uint32_t>{42}));
    EXPECT_TRUE(a.GetNavigation());
    EXPECT_EQ(a.GetNavigationInterval(), 5u);
    EXPECT_EQ(a.GetSettings().TimerInterval, 1u);
    EXPECT_TRUE(a.IsTimerRunning());
    a.OnTimer();
    EXPECT_EQ(texts.back(), "12:34:56");
    r.settings.Timer = 0;
    a.Apply(r);
    EXPECT_FALSE(a.IsTimerRunning());

    CAnnotation again(Links());
    again.SetUserKey(key);  // what was saved comes back
    EXPECT_EQ(again.GetSettings().EventNumber, 42u);
    EXPECT_EQ(again.GetNavigationInterval(), 5u);
}

}  // namespace
