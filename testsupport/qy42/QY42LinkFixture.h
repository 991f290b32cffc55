// What a test of the QY42 link needs besides the simulated unit
// (sim/qy42): the unit as the installation knows it, the channel it offers,
// timings short enough for a test, and the unit installed in the program's
// registry. The QY42 driver's tests and the program's tests against the
// simulated unit set up their unit from here, so both drive the same one.
#pragma once

#include "transceivers/TrList.h"
#include "transceivers/TransceiverRecords.h"
#include "transceivers/UnitTimings.h"

#include "base/RegistrySupport.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zv::test {

// One unit of one 200 kHz channel at the address (host order).
InstalledTransceiverInfo QY42Info(std::uint32_t address);
TransceiverChannelRecord QY42Capability();

// Waits and delays of a few milliseconds instead of the unit's seconds, and
// no time-out notes written to the working folder.
UnitTimings QY42FastTimings();

// The unit's channel as the installation dialog writes it.
CTrList QY42ChannelEntry(std::uint32_t address);

// Installs the unit's channel in the registry of the model (QY310 unless
// named) as the installation dialog would leave it; `more` writes further
// settings while the program's root keys are open.
void InstallQY42Unit(std::uint32_t address, const std::function<void(CRegistrySupport&)>& more = {},
                     const std::string& model = "QY310");

}  // namespace zv::test
