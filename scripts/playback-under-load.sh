#!/usr/bin/env bash
# Measures playback through a sound server while the machine is busy: two
# busy loops run while build/bench/playback_under_load plays 20 times (or $1)
# and prints plays with gaps, the end cut, first-sound and stop-to-silence
# times. It starts its own PulseAudio server; with ZAREVO_PULSE_SERVER set
# (e.g. unix:/run/user/0/pulse/native of PipeWire's pulse server) it plays
# there instead. Not a test: the figures depend on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/bench/playback_under_load
if [ ! -x "$program" ]; then
  cmake --build build -j2 --target playback_under_load
fi

busy=()
stop_busy() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_busy EXIT
for _ in 1 2; do
  ( while :; do :; done ) &
  busy+=("$!")
done
"$program" "${1:-20}"
