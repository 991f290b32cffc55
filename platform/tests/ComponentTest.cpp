// GUID text and BSTRs of the component runtime; creation, registration and
// unloading are exercised with a real plug-in in serialcom/tests.
#include "platform/Component.h"
#include "platform/TempHives.h"
#include "platform/tests/HiveRows.h"

#include <gtest/gtest.h>

TEST(Component, GuidTextRoundTripsAndRejectsMalformedText)
{
    const GUID g = {0x123BAF9F, 0xBCD6, 0x11D1, {0x8D, 0xC1, 0x00, 0x20, 0xAF, 0xDE, 0x77, 0x24}};
    EXPECT_EQ(GuidToString(g), "{123BAF9F-BCD6-11D1-8DC1-0020AFDE7724}");
    GUID back;
    ASSERT_TRUE(GuidFromString("{123baf9f-bcd6-11d1-8dc1-0020afde7724}", &back));
    EXPECT_TRUE(back == g);
    for (const char* bad : {"", "{123BAF9F-BCD6-11D1-8DC1-0020AFDE772}", "{123BAF9F-BCD6-11D1-8DC1-0020AFDE772G}",
                            "{123BAF9F+BCD6-11D1-8DC1-0020AFDE7724}", "123BAF9F-BCD6-11D1-8DC1-0020AFDE7724}"})
        EXPECT_FALSE(GuidFromString(bad, &back)) << bad;
}

TEST(Component, BstrKeepsItsLengthAndEmbeddedZeros)
{
    BSTR b = SysAllocStringLen("A\0B", 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(BstrToString(b), std::string("A\0B", 3));
    EXPECT_EQ(b[3], '\0');
    SysFreeString(b);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Component, UnregisteredOrMalformedClassesAreRefused)
{
    CTempHives hives;
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID("No.Such.1", &clsid), REGDB_E_CLASSNOTREG);
    const GUID g = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    SComClassRegistration reg{g, "Test", "Test.Class.1", "Test.Class", "Apartment", "/nonexistent/plugin.so"};
    ASSERT_EQ(RegisterComClass(reg), S_OK);
    ASSERT_EQ(CLSIDFromProgID("Test.Class", &clsid), S_OK);
    EXPECT_TRUE(clsid == g);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(g, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), CO_E_DLLNOTFOUND);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(UnregisterComClass(reg), S_OK);
    EXPECT_EQ(CLSIDFromProgID("Test.Class.1", &clsid), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(g, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
}

TEST(Component, UnregisteringADamagedClassKeyEnds)
{
    CTempHives hives;
    const GUID g = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    SComClassRegistration reg{g, "Test", "Test.Class.1", "Test.Class", "Apartment", "/nonexistent/plugin.so"};
    ASSERT_EQ(RegisterComClass(reg), S_OK);
    // A row of the file itself with an empty name, which would name the
    // ProgID's key again and again.
    InsertKeyRow(hives.ClassesHive(), KeyRowNamed(hives.ClassesHive(), "Test.Class.1"), "");
    EXPECT_EQ(UnregisterComClass(reg), S_OK);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID("Test.Class.1", &clsid), REGDB_E_CLASSNOTREG);
}
