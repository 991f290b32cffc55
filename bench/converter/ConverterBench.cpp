// Converting a large out file on one core with the file in the page cache:
// bytes of out file per second, and the peak memory of the conversion,
// which must be the same for a file ten times as large.
//
//   bench_converter                             100 MB and 1024 MB
//   ZV_BENCH_CONVERT_MB=4096 bench_converter    a file of this size as well
#include "sim/recgen/RecordingGenerator.h"
#include "tools/converter/ConversionRun.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace zv::converter;
namespace fs = std::filesystem;

namespace {

// An out file of about `mb` megabytes from the generator, made once per size.
class COutFiles
{
public:
    ~COutFiles() { fs::remove_all(m_folder); }
    const std::string& Get(std::int64_t mb)
    {
        auto it = m_files.find(mb);
        if (it != m_files.end())
            return it->second;
        if (m_folder.empty()) {
            std::string t = (fs::temp_directory_path() / "zvbenchconvertXXXXXX").string();
            m_folder = mkdtemp(t.data());
        }
        const std::string path = (m_folder / ("bench" + std::to_string(mb) + ".out")).string();
        zv::recgen::SRecGenScene scene;
        std::string error;
        zv::recgen::ApplySetting(scene, "kind=out", &error);
        zv::recgen::ApplySetting(scene, "gll=1", &error);
        zv::recgen::ApplySetting(scene, "annotate-every=100", &error);
        scene.pings = 1000;
        zv::recgen::SRecGenSummary sum;
        zv::recgen::CRecordingGenerator(scene).Write(path, &sum, &error);
        scene.pings = int(double(mb) * 1048576.0 / (double(sum.bytes) / 1000.0));
        zv::recgen::CRecordingGenerator(scene).Write(path, &sum, &error);
        return m_files[mb] = path;
    }

private:
    fs::path m_folder;
    std::map<std::int64_t, std::string> m_files;
};

COutFiles& Files()
{
    static COutFiles files;
    return files;
}

// Reads the whole file once so that it is in the page cache.
void Warm(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    static char buf[1 << 20];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
    }
}

// A field of the process's status in kB; "VmHWM:" is the peak resident
// memory since ResetPeak.
long StatusKb(const char* field)
{
    std::ifstream f("/proc/self/status");
    std::string key;
    long value = -1;
    while (f >> key) {
        if (key == field) {
            f >> value;
            break;
        }
        f.ignore(1 << 12, '\n');
    }
    return value;
}
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_ConvertOutFile(benchmark::State& state)
{
    const std::string& path = Files().Get(state.range(0));
    const auto size = std::int64_t(fs::file_size(path));
    Warm(path);
    ResetPeak();
    for (auto _ : state) {
        const std::vector<SFileOutcome> o = CConversionRun({}).Run({path});
        if (o.size() != 1 || !o[0].Converted())
            state.SkipWithError("the conversion failed");
        benchmark::DoNotOptimize(o);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_MB"] = double(size) / 1048576.0;
    // The whole process at its peak while converting; the file is read
    // through the page cache, which is not the process's.
    state.counters["peak_rss_MB"] = double(StatusKb("VmHWM:")) / 1024.0;
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(100)->Arg(1024);
    if (const char* mb = std::getenv("ZV_BENCH_CONVERT_MB"))
        b->Arg(std::atoll(mb));
}

}  // namespace

BENCHMARK(BM_ConvertOutFile)->Apply(Sizes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
