// zvrecgen: writes a synthetic raw recording of a described scene.
//
//   zvrecgen [--scene FILE] [key=value ...]
//
// The scene file holds key=value lines (# starts a comment); settings on the
// command line follow it and win. Keys: out, kind (raw or out), program, start-unix, pings,
// interval, seed, channels (kHz list), samples, sample-interval, single-beam,
// sound-velocity, water-temperature, bottom, bottom-swing, bottom-period, bottom-sv,
// school-depth, school-height, school-first, school-last, school-sv, targets,
// target-ts, sphere-ts, sphere-range, sphere-grid, sphere-span, beam-along,
// beam-athwart, sens-along, sens-athwart, offset-along, offset-athwart,
// noise, pinger-period (s, 0: no pinger), pinger-depth (m), pinger-drift
// (m a ping), pinger-pulse (s), pinger-level (dB), lat, lon (negative: south,
// west), speed, course, gll, llq (grid sentences), nofix-first, nofix-last
// (pings without a fix), annotate-every, svp-kind, svp (depth:velocity;...),
// heave, roll, pitch, tide.
#include "sim/recgen/RecordingGenerator.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

int main(int argc, char** argv)
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: zvrecgen [--scene FILE] [key=value ...]\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--scene") == 0) {
            if (++i >= argc) {
                std::fprintf(stderr, "zvrecgen: --scene needs a file\n");
                return 2;
            }
            std::ifstream f(argv[i]);
            if (!f) {
                std::fprintf(stderr, "zvrecgen: cannot read scene file %s\n", argv[i]);
                return 2;
            }
            std::stringstream text;
            text << f.rdbuf();
            if (!zv::recgen::ApplySceneText(scene, text.str(), &error)) {
                std::fprintf(stderr, "zvrecgen: %s: %s\n", argv[i], error.c_str());
                return 2;
            }
            continue;
        }
        if (!zv::recgen::ApplySetting(scene, argv[i], &error)) {
            std::fprintf(stderr, "zvrecgen: %s\n", error.c_str());
            return 2;
        }
    }
    zv::recgen::CRecordingGenerator gen(scene);
    zv::recgen::SRecGenSummary sum;
    if (!gen.Write(gen.Scene().outFile, &sum, &error)) {
        std::fprintf(stderr, "zvrecgen: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %d pings, %d sample datagrams, %d depth datagrams, %d sentences, %d annotations, %llu bytes\n",
                gen.Scene().outFile.c_str(), sum.pings, sum.sampleDatagrams, sum.depthDatagrams, sum.sentences,
                sum.annotations, static_cast<unsigned long long>(sum.bytes));
    return 0;
}
