#!/usr/bin/env bash
# scripts/run.sh: which folder it builds in, that it leaves the options of
# a configured build folder alone, and what it starts. cmake, the package
# check and Xvfb are stand-ins that write their command lines to a log.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/stubs"
log=$work/log
stub() { printf '#!/bin/sh\n%s\n' "$2" > "$work/stubs/$1"; chmod +x "$work/stubs/$1"; }
stub cmake "echo \"cmake \$*\" >> '$log'"
stub xvfb-run "echo \"xvfb-run \$*\" >> '$log'"
stub dpkg-query "echo 'install ok installed'"
export PATH="$work/stubs:$PATH"
unset DISPLAY WAYLAND_DISPLAY ZELVAR_BUILD_DIR

fresh=$work/fresh            # no build folder yet
configured=$work/configured  # configured already, by test.sh say
mkdir -p "$configured"
echo "ZELVAR_BUILD_BENCH:BOOL=ON" > "$configured/CMakeCache.txt"
recording=$work/survey.raw
touch "$recording"
xvfb="xvfb-run -a -s -screen 0 1280x1024x24"
failures=0

# expect <legend> <expected log> -- <run.sh arguments...>
expect() {
  local legend=$1 expected=$2
  shift 3
  : > "$log"
  bash "$repo/scripts/run.sh" "$@" > /dev/null
  if [ "$(cat "$log")" != "$expected" ]; then
    echo "FAIL: $legend"
    echo "  expected: $expected" | sed '2,$s/^/            /'
    echo "  got:      $(cat "$log")" | sed '2,$s/^/            /'
    failures=$((failures + 1))
  fi
}

jobs=$(nproc)
expect "a new build folder is configured without benchmarks, then the program and demo built" \
"cmake -S . -B $fresh -G Ninja -DZELVAR_BUILD_BENCH=OFF
cmake --build $fresh -j$jobs --target ostrival recgen_demo
$xvfb $fresh/program/QY310 $fresh/sim/recgen/demo.raw" -- -B "$fresh"

expect "a configured build folder keeps its options" \
"cmake --build $configured -j$jobs --target ostrival recgen_demo
$xvfb $configured/program/QY310 $recording" -- -B "$configured" "$recording"

expect "a first argument that is a folder is the build folder" \
"cmake --build $configured -j$jobs --target ostrival recgen_demo
$xvfb $configured/program/QY310 $configured/sim/recgen/demo.raw" -- "$configured"

export ZELVAR_BUILD_DIR=$configured
expect "a recording as first argument is the program's, not a build folder" \
"cmake --build $configured -j$jobs --target ostrival recgen_demo
$xvfb $configured/program/QY310 $recording" -- "$recording"

[ "$failures" -eq 0 ]
