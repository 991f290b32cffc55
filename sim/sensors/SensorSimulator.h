// A simulated sensor at the far end of a serial line (a pseudo-terminal of
// a socat pair): it sends rounds of sentences at a rate, or misbehaves as a
// line at sea does (a flood at the line's baud rate, garbage, NUL bytes, an
// over-long line, half sentences, silence), and reads the depth telegrams
// the program sends back, unless told not to read at all. As a sound
// velocity probe it answers the program's polls and sends its casts.
#pragma once

#include "sim/sensors/DepthTelegramDecoder.h"
#include "sim/sensors/ProbeSimulator.h"
#include "sim/sensors/SensorSentences.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zv::sim {

class CSensorSimulator
{
public:
    enum class Mode { Rate, Flood, Garbage, Nul, LongLine, Half, Silence };

    struct Settings
    {
        std::string port;                // the line's device path
        int fd = -1;                     // or a line already open (kept open)
        std::vector<std::string> kinds;  // a round: SentenceKinds() names
        Mode mode = Mode::Rate;
        double rateHz = 1.0;   // rounds a second (Rate and the broken modes)
        unsigned baud = 9600;  // the pace of the bytes on the line
        bool read = true;      // false: the program's telegrams pile up
        SSensorScene scene;
        // With a motion scene, each round's heave, roll and pitch are its
        // sines at the time the round goes out.
        std::optional<SMotionScene> motion;
        // A sound velocity probe on the line: it answers polls and sends a
        // cast's lines a round each (besides any kinds).
        std::optional<SProbeScene> probe;
    };

    explicit CSensorSimulator(Settings settings);
    ~CSensorSimulator();
    CSensorSimulator(const CSensorSimulator&) = delete;
    CSensorSimulator& operator=(const CSensorSimulator&) = delete;

    // Opens the line; false with the cause.
    bool Open(std::string& error);
    // Runs until Stop (from another thread or a signal's flag).
    void Run();
    void Stop() { m_stop = true; }
    // Each depth telegram read, as it is read (reader thread).
    std::function<void(const SDepthTelegram&, const std::string& line)> onTelegram;
    // The mode by its command-line name; false for an unknown one.
    static bool ParseMode(const std::string& name, Mode& mode);

private:
    void Write(const std::string& bytes);
    std::string Round();
    void ReadLoop();
    void Answer(const char* bytes, std::size_t length);
    bool Sleep(double seconds);

    Settings m_settings;
    int m_fd = -1;
    bool m_ownsFd = false;
    std::mutex m_writeLock;  // the round and the probe's answers
    std::mutex m_probeLock;
    std::optional<CProbeSimulator> m_probe;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    unsigned m_counter = 0;
};

}  // namespace zv::sim
