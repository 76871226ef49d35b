#!/usr/bin/env bash
# Under Wine: how often the 0 ms poll timer fires, and the CPU time velmorin.exe uses
# over 10 s stopped against 10 s playing (a looping sound). Needs a built tree
# (scripts/test.sh or scripts/build.sh) and prints the figures.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/wine-env.sh"
unset DISPLAY
velmorin_start_display || exit 1
trap velmorin_stop_wine EXIT
velmorin_prepare_prefix
velmorin_prepare_sound
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"

wine "$E2E_WIN/tests/windows/poll_timer_rate.exe" | tr -d '\r'

cpu_seconds() {  # pid -> user+system seconds
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"
}
python3 "$E2E_TOOLS/capture.py" tones "$E2E_OUT/measure.wav"
e2e_pulse_start
e2e_start_app "$E2E_PULSE_HOME"
e2e_wait_window "Velmorin - " 15
pid=$(pgrep -f 'velmorin.exe' | head -1)
e2e_focus '^Velmorin - '
xdotool key alt+f
sleep 0.3
xdotool key o
e2e_wait_window "Open Sound File" 10
sleep 0.5
xdotool type --delay 5 "$(e2e_winpath "$E2E_OUT/measure.wav")"
xdotool key Return
sleep 1
a=$(cpu_seconds "$pid")
sleep 10
b=$(cpu_seconds "$pid")
e2e_focus '^Velmorin - '
xdotool key alt+l alt+p  # loop, then play
sleep 10
c=$(cpu_seconds "$pid")
echo "velmorin.exe CPU over 10 s stopped: ${a} -> ${b}"
echo "velmorin.exe CPU over 10 s playing: ${b} -> ${c}"
awk -v a="$a" -v b="$b" -v c="$c" 'BEGIN { printf "stopped %.2f s, playing %.2f s of CPU per 10 s\n", b - a, c - b }'
e2e_focus '^Velmorin - '
xdotool key Escape
e2e_wait_exit 10
e2e_pulse_stop
