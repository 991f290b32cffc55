// The wide-band unit's datagrams through the driver itself: each goes to
// CNVU::TakeReceived as the receive thread hands it over, so the driver's
// own dispatch by code reaches the sample ring, the information messages of
// the connect sequence and their set-up mask, the analog and event inputs,
// the version and configuration answers, the transmit-started mark and the
// count of silent waits that ends a ping with a placeholder and then gives
// the link up. Between datagrams the input may start and trigger a ping as
// the trigger thread does, so that a silence counts.
#include "fuzz/support/UnitDriverFeed.h"

#include "transceivers/NVU.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FeedUnitDriver<CNVU>(data, size, FuzzUnitInfo(TransceiverType::NVU, 0, "NVU1"),
                         std::vector<TransceiverChannelRecord>{}, true);
    return 0;
}
