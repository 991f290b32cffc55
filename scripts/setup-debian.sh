#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12.
set -euo pipefail
packages=(
  cmake ninja-build ccache g++ pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  socat libmodbus-dev python3 python3-nmea2
  xvfb xauth xclip imagemagick iproute2 util-linux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
