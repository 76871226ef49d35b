#!/bin/sh
# Builds the reader's fuzzers with libFuzzer, ASan and UBSan into build/fuzz and runs each
# for the given number of seconds (default 60), printing executions per second: the WAVE
# reading from memory, and the decoder of other recordings (FFmpeg) from a file, seeded
# with short files of every format ffmpeg encodes here.
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
ffmpeg_flags=$(pkg-config --cflags --libs libavformat libavcodec libswresample libavutil)
# shellcheck disable=SC2086
$cxx $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    "$root/tests/fuzz/decoded_reader_fuzz.cpp" "$root/wave/wave_file_reader.cpp" \
    "$root/wave/riff_file_native.cpp" "$root/wave/decoded_window.cpp" \
    "$root/wave/ffmpeg/ffmpeg_decoder.cpp" $ffmpeg_flags -o "$out/decoded_reader_fuzz"
mkdir -p "$out/decoded-corpus" "$out/decoded-seeds"
for seed in "mp3 -c:a libmp3lame -b:a 32k" "m4a -c:a aac -b:a 32k" "alac.m4a -c:a alac" \
    "opus -c:a libopus -b:a 16k" "ogg -c:a libvorbis -q:a 0" "flac -c:a flac" \
    "wma -c:a wmav2 -b:a 32k" "mkv -c:a flac" "webm -c:a libopus -b:a 16k"; do
    # shellcheck disable=SC2086
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=f=440:r=8000:d=0.3" ${seed#* } \
        "$out/decoded-seeds/tone.${seed%% *}"
done
# AMR has no encoder here: 12.2 kbit/s frames of arbitrary bits, which its decoder reads.
python3 -c 'import random, sys; random.seed(1); sys.stdout.buffer.write(b"#!AMR\n" + b"".join(
    bytes([0x3C] + [random.getrandbits(8) for _ in range(31)]) for _ in range(20)))' \
    >"$out/decoded-seeds/frames.amr"

cd "$out"
status=0
./wave_reader_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    corpus seeds >fuzz.log 2>&1 || status=$?
# A decoder that hangs on an input, or grows without bound, fails as a crash does.
./decoded_reader_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 decoded-corpus decoded-seeds >decoded-fuzz.log 2>&1 ||
    status=$?
for log in fuzz.log decoded-fuzz.log; do
    echo "$log:"
    grep -E "^(Done |stat::number_of_executed_units|stat::average_exec_per_sec)|ERROR|crash-|timeout-|oom-" \
        "$log" || true
done
if [ "$status" -ne 0 ]; then
    echo "a fuzzer failed (exit $status); see $out/fuzz.log and $out/decoded-fuzz.log" >&2
fi
exit "$status"
