#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing
# ZarevoPlus need. Idempotent: installs only what is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libsdl2-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev libfftw3-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  fonts-ipafont-gothic
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool
  pulseaudio pulseaudio-utils
  ffmpeg lame sox parallel
  dpkg-dev file lintian
)

# Optional: a peer the benchmark compares with. CI does not need it, so it is
# installed only when asked for: scripts/install-deps.sh --bench
if [ "${1:-}" = "--bench" ]; then
  packages+=(soundstretch)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
