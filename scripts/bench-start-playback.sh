#!/usr/bin/env bash
# StartPlayback of a 256 MiB data chunk on the fake device against read(2) + memcpy, best
# of 3 each in fresh processes; prints the ratio and the memory figures.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench-native
cmake -G Ninja -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DVELMORIN_BENCH=ON >/dev/null
ninja -C "$out" start_playback_bench >/dev/null
bench=$out/bench/start_playback_bench
file=$out/start_playback.wav
trap 'rm -f "$file"' EXIT
"$bench" "$file" write
cat "$file" >/dev/null  # warm the page cache
best() { sort -n -k2 | head -1; }
plain=$(for i in 1 2 3; do "$bench" "$file" plain; done | best)
start=$(for i in 1 2 3; do "$bench" "$file" start; done | best)
echo "read(2)+memcpy: ${plain}"
echo "StartPlayback:  ${start}"
awk -v p="$plain" -v s="$start" 'BEGIN {
    split(p, a, " "); split(s, b, " ")
    printf "time ratio StartPlayback / (read+memcpy): %.2f (target at most 1.5)\n", b[2] / a[2]
    printf "peak resident while starting: %d MiB (limit 2 x 256 + 32 = 544 MiB)\n", b[3]
    printf "resident growth kept after return: %d MiB (the buffer alone is 256 MiB)\n", b[4] }'
