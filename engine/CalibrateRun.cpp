#include "engine/CalibrateRun.h"

#include "engine/RawPower.h"

#include <algorithm>
#include <array>

namespace calibrate {

namespace {

// Written once and compiled into each version below; a plain loop over
// contiguous arrays without branches, so that the compiler vectorises it.
[[gnu::always_inline]] inline void Kernel(std::int16_t* __restrict out, const std::int16_t* __restrict in,
                                          const std::int16_t* __restrict tvg, int n, int thr, int c)
{
    for (int i = 0; i < n; ++i) {
        const int sum = std::clamp(tvg[i] + in[i] + c, -32768, 32767);
        out[i] = static_cast<std::int16_t>(in[i] > thr ? sum : rawpower::kNoEcho);
    }
}

void RunBaseline(std::int16_t* out, const std::int16_t* in, const std::int16_t* tvg, int n, int thr, int c)
{
    Kernel(out, in, tvg, n, thr, c);
}

[[gnu::target("avx2")]] void RunAvx2(std::int16_t* out, const std::int16_t* in, const std::int16_t* tvg, int n, int thr,
                                     int c)
{
    Kernel(out, in, tvg, n, thr, c);
}

[[gnu::target("avx512f,avx512bw,avx512vl")]] void RunAvx512(std::int16_t* out, const std::int16_t* in,
                                                            const std::int16_t* tvg, int n, int thr, int c)
{
    Kernel(out, in, tvg, n, thr, c);
}

bool Always()
{
    return true;
}

bool HasAvx2()
{
    return __builtin_cpu_supports("avx2");
}

bool HasAvx512()
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl");
}

constexpr std::array<SRunVersion, 3> kVersions = {{
    {"baseline", Always, RunBaseline},
    {"avx2", HasAvx2, RunAvx2},
    {"avx512", HasAvx512, RunAvx512},
}};

RunFunction Pick()
{
    __builtin_cpu_init();
    RunFunction best = RunBaseline;
    for (const SRunVersion& v : kVersions)
        if (v.supported())
            best = v.run;
    return best;
}

}  // namespace

std::span<const SRunVersion> RunVersions()
{
    return kVersions;
}

void CalibrateRun(std::int16_t* out, const std::int16_t* in, const std::int16_t* tvg, int n, int thr, int constant)
{
    static const RunFunction run = Pick();
    if (n > 0)
        run(out, in, tvg, n, thr, constant);
}

}  // namespace calibrate
