#!/usr/bin/env bash
# Velmorin's Options > Keep Pitch beside mpv (Debian's, no window, its default scaletempo2),
# both at 0.75x with the pitch kept, through the same private sound server, in one run:
#  - CPU of player + server while playing the 120 s 44.1 kHz 16-bit stereo file of
#    bench-players.sh, as a share of one core over the same 10 s, and the ratio the target
#    is stated in: Velmorin + server at most 1.3 x mpv + server;
#  - the spoken sample played by each and recorded from the sink: each recording's length
#    without the silence at either end (about 1/0.75 of the sample's), its voice's median
#    pitch (kept: near the sample's), and both spectrograms side by side in
#    $VELMORIN_BUILD/bench-keep-pitch/keep-pitch-spectrograms.png.
# Needs the linux flavour built (scripts/test.sh or scripts/build.sh), mpv, playerctl, sox,
# ImageMagick. The server runs as bench-players.sh's, but in its own folder under the output.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/wine-env.sh"
export E2E_PULSE_IDLE=desktop
velmorin=$VELMORIN_BUILD/linux/velmorin
version=$("$velmorin" --version 2>&1) || { echo "no $velmorin: build the linux flavour" >&2; exit 1; }
echo "$version"
unset DISPLAY
velmorin_start_display || exit 1
. "$repo/tests/e2e/lib.sh"
. "$repo/tests/e2e/sound_lib.sh"
. "$repo/tests/e2e/native_lib.sh"
out=$VELMORIN_BUILD/bench-keep-pitch
mkdir -p "$out"
E2E_OUT=$out
e2e_native_start_session || exit 1
trap 'e2e_end_own; e2e_pulse_stop; e2e_native_stop_session; kill $velmorin_xvfb_pid 2>/dev/null' EXIT
# Not $VELMORIN_BUILD/pulse: the end-to-end tests may be using that one.
VELMORIN_BUILD=$out e2e_pulse_start || exit 1

file=$out/speech-120s-44k.wav
[ -f "$file" ] || sox -n -r 44100 -c 2 -b 16 "$file" synth 120 pinknoise band 1000 900 tremolo 3 80 \
    gain -12 2>/dev/null
sample=$repo/samples/velmorin-sample.wav

hz=$(getconf CLK_TCK)
ticks() { local p t=0; for p in "$@"; do t=$((t + $(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0))); done; echo $t; }
measure() {  # label player-pid: CPU of the player and of the server over 10 s
    local a0 s0 a1 s1 t0 t1
    a0=$(ticks "$2"); s0=$(ticks "${e2e_pulse_pids[@]}"); t0=$(date +%s%N)
    sleep 10
    a1=$(ticks "$2"); s1=$(ticks "${e2e_pulse_pids[@]}"); t1=$(date +%s%N)
    awk -v l="$1" -v a=$((a1 - a0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) 'BEGIN {
        w = ns / 1e9; pa = 100 * a / hz / w; ps = 100 * s / hz / w
        printf "%-30s player %5.2f %%  server %5.2f %%  together %5.2f %%\n", l, pa, ps, pa + ps }' |
        tee -a "$out/cpu.txt"
}
total() { grep "^$1 " "$out/cpu.txt" | tail -1 | sed -E 's/.*together +([0-9.]+) %.*/\1/'; }
: >"$out/cpu.txt"

status_is() { [ "$(playerctl -p velmorin status 2>/dev/null)" = "$1" ]; }
past_1s() { awk -v p="$("$@" 2>/dev/null)" 'BEGIN { exit !(p + 0 >= 1) }'; }
mpris_rate() {
    gdbus call --session --dest org.mpris.MediaPlayer2.velmorin --object-path /org/mpris/MediaPlayer2 \
        --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player Rate 2>/dev/null |
        sed -E 's/^\(<(.*)>,\)$/\1/'
}
keep_pitch_checked() {  # the check of Options > Keep Pitch, as AT-SPI reads it
    timeout 20 /usr/bin/python3 -c 'import pyatspi, sys
tree = lambda n: [d for c in n if c is not None for d in [c] + tree(c)]
for w in (w for a in pyatspi.Registry.getDesktop(0) if a for w in a if w and w.name.startswith("Velmorin - ")):
    for c in tree(w):
        if c.getRoleName() == "check menu item" and c.name == "Keep Pitch":
            sys.exit(0 if c.getState().contains(pyatspi.STATE_CHECKED) else 1)
sys.exit(2)'
}
start_velmorin() {  # file: Velmorin with it loaded, Keep Pitch checked, Frequency at 0.75 x its rate
    HOME=$out "$velmorin" "$1" >"$out/velmorin.log" 2>&1 &
    app=$!
    e2e_own_pids+=("$app")
    e2e_until 20 playerctl -p velmorin status >/dev/null 2>&1 && e2e_dump_of "Velmorin - " 50 || return 1
    keep_pitch_checked; [ $? = 1 ] || { echo "Keep Pitch is not there unchecked at start" >&2; return 1; }
    e2e_native_menu o k || return 1
    e2e_until 5 keep_pitch_checked || { echo "Options > Keep Pitch did not get its check" >&2; return 1; }
    local f=$(($(soxi -r "$1") * 3 / 4))
    e2e_native_slider 1003 $f || return 1
    e2e_until 5 test "$(mpris_rate)" = 0.75 || { echo "MPRIS Rate is $(mpris_rate), not 0.75" >&2; return 1; }
    echo "Velmorin, $(basename "$1"): Options > Keep Pitch checked (AT-SPI), Frequency $f, MPRIS Rate $(mpris_rate)"
}
mpv_get() {  # property of the mpv playing, through its IPC socket
    python3 -c 'import json, socket, sys
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1])
s.send(json.dumps({"command": ["get_property", sys.argv[2]]}).encode() + b"\n")
for line in s.makefile():
    if "error" in json.loads(line):
        print(json.loads(line).get("data")); break' "$out/mpv.sock" "$1"
}

