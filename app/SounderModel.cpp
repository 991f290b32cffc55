#include "app/SounderModel.h"

#include <array>
#include <cctype>

namespace app {

namespace {

constexpr std::array<SounderModelInfo, 6> kModels{{
    {kQY210, "QY210", IDR_MENU_QY, 253, ids::TITLE_QY210, "zelvarqy210shutdown"},
    {kQY310, "QY310", IDR_MENU_QY, 252, ids::TITLE_QY310, "zelvarqy310shutdown"},
    {kRM30, "RM30", IDR_MENU_RM30, 0, ids::TITLE_RM30, "zelvarrm30shutdown"},
    {kTQ30, "TQ30", IDR_MENU_TQ30, 0, ids::TITLE_TQ30, "zelvartq30shutdown"},
    {kTOTAL, "TOTAL", IDR_MENU_TOTAL, 0, ids::TITLE_TOTAL, "zelvartotalshutdown"},
    {kQYNVU, "QYNVU", IDR_MENU_QY, 252, ids::TITLE_QYNVU, nullptr},
}};

}  // namespace

const SounderModelInfo& ModelInfo(SounderType type)
{
    const auto index = static_cast<std::size_t>(type);
    return index < kModels.size() ? kModels[index] : kModels[kQY310];
}

std::string ToUpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string ExecutableModelName(std::string_view argv0)
{
    const auto slash = argv0.find_last_of('/');
    std::string_view base = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
    // Only a real extension goes: "qy310.exe" loses ".exe", "QY310" keeps
    // every character (the original cut four characters blindly).
    const auto dot = base.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0)
        base = base.substr(0, dot);
    return ToUpperAscii(base);
}

std::optional<SounderType> ModelFromExecutableName(std::string_view upperName)
{
    // The order in which the names are tried.
    static constexpr std::array<SounderType, 5> kOrder{kQY210, kRM30, kQY310, kQYNVU, kTQ30};
    for (SounderType t : kOrder)
        if (upperName == ModelInfo(t).name)
            return t;
    return std::nullopt;
}

std::optional<SounderType> ModelFromSounderName(std::string_view value)
{
    static constexpr std::array<SounderType, 6> kOrder{kQY210, kQY310, kQYNVU, kRM30, kTQ30, kTOTAL};
    const std::string upper = ToUpperAscii(value);
    for (SounderType t : kOrder)
        if (upper == ModelInfo(t).name)
            return t;
    return std::nullopt;
}

}  // namespace app
