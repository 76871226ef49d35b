#!/usr/bin/env bash
# The WAVE reader against one plain read(2) of a 512 MiB data chunk from a warm page
# cache; prints the ratio. With --wine: the Windows build over the real mmio functions,
# under Wine (needs the Windows flavour built, e.g. by scripts/test.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$root/build}
out="$VELMORIN_BUILD/bench"
mkdir -p "$out"
file="$out/wave_read_bench.wav"
trap 'rm -f "$file"' EXIT
if [ "${1:-}" = --wine ]; then
    . "$root/scripts/wine-env.sh"
    unset DISPLAY
    velmorin_start_display
    velmorin_prepare_prefix
    wine "$VELMORIN_BUILD/windows/tests/windows/wave_read_bench.exe" "Z:${file//\//\\}" | tr -d '\r'
    velmorin_stop_wine
    exit 0
fi
${CXX:-g++} -std=c++17 -O2 -DNDEBUG -I"$root" "$root/bench/wave_read_bench.cpp" \
    "$root/wave/wave_file_reader.cpp" "$root/wave/riff_file_native.cpp" -o "$out/wave_read_bench"
"$out/wave_read_bench" "$file"
