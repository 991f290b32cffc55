// Lines of the sound velocity probe's and the water temperature sensor's
// lines, each as the time-stamped message the component delivers, and
// thermistor resistances as the units hand them over. The first byte
// chooses whether the probe records a cast, whether its velocity is used in
// real time and which source the temperature listens to. A line or
// resistance that gives no reading leaves the environment's probe velocity
// and sensor temperature as they were; a recorded cast holds only points
// inside the velocity window and below the surface.
//
// Input: the flags byte, then lines up to '\n'; a line that begins with
// 'R' carries eight bytes of a resistance (a double) after it.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "sensors/Environment.h"
#include "sensors/SvpProbe.h"
#include "sensors/SvpProfileStore.h"
#include "sensors/Temperature.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kUnit = "T38 38 kHz";

}  // namespace

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
    CTemperature temperature(environment, host);
    temperature.StoreSettings((flags & 0x04) ? CTemperature::kAnalog : CTemperature::kSerial, kUnit);
    if (flags & 0x08)
        temperature.ShowDialogData();

    while (!in.Empty()) {
        const std::string line(in.Until('\n'));
        const double velocity = environment.GetProbeVelocity();
        const double water = environment.GetSettings().tempSensor;
        bool reading = false;
        if (line.size() == 9 && line[0] == 'R') {
            double ohms = 0.0;
            std::memcpy(&ohms, line.data() + 1, sizeof ohms);
            temperature.SetResistance(kUnit, ohms);
            reading = !std::isnan(ohms);
        } else {
            CTarnMessage message(line, 16);
            probe.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
            temperature.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
            // The sensors read a message as text: a NUL ends it.
            const std::string text = line.substr(0, line.find('\0'));
            reading = CTemperature::ParseSentence(text).has_value();
            if (!CSvpProbe::ParseLine(text) && environment.GetProbeVelocity() != velocity)
                std::abort();
        }
        const double now = environment.GetSettings().tempSensor;
        // No reading leaves the environment's temperature; none it takes
        // lies outside the water's range.
        if ((!reading && now != water) || !(now >= -2.0 && now <= 30.0))
            std::abort();
    }
    const CSvpProfile cast = probe.RecordedCast();
    for (const _svpPair& p : cast.Points())
        if (!(p.velocity > 1400.0 && p.velocity < 1700.0 && p.depth > 0.0 && p.depth < CSvpProbe::kMaxDepth))
            std::abort();
    const CTemperature::SReading last = temperature.GetReading();
    if (last.valid && !std::isfinite(last.celsius))
        std::abort();
    probe.Monitor().Refresh();
    temperature.Monitor().Refresh();
    return 0;
}
