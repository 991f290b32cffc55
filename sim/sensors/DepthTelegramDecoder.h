// The simulated peer's own reading of the eight depth telegram types a
// sensor's line sends, written from their layouts and not from the
// program's formatter, so that each checks the other.
#pragma once

#include <optional>
#include <string>

namespace zv::sim {

struct SDepthTelegram
{
    int type = -1;        // 0 to 7
    int channel = -1;     // 0-based where the telegram names it, else -1
    double depth = 0.0;   // m: below the surface (0, 3-7), below the transducer (1, 2)
    double offset = 0.0;  // m: type 1's transducer offset
};

// One telegram without its line end; nullopt when it is none of the eight
// or its checksum fails.
std::optional<SDepthTelegram> DecodeDepthTelegram(const std::string& line);

}  // namespace zv::sim
