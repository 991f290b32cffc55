// The sentences the simulated sensors send: our own encoders of the position
// sentences the navigation input knows, speed (VTG), clock (ZDA), heading
// (HDT, HDR, HDG), depth (DPT, DBS, DBT), the trawl's opening (HFB of talker
// II), the water temperature (MTW of talker YX) and a plain ASCII position line. Each NMEA sentence ends with its
// checksum "*hh"; none carries a line end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zv::sim {

// What the vessel and its instruments measure now.
struct SSensorScene
{
    double latitude = 5957.1234;   // ddmm.mmmm, north
    double longitude = 1043.5678;  // dddmm.mmmm, east
    double easting = 598765.432;   // grid coordinates (m) of LLQ, LLK and PJK
    double northing = 6643210.987;
    double speed = 5.5;         // knots
    double course = 54.7;       // degrees
    double heading = 123.4;     // degrees
    double depth = 42.0;        // m
    double offset = 0.0;        // m, the depth sensor's offset (DPT)
    double opening = 12.5;      // m, the trawl's opening
    double temperature = 10.0;  // degrees C, the water at the transducer
    // The motion sensor: heave (m, up positive as the sensor counts it),
    // roll (starboard down) and pitch (bow up) in degrees, and whether the
    // sensor trusts them (the ASCII line's "?" mark when not).
    double heave = 0.0;
    double roll = 0.0;
    double pitch = 0.0;
    bool motionValid = true;
    // The purse seine's three net sensors (m).
    double netDepth[3] = {25.0, 40.5, 61.25};
    // UTC time of the clock sentence; empty: the computer's time.
    std::optional<std::uint64_t> time;  // file time
};

// The motion of a scene of sines at a time: heave of the given amplitude
// (m) and period (s), roll and pitch of theirs (degrees, seconds), each a
// sine of the file time, so that whoever knows the time knows the motion.
struct SMotionScene
{
    double heaveAmplitude = 1.0;
    double heavePeriod = 8.0;
    double rollAmplitude = 5.0;
    double rollPeriod = 6.0;
    double pitchAmplitude = 2.0;
    double pitchPeriod = 5.0;
};
// Sets the scene's heave, roll and pitch at a file time.
void MoveScene(const SMotionScene& motion, std::uint64_t time, SSensorScene& scene);

// The kinds, by the names the command line uses: GLL GGA GXA GGK PTNLGGK
// PTNLPJK LLQ LLK VTG ZDA HDT HDR HDG DPT DBS DBT HFB MTW ASCII, the motion
// sensor's MOTION-ASCII line and its two 10-byte binary telegrams
// MOTION-VN3500 (0x90 0x90 ...) and MOTION-VN1500 (0x00 0x90 ...), and the
// net sensors' PKVR (metres) and PKVR-F (fathoms), three lines each.
const std::vector<std::string>& SentenceKinds();
// The sentence of a kind; nullopt for a kind it does not know.
std::optional<std::string> EncodeSentence(const std::string& kind, const SSensorScene& scene);
// Binary telegrams go on the line without a line end.
bool IsBinaryKind(const std::string& kind);
// "*%02X" of the XOR of every character after the '$'.
std::string WithChecksum(const std::string& body);
// A number with up to `decimals` places, trailing zeros dropped but one
// place kept ("123.4", "5.0", "274.07").
std::string Number(double value, int decimals);

}  // namespace zv::sim
