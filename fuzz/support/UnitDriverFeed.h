// What the fuzz targets of a network unit's driver share: the unit at a
// loopback address, with no waits, no time-out notes and a short sample
// ring, on a road that carries nothing (its receive thread ends at once),
// and the input handed to the driver on the target's own thread as the
// receive and trigger threads would hand it.
#pragma once

#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/SilentUnitLink.h"

#include "transceivers/DatagramLink.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/TransceiverRecords.h"
#include "transceivers/UnitTimings.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The unit as installed at 127.0.0.1 with `channelCount` channels.
inline InstalledTransceiverInfo FuzzUnitInfo(TransceiverType type, int channelCount, const std::string& id)
{
    InstalledTransceiverInfo info;
    info.type = type;
    info.unitAddress = 0x7F000001u;
    info.channelCount = channelCount;
    info.transceiverId = id;
    return info;
}

// Builds `Unit` without channel records (`noChannels`, as its constructor
// takes them) and runs the input through it. Each choice of the input
// starts a ping as the trigger thread does (so that a silence counts), hands
// over a datagram (one longer than the receive buffer arrives cut, as the
// link cuts it), a silent wait or a foreign datagram, or, with `triggers`,
// sets or clears the unit's trigger.
template <class Unit, class Channels>
void FeedUnitDriver(const std::uint8_t* data, std::size_t size, const InstalledTransceiverInfo& info,
                    const Channels& noChannels, bool triggers)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    UnitTimings timings;
    timings.unitWaitMs = 0;
    timings.ringRetryMs = 0;
    timings.timeoutLogPath.clear();
    timings.ringSamples = 16384;
    CTestTransceiverServices services;
    auto link = std::make_unique<CSilentUnitLink>();
    CSilentUnitLink& road = *link;
    Unit unit(info, noChannels, nullptr, services, timings, std::move(link));
    road.WaitForReceiveThread();

    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    const unsigned choices = triggers ? 5 : 4;
    while (!in.Empty()) {
        switch (in.Byte() % choices) {
        case 0: {
            std::int64_t duration = 0;
            unit.Start(duration);
            break;
        }
        case 1: {
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
            if (triggers) {
                unit.Trigger(in.Byte() & 1);
                break;
            }
            [[fallthrough]];
        default:
            unit.TakeReceived(IDatagramLink::kForeign, buffer.data());
            break;
        }
    }
}
