#include "app/LanguageList.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>

namespace app {

std::optional<std::vector<unsigned>> ListLanguageIds(const std::string& languagePath)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(languagePath, ec);
    if (ec)
        return std::nullopt;
    std::vector<unsigned> ids;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        unsigned id = 0;
        auto [end, err] = std::from_chars(name.data(), name.data() + name.size(), id);
        if (err == std::errc() && end == name.data() + name.size() && id != 0)
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string LocaleNameForLanguageId(unsigned languageId)
{
    struct Row
    {
        unsigned id;
        const char* locale;
    };
    static constexpr std::array<Row, 26> kLocales{{
        {1029, "cs_CZ"}, {1030, "da_DK"}, {1031, "de_DE"}, {1032, "el_GR"}, {1033, "en_US"}, {1034, "es_ES"},
        {1035, "fi_FI"}, {1036, "fr_FR"}, {1038, "hu_HU"}, {1039, "is_IS"}, {1040, "it_IT"}, {1041, "ja_JP"},
        {1042, "ko_KR"}, {1043, "nl_NL"}, {1044, "nb_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1048, "ro_RO"},
        {1049, "ru_RU"}, {1053, "sv_SE"}, {1055, "tr_TR"}, {1061, "et_EE"}, {1062, "lv_LV"}, {1063, "lt_LT"},
        {2052, "zh_CN"}, {2070, "pt_PT"},
    }};
    for (const auto& row : kLocales)
        if (row.id == languageId)
            return row.locale;
    return {};
}

}  // namespace app
