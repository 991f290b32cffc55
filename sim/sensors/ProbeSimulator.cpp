#include "sim/sensors/ProbeSimulator.h"

#include <algorithm>
#include <cstdio>

namespace zv::sim {

std::string CProbeSimulator::LineAt(double depth)
{
    m_counter = (m_counter + 1) % 10000;
    char line[96];
    // The water cools 0.05 degrees a metre; a made-up but steady figure.
    std::snprintf(line, sizeof line, "%04u  %.3f  %.2f  %.2f\r\n", m_counter, depth * kPressurePerMetre,
                  m_scene.temperature - 0.05 * depth, m_scene.VelocityAt(depth));
    return line;
}

std::string CProbeSimulator::Receive(std::string_view bytes)
{
    std::string answer;
    for (const char c : bytes) {
        if (c != '\r' && c != '\n') {
            // A command is a letter or two; anything longer is noise.
            if (m_command.size() < 16)
                m_command += c;
            continue;
        }
        if (m_command == "S") {
            answer += LineAt(m_depth);
        } else if (m_command == "M") {
            m_casting = true;
            m_depth = 0.0;
        }
        m_command.clear();
    }
    return answer;
}

std::string CProbeSimulator::Round()
{
    if (!m_casting)
        return {};
    const std::string line = LineAt(m_depth);
    if (m_depth >= m_scene.castDepth || m_scene.step <= 0.0) {
        // The bottom of the cast: hauled back to rest at the surface.
        m_casting = false;
        m_depth = 0.0;
    } else {
        m_depth = std::min(m_scene.castDepth, m_depth + m_scene.step);
    }
    return line;
}

}  // namespace zv::sim
