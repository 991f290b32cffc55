// The role of an output: what leaves the program towards other equipment and
// programs (datagrams, telegrams on a line) is handed to every output in one
// shape, and each output takes the parts it has a use for. The program keeps
// its outputs in one ordered list (COutputList); a new output is one class
// implementing this role and one entry of that list.
//
// Threads: a ping and a depth come on the ping-data thread; texts and
// profiles on whichever thread has them (the user-interface thread, the
// recorder's threads, a decoder's thread). An output locks for itself and
// never waits for the operator.
#pragma once

#include "sensors/DepthReport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CEchoSounder;

// What an output is given of one ping, once every channel has processed it.
struct OutputPing
{
    CEchoSounder& sounder;
    // The environment's sound velocity at this ping, m/s.
    double soundVelocity = 0.0;
    // The water temperature sensor's valid reading, degrees C; none without.
    std::optional<double> waterTemperature;
};

// The kinds of single text an output may take beside the pings.
enum class OutputTextKind {
    // A status or alarm text as the status bar shows it.
    Status,
    // An annotation, with its time.
    Annotation,
    // The geographic history's information on an object, behind its
    // telegram name (prefix "VGR" or "SSG").
    ObjectInformation,
    // The recorder's START and STOP lines, sent as they are.
    RecorderLine,
    // A navigation telegram the decoder relays, with its reception time.
    NavigationRelay,
    // A position text the decoder forwards to post-processing.
    PositionForward,
    // A remote-control telegram ("PE"), with its reception time.
    RemoteCommand,
};

struct OutputText
{
    OutputTextKind kind;
    const std::string& text;
    // File time of the text, 0 for the kinds that carry none (an output
    // stamps those with the time it sends them).
    std::uint64_t time = 0;
    // The telegram name of an object information.
    std::string_view prefix = {};
};

class IOutput
{
public:
    virtual ~IOutput() = default;

    // Each call has a default that takes nothing, so an output overrides
    // what it sends.

    // One ping of the running sounder.
    virtual void TakePing(const OutputPing&) {}
    // One channel's depth of a ping (the channel is not kept out of the
    // depth outputs).
    virtual void TakeDepth(const DepthReport&) {}
    virtual void TakeText(const OutputText&) {}
    // A sound velocity profile text the environment applied.
    virtual void TakeProfile(const std::string& /*text*/, std::uint64_t /*time*/) {}
    // The factory settings: the output's settings go back to their defaults
    // and are saved.
    virtual void RestoreDefaults() {}
};

// An output the program does not have yet: its entry of the list, named, so
// that the program can list it as absent; it takes nothing.
class CAbsentOutput final : public IOutput
{
public:
    explicit CAbsentOutput(const char* name) : m_name(name) {}
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};
