# The sound really comes out: a file of four tones played through the program's sound
# path into Wine's DirectSound, captured exactly by ALSA's file plug-in.

e2e_play_capture() {  # name frequency-thumb pan-thumb volume-thumb -> $E2E_OUT/<name>.wav
    rm -f "$VELMORIN_BUILD/capture.wav"
    timeout 60 wine "$E2E_WIN/tests/windows/play_through.exe" "$(e2e_winpath "$E2E_OUT/tones.wav")" \
        "$2" "$3" "$4" >/dev/null 2>&1 &&
        mv "$VELMORIN_BUILD/capture.wav" "$E2E_OUT/$1.wav"
}

e2e_scenario_sound_output() {
    python3 "$E2E_TOOLS/capture.py" tones "$E2E_OUT/tones.wav"
    e2e_check "plays at the file's rate" e2e_play_capture plain 8000 0 0 || return
    e2e_check "tones whole and in order" e2e_tones_in_order "$E2E_OUT/plain.wav" 500 250
    e2e_check "plays at twice the rate" e2e_play_capture double 16000 0 0 &&
        e2e_check "twice the rate doubles pitch and halves time" \
            e2e_tones_in_order "$E2E_OUT/double.wav" 1000 125
    local plain left right
    read -r plain _ < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/plain.wav")
    if e2e_check "plays panned left" e2e_play_capture left 8000 -20 0; then
        read -r left right < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/left.wav")
        e2e_check "pan -10000 leaves the right channel near silent" \
            awk -v l="$left" -v r="$right" 'BEGIN { exit !(l > 1000 && r < l / 100) }'
    fi
    if e2e_check "plays at volume -2000" e2e_play_capture quiet 8000 0 -20; then
        read -r left _ < <(python3 "$E2E_TOOLS/capture.py" levels "$E2E_OUT/quiet.wav")
        e2e_check "volume -2000 is 20 dB lower (within 1 dB)" \
            awk -v a="$plain" -v b="$left" 'BEGIN { d = 20 * log(a / b) / log(10); print "  " d " dB" >"/dev/stderr"; exit !(d > 19 && d < 21) }'
    fi
}

e2e_scenario_sound_output
