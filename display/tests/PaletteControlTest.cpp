#include "display/PaletteControl.h"

#include <gtest/gtest.h>

namespace {

COLORREF Colour(const CPaletteControl& pc, int palette, COLORREF id)
{
    COLORREF c = 0xDEADBEEF;
    EXPECT_TRUE(pc.GetEntryColour(palette, id, &c)) << "palette " << palette << " id " << std::hex << id;
    return c;
}

constexpr COLORREF Hex(std::uint32_t rrggbb)
{
    return RGB(static_cast<BYTE>(rrggbb >> 16), static_cast<BYTE>(rrggbb >> 8), static_cast<BYTE>(rrggbb));
}

TEST(PaletteControl, ColourIdsMapToEntriesAndRefuseTheStaticSlots)
{
    struct Row
    {
        COLORREF id;
        int entry;
        const char* legend;
    };
    const Row rows[] = {
        {PALETTEINDEX(0), -1, "index 0 gives entry -10"},
        {PALETTEINDEX(9), -1, "last low static slot"},
        {PALETTEINDEX(10), 0, "first usable index"},
        {PALETTEINDEX(245), 235, "last usable index"},
        {PALETTEINDEX(246), -1, "first high static slot"},
        {PALETTEINDEX(255), -1, "last static slot"},
        {150, 150, "plain entry number"},
        {0x010000A0, 150, "same entry in index form"},
        {235, 235, "last plain entry"},
        {236, -1, "plain number past the entries"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CPaletteControl::ToEntry(r.id), r.entry) << r.legend;

    CPaletteControl pc;
    EXPECT_FALSE(pc.SetEntry(0, PALETTEINDEX(0), "x", 0));
    EXPECT_FALSE(pc.SetEntry(6, 150, "x", 0));
    EXPECT_FALSE(pc.SetEntry(-1, 150, "x", 0));
    COLORREF untouched = 0x123456;
    EXPECT_FALSE(pc.GetEntryColour(0, PALETTEINDEX(250), &untouched));
    EXPECT_EQ(untouched, 0x123456u);
}

TEST(PaletteControl, DimmingRuleAcrossTheSixPalettes)
{
    CPaletteControl pc;
    pc.SetEntryAllPalettes(0x010000A9, Hex(0xFF1836), "probe");
    EXPECT_EQ(Colour(pc, 3, 0x010000A9), Hex(0xFF1836));
    EXPECT_EQ(Colour(pc, 4, 0x010000A9), Hex(0xFF1836));
    EXPECT_EQ(Colour(pc, 2, 0x010000A9), Hex(0xCC132B));
    EXPECT_EQ(Colour(pc, 1, 0x010000A9), Hex(0x7F0C1B));
    EXPECT_EQ(Colour(pc, 0, 0x010000A9), Hex(0x4C0710));
    EXPECT_EQ(Colour(pc, 5, 0x010000A9), Hex(0x33040A));

    for (std::uint32_t plain : {0x000000u, 0xFFFFFFu}) {
        pc.SetEntryAllPalettes(PALETTEINDEX(200), Hex(plain), "");
        for (int p = 0; p < 6; ++p)
            EXPECT_EQ(Colour(pc, p, PALETTEINDEX(200)), Hex(plain)) << p;
    }

    // Refused above the last index: no palette changes.
    const COLORREF before = Colour(pc, 3, 235);
    pc.SetEntryAllPalettes(0x010000F6, Hex(0x123456), "no");
    EXPECT_EQ(Colour(pc, 3, 235), before);
}

TEST(PaletteControl, NamesAreSharedAndAnEmptyNameKeepsThem)
{
    CPaletteControl pc;
    EXPECT_EQ(pc.GetEntryName(68), "ECHOGRAM BACKGROUND");
    EXPECT_EQ(pc.GetEntryName(0), "");
    pc.SetEntry(4, PALETTEINDEX(78), "", Hex(0x010203));
    EXPECT_EQ(pc.GetEntryName(68), "ECHOGRAM BACKGROUND");
    pc.SetEntry(4, PALETTEINDEX(78), "renamed", Hex(0x010203));
    EXPECT_EQ(pc.GetEntryName(68), "renamed");
    EXPECT_EQ(Colour(pc, 4, PALETTEINDEX(78)), Hex(0x010203));
    EXPECT_EQ(Colour(pc, 3, PALETTEINDEX(78)), Hex(0xFFFFFF));
}

TEST(PaletteControl, DefaultTableHolds)
{
    CPaletteControl pc;
    struct Row
    {
        int palette;
        COLORREF id;
        std::uint32_t rrggbb;
        const char* legend;
    };
    const Row rows[] = {
        {0, PALETTEINDEX(10), 0x969696, "alarm foreground at night"},
        {1, PALETTEINDEX(11), 0xC0C0C0, "alarm background by day"},
        {2, PALETTEINDEX(78), 0xFFFFFF, "echogram background, day/white"},
        {4, PALETTEINDEX(78), 0x000000, "echogram background, day/black"},
        {5, PALETTEINDEX(79), 0x292D28, "echogram text, night unfiltered"},
        {3, PALETTEINDEX(190), 0xF8CB87, "last per-palette entry"},
        {0, PALETTEINDEX(34), 0xFFFFFF, "plain rows at night"},
        {4, PALETTEINDEX(37), 0x9700A3, "plain rows, day/black"},
        {3, PALETTEINDEX(160), 0x9C8AA8, "first echogram colour at full brightness"},
        {2, PALETTEINDEX(171), 0x782130, "last echogram colour at 80 %"},
        {0, PALETTEINDEX(209), 0x4C0000, "spectrum start at 30 %"},
        {3, PALETTEINDEX(240), 0x0000A8, "spectrum end"},
        {3, PALETTEINDEX(241), 0x66665E, "betong4"},
        {3, PALETTEINDEX(104), 0x000000, "never written"},
        {3, PALETTEINDEX(105), 0x141414, "first grey ramp starts at 20"},
        {3, PALETTEINDEX(106), 0x212121, "then 33"},
        {3, PALETTEINDEX(114), 0x8C8C8C, "and ends at 140"},
        {3, PALETTEINDEX(115), 0x969696, "second ramp starts at 150"},
        {3, PALETTEINDEX(159), 0xEBEBEB, "and ends at 235"},
        {0, PALETTEINDEX(114), 0x2A2A2A, "ramp dimmed to 30 %"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Colour(pc, r.palette, r.id), Hex(r.rrggbb)) << r.legend;

    // The day palettes share every plain row.
    for (int e = 24; e <= 67; ++e) {
        EXPECT_EQ(Colour(pc, 1, static_cast<COLORREF>(e)), Colour(pc, 2, static_cast<COLORREF>(e))) << e;
        EXPECT_EQ(Colour(pc, 2, static_cast<COLORREF>(e)), Colour(pc, 3, static_cast<COLORREF>(e))) << e;
    }
    for (const auto* block : {pc.GetLogPalette(0), pc.GetLogPalette(5)}) {
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->palVersion, 0x300);
        EXPECT_EQ(block->palNumEntries, 256);
        for (const auto& e : block->palPalEntry)
            EXPECT_EQ(e.peFlags, PC_NOCOLLAPSE);
    }
    EXPECT_EQ(pc.GetSystemColour(0, 21), Hex(0x404034));
    EXPECT_EQ(pc.GetSystemColour(3, 1), Hex(0x008080));
    EXPECT_EQ(pc.GetSystemColour(4, 24), Hex(0xFFFFE1));
    EXPECT_EQ(pc.GetSystemColour(5, 23), Hex(0x2D0000));
    EXPECT_FALSE(pc.SetSystemColour(0, 25, 0));
    EXPECT_FALSE(pc.IsModified());
}

TEST(PaletteControl, SelectionSwitchesScreenAndDesktopAndRestoresOnExit)
{
    std::array<COLORREF, 25> desktop{};
    for (int i = 0; i < 25; ++i)
        desktop[static_cast<std::size_t>(i)] = static_cast<COLORREF>(0x10000 + i);
    const auto original = desktop;
    int realized = 0;
    {
        CPaletteControl pc({[&] { return desktop; }, [&](const std::array<COLORREF, 25>& c) { desktop = c; }},
                           [&](const LOGPALETTE&) {
                               ++realized;
                               return true;
                           });
        EXPECT_EQ(pc.GetCurrentPalette(), -1);
        EXPECT_EQ(pc.GetCurrentLogPalette(), nullptr);

        EXPECT_EQ(pc.SelectPalette(6), 0);
        EXPECT_EQ(pc.SelectPalette(-1), 0);
        EXPECT_EQ(pc.GetCurrentPalette(), -1);
        EXPECT_EQ(realized, 0);

        EXPECT_EQ(pc.SelectPalette(2), 0);
        EXPECT_EQ(pc.GetCurrentPalette(), 2);
        EXPECT_EQ(realized, 1);
        EXPECT_EQ(desktop[1], pc.GetSystemColour(2, 1));
        EXPECT_EQ(pc.GetDevicePalette().palPalEntry[68].peRed, 0xFF);
        EXPECT_TRUE(pc.IsModified());

        pc.SelectPalette(0);
        EXPECT_EQ(pc.GetDevicePalette().palPalEntry[68].peRed, 0x00);
        EXPECT_EQ(desktop[21], Hex(0x404034));
    }
    EXPECT_EQ(desktop, original);
}

}  // namespace
