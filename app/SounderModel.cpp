#include "app/SounderModel.h"

#include <array>
#include <cctype>

namespace app {

namespace {

constexpr std::array<SounderModelInfo, 6> kModels{{
    {SounderModel::QY210, "QY210", IDR_MENU_QY, 253, ids::TITLE_QY210, "zelvarqy210shutdown"},
    {SounderModel::QY310, "QY310", IDR_MENU_QY, 252, ids::TITLE_QY310, "zelvarqy310shutdown"},
    {SounderModel::RM30, "RM30", IDR_MENU_RM30, 0, ids::TITLE_RM30, "zelvarrm30shutdown"},
    {SounderModel::TQ30, "TQ30", IDR_MENU_TQ30, 0, ids::TITLE_TQ30, "zelvartq30shutdown"},
    {SounderModel::TOTAL, "TOTAL", IDR_MENU_TOTAL, 0, ids::TITLE_TOTAL, "zelvartotalshutdown"},
    {SounderModel::QYNVU, "QYNVU", IDR_MENU_QY, 252, ids::TITLE_QYNVU, nullptr},
}};

}  // namespace

const SounderModelInfo& ModelInfo(SounderModel type)
{
    const auto index = static_cast<std::size_t>(type);
    return index < kModels.size() ? kModels[index] : kModels[static_cast<std::size_t>(SounderModel::QY310)];
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

std::optional<SounderModel> ModelFromExecutableName(std::string_view upperName)
{
    // The order in which the names are tried.
    using enum SounderModel;
    static constexpr std::array<SounderModel, 5> kOrder{QY210, RM30, QY310, QYNVU, TQ30};
    for (SounderModel t : kOrder)
        if (upperName == ModelInfo(t).name)
            return t;
    return std::nullopt;
}

std::optional<SounderModel> ModelFromSounderName(std::string_view value)
{
    using enum SounderModel;
    static constexpr std::array<SounderModel, 6> kOrder{QY210, QY310, QYNVU, RM30, TQ30, TOTAL};
    const std::string upper = ToUpperAscii(value);
    for (SounderModel t : kOrder)
        if (upper == ModelInfo(t).name)
            return t;
    return std::nullopt;
}

}  // namespace app
