// The QY42 unit's datagrams through the driver itself: each goes to
// CQY42::TakeReceived as the receive thread hands it over, so the driver's
// own dispatch by code reaches the sample ring, the information messages of
// the set-up, the auxiliary (motion, thermistor, event) input, the status
// and version answers and the count of silent waits that ends a ping with a
// placeholder and then gives the link up. Between datagrams the input may
// start a ping as the trigger thread does, so that a silence counts. The
// unit has no channel: the conversion of pings is the qy42 target's.
#include "fuzz/support/UnitDriverFeed.h"

#include "transceivers/QY42.h"

#include <cstdint>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FeedUnitDriver<CQY42>(data, size, FuzzUnitInfo(TransceiverType::QY42, 1, "QY42"),
                          std::optional<TransceiverChannelRecord>{}, false);
    return 0;
}
