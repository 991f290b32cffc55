#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12.
set -euo pipefail
packages=(
  cmake ninja-build ccache g++ pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  socat libmodbus-dev python3 python3-nmea2 python3-scapy bootpc
  tftp-hpa atftp atftpd curl
  xvfb xauth xclip imagemagick iproute2 util-linux
  cups-daemon cups-client poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  # The print server is for the tests, which run their own: the system's
  # service is neither started nor enabled by the installation.
  policy=/usr/sbin/policy-rc.d
  own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$policy" > /dev/null
    $sudo_cmd chmod 755 "$policy"
    own_policy=1
  fi
  status=0
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" || status=$?
  [ -z "$own_policy" ] || $sudo_cmd rm -f "$policy"
  [ "$status" -eq 0 ] || exit "$status"
  # The TFTP server is for the tests too, which run it on a port of their
  # own: its socket unit would listen on port 69 of every address from the
  # next boot on.
  if [ -d /run/systemd/system ] && command -v systemctl > /dev/null; then
    $sudo_cmd systemctl disable cups.service cups.socket cups.path > /dev/null 2>&1 || true
    $sudo_cmd systemctl disable atftpd.service atftpd.socket > /dev/null 2>&1 || true
  fi
fi
