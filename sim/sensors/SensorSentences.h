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
    // UTC time of the clock sentence; empty: the computer's time.
    std::optional<std::uint64_t> time;  // file time
};

// The kinds, by the names the command line uses: GLL GGA GXA GGK PTNLGGK
// PTNLPJK LLQ LLK VTG ZDA HDT HDR HDG DPT DBS DBT HFB MTW ASCII.
const std::vector<std::string>& SentenceKinds();
// The sentence of a kind; nullopt for a kind it does not know.
std::optional<std::string> EncodeSentence(const std::string& kind, const SSensorScene& scene);
// "*%02X" of the XOR of every character after the '$'.
std::string WithChecksum(const std::string& body);
// A number with up to `decimals` places, trailing zeros dropped but one
// place kept ("123.4", "5.0", "274.07").
std::string Number(double value, int decimals);

}  // namespace zv::sim
