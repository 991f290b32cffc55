// The one way the program sets the computer's clock. Everything that would
// set it (the navigation clock's forced update, the sounder's deferred clock
// request) goes through CClockSetter::SetUtc; tests install a setter that
// records, and without one the system's own setter decides (see
// SystemClockSetter.h).
#pragma once

#include <cstdint>

class IClockSetter
{
public:
    virtual ~IClockSetter() = default;
    // Sets the UTC clock to the file time; false: refused, nothing changed.
    virtual bool SetUtc(std::uint64_t fileTime) = 0;
};

class CClockSetter
{
public:
    static bool SetUtc(std::uint64_t fileTime);
    // A setter in front of the system's; null puts the system's back.
    static void Install(IClockSetter* setter);
};
