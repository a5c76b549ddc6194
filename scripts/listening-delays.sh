#!/usr/bin/env bash
# Measures how soon a listener hears a seek, a changed parameter and a stop,
# and checks the A-B loop's junction, through a private PulseAudio server
# (or ZAREVO_PULSE_SERVER): build/bench/listening_delays, 10 times each (or
# $1). Not a test: the figures depend on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/bench/listening_delays
cmake --build build -j2 --target listening_delays
"$program" "${1:-10}"
