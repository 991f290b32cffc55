// The trawl sensor's data as the transceivers take it once a ping, for the
// input header of each channel's ping.
#pragma once

#include <cstdint>

// Eight 32-bit words: each value with its state.
struct TrawlRecord
{
    enum State : std::int32_t { kNone = 0, kTooOld = 1, kValid = 2 };
    std::int32_t depthState = kNone;
    double depth = 0.0;  // m
    std::int32_t openingState = kNone;
    double opening = 0.0;  // m
};
static_assert(sizeof(TrawlRecord) == 8 * sizeof(std::uint32_t));

class ITrawlSource
{
public:
    virtual ~ITrawlSource() = default;
    // Fills the record with the sensor's values and their states; false
    // when it has nothing young enough to give.
    virtual bool GetTrawlData(TrawlRecord& record) const = 0;
};
