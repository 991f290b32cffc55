// The languages the program can switch to: the folders of the language path
// whose names are language ids in decimal.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

// Language ids found in the folder, ascending; nullopt when the folder
// cannot be listed. Entries that are not a non-zero decimal number are
// skipped.
std::optional<std::vector<unsigned>> ListLanguageIds(const std::string& languagePath);

// The locale of a language id ("nb_NO" for 1044); empty when unknown.
std::string LocaleNameForLanguageId(unsigned languageId);

}  // namespace app
