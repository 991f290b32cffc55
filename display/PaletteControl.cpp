#include "display/PaletteControl.h"

#include <mutex>
#include <set>

namespace {

// Colours of the tables below are written 0xRRGGBB, as they read.
constexpr COLORREF Hex(std::uint32_t rrggbb)
{
    return RGB(static_cast<BYTE>(rrggbb >> 16), static_cast<BYTE>(rrggbb >> 8), static_cast<BYTE>(rrggbb));
}

struct PerPaletteRow
{
    int entry;
    const char* name;
    std::uint32_t colour[CPaletteControl::kPaletteCount];
};

// Alarm pairs (foreground, background) keep empty names: their labels are
// for the reader only.
constexpr PerPaletteRow kPerPalette[] = {
    {0, "", {0x969696, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
    {1, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {2, "", {0x969696, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
    {3, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {4, "", {0xC89600, 0xC85A00, 0xC85A00, 0xC85A00, 0xC85A00, 0xC85A00}},
    {5, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {6, "", {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    {7, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {8, "", {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    {9, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {10, "", {0x969696, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
    {11, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {12, "", {0xC89600, 0xC85A00, 0xC85A00, 0xC85A00, 0xC85A00, 0xC85A00}},
    {13, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {14, "", {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    {15, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {16, "", {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    {17, "", {0x000000, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0}},
    {68, "ECHOGRAM BACKGROUND", {0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000}},
    {69, "ECHOGRAM TEXT", {0x404040, 0x808080, 0x000000, 0x000000, 0xFFFFFF, 0x292D28}},
    {70, "IMO NODTA", {0x000000, 0x383D37, 0x95A699, 0xC6C6C6, 0x999999, 0x000000}},
    {71, "IMO CHBLK grey", {0x292929, 0x444B44, 0x000000, 0x000000, 0xC6C6C6, 0x191919}},
    {72, "IMO CHBRN brown", {0x080605, 0x433B19, 0x7F6522, 0xB07125, 0xCC933C, 0x000000}},
    {73, "IMO LANDA brown", {0x100B06, 0x3A3824, 0xB1AA6B, 0xF8CB87, 0xA7895B, 0x000000}},
    {74, "IMO LANDF brown", {0x191500, 0x584718, 0x7F6522, 0xB07125, 0xFFB83C, 0x0A0800}},
    {75, "IMO CSTLN grey", {0x2F2F2F, 0x444B44, 0x535C54, 0x666666, 0xC6C6C6, 0x1D1D1D}},
    {76, "IMO SNDG2 white", {0x363636, 0x545D55, 0x000000, 0x000000, 0xFEFEFE, 0x232323}},
    {77, "IMO DEPSC grey", {0x2F2F2F, 0x444B44, 0x535C54, 0x666666, 0xC6C6C6, 0x1D1D1D}},
    {78, "IMO DEPDW white/black", {0x000000, 0x000000, 0xBBD2C1, 0xFEFEFE, 0x000000, 0x000000}},
    {79, "IMO DEPMD pale blue/blue/black", {0x000000, 0x181B15, 0xA6C2B8, 0xDFEAF3, 0x303234, 0x000000}},
    {80, "IMO DEPMS dark blue", {0x000015, 0x222A2A, 0x8DB5C5, 0xB2D9FF, 0x67586C, 0x000002}},
    {81, "IMO DEPVS blue/dark blue", {0x000015, 0x243337, 0x71A8C2, 0x7FC9FF, 0x4C7899, 0x000002}},
    {82, "IMO DEPIT yellow green", {0x000605, 0x233529, 0x7CA57F, 0x9BC5A3, 0x497F69, 0x000101}},
    {83, "IMO RADHI green", {0x1B2807, 0x335C25, 0x488435, 0x429B3E, 0x6BFC65, 0x0D1600}},
    {84, "IMO RADLO green", {0x0B1301, 0x243E19, 0x6CCF4F, 0x6BFC65, 0x429B3E, 0x010C01}},
    {85, "IMO ARPAT green", {0x1B2807, 0x335C25, 0x488435, 0x429B3E, 0x6BFC65, 0x0D1600}},
    {86, "", {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    {87, "IMO RESBL blue", {0x111B3E, 0x223756, 0x4375C3, 0x2486FF, 0x2486FF, 0x000B1C}},
    {88, "IMO RESGR grey", {0x090E04, 0x1D2828, 0x395054, 0x415B61, 0x415B61, 0x090E04}},
    {89, "IMO SHIPS black/white", {0x2F2F2F, 0x545D55, 0x000000, 0x000000, 0xFEFEFE, 0x232323}},
    {90, "IMO UINFD black/white", {0x363636, 0x5D5D5D, 0x000000, 0x000000, 0xFEFEFE, 0x232323}},
    {91, "IMO UIBCK white/black", {0x000000, 0x000000, 0xDCDCDC, 0xFEFEFE, 0x000000, 0x000000}},
    {92, "IMO UIAFD blue", {0x000015, 0x243337, 0x71A8C2, 0x7FC9FF, 0x4C7899, 0x000002}},
    {93, "IMO UINFR red", {0x4E1008, 0x5C282B, 0xCD4F5D, 0xFF5472, 0xFF5472, 0x210101}},
    {162, "IMO UINFO orange", {0x491D0B, 0x593216, 0xAA5C2C, 0xFF7735, 0xFF7735, 0x0D2400}},
    {163, "IMO UIBDR grey", {0x292929, 0x444B44, 0x768378, 0x999999, 0xC6C6C6, 0x191919}},
    {164, "IMO CHGRF grey", {0x151515, 0x383D37, 0x95A699, 0xC6C6C6, 0x999999, 0x0D0E0D}},
    {165, "IMO LITRD red", {0x4E1008, 0x5C282B, 0xCD4F5D, 0xFF5472, 0xFF5472, 0x2D0700}},
    {166, "IMO CHGRN green", {0x1B2807, 0x2F5D1E, 0x61D13F, 0x6BFC65, 0x6BFC65, 0x0D1600}},
    {167, "IMO LITYW yellow", {0x36260B, 0x5D5820, 0xD2C644, 0xFFEF54, 0xFFEF54, 0x242103}},
    {168, "IMO UINFM magenta", {0x45123A, 0x4E2248, 0xAC44A1, 0xF845D1, 0xF845D1, 0x23071E}},
    {169, "IMO TRFCF magenta", {0x45123A, 0x534653, 0xB899BE, 0xFFB5FA, 0xFFB5FA, 0x23071E}},
    {170, "IMO CHWHT white", {0x2F2F2F, 0x545D55, 0xBBD2C1, 0xFEFEFE, 0xFEFEFE, 0x191919}},
    {171, "IMO UINFG green", {0x1B2807, 0x335C25, 0x6CCF4F, 0x6BFC65, 0x6BFC65, 0x0D1601}},
    {172, "IMO ISDNG magenta", {0x45123A, 0x534653, 0xAC44A1, 0xF845D1, 0xF845D1, 0x23071E}},
    {173, "IMO DNGHL red", {0x4E1008, 0x5C282B, 0xCD4F5D, 0xFF5472, 0xFF5472, 0x2D0700}},
    {174, "IMO UINFF grey", {0x292929, 0x464646, 0x8A8A8A, 0x999999, 0xA6A6A6, 0x191919}},
    {175, "IMO DEPCN grey", {0x292929, 0x383D37, 0x768378, 0x999999, 0x999999, 0x0D0E0D}},
    {176, "IMO RESYW yellow", {0x36260B, 0x5D5820, 0xD2C644, 0xFFEF54, 0xFFEF54, 0x1A1201}},
    {177, "IMO PLRTE red", {0x4E1008, 0x55200E, 0xBD3D28, 0xFF3D27, 0xFF3D27, 0x2D0700}},
    {178, "IMO APLRT orange", {0x491D0B, 0x593C06, 0xCA7E36, 0xEA923D, 0xE79522, 0x240D01}},
    {179, "IMO UINFB blue", {0x111B3E, 0x223756, 0x4375C3, 0x2486FF, 0x2486FF, 0x010B1C}},
    {180, "IMO OUTLL", {0x100B06, 0x3A3824, 0xB1AA6B, 0xF8CB87, 0xA7895B, 0x010200}},
};

// Entries 24..67: four foreground/background rows, repeated; the day
// palettes 1..3 share every value.
constexpr std::uint32_t kPlainRows[4][CPaletteControl::kPaletteCount] = {
    {0xFFFFFF, 0x000000, 0x000000, 0x000000, 0x00DE48, 0xEA0000},
    {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFF00, 0x990000},
    {0xCCCCCC, 0x272727, 0x272727, 0x272727, 0x497EE7, 0xFFFF00},
    {0x161616, 0xDCDCDC, 0xDCDCDC, 0xDCDCDC, 0x9700A3, 0xFEE191},
};

struct BaseRow
{
    int entry;
    const char* name;
    std::uint32_t colour;
};

constexpr BaseRow kAllPalettes[] = {
    {18, "Background1", 0x36648F},
    {19, "Background2", 0x36648F},
    {20, "Background3", 0x36648F},
    {21, "Foreground1", 0xC0C0C0},
    {22, "Foreground2", 0xC0C0C0},
    {23, "Foreground3", 0xC0C0C0},
    {150, "ECHOGRAM L GREY", 0x9C8AA8},
    {151, "ECHOGRAM D GREY", 0x4E4848},
    {152, "ECHOGRAM L BLUE", 0x006CFF},
    {153, "ECHOGRAM D BLUE", 0x240CAE},
    {154, "ECHOGRAM L GREEN", 0x2AD27E},
    {155, "ECHOGRAM D GREEN", 0x068460},
    {156, "ECHOGRAM YELLOW", 0xFFFF2A},
    {157, "ECHOGRAM ORANGE", 0xFC7830},
    {158, "ECHOGRAM MAGENTA", 0xFC5AA8},
    {159, "ECHOGRAM L RED", 0xFF1836},
    {160, "ECHOGRAM D RED", 0xB43C30},
    {161, "ECHOGRAM BROWN", 0x962A3C},
    {181, "Black", 0x000000},
    {182, "White", 0xFFFFFF},
    {183, "Red", 0xFF0000},
    {184, "Green", 0x00FF00},
    {185, "Blue", 0x0000FF},
    {186, "Dark Red", 0x800000},
    {187, "Dark Green", 0x008000},
    {188, "Dark Blue", 0x000080},
    {189, "Cyan", 0x00FFFF},
    {190, "Magenta", 0xFF00FF},
    {191, "Yellow", 0xFFFF00},
    {192, "Dark Cyan", 0x04694C},
    {193, "lys kaki", 0xC8BE73},
    {194, "Dark Yellow", 0x666600},
    {195, "Brown", 0x5A0000},
    {196, "solgul", 0xFFBE00},
    {197, "dempet orange", 0xFFA028},
    {198, "Burgundy", 0x900050},
    {231, "betong4", 0x66665E},
    {232, "betong5", 0x606059},
    {233, "betong6", 0x595954},
    {234, "betong7", 0x51514C},
    {235, "betong8", 0x4C4C47},
};

constexpr std::uint32_t kSpectrum[] = {
    0xFF0000, 0xFF3000, 0xFF6000, 0xFF7800, 0xFF9000, 0xFFA800, 0xFFC000, 0xFFD800, 0xFFF000, 0xFFFF00, 0xF0FF00,
    0xD8FF00, 0xC0FF00, 0xA8FF00, 0x90FF00, 0x78FF00, 0x60FF00, 0x30FF00, 0x00FF00, 0x00FF30, 0x00FF60, 0x00FF90,
    0x00FFC0, 0x00FFF0, 0x00F0FF, 0x00C0FF, 0x0090FF, 0x0060FF, 0x0030FF, 0x0000FF, 0x0000D8, 0x0000A8,
};
static_assert(sizeof(kSpectrum) / sizeof(kSpectrum[0]) == 32);

// Window-furniture colours per palette; palettes 2, 3 and 4 share one set.
constexpr std::uint32_t kSystem[4][CPaletteControl::kSystemColourCount] = {
    {0x808080, 0x000000, 0x000040, 0x000040, 0x000000, 0x000020, 0x000040, 0x404040, 0x404040,
     0x808080, 0x000040, 0x404040, 0x000020, 0x000000, 0x800000, 0x000000, 0x000000, 0x404040,
     0x808080, 0x808080, 0x808080, 0x404034, 0x808080, 0x000000, 0x000000},
    {0x808080, 0x000000, 0x000080, 0x000040, 0x000000, 0x000040, 0x000040, 0x808080, 0xC0C0C0,
     0xC0C0C0, 0x000080, 0x808080, 0x000020, 0x000000, 0x800000, 0x000000, 0x000000, 0x808080,
     0xC0C0C0, 0x808080, 0x808080, 0x000000, 0xC0C0C0, 0x000000, 0xFFFFE1},
    {0xC0C0C0, 0x008080, 0x000080, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
     0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x000080, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
     0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000, 0xFFFFE1},
    {0x808080, 0x000000, 0x00001E, 0x00000C, 0x000000, 0x000020, 0x202020, 0x202020, 0x202020,
     0x202020, 0x202020, 0x101010, 0x000010, 0x000000, 0x500000, 0x000000, 0x101010, 0x201010,
     0x202020, 0x181818, 0x202020, 0x101010, 0x181818, 0x2D0000, 0x000000},
};
constexpr int kSystemRowOfPalette[CPaletteControl::kPaletteCount] = {0, 1, 2, 2, 2, 3};

const std::string kNoName;

std::mutex g_blocksLock;
std::set<const void*> g_blocks;

}  // namespace

bool CPaletteControl::IsPaletteBlock(const void* address)
{
    std::lock_guard lk(g_blocksLock);
    return address != nullptr && g_blocks.count(address) != 0;
}

CPaletteControl::CPaletteControl(SystemColours system, Realizer realize)
    : m_sys(std::move(system)), m_realize(std::move(realize))
{
    if (m_sys.get) {
        m_saved = m_sys.get();
        m_haveSaved = true;
    }
    for (auto& p : m_palettes) {
        p = std::make_unique<LOGPALETTE>();
        for (auto& e : p->palPalEntry)
            e = PALETTEENTRY{0, 0, 0, PC_NOCOLLAPSE};
    }
    m_device = *m_palettes[0];
    {
        std::lock_guard lk(g_blocksLock);
        for (auto& p : m_palettes)
            g_blocks.insert(p.get());
    }
    FillDefaults();
    m_modified = false;
}

CPaletteControl::~CPaletteControl()
{
    {
        std::lock_guard lk(g_blocksLock);
        for (auto& p : m_palettes)
            g_blocks.erase(p.get());
    }
    // The desktop gets back the colours it had before the program started.
    if (m_haveSaved && m_sys.set)
        m_sys.set(m_saved);
}

int CPaletteControl::ToEntry(COLORREF id)
{
    std::uint32_t e = id;
    if (id & 0x01000000u)
        e = (id & ~0x01000000u) - static_cast<std::uint32_t>(kReserved / 2);
    return e < static_cast<std::uint32_t>(kUsable) ? static_cast<int>(e) : -1;
}

int CPaletteControl::DimPercent(int palette)
{
    static constexpr int kPercent[kPaletteCount] = {30, 50, 80, 100, 100, 20};
    return palette >= 0 && palette < kPaletteCount ? kPercent[palette] : 100;
}

int CPaletteControl::SelectPalette(int palette)
{
    if (palette < 0 || palette >= kPaletteCount || !m_palettes[static_cast<std::size_t>(palette)])
        return 0;
    m_device = *m_palettes[static_cast<std::size_t>(palette)];
    RealizeInMainWindow();
    if (m_sys.set)
        m_sys.set(m_system[static_cast<std::size_t>(palette)]);
    if (palette != m_current)
        m_modified = true;
    m_current = palette;
    return 0;
}

BOOL CPaletteControl::SetEntry(int palette, COLORREF id, const std::string& name, COLORREF colour)
{
    if (static_cast<std::uint16_t>(palette) >= kPaletteCount || palette < 0)
        return FALSE;
    const int e = ToEntry(id);
    if (e < 0)
        return FALSE;
    if (!name.empty())
        m_names[static_cast<std::size_t>(e)] = name;
    PALETTEENTRY& rec = m_palettes[static_cast<std::size_t>(palette)]->palPalEntry[static_cast<std::size_t>(e)];
    rec.peRed = GetRValue(colour);
    rec.peGreen = GetGValue(colour);
    rec.peBlue = GetBValue(colour);
    m_modified = true;
    return TRUE;
}

void CPaletteControl::SetEntryAllPalettes(COLORREF id, COLORREF colour, const std::string& name)
{
    if (id > 0x010000F5u)
        return;
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    const bool undimmed = (r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255);
    for (int p : {3, 2, 1, 0, 5, 4}) {
        const int f = undimmed ? 100 : DimPercent(p);
        SetEntry(p, id, name,
                 RGB(static_cast<BYTE>(r * f / 100), static_cast<BYTE>(g * f / 100), static_cast<BYTE>(b * f / 100)));
    }
}

void CPaletteControl::SetGreyRamp(COLORREF first, COLORREF last, int fromLevel, int toLevel)
{
    if (first >= last)
        return;
    const std::int64_t span = static_cast<std::int64_t>(last) - static_cast<std::int64_t>(first);
    for (COLORREF i = first; i <= last; ++i) {
        const std::int64_t k = static_cast<std::int64_t>(i - first);
        const BYTE level = static_cast<BYTE>(fromLevel + (k * (toLevel - fromLevel)) / span);
        SetEntryAllPalettes(i, RGB(level, level, level), std::string());
    }
}

BOOL CPaletteControl::GetEntryColour(int palette, COLORREF id, COLORREF* out) const
{
    if (palette < 0 || palette >= kPaletteCount || !out)
        return FALSE;
    const int e = ToEntry(id);
    if (e < 0)
        return FALSE;
    const PALETTEENTRY& rec = m_palettes[static_cast<std::size_t>(palette)]->palPalEntry[static_cast<std::size_t>(e)];
    *out = RGB(rec.peRed, rec.peGreen, rec.peBlue);
    return TRUE;
}

BOOL CPaletteControl::SetSystemColour(int palette, int element, COLORREF colour)
{
    if (palette < 0 || palette >= kPaletteCount || element < 0 || element >= kSystemColourCount)
        return FALSE;
    m_system[static_cast<std::size_t>(palette)][static_cast<std::size_t>(element)] = colour;
    m_modified = true;
    return TRUE;
}

COLORREF CPaletteControl::GetSystemColour(int palette, int element) const
{
    if (palette < 0 || palette >= kPaletteCount || element < 0 || element >= kSystemColourCount)
        return 0;
    return m_system[static_cast<std::size_t>(palette)][static_cast<std::size_t>(element)];
}

BOOL CPaletteControl::RealizeInMainWindow()
{
    if (!m_realize)
        return FALSE;
    return m_realize(m_device) ? TRUE : FALSE;
}

const std::string& CPaletteControl::GetEntryName(int entry) const
{
    if (entry < 0 || entry >= 256)
        return kNoName;
    return m_names[static_cast<std::size_t>(entry)];
}

const LOGPALETTE* CPaletteControl::GetLogPalette(int palette) const
{
    if (palette < 0 || palette >= kPaletteCount)
        return nullptr;
    return m_palettes[static_cast<std::size_t>(palette)].get();
}

void CPaletteControl::FillDefaults()
{
    for (const PerPaletteRow& row : kPerPalette)
        for (int p = 0; p < kPaletteCount; ++p)
            SetEntry(p, static_cast<COLORREF>(row.entry), row.name, Hex(row.colour[p]));
    for (int e = 24; e <= 67; ++e)
        for (int p = 0; p < kPaletteCount; ++p)
            SetEntry(p, static_cast<COLORREF>(e), std::string(), Hex(kPlainRows[(e - 24) % 4][p]));
    for (const BaseRow& row : kAllPalettes)
        SetEntryAllPalettes(static_cast<COLORREF>(row.entry), Hex(row.colour), row.name);
    for (int k = 0; k < 32; ++k)
        SetEntryAllPalettes(static_cast<COLORREF>(199 + k), Hex(kSpectrum[k]), std::string());
    SetGreyRamp(PALETTEINDEX(105), PALETTEINDEX(114), 20, 140);
    SetGreyRamp(PALETTEINDEX(115), PALETTEINDEX(159), 150, 235);
    for (int p = 0; p < kPaletteCount; ++p)
        for (int el = 0; el < kSystemColourCount; ++el)
            SetSystemColour(p, el, Hex(kSystem[kSystemRowOfPalette[p]][el]));
}
