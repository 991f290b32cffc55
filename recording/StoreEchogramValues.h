// What the echogram storage dialog edits: the recorder's echogram storage
// settings (which channels, how many samples about the surface and the
// bottom over which ranges, the TVG), the dialog's title by replay, and the
// four channel slots.
#pragma once

#include "recording/StoreDialogValues.h"
#include "recording/StoreSettings.h"

#include <array>
#include <cstdint>
#include <string>

namespace zv::recording {

struct SStoreEchogramValues
{
    std::array<bool, 4> echogram{};
    unsigned surfaceCount = 250;  // 0 .. kMaxSurfaceCount
    unsigned bottomCount = 500;   // 0 .. kMaxBottomCount
    double rangeSurface = 250.0;
    double rangeSurfaceStart = 0.0;
    double rangeBottom = 25.0;
    double rangeBottomStart = 15.0;
    int tvgIndex = 1;  // radio 0 "No", 1 "20 log R", 2 "30 log R"; -1 none
    bool replaying = false;
    std::array<SStoreDialogValues::SSlot, 4> channels{};

    static constexpr unsigned kMaxSurfaceCount = 10000;
    static constexpr unsigned kMaxBottomCount = 2000;

    // TVG type of the settings <-> radio index. The dialog has no "40 log R":
    // a type no radio stands for gives -1.
    static int TvgIndex(std::uint32_t tvgType);
    static std::uint32_t TvgType(int index);

    // From the recorder's settings: a slot without a channel has its box
    // cleared, so OK switches echogram storage off for it.
    static SStoreEchogramValues From(const SStoreSettings& settings, bool replaying,
                                     const std::array<SStoreDialogValues::SSlot, 4>& channels);
    // "Echogram Parameters - Replay" or "- Normal".
    std::string Title() const;
    // The settings after OK: channels, counts, ranges and, when a radio is
    // selected, the TVG type; SaveEchogramData when any channel stores.
    SStoreSettings Apply(SStoreSettings settings) const;
};

}  // namespace zv::recording
