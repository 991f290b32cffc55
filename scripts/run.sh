#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program and starts it as
# model QY310. Without a display it runs under Xvfb when that is installed,
# else on the offscreen platform. Without arguments for the program it
# replays the demo recording made from sim/recgen/demo.scene.
#
# Usage: scripts/run.sh [-B build-dir] [arguments for the program...]
#   The build folder is build/, or the one -B or $ZELVAR_BUILD_DIR names; a
#   first argument that is an existing folder is taken as the build folder
#   too. A build folder that exists (test.sh's, say) keeps the options it
#   was configured with; only the program and the demo are built in it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZELVAR_BUILD_DIR:-build}
if [ "${1:-}" = "-B" ] && [ $# -ge 2 ]; then
  build=$2
  shift 2
elif [ -n "${1:-}" ] && [ -d "$1" ]; then
  build=$1
  shift
fi
bash scripts/setup-debian.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DZELVAR_BUILD_BENCH=OFF
fi
cmake --build "$build" -j"$(nproc)" --target ostrival recgen_demo
program="$build/program/QY310"
if [ $# -eq 0 ]; then
  set -- "$build/sim/recgen/demo.raw"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
elif command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@"
else
  QT_QPA_PLATFORM=offscreen exec "$program" "$@"
fi
