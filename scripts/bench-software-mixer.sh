#!/usr/bin/env bash
# CPU time of the Linux sound layer per second of playback, for a 22050 Hz file at 1:1 and
# at 100000 Hz (target at most 1 % of a core at 1:1):
#  - the software mixer alone, rendering offline (also a 44100 Hz and a 48000 Hz stereo
#    file), and what libsoxr's qualities cost on their own;
#  - the whole layer (mixer, PulseAudio client, its threads) playing 10 s in real time
#    into the e2e layer's private PulseAudio daemon: the process's CPU time less that of
#    the same process playing 0.2 s (start-up, connecting, reading the file), per second
#    of the difference.
# Built with optimisation.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$root/build}
out=$VELMORIN_BUILD/bench-native
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -G Ninja -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DVELMORIN_BENCH=ON "${launcher[@]}" >/dev/null
ninja -C "$out" -j2 software_mixer_bench pulse_play_through >/dev/null
"$out/bench/software_mixer_bench"

. "$root/scripts/wine-env.sh"
. "$root/tests/e2e/lib.sh"
. "$root/tests/e2e/sound_lib.sh"
trap e2e_pulse_stop EXIT
e2e_pulse_start
file=$out/bench-22050.wav
short=$out/bench-22050-short.wav
sine() {  # path seconds: a 22050 Hz 16-bit mono sine of 440 Hz
    python3 - "$1" "$2" <<'PY'
import math, struct, sys
rate, seconds = 22050, float(sys.argv[2])
frames = b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * 440 * i / rate)))
                  for i in range(int(rate * seconds)))
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVE")
    f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, 2 * rate, 2, 16))
    f.write(b"data" + struct.pack("<I", len(frames)) + frames)
PY
}
sine "$file" 10
sine "$short" 0.2
cpu() {  # file frequency-thumb volume-thumb: "<cpu seconds> <wall seconds>" of one playback
    local file=$1 start end times
    shift
    start=$(date +%s.%N)
    times=$( { TIMEFORMAT='%U %S'; time "${e2e_pulse_client[@]}" "$out/tests/native/pulse_play_through" \
        "$file" "$1" 0 "$2" >/dev/null; } 2>&1 )
    end=$(date +%s.%N)
    awk -v t="$times" -v s="$start" -v e="$end" 'BEGIN { split(t, a, " "); printf "%.3f %.3f\n", a[1] + a[2], e - s }'
}
base=$(cpu "$short" 22050 0)
plain=$(cpu "$file" 22050 0)
fast=$(cpu "$file" 100000 0)
echo "whole layer, 0.2 s at 1:1:         $base (CPU s, wall s)"
echo "whole layer, 10 s at 1:1:          $plain"
echo "whole layer, 2.2 s at 100000 Hz:   $fast"
awk -v z="$base" -v p="$plain" -v f="$fast" 'BEGIN { split(z, o, " "); split(p, a, " "); split(f, b, " ")
    printf "whole layer, start-up taken out: %.2f %% of a core at 1:1, %.2f %% at 100000 Hz\n",
        100 * (a[1] - o[1]) / (a[2] - o[2]), 100 * (b[1] - o[1]) / (b[2] - o[2]) }'
rm -f "$file" "$short"
