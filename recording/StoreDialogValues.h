// What the recording settings dialog ("Store...") edits: a copy of the
// recorder's settings, the maximum file size in MB, the TVG radio, and what
// it shows: whether logging or replay locks the file settings, the current
// raw file size and the four channel slots.
#pragma once

#include "recording/StoreSettings.h"

#include <array>
#include <cstdint>
#include <string>

namespace zv::recording {

struct SStoreDialogValues
{
    SStoreSettings settings;
    unsigned maxFileSizeMb = 95;  // 1 .. 1000
    int tvgIndex = 1;             // radio 0 "No", 1 "20 log R", 2 "30 log R", 3 "40 log R"; -1 none
    bool locked = false;          // logging on or replay: the file settings stay as they are
    double rawFileMb = 0.0;       // size of the open raw file
    struct SSlot
    {
        bool present = false;
        std::string name;
    };
    std::array<SSlot, 4> channels{};

    static constexpr unsigned kMinMb = 1;
    static constexpr unsigned kMaxMb = 1000;
    // The slider's eleven positions, in MB.
    static constexpr std::array<unsigned, 11> kSliderMb = {1, 2, 3, 5, 10, 25, 50, 100, 250, 500, 1000};
    // The position nearest to a size; of two neighbours the lower one only
    // when it is strictly nearer.
    static int SliderPosition(unsigned mb);
    // TVG type of the settings <-> radio index (-1: a type no radio shows).
    static int TvgIndex(std::uint32_t tvgType);
    static std::uint32_t TvgType(int index);

    // From the recorder's settings and the sounder's channels: a slot without
    // a channel has its products cleared, and a depth channel without one
    // falls back to the first.
    static SStoreDialogValues From(const SStoreSettings& settings, bool locked, double rawFileMb,
                                   const std::array<SSlot, 4>& channels);
    // The settings the dialog's OK gives (folder as entered).
    SStoreSettings Result() const;
};

}  // namespace zv::recording
