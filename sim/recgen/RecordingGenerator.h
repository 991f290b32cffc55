// Writes a synthetic recording of a scene: the configuration first, the
// profile, then per ping the ship's position sentences and one sample
// datagram per channel (a raw file) or one depth datagram (an out file), and
// now and then an annotation.
#pragma once

#include "sim/recgen/RecGenScene.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zv::recgen {

struct SRecGenSummary
{
    int pings = 0;
    int sampleDatagrams = 0;
    int sentences = 0;
    int annotations = 0;
    int depthDatagrams = 0;
    int profiles = 0;
    std::uint64_t bytes = 0;
};

class CRecordingGenerator
{
public:
    explicit CRecordingGenerator(SRecGenScene scene);

    const SRecGenScene& Scene() const { return m_scene; }
    bool Write(const std::string& path, SRecGenSummary* summary, std::string* error);

    // The samples of one channel at one ping, exactly as written.
    void PingSamples(int ping, std::size_t channel, std::vector<std::int16_t>& power,
                     std::vector<std::int16_t>& angle) const;
    // Sentences of a ping as written, checksums included.
    std::vector<std::string> PingSentences(int ping) const;
    std::string AnnotationText(int ping) const;
    // Channels that get a configuration record (and, in an out file, a
    // depth entry): all in a raw file, the first four in an out file.
    std::size_t RecordedChannels() const;
    // The depth entry of a channel at a ping, exactly as written.
    void PingDepth(int ping, std::size_t channel, float& depth, float& second) const;
    std::string ChannelId(std::size_t channel) const;
    // Power word of a received level in dB (85.0413592 units per dB).
    static std::int16_t PowerWord(double db);

private:
    double Absorption(double frequencyHz) const;
    SRecGenScene m_scene;
};

}  // namespace zv::recgen
