// The program's texts by string id, and the menu texts by command id, for
// the language in use. English is built in; another language comes from the
// file "Resource.dll" in the folder of its language id under the language
// path: UTF-8 lines "<id>=<text>" for strings and "menu.<id>=<text>" for
// menu items, "\n" standing for a line break. A text the language does not
// have falls back to English.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace app {

class CStringTable
{
public:
    static constexpr unsigned kEnglish = 1033;

    // English is loaded; any other id is kept only after LoadFile succeeds.
    CStringTable();

    static bool IsEnglish(unsigned languageId) { return (languageId & 0x3FF) == 0x09; }

    // Reads a language file; false (and the table unchanged) when it cannot
    // be read.
    bool LoadFile(const std::string& path, unsigned languageId);
    void UseEnglish();

    unsigned LanguageId() const { return m_language; }

    std::optional<std::string> Find(unsigned id) const;
    // The text, or an empty text when there is none.
    std::string Load(unsigned id) const;
    // A menu item's text for the language; nullopt: keep the built-in one.
    std::optional<std::string> MenuText(unsigned commandId) const;

private:
    unsigned m_language = kEnglish;
    std::map<unsigned, std::string> m_strings;
    std::map<unsigned, std::string> m_menus;
};

// The table of the running program.
CStringTable& Strings();

}  // namespace app
