#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test.
# Usage: scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bash scripts/setup-debian.sh
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
