#!/usr/bin/env bash
# Measures how long zarevo-render's output is against its source, with the
# shipped plug-ins at 44100 Hz: tone and noise at the defaults, through pitch
# and speed, with the source's own trailing silence, and with the reverb at 1
# (how far its ring reaches and how quiet its last 10 ms are). Sources are
# made with sox; lengths and levels are read back with soxi and sox.
# Usage: scripts/measure-output-length.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
render="${1:-build}/bin/zarevo-render"
[ -x "$render" ] || { echo "no $render: build first" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

make_source() { # name, then sox synth arguments
    local name="$1"
    shift
    sox -n -r 44100 -b 16 -c 2 "$work/$name.wav" synth "$@"
}
make_source tone3 3 sine 441 vol 0.5
make_source noise3 3 pinknoise vol 0.5
make_source noise4 4 whitenoise vol 0.5
make_source noise2 2 whitenoise vol 0.5
sox "$work/tone3.wav" "$work/tone-then-silence.wav" trim 0 2 pad 0 1

measure() { # label, source, expected seconds, then render options
    local label="$1" source="$2" expected="$3"
    shift 3
    "$render" -q --rate 44100 "$@" "$work/$source.wav" "$work/out.wav"
    local seconds
    seconds="$(soxi -D "$work/out.wav")"
    awk -v label="$label" -v s="$seconds" -v e="$expected" \
        'BEGIN { printf "%-34s %9.4f s  (expected %s s, off by %+.1f ms)\n", label, s, e, (s - e) * 1000 }'
}
measure "3 s tone, defaults" tone3 3
measure "3 s pink noise, defaults" noise3 3
measure "3 s tone, pitch +5 semitones" tone3 3 --set original.PitchOctaves=0.4166666
measure "3 s pink noise, pitch +5 semitones" noise3 3 --set original.PitchOctaves=0.4166666
measure "4 s noise, speed x2" noise4 2 --set original.SpeedExponent=1
measure "2 s noise, speed x0.5" noise2 4 --set original.SpeedExponent=-1
measure "2 s tone + 1 s silence, defaults" tone-then-silence 3

measure "3 s tone, reverb 1" tone3 3 --set original.ReverbAmount=1
awk -v s="$(soxi -D "$work/out.wav")" \
    'BEGIN { printf "%34s ring %.4f s past the end (one frame: %.4f s)\n", "", s - 3, 65536 / 44100 }'
peak="$(sox "$work/out.wav" -n trim -0.01 stat 2>&1 |
    awk '/(Maximum|Minimum) amplitude/ { v = $3 < 0 ? -$3 : $3; if (v > p) p = v } END { print p + 0 }')"
awk -v p="$peak" 'BEGIN { level = (p > 0) ? sprintf("%.1f", 20 * log(p) / log(10)) : "-inf"
    printf "%34s last 10 ms peak %s (%s dBFS)\n", "", p, level }'
