# The PulseAudio sound layer for Linux, natively, against the private PulseAudio daemon:
# the buffer contract suite, and the program's sound path into it recorded from the null
# sink (tones, pitch, pan, volume, and where Stop, Play and a cursor move put the sound).

. "$E2E_TOOLS/sound_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_BIN=$VELMORIN_BUILD/tools
E2E_NATIVE=$VELMORIN_BUILD/native/tests/native

_pulse_record_play() {  # name args...: records pulse_play_through playing the tones
    local name=$1
    shift
    e2e_record_start "pulse-$name" || return 1
    timeout 60 "${e2e_pulse_client[@]}" "$E2E_NATIVE/pulse_play_through" "$@" \
        >"$E2E_OUT/pulse-$name.out" 2>&1
    local status=$?
    e2e_record_stop >/dev/null
    return $status
}

e2e_scenario_pulse_layer() {
    e2e_pulse_start || { e2e_check "PulseAudio starts" false; return; }
    local log=$E2E_OUT/pulse-layer-tests.log name
    timeout 120 "${e2e_pulse_client[@]}" "$E2E_NATIVE/pulse_layer_tests" >"$log" 2>&1
    e2e_check "the PulseAudio layer's tests ran" grep -q '^\[  PASSED  \]\|^\[  FAILED  \]' "$log"
    while read -r name; do
        e2e_check "PulseAudio layer: $name" true
    done < <(sed -nE 's/^\[       OK \] ([^ ]+).*/\1/p' "$log")
    while read -r name; do
        e2e_check "PulseAudio layer: $name" false
    done < <(sed -nE 's/^\[  FAILED  \] ([^ ,]+) \(.*/\1/p' "$log")

    python3 "$E2E_TOOLS/capture.py" tones "$E2E_OUT/tones.wav"
    e2e_check "plays through the PulseAudio layer at the file's rate" \
        _pulse_record_play plain "$E2E_OUT/tones.wav" 8000 0 0 &&
        e2e_check "tones whole and in order, without gaps" \
            e2e_tones_in_order "$E2E_OUT/pulse-plain.wav" 500 250
    e2e_check "plays at twice the rate" _pulse_record_play double "$E2E_OUT/tones.wav" 16000 0 0 &&
        e2e_check "twice the rate doubles pitch and halves time" \
            e2e_tones_in_order "$E2E_OUT/pulse-double.wav" 1000 125
    local plain left right
    read -r plain _ < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/pulse-plain.wav")
    if e2e_check "plays panned left" _pulse_record_play left "$E2E_OUT/tones.wav" 8000 -20 0; then
        read -r left right < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/pulse-left.wav")
        e2e_check "pan -10000 leaves the right channel more than 60 dB down" \
            awk -v l="$left" -v r="$right" 'BEGIN { exit !(l > 1000 && r * 1000 < l) }'
    fi
    if e2e_check "plays at volume -2000" _pulse_record_play quiet "$E2E_OUT/tones.wav" 8000 0 -20; then
        read -r left _ < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/pulse-quiet.wav")
        e2e_check "volume -2000 is 20 dB lower (within 1 dB)" \
            awk -v a="$plain" -v b="$left" 'BEGIN { d = 20 * log(a / b) / log(10); print "  " d " dB" >"/dev/stderr"; exit !(d > 19 && d < 21) }'
    fi

    # The whole band of a 44.1 kHz file: the server's rate is mixed at, not 22050.
    python3 "$E2E_TOOLS/capture.py" band "$E2E_OUT/band.wav"
    local band
    if e2e_check "plays a 44.1 kHz file" _pulse_record_play band "$E2E_OUT/band.wav" 44100 0 0; then
        band=$(python3 "$E2E_TOOLS/capture.py" bandlevel "$E2E_OUT/pulse-band.wav")
        echo "  15 kHz against 1 kHz: $band dB" >&2
        e2e_check "a 15 kHz tone is heard at the level of a 1 kHz one, within 1 dB" \
            awk -v d="$band" 'BEGIN { exit !(d > -1 && d < 1) }'
    fi

    # Stop, Play and a cursor move, judged from a sweep whose pitch tells the offset:
    # 160 bytes are 20 ms at 8000 bytes a second.
    "$E2E_BIN/make_sweep" "$E2E_OUT/pulse-sweep.wav" 6 >/dev/null
    e2e_check "the transport runs through the PulseAudio layer" \
        _pulse_record_play transport "$E2E_OUT/pulse-sweep.wav" --transport || { e2e_pulse_stop; return; }
    "$E2E_BIN/track_tone" "$E2E_OUT/pulse-transport.wav" --sweep "$E2E_OUT/pulse-sweep.wav" \
        >"$E2E_OUT/pulse-transport.stretches"
    sed 's/^/    /' "$E2E_OUT/pulse-transport.stretches" >&2
    local stop1 stop2 s1 s2 s3
    stop1=$(awk '$1 == "stop" { print $2; exit }' "$E2E_OUT/pulse-transport.out")
    stop2=$(awk '$1 == "stop" { n++; if (n == 2) print $2 }' "$E2E_OUT/pulse-transport.out")
    s1=$(grep '^sound' "$E2E_OUT/pulse-transport.stretches" | sed -n 1p)
    s2=$(grep '^sound' "$E2E_OUT/pulse-transport.stretches" | sed -n 2p)
    s3=$(grep '^sound' "$E2E_OUT/pulse-transport.stretches" | sed -n 3p)
    local a0 a1 b0 c0 c1
    read -r _ _ _ a0 a1 <<<"$s1"
    read -r _ _ _ b0 _ <<<"$s2"
    read -r _ _ _ c0 c1 <<<"$s3"
    e2e_check "the first Play starts at byte 0" e2e_near "${a0:-x}" 0 160
    e2e_check "Stop ends the sound where the cursor says" e2e_near "${a1:-x}" "${stop1:-y}" 160
    e2e_check "Play goes on from there, without a gap or a repeat" e2e_near "${b0:-x}" "${stop1:-y}" 160
    e2e_check "a cursor move is heard from where it was put" e2e_near "${c0:-x}" 20000 160
    e2e_check "the last Stop ends where the cursor says" e2e_near "${c1:-x}" "${stop2:-y}" 160
    e2e_check "nothing else was heard" e2e_equals "$(grep -c '^sound' "$E2E_OUT/pulse-transport.stretches")" 3
    # From Play to the first sound heard: no more than 50 ms.
    local played first onset
    played=$(awk '$1 == "play" { print $2 }' "$E2E_OUT/pulse-transport.out")
    first=$(cat "$E2E_OUT/pulse-transport.first")
    onset=$(awk '$1 == "sound" { print $2; exit }' "$E2E_OUT/pulse-transport.stretches")
    local latency
    latency=$(awk -v p="${played:-0}" -v f="${first:-0}" -v o="${onset:-0}" 'BEGIN { printf "%.0f", (f + o / 1000 - p) * 1000 }')
    echo "  Play to first sound: $latency ms" >&2
    e2e_check "the first sound comes within 50 ms of Play" e2e_inside "$latency" -20 50
    e2e_pulse_stop
}

e2e_scenario_pulse_layer
