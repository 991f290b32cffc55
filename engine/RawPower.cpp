#include "engine/RawPower.h"

#include <array>

namespace rawpower {

const double* LinearTable()
{
    // Indexed by the word's bit pattern, so negative words sit in the upper half.
    static const std::array<double, 65536> table = [] {
        std::array<double, 65536> t{};
        for (int i = 0; i < 65536; ++i) {
            const auto raw = static_cast<std::int16_t>(static_cast<std::uint16_t>(i));
            t[static_cast<std::size_t>(i)] = std::pow(10.0, raw * kDbPerUnit / 10.0);
        }
        return t;
    }();
    return table.data();
}

}  // namespace rawpower
