// The scene a synthetic recording shows: channels, a moving bottom, a fish
// school, single targets, noise, the ship's track and a sound velocity
// profile. Every value has a default, so an empty description is a complete
// demo scene.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zv::recgen {

struct SRecGenChannel
{
    double frequencyHz = 38000.0;
    bool splitBeam = true;
    double pulseDuration = 0.001;    // s
    double power = 1000.0;           // W
    double sampleInterval = 0.0001;  // s
    std::uint32_t samples = 2000;
    double draught = 5.0;  // m
    double x = 0.0, y = 0.0, z = 5.0;
    double gain = 25.0;
    // The split beam: 3 dB beam widths (degrees), angle sensitivities
    // (electrical degrees per degree) and angle offsets (degrees).
    double beamWidthAlong = 7.0, beamWidthAthwart = 7.1;
    double sensitivityAlong = 21.9, sensitivityAthwart = 23.0;
    double offsetAlong = 0.0, offsetAthwart = 0.0;
};

struct SRecGenScene
{
    std::string outFile = "demo.raw";
    // An out file (configuration, profile, sentences, a depth datagram a
    // ping, annotations) instead of a raw file of samples.
    bool outKind = false;
    std::string programName = "RECGEN";
    std::uint64_t startTime = 0;  // FILETIME; 0 means 2026-01-01 00:00:00 UTC
    double pingInterval = 1.0;    // s
    int pings = 200;
    std::uint32_t seed = 1;
    std::vector<SRecGenChannel> channels;  // empty means 38 and 120 kHz

    double soundVelocity = 1490.0;
    // Degrees C in every ping; 0.0 is what a unit without a sensor records.
    double waterTemperature = 8.5;
    double bottomDepth = 60.0;    // m below the surface, mean
    double bottomSwing = 10.0;    // m, half the rise and fall of the bottom
    double bottomPeriod = 100.0;  // pings per full rise and fall
    double bottomSv = -15.0;      // dB

    double schoolDepth = 30.0;  // m, centre
    double schoolHeight = 8.0;  // m
    int schoolFirstPing = 40;
    int schoolLastPing = 90;
    double schoolSv = -55.0;

    int targetsPerPing = 3;
    double targetTs = -45.0;  // dB

    // A calibration sphere: a target of sphereTs (dB) at sphereRange (m from
    // the transducer) that crosses the beam on a grid of sphereGrid x
    // sphereGrid angles, one a ping, the outer ones at sphereSpan of each
    // half beam width. None while sphereGrid is 0.
    double sphereTs = -40.0;
    double sphereRange = 20.0;
    int sphereGrid = 0;
    double sphereSpan = 0.8;
    double noiseDb = -150.0;  // received noise power

    double latitude = 60.5;  // degrees at the first ping, north positive
    double longitude = 5.25;
    double speedKnots = 8.0;
    double courseDeg = 45.0;
    bool gll = false;  // a GLL sentence after each GGA
    // A grid position sentence (LLQ) after each GGA: easting and northing
    // in metres from a false origin (GridAt) and the antenna's height.
    bool llq = false;
    double gridHeight = 45.0;
    // Pings whose position sentences carry no fix (empty coordinates), as a
    // receiver sends them while it has none; -1 for none.
    int noFixFirst = -1;
    int noFixLast = -1;
    int annotationEvery = 50;  // pings; 0 for none

    std::uint32_t svpKind = 0;
    std::vector<std::pair<double, double>> svp = {{0, 1495.0}, {20, 1490.0}, {100, 1485.5}};

    // Motion of the ship: heave amplitude (m) and roll/pitch amplitude (deg).
    double heaveAmplitude = 0.5;
    double rollAmplitude = 3.0;
    double pitchAmplitude = 1.5;
    double tide = 0.35;  // m

    // An outside pinger on a cable, heard on the first channel: a pulse of
    // pingerPulse (s) at pingerLevel (dB, received) every pingerPeriod (s),
    // its first at the first ping's time, from pingerDepth (m) below the
    // transducer, which drifts by pingerDrift (m) a ping. None while
    // pingerPeriod is 0.
    double pingerPeriod = 0.0;
    double pingerDepth = 150.0;
    double pingerDrift = 0.0;
    double pingerPulse = 0.002;
    double pingerLevel = -40.0;
};

// Reads "key=value" settings into the scene; unknown keys, malformed
// numbers and out-of-range values are refused with the reason in *error.
bool ApplySetting(SRecGenScene& scene, const std::string& setting, std::string* error);
// Lines of "key=value"; blank lines and lines starting with '#' are skipped.
bool ApplySceneText(SRecGenScene& scene, const std::string& text, std::string* error);
// Fills the defaults that depend on other values (channels, start time).
void CompleteScene(SRecGenScene& scene);

// What the scene shows at a ping, for tests that read a recording back.
double BottomDepthAt(const SRecGenScene& scene, int ping);
// The sphere's angles (degrees) at a ping.
void SphereAnglesAt(const SRecGenScene& scene, int ping, double& along, double& athwart);
std::uint64_t PingTime(const SRecGenScene& scene, int ping);
void PositionAt(const SRecGenScene& scene, int ping, double& lat, double& lon);
// The same position on a flat grid: metres east and north of the first
// ping, from a false origin of 500,000 m east and 6,000,000 m north.
void GridAt(const SRecGenScene& scene, int ping, double& easting, double& northing);
bool HasFix(const SRecGenScene& scene, int ping);
// The first sample of the pinger's pulse in a ping of the first channel, as
// the pulse's time counts from the ping's time plus the pinger mode's
// transmit delay (0.8 ms); -1 when no pulse falls into the ping.
long PingerSampleAt(const SRecGenScene& scene, int ping);
// The pinger's distance (m) at a ping.
double PingerDepthAt(const SRecGenScene& scene, int ping);
// The one-line profile text: count, then ",depth,velocity" with 2 decimals.
std::string ProfileText(const SRecGenScene& scene);
// A number with a fixed count of decimals and a decimal point, in any locale.
std::string Fixed(double v, int decimals);

}  // namespace zv::recgen
