#!/usr/bin/env bash
# Velmorin beside the players a Linux user would pick instead, Parlatype and mpv (Debian's
# packages, installed when missing), each playing the same 120 s 44.1 kHz 16-bit stereo
# WAVE file through the same private sound server on the same display, in one run:
#  - CPU of the player and of the server while playing and while paused (and, for
#    Velmorin, stopped), as shares of one core, from /proc over the same 10 s, and the
#    ratios the targets are stated in: playing, Velmorin + server at most 1.0 x mpv +
#    server and below Parlatype + server; paused and stopped at most 0.3 % of a core;
#  - for Velmorin's sound layer, from recordings: a 15 kHz tone's level against a 1 kHz
#    tone's (target: within 1 dB), the time from Play to the first sound, and how far the
#    skips land from 15000 bytes.
# The server is set up as a desktop's: its sink sleeps when idle (PulseAudio's
# module-suspend-on-idle; PipeWire suspends idle nodes itself). --pipewire measures
# through PipeWire's PulseAudio server instead of PulseAudio.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"
[ "${1:-}" = --pipewire ] && export E2E_SOUND_SERVER=pipewire
export E2E_PULSE_IDLE=desktop
missing=()
for p in parlatype mpv playerctl; do command -v $p >/dev/null || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null || exit 1
fi
velmorin_build linux velmorin >/dev/null || exit 1
velmorin_build native pulse_play_through >/dev/null || exit 1
unset DISPLAY
velmorin_start_display || exit 1
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"
. "$repo/tests/e2e/native_lib.sh"
bash "$repo/tests/e2e/tools/build.sh"
out=$VELMORIN_BUILD/bench-players
mkdir -p "$out"
e2e_native_start_session || exit 1
trap 'e2e_end_own; e2e_pulse_stop; e2e_native_stop_session; velmorin_stop_wine' EXIT
e2e_pulse_start || exit 1

file=$out/speech-120s-44k.wav
[ -f "$file" ] || sox -n -r 44100 -c 2 -b 16 "$file" synth 120 pinknoise band 1000 900 tremolo 3 80 \
    gain -12 2>/dev/null

hz=$(getconf CLK_TCK)
ticks() { local p t=0; for p in "$@"; do t=$((t + $(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0))); done; echo $t; }
servers() { echo "${e2e_pulse_pids[@]}"; }
measure() {  # label player-pid: CPU of the player and of the server over 10 s
    local a0 s0 a1 s1 t0 t1
    a0=$(ticks "$2"); s0=$(ticks $(servers)); t0=$(date +%s%N)
    sleep 10
    a1=$(ticks "$2"); s1=$(ticks $(servers)); t1=$(date +%s%N)
    awk -v l="$1" -v a=$((a1 - a0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) 'BEGIN {
        w = ns / 1e9; pa = 100 * a / hz / w; ps = 100 * s / hz / w
        printf "%-30s player %5.2f %%  server %5.2f %%  together %5.2f %%\n", l, pa, ps, pa + ps }' |
        tee -a "$out/cpu.txt"
}
total() { grep "^$1 " "$out/cpu.txt" | tail -1 | sed -E 's/.*together +([0-9.]+) %.*/\1/'; }
: >"$out/cpu.txt"

# Velmorin: the file named on its command line, played and paused through MPRIS.
HOME=$out "$VELMORIN_BUILD/linux/velmorin" "$file" >/dev/null 2>&1 &
app=$!
e2e_own_pids+=("$app")
e2e_until 20 playerctl -p velmorin status >/dev/null 2>&1
sleep 2
measure "velmorin-stopped" "$app"
playerctl -p velmorin play; sleep 2
measure "velmorin-playing" "$app"
playerctl -p velmorin pause; sleep 2
measure "velmorin-paused" "$app"
kill "$app"; wait "$app" 2>/dev/null

