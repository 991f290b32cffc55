// The serial peer's own reading of the serial I/O hub's telegrams and its
// own writing of what the hub takes in (sound velocity casts of every kind,
// annotation, remote-control and tide lines), written from the telegram
// layouts and not from the program's code, so that each checks the other.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv::sim {

struct SHubTelegram
{
    // "DBS", "DPT", "DBT", "D" (fixed-width record), "DA", "DB", "PSDF",
    // "CS", "GL", "ST", "SV", "MS", "MTW", "$" (the per-ping telegram), or
    // the text relayed as it came ("RELAY").
    std::string kind;
    // The numbers the telegram carries, in their order (for "D": channel,
    // depth, second value, then frequency kHz, transducer depth and sound
    // velocity when added; for "PSDF": sound velocity, transducer depth in
    // cm, the two depths in cm and the age).
    std::vector<double> values;
    // The time text (HHMMSShh) where the telegram has one.
    std::string time;
    // The text a CS, GL, ST or SV telegram carries.
    std::string text;
};

// One line as the peer reads it, without its line end; nullopt when a
// checksum is wrong or a number cannot be read.
std::optional<SHubTelegram> DecodeHubTelegram(const std::string& line);
// One line of what the decoder gave, for printing.
std::string Describe(const SHubTelegram& telegram);

// The kinds of input the peer sends: "CALC", "S10", "SVPLUS",
// "PROFILE_HEADER", "SV", "ATS", "CS", "PE", "TIDE". Lines end in CR LF.
// Empty for an unknown kind.
std::string HubInput(const std::string& kind);
const std::vector<std::string>& HubInputKinds();

}  // namespace zv::sim
