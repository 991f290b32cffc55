// The motion of a live ping as every unit type hands it to its channel: the
// motion sensor asked at the ping time and at the time the last bottom's
// echo came back (the two-way time of the channel's last bottom depth), and
// the six motion doubles made of both answers.
#pragma once

#include "sensors/MotionSensor.h"

#include <cstdint>

// The six doubles: the mean heave, roll and pitch at transmission, roll and
// pitch at reception, the mean heave at the transducer; all zero without a
// ping time or a sensor. As the channel takes them: twelve 32-bit words.
void GetPingMotion(IMotionSensor& sensor, std::uint64_t pingTime, double bottomDepth, double soundVelocity,
                   const TransducerOffsets& transducer, std::uint32_t words[12]);
