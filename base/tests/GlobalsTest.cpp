// The program-wide tables that are composed rather than written out.
#include "base/Globals.h"

#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramGlobals, RegisteredMessagesMatchTheirNames)
{
    const auto& g = ProgramGlobals();
    EXPECT_EQ(g.exitMessage, RegisterWindowMessage("EXIT_ZELVAR_PELMARIS_NO_SHUTDOWN"));
    EXPECT_EQ(g.helpMessage, RegisterWindowMessage("HELP_REQUIRED_FROM_COM"));
    EXPECT_NE(g.exitMessage, g.helpMessage);
    EXPECT_GE(g.exitMessage, WM_REGISTERED_FIRST);
}

TEST(ProgramGlobals, ColourKeysInTheirOrder)
{
    const auto& g = ProgramGlobals();
    const std::pair<size_t, const char*> alarm[] = {
        {0, ".ACKNORM_FG=Format = 0xRRGGBB"},
        {1, ".ACKNORM_BG=Format = 0xRRGGBB"},
        {2, ".ACKPRI0_FG=Format = 0xRRGGBB"},
        {9, ".ACKPRI3_BG=Format = 0xRRGGBB"},
        {10, ".NOACKPRI0_FG=Format = 0xRRGGBB"},
        {17, ".NOACKPRI3_BG=Format = 0xRRGGBB"},
        {18, ".BACKGROUND1=Background color 1 , Format = 0xRRGGBB"},
        {20, ".BACKGROUND3=Background color 3 , Format = 0xRRGGBB"},
        {21, ".FOREGROUND1=Foreground color 1 , Format = 0xRRGGBB"},
        {23, ".FOREGROUND3=Foreground color 3 , Format = 0xRRGGBB"},
    };
    for (const auto& [i, key] : alarm)
        EXPECT_EQ(g.alarmColourKeys[i], key) << i;
    EXPECT_EQ(g.systemColourKeys[0], ".COLOR_SCROLLBAR=Format = 0xRRGGBB");
    EXPECT_EQ(g.systemColourKeys[21], ".COLOR_3DDKSHADOW=Format = 0xRRGGBB");
    EXPECT_EQ(g.systemColourKeys[24], ".COLOR_INFOBK=Format = 0xRRGGBB");
    EXPECT_EQ(g.blinkSection, "Palettes.BlinkInfo");
    EXPECT_EQ(g.druDeviceName, "\\\\.\\DruDev");
}

TEST(ProgramGlobals, DiagnosticSocketIsBound)
{
    const auto& g = ProgramGlobals();
    ASSERT_TRUE(g.diagnosticSocket.IsValid());
    EXPECT_NE(g.diagnosticSocket.Port(), 0);
}

}  // namespace
