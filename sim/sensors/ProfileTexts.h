// The sound velocity profiles a profiling instrument or another program
// sends to the program's network input port, in each of the texts it takes:
// S10 (a "$..S10" sentence ended by a backslash line), CALC (ended by the
// line "0  0  0"), SvPlus, PROFILE_HEADER and SV (one line). Our own
// encoders, so that the program's importers are checked against a writer
// they do not share.
#pragma once

#include "sim/sensors/ProbeSimulator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zv::sim {

// The kinds by their command-line names: S10 CALC SvPlus PROFILE_HEADER SV.
const std::vector<std::string>& ProfileKinds();

// The points (depth m, velocity m/s) of the scene's water from the surface
// to the cast's depth, every `spacing` metres.
std::vector<std::pair<double, double>> ProfilePoints(const SProbeScene& scene, double spacing);

// The text of a profile of the kind, lines ended by "\r\n", stamped with the
// local time now; nullopt for a kind it does not know.
std::optional<std::string> EncodeProfileText(const std::string& kind,
                                             const std::vector<std::pair<double, double>>& points);

// The text cut into datagrams as a sender does: a profile with an end mark
// (S10, CALC) in up to `pieces` runs of whole lines, the others, which the
// receiver takes as soon as their first datagram names them, whole. The
// receiver ends each datagram with a line end itself, so none carries its
// last one.
std::vector<std::string> ProfileDatagrams(const std::string& kind, const std::string& text, unsigned pieces);

// Sends the datagrams, in order, to the port on 127.0.0.1 (never anywhere
// else); false with the cause.
bool SendToLoopback(std::uint16_t port, const std::vector<std::string>& datagrams, std::string& error);

}  // namespace zv::sim
