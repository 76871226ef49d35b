#!/usr/bin/env bash
# Measures the native Linux program under Xvfb and a private PulseAudio daemon:
#   - from velmorin started to its dialog shown (median of 5 starts);
#   - CPU of the whole process over 10 s stopped and over 10 s playing at 1:1 (a 22050 Hz
#     16-bit stereo file at its own rate), as a share of one core;
#   - resident memory with a 200 MB file loaded and playing.
# Prints one line per figure. Needs the linux flavour built (scripts/test.sh builds it).
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"
velmorin_build linux velmorin >/dev/null || exit 1
exe=$VELMORIN_BUILD/linux/velmorin
out=$VELMORIN_BUILD/measure-native
mkdir -p "$out/home"
unset DISPLAY
velmorin_start_display || exit 1
. "$repo/tests/e2e/sound_lib.sh"
trap 'e2e_pulse_stop; velmorin_stop_wine' EXIT
e2e_pulse_start || exit 1

now_ms() { echo $(($(date +%s%N) / 1000000)); }
window_of() { xdotool search --onlyvisible --name '^Velmorin - ' 2>/dev/null | head -1; }
until_found() {  # pattern: waits at most 20 s for a visible window of that name
    local end=$(($(now_ms) + 20000))
    until xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; do
        [ "$(now_ms)" -gt "$end" ] && { echo "no window $1 within 20 s" >&2; exit 1; }
        sleep 0.01
    done
}
focus_key() {  # keys...: to the main dialog
    local window
    window=$(window_of)
    xdotool windowfocus "$window"
    sleep 0.2
    xdotool key "$@"
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
close_app() {  # pid
    focus_key Escape
    wait "$1"
}

starts=()
for run in 1 2 3 4 5; do
    t0=$(now_ms)
    HOME=$out/home "$exe" >/dev/null 2>&1 &
    app=$!
    until_found '^Velmorin - '
    starts+=($(($(now_ms) - t0)))
    close_app "$app"
done
echo "start to dialog shown: $(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p) ms (median of ${starts[*]})"

# 200 MB of a 440 Hz tone, 22050 Hz 16-bit stereo.
wav=$out/tone-200mb.wav
[ -f "$wav" ] || python3 - "$wav" <<'PY'
import math, struct, sys, wave
rate = 22050
second = b"".join(struct.pack("<hh", v, v) for v in
                  (int(8000 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(rate)))
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    for _ in range(200_000_000 // len(second)):
        w.writeframesraw(second)
PY

hz=$(getconf CLK_TCK)
share() {  # pid seconds -> CPU share of one core over that wall time, in percent
    local c0 c1 t0 t1
    c0=$(cpu_ticks "$1"); t0=$(now_ms)
    sleep "$2"
    c1=$(cpu_ticks "$1"); t1=$(now_ms)
    awk -v c=$((c1 - c0)) -v hz="$hz" -v ms=$((t1 - t0)) 'BEGIN { printf "%.2f %% of a core (%d ticks in %d ms)", 100 * c / hz / (ms / 1000), c, ms }'
}

HOME=$out/home "$exe" >/dev/null 2>&1 &
app=$!
until_found '^Velmorin - '
sleep 1
echo "CPU stopped, 10 s: $(share "$app" 10)"
focus_key alt+f
sleep 0.5
xdotool key o
until_found '^Open Sound File$'
sleep 0.5
xdotool type --delay 5 "$wav"
sleep 0.3
xdotool key Return
until_found '^Velmorin - \['
focus_key alt+p
sleep 3  # the whole file is read into the buffer at Play
echo "CPU playing at 1:1, 10 s: $(share "$app" 10)"
echo "memory, 200 MB file playing: $(awk '/VmRSS|VmHWM/ { printf "%s %d MiB  ", $1, $2 / 1024 }' "/proc/$app/status")"
close_app "$app"
