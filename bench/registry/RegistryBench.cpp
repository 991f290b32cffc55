// Cost of settings reads and writes on a warm store, and of the write-back
// of a thousand defaults that a first start performs.
#include "base/RegistrySupport.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr const char* kProduct = "Zelvar\\EchoSounder\\QY310\\1.0\\";

HKEY OpenWarmKey()
{
    HKEY key = nullptr;
    RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (DWORD i = 0; i < 50; ++i) {
        const std::string name = "Value" + std::to_string(i);
        RegSetValueEx(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4);
    }
    return key;
}

void BM_QueryValue(benchmark::State& state)
{
    CTempHives hives;
    HKEY key = OpenWarmKey();
    for (auto _ : state) {
        DWORD v = 0, size = 4;
        benchmark::DoNotOptimize(RegQueryValueEx(key, "Value25", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size));
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
    RegCloseKey(key);
}
BENCHMARK(BM_QueryValue);

// What every object does per setting: open the sub key, read, close.
void BM_GetDwordThroughHelper(benchmark::State& state)
{
    CTempHives hives;
    CRegistrySupport reg;
    reg.OpenRootKeys(kProduct);
    HKEY root = CRegistrySupport::UserRootKey();
    DWORD v = 5;
    reg.GetDword(root, "Units\\Depth", "Unit", v, TRUE);
    for (auto _ : state) {
        benchmark::DoNotOptimize(reg.GetDword(root, "Units\\Depth", "Unit", v, TRUE));
    }
    state.SetItemsProcessed(state.iterations());
    reg.CloseRootKeys();
}
BENCHMARK(BM_GetDwordThroughHelper);

void BM_SetValue(benchmark::State& state)
{
    CTempHives hives;
    HKEY key = OpenWarmKey();
    DWORD v = 0;
    for (auto _ : state) {
        ++v;
        benchmark::DoNotOptimize(RegSetValueEx(key, "Value25", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4));
    }
    state.SetItemsProcessed(state.iterations());
    RegCloseKey(key);
}
BENCHMARK(BM_SetValue);

// A first start: a thousand settings read with write-default from an empty
// user root, in twenty sub keys, then one flush to make them durable.
void BM_WriteBackThousandDefaults(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto hives = std::make_unique<CTempHives>();
        CRegistrySupport reg;
        reg.OpenRootKeys(kProduct);
        HKEY root = CRegistrySupport::UserRootKey();
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i) {
            DWORD v = static_cast<DWORD>(i);
            reg.GetDword(root, "Group" + std::to_string(i % 20), "Setting" + std::to_string(i), v, TRUE);
        }
        RegFlushKey(root);
        state.PauseTiming();
        reg.CloseRootKeys();
        hives.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_WriteBackThousandDefaults)->Unit(benchmark::kMillisecond);

void BM_Flush(benchmark::State& state)
{
    CTempHives hives;
    HKEY key = OpenWarmKey();
    DWORD v = 0;
    for (auto _ : state) {
        ++v;
        RegSetValueEx(key, "Value25", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
        benchmark::DoNotOptimize(RegFlushKey(key));
    }
    state.SetItemsProcessed(state.iterations());
    RegCloseKey(key);
}
BENCHMARK(BM_Flush)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
