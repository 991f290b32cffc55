// The wide-band unit's datagrams through the driver itself: each goes to
// CNVU::TakeReceived as the receive thread hands it over, so the driver's
// own dispatch by code reaches the sample ring, the information messages of
// the connect sequence and their set-up mask, the analog and event inputs,
// the version and configuration answers, the transmit-started mark and the
// count of silent waits that ends a ping with a placeholder and then gives
// the link up. Between datagrams the input may start and trigger a ping as
// the trigger thread does, so that a silence counts.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/SilentUnitLink.h"

#include "transceivers/DatagramLink.h"
#include "transceivers/NVU.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    InstalledTransceiverInfo info;
    info.type = TransceiverType::NVU;
    info.unitAddress = 0x7F000001u;
    info.channelCount = 0;
    info.transceiverId = "NVU1";
    UnitTimings timings;
    timings.unitWaitMs = 0;
    timings.ringRetryMs = 0;
    timings.timeoutLogPath.clear();
    timings.ringSamples = 16384;
    CTestTransceiverServices services;
    auto link = std::make_unique<CSilentUnitLink>();
    CSilentUnitLink& road = *link;
    CNVU unit(info, {}, nullptr, services, timings, std::move(link));
    road.WaitForReceiveThread();

    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    while (!in.Empty()) {
        switch (in.Byte() % 5) {
        case 0: {  // the trigger thread starts a ping
            std::int64_t duration = 0;
            unit.Start(duration);
            break;
        }
        case 1: {  // a datagram; one longer than the buffer arrives cut, as the link cuts it
            const std::string_view d = in.Sized();
            const std::size_t n = std::min(d.size(), buffer.size());
            std::memcpy(buffer.data(), d.data(), n);
            unit.TakeReceived(static_cast<int>(n), buffer.data());
            break;
        }
        case 2:
            unit.TakeReceived(IDatagramLink::kTimeout, buffer.data());
            break;
        case 3:
            unit.Trigger(in.Byte() & 1);
            break;
        default:
            unit.TakeReceived(IDatagramLink::kForeign, buffer.data());
            break;
        }
    }
    return 0;
}
