#include "app/ui/EchogramColours.h"

#include "app/GreyBackground.h"
#include "display/PaletteControl.h"
#include "platform/MessageBox.h"

#include <array>
#include <cstdint>

namespace app {

namespace {

struct EchogramColour
{
    const char* name;
    std::uint32_t rgb;  // 0xRRGGBB
};

// The echogram colours of the palette table. The models' two families draw
// with the same twelve: the colour tables give no other set.
constexpr std::array<EchogramColour, 12> kEchogramColours{{
    {"ECHOGRAM L GREY", 0x9C8AA8},
    {"ECHOGRAM D GREY", 0x4E4848},
    {"ECHOGRAM L BLUE", 0x006CFF},
    {"ECHOGRAM D BLUE", 0x240CAE},
    {"ECHOGRAM L GREEN", 0x2AD27E},
    {"ECHOGRAM D GREEN", 0x068460},
    {"ECHOGRAM YELLOW", 0xFFFF2A},
    {"ECHOGRAM ORANGE", 0xFC7830},
    {"ECHOGRAM MAGENTA", 0xFC5AA8},
    {"ECHOGRAM L RED", 0xFF1836},
    {"ECHOGRAM D RED", 0xB43C30},
    {"ECHOGRAM BROWN", 0x962A3C},
}};

constexpr COLORREF FromRgb(std::uint32_t rgb)
{
    return RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

}  // namespace

void CEchogramColours::Apply(EchogramColourSet set, int threshold)
{
    if (set == EchogramColourSet::Grey) {
        ApplyGrey();
    } else {
        for (std::size_t k = 0; k < kEchogramColours.size(); ++k)
            m_palettes.SetEntryAllPalettes(PALETTEINDEX(CPaletteControl::kFirstEchoIndex + static_cast<unsigned>(k)),
                                           FromRgb(kEchogramColours[k].rgb), kEchogramColours[k].name);
    }
    const int current = m_palettes.GetCurrentPalette();
    COLORREF background = 0;
    if (threshold >= 1 && threshold <= 11 &&
        m_palettes.GetEntryColour(current, PALETTEINDEX(CPaletteControl::kBackgroundIndex), &background))
        for (int k = 0; k < threshold; ++k)
            m_palettes.SetEntryAllPalettes(PALETTEINDEX(CPaletteControl::kFirstEchoIndex + static_cast<unsigned>(k)),
                                           background, std::string());
    if (current >= 0)
        m_palettes.SelectPalette(current);
}

void CEchogramColours::ApplyGrey()
{
    bool illegal = false;
    for (int p = 0; p < CPaletteControl::kPaletteCount; ++p) {
        COLORREF background = 0;
        COLORREF text = 0;
        if (!m_palettes.GetEntryColour(p, PALETTEINDEX(CPaletteControl::kBackgroundIndex), &background) ||
            !m_palettes.GetEntryColour(p, PALETTEINDEX(CPaletteControl::kTextIndex), &text))
            continue;
        const auto levels = ComputeGreyLevels(background, text);
        if (!levels) {
            illegal = true;  // this palette keeps its greys
            continue;
        }
        for (int k = 0; k < kGreyEntryCount; ++k) {
            const BYTE level = (*levels)[static_cast<std::size_t>(k)];
            m_palettes.SetEntry(p, static_cast<COLORREF>(kGreyFirstEntry + k), std::string(), RGB(level, level, level));
        }
    }
    if (illegal)
        ::MessageBox(0, "Illegal background color", "", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace app
