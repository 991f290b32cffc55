// The simulated serial sensors as a program of their own, for tests over a
// socat pair of pseudo-terminals and for trying the program by hand:
//
//   zvsensorsim --once KIND [VALUE...]
//       prints one sentence of the kind (HDT 123.4, VTG 5.5, DPT 42.0,
//       MTW 12.5, MOTION-ASCII heave roll pitch [invalid], PKVR d1 d2 d3,
//       ...); binary telegrams as they go on the line
//   zvsensorsim --port PATH [--send KIND,KIND...] [--mode MODE] [--rate HZ]
//       [--baud N] [--no-read] [--seconds S] [--depth M] [--heading DEG]
//       [--speed KN] [--opening M] [--lat DDMM.MMMM] [--lon DDDMM.MMMM]
//       [--motion HEAVE_M,PERIOD_S,ROLL_DEG,PITCH_DEG]
//       [--probe] [--velocity M_S] [--gradient M_S_PER_M] [--cast-depth M]
//       [--step M] [--temperature C]
//       sends rounds of the kinds on the line and prints each depth telegram
//       read back from it as "<type> <channel> <metres>". With --probe it is
//       also a sound velocity probe: it answers each poll ("S") with a line
//       at its depth, and "M" starts a cast lowered a step a round.
//   zvsensorsim --profile KIND [--udp PORT] [--pieces N] [--spacing M]
//       [--velocity M_S] [--gradient M_S_PER_M] [--cast-depth M]
//       a sound velocity profile as the text of its kind (S10, CALC, SvPlus,
//       PROFILE_HEADER, SV): printed, or sent to PORT on 127.0.0.1 in up to
//       N datagrams (only S10 and CALC, which end with a mark, are cut).
//
// Modes: rate, flood, garbage, nul, long, half, silence.
#include "sim/sensors/ProfileTexts.h"
#include "sim/sensors/SensorSimulator.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using zv::sim::CSensorSimulator;
using zv::sim::SSensorScene;

namespace {

// Set by the signal handler and read by the watching thread: a lock-free
// atomic serves both (a volatile flag is no synchronisation between threads).
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
void OnSignal(int)
{
    g_stop = true;
}

bool Real(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// The values a kind of --once takes, into the scene.
bool SetValues(const std::string& kind, const std::vector<double>& v, SSensorScene& scene)
{
    if (v.empty())
        return true;
    if (kind.rfind("MOTION-", 0) == 0) {
        if (v.size() > 4)
            return false;
        double* places[] = {&scene.heave, &scene.roll, &scene.pitch};
        for (std::size_t i = 0; i < v.size() && i < 3; ++i)
            *places[i] = v[i];
        // A fourth value of 0 marks the sample invalid.
        scene.motionValid = v.size() < 4 || v[3] != 0.0;
        return true;
    }
    if (kind == "PKVR" || kind == "PKVR-F") {
        for (std::size_t i = 0; i < v.size() && i < 3; ++i)
            scene.netDepth[i] = v[i];
        return v.size() <= 3;
    }
    if (v.size() != 1)
        return false;
    const double value = v[0];
    if (kind == "HDT" || kind == "HDR" || kind == "HDG")
        scene.heading = value;
    else if (kind == "VTG")
        scene.speed = value;
    else if (kind == "DPT" || kind == "DBS" || kind == "DBT")
        scene.depth = value;
    else if (kind == "HFB")
        scene.opening = value;
    else if (kind == "MTW")
        scene.temperature = value;
    else
        return false;
    return true;
}

// "a,b,c,d" into the motion scene's heave amplitude and period, roll and
// pitch amplitudes.
bool ParseMotion(const std::string& text, zv::sim::SMotionScene& motion)
{
    double v[4] = {};
    if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]) != 4 || v[1] <= 0)
        return false;
    motion.heaveAmplitude = v[0];
    motion.heavePeriod = v[1];
    motion.rollAmplitude = v[2];
    motion.pitchAmplitude = v[3];
    return true;
}

