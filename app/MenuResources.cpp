#include "app/MenuResources.h"

namespace app {

namespace {

enum : unsigned {
    kMQY = 1u << 0,
    kMRM = 1u << 1,
    kMTQ = 1u << 2,
    kMTOT = 1u << 3,
    kMAll = kMQY | kMRM | kMTQ | kMTOT,
};

struct Row
{
    int depth;  // 0: pop-up of the bar, 1: item, 2: item of a sub-pop-up
    unsigned id;
    const char* text;
    unsigned menus;
};

// The menu resources share most items; the mask says which have each.
constexpr Row kRows[] = {
    {0, 0, "&File", kMAll},
    {1, cmd::STORE, "Store...", kMAll},
    {1, cmd::ECHOGRAM_STORAGE, "Echogram Storage Parameters", kMAll},
    {1, cmd::HISTORY, "History...", kMAll},
    {1, cmd::ANNOTATION, "Annotation...", kMAll},
    {1, cmd::FILE_PRINT, "Print...", kMAll},
    {1, 0, "", kMAll},
    {1, cmd::PRINT_DB_PING, "Print dB Ping to file", kMQY | kMTOT},
    {1, 0, "", kMQY | kMTOT},
    {1, cmd::APP_EXIT, "E&xit", kMAll},
    {0, 0, "&Operation", kMAll},
    {1, cmd::OPERATION, "Operation...", kMAll},
    {1, cmd::STOP_SOUNDER, "Stop Sounder", kMAll},
    {1, cmd::STEP, "Step!", kMAll},
    {1, cmd::LAYOUT, "Layout...", kMAll},
    {1, 0, "", kMAll},
    {1, cmd::NEW_USER, "New User", kMAll},
    {1, cmd::LOAD_USER, "Load User", kMAll},
    {1, cmd::FACTORY_SETTINGS, "Factory Settings", kMAll},
    {0, 0, "&Install", kMAll},
    {1, cmd::TRANSCEIVER, "Transceiver...", kMAll},
    {1, cmd::ENVIRONMENT, "Environment...", kMAll},
    {1, 0, "", kMAll},
    {1, cmd::NAVIGATION, "Navigation...", kMAll},
    {1, cmd::PURSE_SEINE, "Purse Seine...", kMAll},
    {1, cmd::TRAWL, "Trawl...", kMRM | kMTQ | kMTOT},
    {1, cmd::HEAVE, "Heave...", kMAll},
    {1, cmd::TEMPERATURE, "Temperature...", kMAll},
    {1, cmd::HEADING, "Heading...", kMAll},
    {1, cmd::NMEA_DEPTH, "NMEA Depth", kMAll},
    {1, cmd::LOBE, "Lobe...", kMTQ | kMTOT},
    {1, cmd::FISH, "Fish...", kMRM | kMTOT},
    {1, cmd::SERIAL_INTERFACE, "Serial Interface...", kMQY | kMTOT},
    {1, cmd::NETWORK_INTERFACE, "Network Interface...", kMQY},
    {1, cmd::RAW_DATA, "Raw Data...", kMQY},
    {1, cmd::REMOTE_DISPLAY, "Remote Display...", kMQY | kMTOT},
    {1, cmd::SVP_DIALOG, "Svp Dialog...", kMQY | kMTOT},
    {1, cmd::HW_STATUS, "HW status", kMAll},
    {1, cmd::LX750, "LX750...", kMRM | kMTQ | kMTOT},
    {0, 0, "&View", kMAll},
    {1, cmd::ASYNC_MANUAL, "Manual", kMAll},
    {1, cmd::ASYNC_1SEC, "1 sec Async", kMAll},
    {1, cmd::ASYNC_FAST, "Fast Async", kMAll},
    {1, 0, "", kMAll},
    {1, cmd::PALETTE_NIGHT_FILTERED, "Night Filtered", kMAll},
    {1, cmd::PALETTE_DUSK_DAY, "Dusk Day", kMAll},
    {1, cmd::PALETTE_DAY_WHITE, "Day / White", kMAll},
    {1, cmd::PALETTE_BRIGHT_DAY, "Bright Day", kMAll},
    {1, cmd::PALETTE_DAY_BLACK, "Day / Black", kMAll},
    {1, cmd::PALETTE_NIGHT_UNFILTERED, "Night Unfiltered", kMAll},
    {1, 0, "", kMAll},
    {1, cmd::GRAYSCALE, "Grayscale", kMAll},
    {1, cmd::QY_COLOURS, "QY colours", kMTOT},
    {1, cmd::TQ_COLOURS, "TQ colours", kMTOT},
    {1, cmd::GREY_ON_SIDESCAN, "Grayscale On Sidescan", kMRM | kMTQ | kMTOT},
    {1, cmd::COPPER_ON_SIDESCAN, "Copper On Sidescan", kMRM | kMTQ | kMTOT},
    {1, 0, "", kMAll},
    {1, cmd::STATUS_MESSAGES, "Status messages", kMAll},
    {1, cmd::ALARM_DIALOGS, "Alarm dialogs", kMAll},
    {1, cmd::REPLAY_CONTROL, "Replay Control", kMAll},
    {1, cmd::STATUS_WINDOW, "Status Window", kMAll},
    {0, 0, "O&ptions", kMAll},
    {1, 0, "Depth Unit", kMAll},
    {2, cmd::DEPTH_UNIT_FIRST, "m", kMAll},
    {1, 0, "Temperature Unit", kMAll},
    {2, cmd::TEMP_UNIT_FIRST, "Celsius", kMAll},
    {1, cmd::LANGUAGE, "Language", kMAll},
    {1, cmd::DEBUG_TRACE, "Debug Trace...", kMAll},
    {1, cmd::DEBUG_HXU, "Debug HXU...", kMQY},
    {1, 0, "", kMAll},
    {1, cmd::SECOND_LAYER, "Second &Layer", kMQY | kMTOT},
    {1, cmd::FREQ_SWEEP, "Freq Sweep", kMQY | kMTOT},
    {1, cmd::EXP_CALCULATION, "Exp Calculation", kMQY | kMTOT},
    {0, 0, "&Help", kMAll},
    {1, cmd::HELP_FINDER, "Help Topics", kMAll},
    {1, cmd::ABOUT, "About the Echosounder...", kMAll},
};

unsigned MaskOf(unsigned menuId)
{
    switch (menuId) {
    case IDR_MENU_QY:
        return kMQY;
    case IDR_MENU_RM30:
        return kMRM;
    case IDR_MENU_TQ30:
        return kMTQ;
    case IDR_MENU_TOTAL:
        return kMTOT;
    default:
        return 0;
    }
}

void Collect(const std::vector<MenuItem>& items, std::vector<unsigned>& out)
{
    for (const auto& item : items) {
        if (item.IsPopup())
            Collect(item.items, out);
        else if (item.id != 0)
            out.push_back(item.id);
    }
}

}  // namespace

std::vector<MenuItem> LoadMenuResource(unsigned menuId)
{
    const unsigned mask = MaskOf(menuId);
    std::vector<MenuItem> bar;
    if (mask == 0)
        return bar;
    for (const Row& row : kRows) {
        if (!(row.menus & mask))
            continue;
        MenuItem item{row.id, row.text, {}};
        if (row.depth == 0) {
            bar.push_back(std::move(item));
        } else if (row.depth == 1 && !bar.empty()) {
            bar.back().items.push_back(std::move(item));
        } else if (row.depth == 2 && !bar.empty() && !bar.back().items.empty()) {
            bar.back().items.back().items.push_back(std::move(item));
        }
    }
    return bar;
}

std::vector<MenuItem> LoadSystemMenu()
{
    return {{0xF120, "&Restore", {}},         {0xF010, "&Move", {}},     {0xF000, "&Size", {}},
            {0xF020, "Mi&nimize", {}},        {0xF030, "Ma&ximize", {}}, {0, "", {}},
            {cmd::SYSTEM_CLOSE, "&Close", {}}};
}

std::vector<unsigned> MenuCommandIds(const std::vector<MenuItem>& bar)
{
    std::vector<unsigned> out;
    Collect(bar, out);
    return out;
}

}  // namespace app
