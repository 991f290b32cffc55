// What the depth telegram formatter reads of the running program: only the
// fixed-width record (type 3) and $PSDF (type 7) read anything. The program
// hands its sources to each object that formats depth telegrams when it
// makes it; read on the ping-data thread and the user-interface thread.
#pragma once

class IDepthTelegramSources
{
public:
    virtual ~IDepthTelegramSources() = default;
    // The environment's sound velocity (m/s); 0 when not known.
    virtual double GetSoundVelocity() const = 0;
    // Recorded data is replayed: a telegram's data has no age.
    virtual bool IsReplaying() const = 0;
    // The serial I/O hub exists and its ZelvarWithoutHeave is on.
    virtual bool IsHubWithoutHeave() const = 0;
};

// No program around the formatter, or a caller whose telegram types read
// none of it: the sound velocity unknown, live data, no serial I/O hub.
class CNoDepthTelegramSources final : public IDepthTelegramSources
{
public:
    double GetSoundVelocity() const override { return 0.0; }
    bool IsReplaying() const override { return false; }
    bool IsHubWithoutHeave() const override { return false; }
};
