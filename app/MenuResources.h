// The main menus of the models (resources 140, 131, 167, 166) as data: the
// frame builds its menu bar from them and the language tables may rename
// their items.
#pragma once

#include "base/AppIds.h"

#include <string>
#include <vector>

namespace app {

struct MenuItem
{
    unsigned id = 0;  // 0: separator (or a pop-up when items is set)
    std::string text;
    std::vector<MenuItem> items;  // pop-up's items
    bool IsSeparator() const { return id == 0 && items.empty(); }
    bool IsPopup() const { return !items.empty(); }
};

// The menu bar of a menu resource; empty for an unknown id.
std::vector<MenuItem> LoadMenuResource(unsigned menuId);

// The system menu (resource 139): Restore, Move, Size, Minimize, Maximize, a
// separator, Close.
std::vector<MenuItem> LoadSystemMenu();

// Every command id of a menu bar, depth first.
std::vector<unsigned> MenuCommandIds(const std::vector<MenuItem>& bar);

// Ids of the two sub-menus that are rebuilt on every update.
inline constexpr unsigned kDepthUnitPopupMarker = cmd::DEPTH_UNIT_FIRST;
inline constexpr unsigned kTemperatureUnitPopupMarker = cmd::TEMP_UNIT_FIRST;

}  // namespace app
