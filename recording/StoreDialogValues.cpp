#include "recording/StoreDialogValues.h"

#include <algorithm>
#include <cstdlib>

namespace zv::recording {

namespace {
constexpr std::uint32_t kTvgTypes[4] = {0, 3, 4, 2};
constexpr std::uint32_t kMb = 1048576;
}  // namespace

int SStoreDialogValues::SliderPosition(unsigned mb)
{
    int best = 0;
    for (int i = 1; i < int(kSliderMb.size()); ++i) {
        const long d = std::labs(long(kSliderMb[std::size_t(i)]) - long(mb));
        const long bestD = std::labs(long(kSliderMb[std::size_t(best)]) - long(mb));
        // Ties go to the higher entry: 95 MB shows 100.
        if (d <= bestD)
            best = i;
    }
    return best;
}

int SStoreDialogValues::TvgIndex(std::uint32_t tvgType)
{
    for (int i = 0; i < 4; ++i)
        if (kTvgTypes[i] == tvgType)
            return i;
    return -1;
}

std::uint32_t SStoreDialogValues::TvgType(int index)
{
    return kTvgTypes[index];
}

SStoreDialogValues SStoreDialogValues::From(const SStoreSettings& settings, bool locked, double rawFileMb,
                                            const std::array<SSlot, 4>& channels)
{
    SStoreDialogValues v;
    v.settings = settings;
    v.maxFileSizeMb = std::clamp<unsigned>(unsigned(settings.maxFileSize / kMb), kMinMb, kMaxMb);
    v.tvgIndex = TvgIndex(settings.tvgType);
    v.locked = locked;
    v.rawFileMb = rawFileMb;
    v.channels = channels;
    for (std::size_t i = 0; i < 4; ++i) {
        if (channels[i].present)
            continue;
        v.settings.echogram[i] = 0;
        v.settings.out[i] = 0;
        v.settings.xyz[i] = 0;
        if (v.settings.nmeaChannel == i)
            v.settings.nmeaChannel = 0;
    }
    if (v.settings.nmeaChannel > 3)
        v.settings.nmeaChannel = 0;
    return v;
}

SStoreSettings SStoreDialogValues::Result() const
{
    SStoreSettings s = settings;
    s.maxFileSize = std::clamp(maxFileSizeMb, kMinMb, kMaxMb) * kMb;
    if (tvgIndex >= 0 && tvgIndex < 4)
        s.tvgType = TvgType(tvgIndex);
    const auto any = [](const std::uint32_t(&a)[4]) { return a[0] || a[1] || a[2] || a[3] ? 1u : 0u; };
    s.saveOutData = any(s.out);
    s.saveEchogramData = any(s.echogram);
    s.saveXyzData = any(s.xyz);
    return s;
}

}  // namespace zv::recording
