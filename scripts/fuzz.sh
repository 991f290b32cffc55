#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every corpus file through its target, then
# fuzzes each target for a fixed time and prints its executions per second.
# A fault fails the run; its input and log stay in <build>/fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds per target, default 20] [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build=${2:-build-fuzz}
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZELVAR_BUILD_FUZZ=ON -DZELVAR_SANITIZE=address,undefined \
  -DZELVAR_BUILD_UI=OFF -DZELVAR_BUILD_BENCH=OFF -DZELVAR_WERROR=OFF
cmake --build "$build" -j"$jobs" --target fuzz_targets

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/cmake/lsan.supp"
ctest --test-dir "$build" -L fuzz -j"$jobs" --output-on-failure

findings="$build/fuzz/findings"
rm -rf "$findings"
mkdir -p "$findings"
fuzz_one() {
  local exe=$1 seconds=$2 findings=$3
  local name
  name=$(basename "$exe")
  # New inputs go to a scratch folder; the committed corpus is only read.
  mkdir -p "$findings/$name-new"
  if ! "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=32768 -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$findings/$name-new" "$(cat "$exe.corpus")" >"$findings/$name.log" 2>&1; then
    echo "$name: FAULT (input and log in $findings)"
    grep -E "ERROR|runtime error|SUMMARY|Test unit written" "$findings/$name.log" | head -20
    return 1
  fi
  awk -v n="$name" '/stat::number_of_executed_units/ {u=$2} /stat::average_exec_per_sec/ {e=$2}
                    END {printf "%-20s %10d runs %8d exec/s\n", n, u, e}' "$findings/$name.log"
}
export -f fuzz_one
find "$build/fuzz/bin" -maxdepth 1 -type f -name 'fuzz_*' ! -name '*.corpus' | sort |
  xargs -P "$(( jobs > 1 ? jobs / 2 : 1 ))" -I{} bash -c 'fuzz_one "$@"' _ {} "$seconds" "$findings"
