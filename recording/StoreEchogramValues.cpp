#include "recording/StoreEchogramValues.h"

#include "base/AppIds.h"
#include "base/StringTable.h"

#include <algorithm>

namespace zv::recording {

namespace {
constexpr std::uint32_t kTvgTypes[3] = {0, 3, 4};
}  // namespace

int SStoreEchogramValues::TvgIndex(std::uint32_t tvgType)
{
    for (int i = 0; i < 3; ++i)
        if (kTvgTypes[i] == tvgType)
            return i;
    return -1;
}

std::uint32_t SStoreEchogramValues::TvgType(int index)
{
    return kTvgTypes[index];
}

SStoreEchogramValues SStoreEchogramValues::From(const SStoreSettings& settings, bool replaying,
                                                const std::array<SStoreDialogValues::SSlot, 4>& channels)
{
    SStoreEchogramValues v;
    for (std::size_t i = 0; i < 4; ++i)
        v.echogram[i] = channels[i].present && settings.echogram[i] != 0;
    v.surfaceCount = std::min(settings.echogramSurfaceCount, kMaxSurfaceCount);
    v.bottomCount = std::min(settings.echogramBottomCount, kMaxBottomCount);
    v.rangeSurface = settings.echogramRangeSurface;
    v.rangeSurfaceStart = settings.echogramRangeSurfaceStart;
    v.rangeBottom = settings.echogramRangeBottom;
    v.rangeBottomStart = settings.echogramRangeBottomStart;
    v.tvgIndex = TvgIndex(settings.tvgType);
    v.replaying = replaying;
    v.channels = channels;
    return v;
}

std::string SStoreEchogramValues::Title() const
{
    std::string title =
        app::Strings().Load(replaying ? app::ids::ECHOGRAM_PARAMETERS_REPLAY : app::ids::ECHOGRAM_PARAMETERS_NORMAL);
    return title.empty() ? std::string("Store Echogram Dialog") : title;
}

SStoreSettings SStoreEchogramValues::Apply(SStoreSettings settings) const
{
    for (std::size_t i = 0; i < 4; ++i)
        settings.echogram[i] = echogram[i] ? 1 : 0;
    settings.saveEchogramData = std::ranges::any_of(echogram, [](bool on) { return on; }) ? 1 : 0;
    settings.echogramSurfaceCount = std::min(surfaceCount, kMaxSurfaceCount);
    settings.echogramBottomCount = std::min(bottomCount, kMaxBottomCount);
    settings.echogramRangeSurface = rangeSurface;
    settings.echogramRangeSurfaceStart = rangeSurfaceStart;
    settings.echogramRangeBottom = rangeBottom;
    settings.echogramRangeBottomStart = rangeBottomStart;
    // No selection (the type was one no radio shows) keeps the type.
    if (tvgIndex >= 0 && tvgIndex < 3)
        settings.tvgType = TvgType(tvgIndex);
    return settings;
}

}  // namespace zv::recording
