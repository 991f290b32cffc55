// Lines of the sound velocity probe's line, each as the time-stamped
// message the component delivers: the first byte chooses whether the probe
// records a cast and whether its velocity is used in real time. A line the
// probe does not take leaves the environment's probe velocity as it was,
// and a recorded cast holds only points inside the velocity window and
// below the surface.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "sensors/Environment.h"
#include "sensors/SvpProbe.h"
#include "sensors/SvpProfileStore.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    CEnvironment environment;
    CSvpProfileStore store([] { return std::string(); }, [] { return SounderModel::QY210; });
    CLiveSensorHost host;
    CSvpProbe probe(environment, store, host);
    if (flags & 0x01)
        probe.StartRecording();
    probe.SetRealTime((flags & 0x02) != 0);

    while (!in.Empty()) {
        const std::string line(in.Until('\n'));
        const double before = environment.GetProbeVelocity();
        CTarnMessage message(line, 16);
        probe.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
        if (!CSvpProbe::ParseLine(line) && environment.GetProbeVelocity() != before)
            std::abort();
    }
    const CSvpProfile cast = probe.RecordedCast();
    for (const _svpPair& p : cast.Points())
        if (!(p.velocity > 1400.0 && p.velocity < 1700.0 && p.depth > 0.0 && p.depth < CSvpProbe::kMaxDepth))
            std::abort();
    probe.Monitor().Refresh();
    return 0;
}
