// What differs between the sounder models: their names, menus, titles,
// power-off variables and default folders, and how the model is chosen from
// the executable's name or the SounderName setting.
#pragma once

#include "base/AppIds.h"

#include <optional>
#include <string>
#include <string_view>

namespace app {

struct SounderModelInfo
{
    SounderModel type;
    const char* name;              // registry sub-key and sounder name
    unsigned mainMenu;             // main menu resource
    unsigned channelMenu;          // channel context menu, 0 when none
    unsigned titleStringId;        // first window text
    const char* powerOffVariable;  // null: the model cannot power off
};

// Table row of a model; every SounderModel has one.
const SounderModelInfo& ModelInfo(SounderModel type);

// The executable's own name as the model is chosen from it: the base name of
// argv[0], an extension removed only where there is one, upper case.
std::string ExecutableModelName(std::string_view argv0);

// The name the program answers to when the model comes from SounderName.
inline constexpr const char* kGenericExecutableName = "PELMARIS";

// Model by executable name; nullopt for any name that is not a model's
// (the generic name included: the caller reads SounderName for it).
std::optional<SounderModel> ModelFromExecutableName(std::string_view upperName);

// Model by a SounderName value, compared in upper case; TOTAL is accepted.
std::optional<SounderModel> ModelFromSounderName(std::string_view value);

std::string ToUpperAscii(std::string_view text);

}  // namespace app
