// A simulated sound velocity probe's side of its serial dialogue. The
// program polls it with "\r", "S", "\r" and starts a cast with "\r", "M",
// "\r"; bare carriage returns are ignored. The probe answers every poll with
// one line at its present depth; a cast lowers it from the surface by a step
// a round, one line each, down to the cast's depth, and then it is hauled
// back to the surface, where it rests until the next "M".
//
// A line holds four blank-separated fields: a counter, the pressure (dbar,
// 1.008 times the depth in metres), the temperature (degrees C) and the
// velocity (m/s):
//     "0007  10.080  9.20  1490.60"
#pragma once

#include <string>
#include <string_view>

namespace zv::sim {

// The water the probe is lowered through: the velocity grows linearly with
// the depth from its surface value (a negative gradient makes it fall).
struct SProbeScene
{
    double surfaceVelocity = 1490.0;  // m/s
    double gradient = 0.06;           // m/s per metre
    double temperature = 10.0;        // degrees C at the surface
    double castDepth = 60.0;          // m, the deepest point of a cast
    double step = 0.5;                // m lowered a round

    double VelocityAt(double depth) const { return surfaceVelocity + gradient * depth; }
};

class CProbeSimulator
{
public:
    static constexpr double kPressurePerMetre = 1.008;

    explicit CProbeSimulator(SProbeScene scene = {}) : m_scene(scene) {}

    // Takes the bytes the program sent and answers what the probe sends
    // back: a line for every poll completed in them.
    std::string Receive(std::string_view bytes);
    // One round of the probe's own pace: while a cast runs, the probe goes
    // down a step and sends its line; otherwise nothing.
    std::string Round();

    bool IsCasting() const { return m_casting; }
    double Depth() const { return m_depth; }
    // The line the probe sends at a depth (the counter advances).
    std::string LineAt(double depth);

private:
    SProbeScene m_scene;
    std::string m_command;  // the characters since the last carriage return
    bool m_casting = false;
    double m_depth = 0.0;
    unsigned m_counter = 0;
};

}  // namespace zv::sim
