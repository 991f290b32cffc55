// Navigation, clock, heading, depth and tide sentences through the one
// telegram decoder, one line each, taking turns at the three roads (serial
// line, network, replay); the first bytes choose the navigation settings.
// The geographic history is then asked for what it holds.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/FuzzNmeaHost.h"

#include "platform/FileTime.h"
#include "sensors/NmeaDecoder.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    CFuzzNmeaHost host(in);
    CNmeaDecoder decoder(&host);
    static constexpr SNmeaSource kRoads[] = {kNmeaFromSerial, kNmeaFromNetwork, kNmeaFromReplay};
    const std::uint64_t start = CFileTime::Now();
    std::uint64_t received = start;
    for (int line = 0; !in.Empty(); ++line, received += 2'000'000)
        decoder.ParseNmeaTelegram(std::string(in.Until('\n')), received, kRoads[line % 3]);
    host.QueryHistory(start - 10'000'000, received);
    return 0;
}
