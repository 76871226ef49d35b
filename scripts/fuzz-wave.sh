#!/bin/sh
# Builds the WAVE reader fuzzer with libFuzzer, ASan and UBSan into build/fuzz and runs it
# for the given number of seconds (default 60), printing executions per second.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
out="${VELMORIN_BUILD:-$root/build}/fuzz"
mkdir -p "$out/corpus" "$out/seeds"

cxx=${CXX:-clang++}
flags="-std=c++17 -g -O1 -fno-omit-frame-pointer -I$root"
$cxx $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    "$root/tests/fuzz/wave_reader_fuzz.cpp" "$root/wave/wave_file_reader.cpp" \
    "$root/wave/riff_file_native.cpp" -o "$out/wave_reader_fuzz"
$cxx $flags "$root/tests/fuzz/make_wave_corpus.cpp" "$root/tests/common/wave_files.cpp" \
    -o "$out/make_wave_corpus"
"$out/make_wave_corpus" "$out/seeds"

cd "$out"
status=0
./wave_reader_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    corpus seeds >fuzz.log 2>&1 || status=$?
grep -E "^(Done |stat::number_of_executed_units|stat::average_exec_per_sec)|ERROR|crash-" \
    fuzz.log || true
if [ "$status" -ne 0 ]; then
    echo "fuzzer failed (exit $status); see $out/fuzz.log" >&2
fi
exit "$status"