int Usage(const char* what)
{
    std::fprintf(stderr, "zvsensorsim: %s\n", what);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    CSensorSimulator::Settings s;
    double seconds = 0.0;
    zv::sim::SProbeScene water;
    bool probe = false;
    std::string profileKind;
    double udpPort = 0.0;
    double pieces = 1.0;
    double spacing = 5.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--once" && hasValue) {
            const std::string kind = argv[++i];
            std::vector<double> values;
            while (i + 1 < argc) {
                double value = 0.0;
                if (!Real(argv[++i], value))
                    return Usage(("--once " + kind + ": bad value: " + argv[i]).c_str());
                values.push_back(value);
            }
            if (!SetValues(kind, values, s.scene))
                return Usage(("--once " + kind + ": bad values").c_str());
            const auto sentence = zv::sim::EncodeSentence(kind, s.scene);
            if (!sentence)
                return Usage(("unknown kind: " + kind).c_str());
            if (zv::sim::IsBinaryKind(kind))
                std::fwrite(sentence->data(), 1, sentence->size(), stdout);
            else
                std::printf("%s\r\n", sentence->c_str());
            return 0;
        }
        if (a == "--port" && hasValue) {
            s.port = argv[++i];
        } else if (a == "--send" && hasValue) {
            std::string list = argv[++i];
            for (std::size_t start = 0; start <= list.size();) {
                const std::size_t comma = list.find(',', start);
                const std::string kind =
                    list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!zv::sim::EncodeSentence(kind, s.scene))
                    return Usage(("unknown kind: " + kind).c_str());
                s.kinds.push_back(kind);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        } else if (a == "--mode" && hasValue) {
            if (!CSensorSimulator::ParseMode(argv[++i], s.mode))
                return Usage((std::string("unknown mode: ") + argv[i]).c_str());
        } else if (a == "--motion" && hasValue) {
            zv::sim::SMotionScene motion;
            if (!ParseMotion(argv[++i], motion))
                return Usage((std::string("--motion: bad value: ") + argv[i]).c_str());
            s.motion = motion;
        } else if (a == "--profile" && hasValue) {
            profileKind = argv[++i];
            if (!zv::sim::EncodeProfileText(profileKind, {}))
                return Usage(("unknown profile kind: " + profileKind).c_str());
        } else if (a == "--probe") {
            probe = true;
        } else if ((a == "--velocity" || a == "--gradient" || a == "--temperature") && hasValue) {
            double v = 0.0;
            if (!Real(argv[++i], v) || !std::isfinite(v))
                return Usage((a + ": bad value: " + argv[i]).c_str());
            (a == "--velocity" ? water.surfaceVelocity : a == "--gradient" ? water.gradient : water.temperature) = v;
        } else if ((a == "--cast-depth" || a == "--step" || a == "--spacing" || a == "--udp" || a == "--pieces") &&
                   hasValue) {
            double v = 0.0;
            if (!Real(argv[++i], v) || !(v > 0) || v > 65535)
                return Usage((a + ": bad value: " + argv[i]).c_str());
            if (a == "--cast-depth")
                water.castDepth = v;
            else if (a == "--step")
                water.step = v;
            else if (a == "--spacing")
                spacing = v;
            else if (a == "--udp")
                udpPort = v;
            else
                pieces = v;
        } else if (a == "--no-read") {
            s.read = false;
        } else if ((a == "--rate" || a == "--baud" || a == "--seconds" || a == "--depth" || a == "--heading" ||
                    a == "--speed" || a == "--opening" || a == "--lat" || a == "--lon") &&
                   hasValue) {
            double v = 0.0;
            if (!Real(argv[++i], v) || v < 0)
                return Usage((a + ": bad value: " + argv[i]).c_str());
            if (a == "--rate")
                s.rateHz = v;
            else if (a == "--baud")
                s.baud = static_cast<unsigned>(v);
            else if (a == "--seconds")
                seconds = v;
            else if (a == "--depth")
                s.scene.depth = v;
            else if (a == "--heading")
                s.scene.heading = v;
            else if (a == "--speed")
                s.scene.speed = v;
            else if (a == "--lat")
                s.scene.latitude = v;
            else if (a == "--lon")
                s.scene.longitude = v;
            else
                s.scene.opening = v;
        } else {
            return Usage(("unknown argument: " + a).c_str());
        }
    }
    if (!profileKind.empty()) {
        const std::string text = *zv::sim::EncodeProfileText(profileKind, zv::sim::ProfilePoints(water, spacing));
        if (udpPort <= 0) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return 0;
        }
        std::string error;
        if (!zv::sim::SendToLoopback(static_cast<std::uint16_t>(udpPort),
                                     zv::sim::ProfileDatagrams(profileKind, text, static_cast<unsigned>(pieces)),
                                     error))
            return Usage(error.c_str());
        return 0;
    }
    if (probe) {
        s.probe = water;
        s.read = true;
    }
    if (s.port.empty())
        return Usage("--port, --profile or --once is needed");
    CSensorSimulator sim(s);
    std::string error;
    if (!sim.Open(error))
        return Usage(error.c_str());
    std::mutex out;
    sim.onTelegram = [&](const zv::sim::SDepthTelegram& t, const std::string&) {
        std::lock_guard lock(out);
        std::printf("%d %d %.2f\n", t.type, t.channel, t.depth + t.offset);
        std::fflush(stdout);
    };
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::thread watch([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!g_stop && (seconds <= 0 || std::chrono::steady_clock::now() < end))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sim.Stop();
    });
    sim.Run();
    g_stop = true;
    watch.join();
    return 0;
}
