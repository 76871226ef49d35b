#!/usr/bin/env bash
# Under Wine, with the real DirectSound (sound into a PulseAudio null sink):
#  - Play of the one-hour 44.1 kHz 16-bit stereo file (635 MB, streamed) against reading
#    the same bytes with ReadFile (Wine's read(2)) plus one memcpy, best of 3 each,
#    alternating in the same run; prints the ratio (target at most 1.3);
#  - process CPU time over 10 s of playback streamed from the 635 MB file against 10 s
#    from a static buffer of 200 MB; prints the difference in % of a core (target at
#    most 1).
# With --huge: plays a data chunk of 0xFFFFFFFE bytes, the largest a 32-bit size allows,
# and prints Play-to-playing time and peak memory (needs about 8.5 GiB free).
# Needs the Windows flavour built (scripts/test.sh or scripts/build.sh).
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/wine-env.sh"
unset DISPLAY
velmorin_start_display || exit 1
velmorin_prepare_prefix
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"
out=$VELMORIN_BUILD/bench
mkdir -p "$out"
bench=$VELMORIN_BUILD/windows/tests/windows/long_playback_bench.exe
files=()
finish() {
    rm -f "${files[@]}"
    e2e_pulse_stop
    velmorin_stop_wine
}
trap finish EXIT
e2e_pulse_start || exit 1
run() { wine "$bench" "$@" 2>/dev/null | tr -d '\r'; }
winpath() { echo "Z:${1//\//\\}"; }
make() {  # path bytes: a sparse file with a second of sound at its start
    files+=("$1")
    python3 "$repo/tests/e2e/long_wave.py" make "$1" "$2" 0:176400
}

if [ "${1:-}" = --huge ]; then
    huge=$out/huge.wav
    files+=("$huge")
    # 16-bit mono, so that 0xFFFFFFFE bytes are whole blocks; the RIFF size cannot hold
    # the file and says "unknown" (0xFFFFFFFF).
    python3 - "$huge" <<'PY'
import struct, sys
count = 0xFFFFFFFE
header = b"RIFF" + struct.pack("<I", 0xFFFFFFFF) + b"WAVE"
header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 44100, 88200, 2, 16)
header += b"data" + struct.pack("<I", count)
with open(sys.argv[1], "wb") as f:
    f.write(header)
    f.truncate(len(header) + count)
PY
    echo "data chunk of 0xFFFFFFFE bytes (16-bit mono, 13.5 hours at 44.1 kHz):"
    run "$(winpath "$huge")" start | awk '{ printf "  Play to playing %.2f s, peak working set %d MiB, %s\n", $2, $3, $4 }'
    exit 0
fi

long=$out/one-hour.wav
static=$out/static-200mb.wav
make "$long" 635040000
make "$static" 200000000
cat "$long" "$static" >/dev/null  # warm the page cache
best() { sort -n -k2 | head -1; }
plains=() starts=()
for i in 1 2 3; do
    plains+=("$(run "$(winpath "$long")" plain)")
    starts+=("$(run "$(winpath "$long")" start)")
done
plain=$(printf '%s\n' "${plains[@]}" | best)
start=$(printf '%s\n' "${starts[@]}" | best)
echo "635 MB, ReadFile + memcpy: $plain"
echo "635 MB, Play to playing:   $start"
awk -v p="$plain" -v s="$start" 'BEGIN {
    split(p, a, " "); split(s, b, " ")
    printf "time ratio Play / (read + memcpy): %.2f (target at most 1.3)\n", b[2] / a[2]
    printf "peak working set: read + memcpy %d MiB, Play %d MiB (data twice = %d MiB, + 32 allowed)\n",
        a[3], b[3], 2 * 635040000 / 1048576 }'

streamed=$(run "$(winpath "$long")" cpu 10)
fixed=$(run "$(winpath "$static")" cpu 10)
echo "10 s playing, streamed 635 MB: $streamed"
echo "10 s playing, static 200 MB:   $fixed"
awk -v s="$streamed" -v f="$fixed" 'BEGIN {
    split(s, a, " "); split(f, b, " ")
    printf "CPU: streamed %.2f %%, static %.2f %% of a core; streaming costs %.2f %% more (target at most 1)\n",
        100 * a[2] / a[3], 100 * b[2] / b[3], 100 * (a[2] / a[3] - b[2] / b[3]) }'
