// The six colour palettes of the program. Each gives the 236 usable entries
// an RGB value and fixes the 25 window-furniture colours that go with it, so
// that a night palette darkens echograms and window frames alike. Entry e
// shows at palette index e + 10; indices 0..9 and 246..255 are the static
// colours of the display and are never written.
//
// User-interface thread only; nothing is locked.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

using COLORREF = std::uint32_t;

// 0x00BBGGRR, red in the low byte.
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 16) & 0xFF);
}
// Palette-index form of a colour reference.
constexpr COLORREF PALETTEINDEX(unsigned n)
{
    return 0x01000000u | (n & 0xFFFFu);
}

constexpr BYTE PC_NOCOLLAPSE = 4;

struct PALETTEENTRY
{
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

// A logical palette as it travels with WM_ES_BACKGROUNDCOLOR.
struct LOGPALETTE
{
    WORD palVersion = 0x300;
    WORD palNumEntries = 256;
    std::array<PALETTEENTRY, 256> palPalEntry{};
};

class CPaletteControl
{
public:
    static constexpr int kPaletteCount = 6;
    static constexpr int kSystemColourCount = 25;
    static constexpr int kReserved = 20;
    static constexpr int kUsable = 256 - kReserved;
    // Entries every picture draws with: the background, the text and lines,
    // and the echo colours of levels 1 to 12 from kFirstEchoIndex on.
    static constexpr int kBackgroundIndex = 78;
    static constexpr int kTextIndex = 79;
    static constexpr int kFirstEchoIndex = 160;
    static constexpr int kEchoColourCount = 12;

    // Window-furniture colours of the desktop: read once at construction,
    // set at every selection and given back at destruction. Either may be
    // empty where the platform has no such colours to change.
    struct SystemColours
    {
        std::function<std::array<COLORREF, kSystemColourCount>()> get;
        std::function<void(const std::array<COLORREF, kSystemColourCount>&)> set;
    };
    // Makes the selected palette the one the screen shows; false when there
    // is no main window yet.
    using Realizer = std::function<bool(const LOGPALETTE&)>;

    explicit CPaletteControl(SystemColours system = {}, Realizer realize = {});
    virtual ~CPaletteControl();
    CPaletteControl(const CPaletteControl&) = delete;
    CPaletteControl& operator=(const CPaletteControl&) = delete;

    static int GetReservedCount() { return kReserved; }
    static int GetUsableCount() { return kUsable; }
    // Entry number of a colour id (palette-index form or a plain entry
    // number); -1 when it names no usable entry.
    static int ToEntry(COLORREF id);

    int GetCurrentPalette() const { return m_current; }
    // Always 0, also after success.
    int SelectPalette(int palette);
    BOOL SetEntry(int palette, COLORREF id, const std::string& name, COLORREF colour);
    // One colour into all six palettes, dimmed per palette.
    void SetEntryAllPalettes(COLORREF id, COLORREF colour, const std::string& name);
    void SetGreyRamp(COLORREF first, COLORREF last, int fromLevel, int toLevel);
    BOOL GetEntryColour(int palette, COLORREF id, COLORREF* out) const;
    BOOL SetSystemColour(int palette, int element, COLORREF colour);
    COLORREF GetSystemColour(int palette, int element) const;
    BOOL RealizeInMainWindow();

    const std::string& GetEntryName(int entry) const;
    // The block of a palette, null for a number outside 0..5.
    const LOGPALETTE* GetLogPalette(int palette) const;
    // The block of the current palette, null before the first selection.
    const LOGPALETTE* GetCurrentLogPalette() const { return GetLogPalette(m_current); }
    // What the screen palette holds now.
    const LOGPALETTE& GetDevicePalette() const { return m_device; }
    bool IsModified() const { return m_modified; }

    // True for the address of a palette block of a live palette control, so
    // a receiver of WM_ES_BACKGROUNDCOLOR never reads through anything else.
    static bool IsPaletteBlock(const void* address);

    // Brightness in percent of palette p under the dimming rule.
    static int DimPercent(int palette);

private:
    void FillDefaults();

    bool m_modified = false;
    std::array<std::array<COLORREF, kSystemColourCount>, kPaletteCount> m_system{};
    std::array<std::unique_ptr<LOGPALETTE>, kPaletteCount> m_palettes;
    std::array<std::string, 256> m_names;
    LOGPALETTE m_device;
    int m_current = -1;
    std::array<COLORREF, kSystemColourCount> m_saved{};
    bool m_haveSaved = false;
    SystemColours m_sys;
    Realizer m_realize;
};
