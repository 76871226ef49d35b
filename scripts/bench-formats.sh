#!/usr/bin/env bash
# Velmorin beside mpv (Debian's, no window) on the same 60-minute compressed recordings
# (MP3 128 kbit/s stereo 44.1 kHz, M4A AAC 64 kbit/s mono 48 kHz, Opus 32 kbit/s mono),
# through the same private sound server, in one run. For each file and player:
#  - the time from the start of the process to "File loaded." (Velmorin's title names the
#    file) and to the first sound heard, and for Velmorin from Play to the first sound;
#  - peak RSS (VmHWM) after 10 s of playing, and after 20 jumps across the file;
#  - CPU of player + server while playing, over 10 s, as a share of one core;
#  - for Velmorin, from recordings of a sweep in each format, where six skips land and how
#    long after the command the sound jumps.
# Targets: first sound within 1.5 x mpv's; peak RSS at most mpv's; playing CPU at most
# 1.3 x mpv's; a skip heard within 50 ms.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"
command -v mpv >/dev/null || {
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get install -y -q --no-install-recommends mpv playerctl >/dev/null || exit 1
}
velmorin_build linux velmorin >/dev/null || exit 1
unset DISPLAY
velmorin_start_display || exit 1
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"
. "$repo/tests/e2e/native_lib.sh"
out=$VELMORIN_BUILD/bench-formats
mkdir -p "$out"
e2e_native_start_session || exit 1
trap 'e2e_end_own; e2e_pulse_stop; e2e_native_stop_session; velmorin_stop_wine' EXIT
e2e_pulse_start || exit 1

# Speech-like sound: band-limited noise with a syllable rhythm, never silent for long.
make() {  # name ffmpeg-options...
    local file=$out/$1
    shift
    [ -f "$file" ] || ffmpeg -nostdin -v error -f lavfi \
        -i "anoisesrc=d=3600:c=pink:r=48000:a=0.5,highpass=f=200,lowpass=f=3500,tremolo=f=4:d=0.7" \
        "$@" "$file" || exit 1
    echo "$file"
}
files=("$(make speech-60min.mp3 -ar 44100 -ac 2 -c:a libmp3lame -b:a 128k)"
       "$(make speech-60min.m4a -ar 48000 -ac 1 -c:a aac -b:a 64k)"
       "$(make speech-60min.opus -ac 1 -c:a libopus -b:a 32k)")