# CPU while playing the 120 s file at 0.75x, pitch kept.
start_velmorin "$file" || exit 1
playerctl -p velmorin play
e2e_until 20 past_1s playerctl -p velmorin position || { echo "Velmorin does not play" >&2; exit 1; }
measure "velmorin-0.75x-keep-pitch" "$app"
kill "$app"; wait "$app" 2>/dev/null
rm -f "$out/mpv.sock"
mpv --no-video --no-terminal --ao=pulse --speed=0.75 --input-ipc-server="$out/mpv.sock" "$file" >/dev/null 2>&1 &
app=$!
e2e_own_pids+=("$app")
e2e_until 20 past_1s mpv_get time-pos || { echo "mpv does not play" >&2; exit 1; }
echo "mpv: speed $(mpv_get speed), audio-pitch-correction $(mpv_get audio-pitch-correction)"
measure "mpv-0.75x-scaletempo2" "$app"
kill "$app"; wait "$app" 2>/dev/null
awk -v v="$(total velmorin-0.75x-keep-pitch)" -v m="$(total mpv-0.75x-scaletempo2)" 'BEGIN {
    printf "0.75x, pitch kept: Velmorin + server is %.2f x mpv + server (target at most 1.3): %s\n", v / m, v <= 1.3 * m ? "met" : "NOT met" }'

# The spoken sample at 0.75x, recorded from each player.
trimmed() {  # wave -> a copy in the output folder without the silence at either end
    local t=$out/$(basename "${1%.wav}")-trimmed.wav
    sox "$1" "$t" silence 1 0.02 0.1% reverse silence 1 0.02 0.1% reverse && echo "$t"
}
pitch() {  # wave -> median pitch of its voiced 40 ms frames, in Hz
    sox -D "$1" -t raw -e signed -b 16 -c 1 -r 8000 - | python3 -c 'import array, operator, statistics, sys
x = array.array("h", sys.stdin.buffer.read()).tolist(); n = 320; f0 = []
dot = lambda a, b: sum(map(operator.mul, a, b))
for s in range(0, len(x) - n - 115, 400):
    a = x[s:s + n]; e = dot(a, a)
    if e < n * 300 ** 2:
        continue
    r = {}
    for k in range(27, 115):  # 70 to 296 Hz
        b = x[s + k:s + k + n]; d = (e * dot(b, b)) ** 0.5
        r[k] = dot(a, b) / d if d else 0
    best = max(r.values())
    if best >= 0.6:
        f0.append(8000 / min(k for k in r if r[k] >= 0.9 * best))
print("%.0f" % statistics.median(f0) if f0 else "none")'
}
ref=$(trimmed "$sample") || exit 1
ref_len=$(soxi -D "$ref")
printf "sample: %.2f s without silence at either end (%.2f s at 0.75x), pitch %s Hz\n" "$ref_len" \
    "$(awk -v l="$ref_len" 'BEGIN { print l / 0.75 }')" "$(pitch "$ref")"
report() {  # label recording
    local t len
    t=$(trimmed "$2") || return 1
    len=$(soxi -D "$t")
    printf "%s: %.2f s without silence at either end, %.3f x the sample's (expected 1.333), pitch %s Hz\n" \
        "$1" "$len" "$(awk -v a="$len" -v b="$ref_len" 'BEGIN { print a / b }')" "$(pitch "$t")"
}
start_velmorin "$sample" || exit 1
e2e_record_start keep-pitch-velmorin >/dev/null || exit 1
playerctl -p velmorin play
e2e_until 10 status_is Playing && e2e_until 60 status_is Stopped || echo "Velmorin did not play to the end" >&2
rec_v=$(e2e_record_stop)
kill "$app"; wait "$app" 2>/dev/null
e2e_record_start keep-pitch-mpv >/dev/null || exit 1
timeout 60 mpv --no-video --no-terminal --ao=pulse --speed=0.75 "$sample" >/dev/null 2>&1
rec_m=$(e2e_record_stop)
report "Velmorin at 0.75x, pitch kept" "$rec_v"
report "mpv --speed=0.75" "$rec_m"
sox "$out/keep-pitch-velmorin-trimmed.wav" -n remix 1 rate 8k spectrogram -o "$out/velmorin.png" -t "Velmorin 0.75x, pitch kept" -x 800 -y 257
sox "$out/keep-pitch-mpv-trimmed.wav" -n remix 1 rate 8k spectrogram -o "$out/mpv.png" -t "mpv --speed=0.75 (scaletempo2)" -x 800 -y 257
convert "$out/velmorin.png" "$out/mpv.png" +append "$out/keep-pitch-spectrograms.png" &&
    echo "spectrograms: $out/keep-pitch-spectrograms.png"
