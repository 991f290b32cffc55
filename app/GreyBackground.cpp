#include "app/GreyBackground.h"

namespace app {

std::optional<std::array<std::uint8_t, kGreyEntryCount>> ComputeGreyLevels(std::uint32_t entry78, std::uint32_t entry79)
{
    if (entry78 >= 1 && entry78 <= 200)
        return std::nullopt;
    // Signed difference: a lighter entry 78 makes the greys step down.
    const std::int64_t step = (static_cast<std::int64_t>(entry79) - static_cast<std::int64_t>(entry78)) / 7;
    const std::int64_t base = entry78 == 0 ? 3 : 255;
    std::array<std::uint8_t, kGreyEntryCount> levels{};
    for (int k = 1; k <= kGreyEntryCount; ++k) {
        const std::int64_t v = k * step + base;
        levels[static_cast<std::size_t>(k - 1)] = static_cast<std::uint8_t>(((v % 256) + 256) % 256);
    }
    return levels;
}

}  // namespace app
