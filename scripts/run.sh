#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program and starts it as
# model QY310. Without a display it runs under Xvfb when that is installed,
# else on the offscreen platform. Without arguments for the program it
# replays the demo recording made from sim/recgen/demo.scene.
# Usage: scripts/run.sh [build-dir] [arguments for the program...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bash scripts/setup-debian.sh
cmake -S . -B "$build" -G Ninja -DZELVAR_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target ostrival recgen_demo
program="$build/app/ui/QY310"
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
