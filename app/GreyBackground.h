// The grey background scheme: twelve grey palette entries (150 to 161)
// derived from a palette's entries 78 and 79, read as 32-bit values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace app {

inline constexpr int kGreyFirstEntry = 150;
inline constexpr int kGreyEntryCount = 12;

// Grey levels of entries 150..161; nullopt for an entry 78 of 1 to 200,
// which is no background this scheme knows ("Illegal background color").
std::optional<std::array<std::uint8_t, kGreyEntryCount>> ComputeGreyLevels(std::uint32_t entry78,
                                                                           std::uint32_t entry79);

}  // namespace app
