// The bottom detector's settings file of 104 bytes: read as the detector
// reads it at start. A record it takes must come back unchanged when written
// and read again, and must carry the detector through a run of pings with
// either detector and a second-layer reference, whatever depths it holds.
#include "fuzz/support/FuzzEnvironment.h"

#include "engine/BottomDetector.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A ping of noise with a bottom echo at sample `at`, 0.1 m a sample.
std::vector<std::int16_t> Ping(int count, int at)
{
    std::vector<std::int16_t> p(static_cast<std::size_t>(count), -7653);
    for (int i = at; i >= 0 && i < count && i < at + 40; ++i)
        p[static_cast<std::size_t>(i)] = -1700;
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CBottomDetector::Construction c;
    c.SourceName = "T38 38 kHz";
    c.UseSettingsFolder = false;
    c.ExternalDepth = [](int index, std::string& name, double& depth) {
        name = "T38 38 kHz";
        depth = 12.5 * index;
        return index < 2;
    };
    CBottomDetector detector(c);
    if (!detector.DecodeSettings(data, size))
        return 0;
    const auto record = detector.EncodeSettings();
    CBottomDetector again(c);
    if (!again.DecodeSettings(record.data(), record.size()) || again.EncodeSettings() != record)
        std::abort();  // a record written from taken settings must read back as it was

    for (bool alternative : {false, true}) {
        detector.SetAlternativeDetector(alternative);
        for (int ping = 0; ping < 6; ++ping) {
            const std::vector<std::int16_t> samples = Ping(4000, 300 + 700 * (ping % 4));
            double depth = 0.0, level = 0.0, next = 0.0;
            detector.DetectBottom(samples.data(), static_cast<int>(samples.size()), 0.5 * ping, 0.001, 0.1, 400.0,
                                  depth, level, next);
        }
    }
    return 0;
}
