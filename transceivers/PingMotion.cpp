#include "transceivers/PingMotion.h"

#include <cmath>
#include <cstring>

void GetPingMotion(IMotionSensor& sensor, std::uint64_t pingTime, double bottomDepth, double soundVelocity,
                   const TransducerOffsets& transducer, std::uint32_t words[12])
{
    double motion[6] = {};
    if (pingTime != 0) {
        const double echo = soundVelocity > 0.0 ? 2.0 * bottomDepth / soundVelocity : 0.0;
        // No bottom yet, or none that makes sense: the echo at the ping time.
        const double later = std::isfinite(echo) && echo > 0.0 && echo < 1e3 ? echo * 1e7 : 0.0;
        double a[4] = {}, b[4] = {};
        if (sensor.GetMotionAtTime(pingTime, transducer, a) &&
            sensor.GetMotionAtTime(pingTime + static_cast<std::uint64_t>(later), transducer, b)) {
            motion[0] = (a[0] + b[0]) * 0.5;
            motion[1] = a[1];
            motion[2] = a[2];
            motion[3] = b[1];
            motion[4] = b[2];
            motion[5] = (a[3] + b[3]) * 0.5;
        }
    }
    static_assert(sizeof motion == 12 * sizeof(std::uint32_t));
    std::memcpy(words, motion, sizeof motion);
}
