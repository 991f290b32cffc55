// Position sentences and depth records through the xyz builder as the
// recorder feeds it, and every sentence through the xtf navigation record
// builder. Records one after another, each opened by a choice byte:
//   0: a sentence up to '\n', received a 16-bit count of 10 ms after the
//      one before;
//   1: a depth record: depth and second depth (16-bit, cm), its time a
//      16-bit count of 10 ms about the last receive time (32768 is the same);
//   2: the antenna height (signed 16-bit, cm);
//   3: the lines that can be written now.
// No input may give a line or record whose numbers are no numbers, nor a
// latitude or longitude that is no angle where only degrees came.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "recording/CreateXyz.h"
#include "recording/XtfRecords.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using zv::recording::CCreateXyz;
using zv::recording::CXtfRecords;

constexpr std::uint64_t kTick = 100'000;  // 10 ms in file time
// 2026-07-01 00:00 UTC.
constexpr std::uint64_t kStart = (11644473600ULL + 1782864000ULL) * 10'000'000ULL;

// degreesOnly: no grid sentence came, so every position is in degrees.
void CheckLine(const std::string& line, bool degreesOnly)
{
    double first = 0.0, second = 0.0, depth = 0.0, height = 0.0;
    char date[16], time[16];
    if (std::sscanf(line.c_str(), "%lf %lf %lf %15s %15s %lf", &first, &second, &depth, date, time, &height) != 6)
        std::abort();  // every line has its six fields
    if (!std::isfinite(first) || !std::isfinite(second) || !std::isfinite(depth) || !std::isfinite(height))
        std::abort();
    if (degreesOnly && (std::fabs(first) > 90.0 || std::fabs(second) > 180.0))
        std::abort();  // a position in degrees is on the globe
}

void Drain(CCreateXyz& xyz, bool degreesOnly)
{
    for (std::string line = xyz.NextLine(); !line.empty(); line = xyz.NextLine())
        CheckLine(line, degreesOnly);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get();
    CFuzzInput in(data, size);
    CCreateXyz xyz;
    std::uint64_t received = kStart;
    bool degreesOnly = true;
    while (!in.Empty()) {
        switch (in.Byte() % 4) {
        case 0: {
            received += in.Word() * kTick;
            const std::string sentence(in.Until('\n'));
            if (sentence.size() >= 6 && (sentence.compare(3, 3, "NL,") == 0 || sentence.compare(3, 3, "LLQ") == 0 ||
                                         sentence.compare(3, 3, "LLK") == 0))
                degreesOnly = false;
            xyz.ParseSentence(sentence, received);
            std::array<std::uint8_t, CXtfRecords::kNavigationSize> record;
            if (CXtfRecords::BuildNavigationRecord(sentence, received, record)) {
                double y, x;
                std::memcpy(&y, record.data() + 23, 8);
                std::memcpy(&x, record.data() + 31, 8);
                if (!std::isfinite(y) || !std::isfinite(x))
                    std::abort();
            }
            break;
        }
        case 1: {
            const double depth = in.Word() / 100.0;
            const double second = in.Word() / 100.0;
            const std::uint64_t time = received + in.Word() * kTick - 32768 * kTick;
            xyz.AddDepth(depth, second, time);
            break;
        }
        case 2:
            xyz.SetHeightOffset(std::int16_t(in.Word()) / 100.0);
            break;
        default:
            Drain(xyz, degreesOnly);
        }
        if (xyz.PositionCount() > CCreateXyz::kMaxPositions || xyz.WaitingDepthCount() > CCreateXyz::kMaxDepths)
            std::abort();  // the lists stay bounded whatever comes
    }
    Drain(xyz, degreesOnly);
    return 0;
}
