#!/usr/bin/env bash
# Checks the real-time sound harness end to end: play_wave.exe plays a sweep through
# DirectSound under Wine into the private PulseAudio null sink, the recording is read
# back by track_tone, and what was heard must match the script that was played:
#   wait:1200 play:1000 pause:500 resume-back:3000 play:2000 stop wait:300
# i.e. sound from byte 0 for 1000 ms, 500 ms of silence, then sound resuming 3000 bytes
# before the cursor read at the pause, for 2000 ms. The last wait matters: a process that
# ends right after Stop loses the sound still on its way (about 50 ms).
# Latency from Play to sound is estimated twice, from the wall-clock times of the first
# recorded sample and of the recorder's stop; they bracket the truth within ~20 ms.
# Prints one line of measurements and PASS/FAIL per run, then PASS or FAIL overall.
#   selftest.sh [RUNS]   (default 3)
#   VELMORIN_BUILD       build folder (default: <repo>/build); its Wine prefix is used
#   VELMORIN_WINE_READY  set when the caller already has a display and a wineserver
set -u
runs=${1:-3}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../../.." && pwd)
. "$repo/scripts/wine-env.sh"
"$here/build.sh" || { echo FAIL; exit 1; }
tools=$VELMORIN_BUILD/tools

own_wine=0
if [ -z "${VELMORIN_WINE_READY:-}" ]; then
    velmorin_start_display || { echo FAIL; exit 1; }
    velmorin_prepare_prefix
    own_wine=1
fi
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"
finish() {
    e2e_pulse_stop
    [ $own_wine = 1 ] && velmorin_stop_wine
}
trap finish EXIT

# Offsets within this many bytes (25 ms of the 8000-byte/s sweep), durations within
# this many ms.
offset_tolerance=200
time_tolerance=40

sweep=$E2E_OUT/selftest-sweep.wav
"$tools/make_sweep" "$sweep" 6 || { echo FAIL; exit 1; }
e2e_pulse_start || { echo FAIL; exit 1; }

failures=0
for run in $(seq 1 "$runs"); do
    name=selftest-$run
    if ! e2e_record_start "$name"; then
        failures=$((failures + 1))
        echo "FAIL run $run: no recording"
        continue
    fi
    timeout 60 wine "$tools/play_wave.exe" "Z:$sweep" wait:1200 play:1000 pause:500 \
        resume-back:3000 play:2000 stop wait:300 2>/dev/null | tr -d '\r' >"$E2E_OUT/$name.steps"
    wav=$(e2e_record_stop)
    "$tools/track_tone" "$wav" --sweep "$sweep" >"$E2E_OUT/$name.stretches"

    # awk does the arithmetic: the steps' cursors and times against the stretches.
    result=$(awk -v tol_off=$offset_tolerance -v tol_ms=$time_tolerance \
        -v first="$(cat "$E2E_OUT/$name.first")" -v stop="$(cat "$E2E_OUT/$name.stop")" \
        -v seconds="$(($(stat -c %s "$E2E_OUT/$name.raw") / 4))/48000" '
        function field(line, key,   n, parts, i, kv) {
            n = split(line, parts, " ")
            for (i = 1; i <= n; i++) {
                split(parts[i], kv, "=")
                if (kv[1] == key) return kv[2]
            }
            return ""
        }
        function abs(v) { return v < 0 ? -v : v }
        FNR == NR {
            if ($2 ~ /^play:1000/) { t_play = field($0, "t"); wall_play = field($0, "wall") }
            if ($2 ~ /^pause:/) { t_pause = field($0, "t"); paused = field($0, "play") }
            if ($2 ~ /^resume-back:/) { t_resume = field($0, "t"); resumed = field($0, "play") }
            if ($2 == "stop") { t_stop = field($0, "t"); stopped = field($0, "play") }
            next
        }
        $1 == "sound" { n++; s[n] = $2; e[n] = $3; os[n] = $4; oe[n] = $5 }
        END {
            if (n != 2 || t_play == "" || t_stop == "") {
                printf "FAIL %d sound stretches, steps %s\n", n, (t_stop == "" ? "missing" : "ok")
                exit
            }
            d_off[1] = os[1] - 0;           d_off[2] = oe[1] - paused
            d_off[3] = os[2] - resumed;     d_off[4] = oe[2] - stopped
            d_ms[1] = (e[1] - s[1]) - (t_pause - t_play)
            d_ms[2] = (s[2] - e[1]) - (t_resume - t_pause)
            d_ms[3] = (e[2] - s[2]) - (t_stop - t_resume)
            ok = 1
            for (i = 1; i <= 4; i++) if (abs(d_off[i]) > tol_off) ok = 0
            for (i = 1; i <= 3; i++) if (abs(d_ms[i]) > tol_ms) ok = 0
            printf "%s offsets(start,pause,resume,stop)=%+d,%+d,%+d,%+d bytes", \
                ok ? "PASS" : "FAIL", d_off[1], d_off[2], d_off[3], d_off[4]
            printf " durations(sound,silence,sound)=%+d,%+d,%+d ms", d_ms[1], d_ms[2], d_ms[3]
            split(seconds, q, "/")
            printf " resumed-at=%d(pause %d) latency=%.0f/%.0f ms\n", resumed, paused, \
                (first + s[1] / 1000 - wall_play) * 1000, \
                (stop - q[1] / q[2] + s[1] / 1000 - wall_play) * 1000
        }' "$E2E_OUT/$name.steps" "$E2E_OUT/$name.stretches")
    echo "${result%% *} run $run: ${result#* }"
    [ "${result%% *}" = PASS ] || failures=$((failures + 1))
done

if [ "$failures" = 0 ]; then
    echo PASS
else
    echo "FAIL ($failures of $runs runs; see $E2E_OUT/selftest-*)"
    exit 1
fi
