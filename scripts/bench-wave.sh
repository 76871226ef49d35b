#!/bin/sh
# Builds and runs the WAVE reader benchmark in build/bench; its 512 MiB file is deleted
# when it ends.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/bench"
mkdir -p "$out"
${CXX:-g++} -std=c++17 -O2 -DNDEBUG -I"$root" "$root/bench/wave_read_bench.cpp" \
    "$root/wave/wave_file_reader.cpp" "$root/wave/riff_file_native.cpp" -o "$out/wave_read_bench"
trap 'rm -f "$out/wave_read_bench.wav"' EXIT
"$out/wave_read_bench" "$out/wave_read_bench.wav"
