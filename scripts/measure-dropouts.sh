#!/usr/bin/env bash
# Measures where the native program's sound through PipeWire drops out: the automatic pause
# cycle (test_native_program.sh) runs N times (default 10) through PipeWire's server while a
# neighbour keeps one core busy. Per run it prints the failed checks and, from the recording,
# the short silences inside the sound (a lost cycle) and the short pieces of sound before a
# resume (sound the server kept over a pause); from pw-profiler, the cycles in which the
# program's stream did not finish and the longest wake-up of a stream's thread; and the
# longest stall a real-time thread of its own saw meanwhile (a core of the machine stalling).
# Needs the linux build; output in build/measure-dropouts/RUN.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/wine-env.sh"
velmorin_start_display || exit 1
velmorin_prepare_sound
. "$repo/tests/e2e/lib.sh"
out=$VELMORIN_BUILD/measure-dropouts
mkdir -p "$out"
# The cycle scenario alone, with the profiler attached while it plays.
sed '/^e2e_native_scenarios "native"/,$d' "$repo/tests/e2e/test_native_program.sh" >"$out/cycle.sh"
cat >>"$out/cycle.sh" <<'EOT'
measure_cycle() {
    (cd "$E2E_OUT" && exec env XDG_RUNTIME_DIR="$e2e_pulse_dir/run" pw-profiler -o "$E2E_OUT/profiler.log") \
        >/dev/null 2>&1 &
    local profiler=$!
    e2e_scenario_native_automatic_pausing
    kill -INT "$profiler"
    wait "$profiler"
}
e2e_native_scenarios "native" measure_cycle
EOT
# The neighbour: a loop on one core (the default), or with MEASURE_NEIGHBOUR=build a compiler
# run over and over, whose system calls and page faults are what this kernel does not preempt.
if [ "${MEASURE_NEIGHBOUR:-loop}" = build ]; then
    (while :; do g++ -std=c++17 -O2 -I"$repo" -c "$repo/sound/mixer/software_mixer.cpp" -o /dev/null; done) \
        >/dev/null 2>&1 &
else
    (while :; do :; done) &
fi
busy=$!
trap 'kill -- -$busy 2>/dev/null || kill $busy; velmorin_stop_wine' EXIT
for i in $(seq 1 "$runs"); do
    dir=$out/$i
    mkdir -p "$dir"
    rm -f "$E2E_OUT/profiler.log"
    # A thread at the graph's own priority, waking every 10 ms: how late it wakes.
    chrt -f 88 /usr/bin/python3 -c '
import time
period, late, worst = 0.01, 0, 0.0
end = time.monotonic() + 60
due = time.monotonic()
while time.monotonic() < end:
    due += period
    time.sleep(max(0.0, due - time.monotonic()))
    worst = max(worst, time.monotonic() - due)
    print("%.1f" % (worst * 1000), flush=True)
' >"$dir/probe" 2>/dev/null &
    probe=$!
    (
        export E2E_SOUND_SERVER=pipewire E2E_LABEL="pipewire: "
        . "$out/cycle.sh"
        e2e_end_own
    ) >"$dir/scenario.log" 2>&1
    kill "$probe" 2>/dev/null
    wait "$probe" 2>/dev/null
    cp "$E2E_OUT/native-cycle.wav.stretches" "$E2E_OUT/profiler.log" "$dir/" 2>/dev/null
    s=$dir/native-cycle.wav.stretches
    gaps=$(awk '{ k[NR] = $1; d[NR] = $3 - $2 }
        END { for (i = 2; i < NR; i++) if (k[i] == "silence" && k[i-1] == "sound" && k[i+1] == "sound" && d[i] < 60) n++
              print n + 0 }' "$s" 2>/dev/null)
    kept=$(awk '$1 == "sound" && last == "sound" && d < 60 { n++ } { if ($1 == "sound") d = $3 - $2; last = $1 }
        END { print n + 0 }' "$s" 2>/dev/null)
    # Followers: 8 columns each from the 5th, id first, wake-up latency 5th, status 7th (3 finished).
    graph=$(awk -F'\t' '{ for (g = 5; g + 7 <= NF; g += 8) if ($g ~ /^[0-9]+$/) {
            if ($g > last_id) last_id = $g
            if ($(g + 6) != 3) missed[$g]++
            if ($(g + 4) > wake) wake = $(g + 4) } }
        END { printf "%d unfinished cycles of the program, longest wake-up %.1f ms", missed[last_id], wake / 1000 }' \
        "$dir/profiler.log" 2>/dev/null)
    echo "run $i: $(grep -c '^FAIL' "$dir/scenario.log") checks failed, $gaps short silences in the sound," \
        "$kept kept pieces before a resume; $graph; longest stall of a real-time thread" \
        "$(tail -1 "$dir/probe" 2>/dev/null) ms"
done