# Parlatype: opens the file through MPRIS.
HOME=$out parlatype >/dev/null 2>&1 &
app=$!
e2e_own_pids+=("$app")
e2e_until 20 playerctl -p parlatype status >/dev/null 2>&1
playerctl -p parlatype open "file://$file"; sleep 2
playerctl -p parlatype play; sleep 2
measure "parlatype-playing" "$app"
playerctl -p parlatype pause; sleep 2
measure "parlatype-paused" "$app"
kill "$app"; wait "$app" 2>/dev/null

# mpv, without a window, driven through its IPC socket.
mpv --no-video --no-terminal --ao=pulse --input-ipc-server="$out/mpv.sock" "$file" >/dev/null 2>&1 &
app=$!
e2e_own_pids+=("$app")
sleep 2
measure "mpv-playing" "$app"
python3 -c 'import socket, sys; s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.send(b"{\"command\":[\"set_property\",\"pause\",true]}\n")' "$out/mpv.sock"
sleep 2
measure "mpv-paused" "$app"
kill "$app"; wait "$app" 2>/dev/null

awk -v v="$(total velmorin-playing)" -v m="$(total mpv-playing)" -v p="$(total parlatype-playing)" \
    -v vp="$(total velmorin-paused)" -v vs="$(total velmorin-stopped)" 'BEGIN {
    printf "playing: Velmorin + server is %.2f x mpv + server (target at most 1.0) and %.2f x Parlatype + server (target below 1): %s\n", v / m, v / p, (v <= m && v < p) ? "met" : "NOT met"
    printf "paused: %.2f %%, stopped: %.2f %% of a core for Velmorin + server (target at most 0.3 %%): %s\n", vp, vs, (vp <= 0.3 && vs <= 0.3) ? "met" : "NOT met" }'

# The sound layer itself, through the program's sound path, recorded.
E2E_NATIVE=$VELMORIN_BUILD/native/tests/native
python3 "$E2E_TOOLS/capture.py" band "$out/band.wav"
e2e_record_start bench-band >/dev/null
"${e2e_pulse_client[@]}" "$E2E_NATIVE/pulse_play_through" "$out/band.wav" 44100 0 0
echo "15 kHz against 1 kHz in a 44.1 kHz file: $(python3 "$E2E_TOOLS/capture.py" bandlevel "$(e2e_record_stop)") dB (target within 1 dB)"
"$VELMORIN_BUILD/tools/make_sweep" "$out/sweep.wav" 6 >/dev/null
e2e_record_start bench-transport >/dev/null
"${e2e_pulse_client[@]}" "$E2E_NATIVE/pulse_play_through" "$out/sweep.wav" --transport >"$out/transport.out"
wav=$(e2e_record_stop)
onset=$("$VELMORIN_BUILD/tools/track_tone" "$wav" --sweep "$out/sweep.wav" | awk '$1 == "sound" { print $2; exit }')
awk -v p="$(awk '$1 == "play" { print $2 }' "$out/transport.out")" -v f="$(cat "$E2E_OUT/bench-transport.first")" \
    -v o="${onset:-0}" 'BEGIN { printf "Play to the first sound: %.0f ms (target at most 50)\n", (f + o / 1000 - p) * 1000 }'
"$VELMORIN_BUILD/tools/make_sweep" "$out/sweep20.wav" 20 >/dev/null
e2e_record_start bench-skips >/dev/null
HOME=$out "$VELMORIN_BUILD/linux/velmorin" "$out/sweep20.wav" >/dev/null 2>&1 &
app=$!
e2e_until 20 playerctl -p velmorin status >/dev/null 2>&1
sleep 1
playerctl -p velmorin play; sleep 1.5
for i in 1 2 3; do playerctl -p velmorin next; sleep 0.7; playerctl -p velmorin previous; sleep 0.7; done
kill "$app"; wait "$app" 2>/dev/null
"$VELMORIN_BUILD/tools/track_tone" "$(e2e_record_stop)" --sweep "$out/sweep20.wav" | awk '$1 == "sound" {
    if (n++) { d = $4 - last; if (d < 0) d = -d; printf "skip %d: %d bytes, %+d from 15000 (%.1f ms at 8000/s)\n", n - 1, d, d - 15000, (d - 15000) / 8 }
    last = $5 }'
