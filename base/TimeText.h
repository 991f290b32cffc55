// A file time as the texts of the program show it to other programs.
#pragma once

#include <cstdint>
#include <string>

// Local time of day "HH:mm:ss", with 1 to 3 decimals of the second after a
// point (tenths, hundredths, milliseconds; truncated); decimals outside 0..3
// count as the nearer end. Empty for a time the calendar cannot show.
std::string FormatTimeLocal(std::uint64_t fileTime, int decimals);
// The local date in the short date format of the user's locale (its LC_TIME,
// "%x"); empty for a time the calendar cannot show.
std::string FormatDateLocal(std::uint64_t fileTime);