hz=$(getconf CLK_TCK)
now() { date +%s.%N; }
ticks() { local p t=0; for p in "$@"; do t=$((t + $(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0))); done; echo $t; }
cpu() {  # pid: CPU of the player and the server over 10 s, % of a core
    local a0 s0 t0 a1 s1 t1
    a0=$(ticks "$1"); s0=$(ticks "${e2e_pulse_pids[@]}"); t0=$(date +%s%N)
    sleep 10
    a1=$(ticks "$1"); s1=$(ticks "${e2e_pulse_pids[@]}"); t1=$(date +%s%N)
    awk -v a=$((a1 - a0 + s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) 'BEGIN { printf "%.2f", 100 * a / hz / (ns / 1e9) }'
}
peak() { awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }  # MiB
# Seconds from the recording's first sample to its first sound, after a wall-clock time.
first_sound() {  # recording.wav recording-first-time after-time
    python3 - "$@" <<'EOF'
import sys, wave, array
w = wave.open(sys.argv[1]); rate = w.getframerate(); first = float(sys.argv[2]); after = float(sys.argv[3])
data = array.array('h', w.readframes(w.getnframes()))
start = max(0, int((after - first) * rate)) * 2
for i in range(start, len(data)):
    if abs(data[i]) > 300:
        print("%.6f" % (first + i / 2 / rate)); break
else:
    print("nan")
EOF
}
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
mpv_ipc() { python3 -c 'import socket, sys; s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.send((sys.argv[2] + "\n").encode()); s.recv(4096)' "$out/mpv.sock" "$1"; }
: >"$out/results.txt"
report() { echo "$*" | tee -a "$out/results.txt"; }

for file in "${files[@]}"; do
    name=$(basename "$file")
    # Velmorin: opens the file named on its command line; played through MPRIS.
    e2e_record_start "bench-$name-velmorin" >/dev/null
    t0=$(now)
    HOME=$out "$VELMORIN_BUILD/linux/velmorin" "$file" >/dev/null 2>&1 &
    app=$!
    e2e_own_pids+=("$app")
    until xdotool search --name "^Velmorin - \[" >/dev/null 2>&1; do sleep 0.005; done
    t_loaded=$(now)
    v_rss_loaded=$(peak "$app")
    e2e_until 10 playerctl -p velmorin status >/dev/null 2>&1
    t_play=$(now)
    playerctl -p velmorin play
    sleep 10
    v_rss_play=$(peak "$app")
    v_cpu=$(cpu "$app")
    length=$(playerctl -p velmorin metadata mpris:length)
    for i in $(seq 1 20); do
        playerctl -p velmorin position $((length * i / 21 / 1000000)); sleep 0.3
    done
    v_rss_skips=$(peak "$app")
    kill "$app"; wait "$app" 2>/dev/null
    wav=$(e2e_record_stop)
    first=$(cat "$E2E_OUT/bench-$name-velmorin.first")
    t_sound=$(first_sound "$wav" "$first" "$t_play")
    report "$name velmorin: loaded $(ms "$t0" "$t_loaded") ms, first sound $(ms "$t0" "$t_sound") ms after start ($(ms "$t_play" "$t_sound") ms after Play), peak RSS loaded $v_rss_loaded MiB, playing $v_rss_play MiB, after 20 jumps $v_rss_skips MiB, CPU with server $v_cpu %"

    # mpv: plays the file at once.
    e2e_record_start "bench-$name-mpv" >/dev/null
    t0=$(now)
    mpv --no-video --no-terminal --ao=pulse --input-ipc-server="$out/mpv.sock" "$file" >/dev/null 2>&1 &
    app=$!
    e2e_own_pids+=("$app")
    sleep 10
    m_rss_play=$(peak "$app")
    m_cpu=$(cpu "$app")
    for i in $(seq 1 20); do mpv_ipc "{\"command\":[\"seek\",$((100 * i / 21)),\"absolute-percent\"]}"; sleep 0.3; done
    m_rss_skips=$(peak "$app")
    kill "$app"; wait "$app" 2>/dev/null
    wav=$(e2e_record_stop)
    t_sound=$(first_sound "$wav" "$(cat "$E2E_OUT/bench-$name-mpv.first")" "$t0")
    m_first=$(ms "$t0" "$t_sound")
    report "$name mpv: first sound $m_first ms after start, peak RSS playing $m_rss_play MiB, after 20 jumps $m_rss_skips MiB, CPU with server $m_cpu %"
    v_first=$(grep "^$name velmorin" "$out/results.txt" | tail -1 | sed -E 's/.*first sound ([0-9-]+) ms after start.*/\1/')
    awk -v vf="$v_first" -v mf="$m_first" -v vr="$v_rss_skips" -v mr="$m_rss_skips" -v vc="$v_cpu" -v mc="$m_cpu" -v n="$name" 'BEGIN {
        printf "%s: first sound %.2f x mpv (target 1.5), peak RSS %.2f x mpv (target 1.0), playing CPU %.2f x mpv (target 1.3)\n", n, vf / mf, vr / mr, vc / mc }' |
        tee -a "$out/results.txt"
done

# How soon a skip is heard: a 20 s sweep in each format (its pitch tells the byte offset),
# skipped forward and back three times through MPRIS; from each command's return to where
# the recording's sound jumps.
"$VELMORIN_BUILD/tools/make_sweep" "$out/sweep20.wav" 20 >/dev/null
for format in "mp3 libmp3lame 8000" "m4a aac 8000" "opus libopus 48000"; do
    read -r format codec rate <<<"$format"
    file=$out/sweep20.$format
    ffmpeg -nostdin -v error -y -i "$out/sweep20.wav" -c:a "$codec" -ar "$rate" "$file"
    e2e_record_start "bench-skips-$format" >/dev/null
    HOME=$out "$VELMORIN_BUILD/linux/velmorin" "$file" >/dev/null 2>&1 &
    app=$!
    e2e_own_pids+=("$app")
    e2e_until 20 playerctl -p velmorin status >/dev/null 2>&1
    sleep 1
    playerctl -p velmorin play; sleep 1.5
    : >"$out/skips-$format.txt"
    for i in 1 2 3; do
        for way in next previous; do
            playerctl -p velmorin $way; now >>"$out/skips-$format.txt"; sleep 0.7
        done
    done
    kill "$app"; wait "$app" 2>/dev/null
    wav=$(e2e_record_stop)
    "$VELMORIN_BUILD/tools/track_tone" "$wav" --sweep "$out/sweep20.wav" | awk '$1 == "sound"' >"$out/skips-$format.stretches"
    awk -v first="$(cat "$E2E_OUT/bench-skips-$format.first")" -v name="$format" '
        NR == FNR { at[n++] = $1; next }
        { if (m++) { d = $4 - last; if (d < 0) d = -d; lag = first + $2 / 1000 - at[m - 2]
              printf "%s skip %d: %d bytes of the sweep (15000 bytes of its decoded sound at 16 bits is %d), heard %.0f ms after the command returned\n", name, m - 1, d, 7500 * 8000 / rate, lag * 1000 }
          last = $5 }' rate="$rate" "$out/skips-$format.txt" "$out/skips-$format.stretches" | tee -a "$out/results.txt"
done
