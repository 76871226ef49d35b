#!/usr/bin/env bash
# CPU time of the software mixer (the Linux sound layer's core) per second of playback at
# 1:1 and at 100000 Hz for a 22050 Hz file (target at most 1 % of a core at 1:1), and the
# cost of libsamplerate's converters that it could use. Built with optimisation.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench-native
cmake -G Ninja -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DVELMORIN_BENCH=ON >/dev/null
ninja -C "$out" software_mixer_bench >/dev/null
"$out/bench/software_mixer_bench"
