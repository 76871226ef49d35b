# The native Linux program (GTK 3, PulseAudio, X11 key grabs) under Xvfb: its state read
# through AT-SPI, driven with real key presses, its sound recorded in real time from the
# private PulseAudio null sink and read back from a sweep whose pitch tells the offset.

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/native_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_BIN=$VELMORIN_BUILD/tools

e2e_scenario_native_first_state() {
    e2e_start_native
    e2e_check "native: the dialog appears" e2e_wait_window "Velmorin - " 15 || return
    e2e_check "native: every control listed" e2e_dump_of "Velmorin - " 50
    e2e_check "native: first title" e2e_has "window title=Velmorin - No file loaded. role=frame app=org.velmorin.Velmorin"
    e2e_check "native: first status" e2e_equals "$(e2e_text 1016)" "No file loaded."
    local id texts="" states=""
    for id in 1007 1000 1008 1002 1001 1009 1010; do
        texts+="$(e2e_text $id)|"
        states+="$(e2e_field $id enabled)$(e2e_field $id check)$(e2e_field $id visible) "
    done
    e2e_check "native: button and check box texts" e2e_equals "$texts" "<<|Play|>>|Pause|Stop|Loop sound|Use automatic pausing|"
    e2e_check "native: transport disabled, check boxes enabled and clear" \
        e2e_equals "$states" "001 001 001 001 001 101 101 "
    local sliders=""
    for id in 1003 1004 1005 1006 1025 1026 1027; do
        sliders+="$(e2e_field $id pos)/$(e2e_field $id min)/$(e2e_field $id max) "
    done
    e2e_check "native: slider thumbs and ranges" \
        e2e_equals "$sliders" "100/100/100000 0/-20/20 0/-100/0 0/0/100 7/1/240 10/0/240 3/0/40 "
    local values=""
    for id in 1012 1013 1014 1017 1018 1028 1029; do values+="$(e2e_text $id)|"; done
    e2e_check "native: value boxes written from the sliders" \
        e2e_equals "$values" "100|0|0|0|1.75 sec|2.50 sec|0.75 secs|"
    local radios=""
    for id in 1019 1020 1021 1022 1023 1024; do
        radios+="$(e2e_field $id check)$(e2e_field $id visible)"
    done
    e2e_check "native: Global and Default checked, no radio button shown" \
        e2e_equals "$radios" "000010100000"
    e2e_check "native: the labels in template order" e2e_equals \
        "$(grep -E '^control id=-1 ' <<<"$e2e_dump" | sed 's/.* text=//' | tr '\n' '|')" \
        "Status|Frequency|100 Hz|100 kHz|Pan|Left|Right|Volume|Low|High|Focus|Buffer Memory|Position|Play Duration|Pause Duration|Pause backup|Shorter|Shorter|Less|Longer|Longer|More|"
    e2e_check "native: the menu" e2e_equals "$(grep '^menu ' <<<"$e2e_dump" | tr '\n' '|')" \
        "menu path=File/Open... enabled=1|menu path=File/Exit enabled=1|menu path=Help/About... enabled=1|"
    local window
    window=$(e2e_x_window '^Velmorin - ')
    e2e_check "native: the icon is the window's, 32 and 16 pixels" \
        e2e_equals "$(xprop -id "$window" _NET_WM_ICON | grep -oE 'Icon \([0-9]+ x [0-9]+\)' | tr '\n' ' ')" "Icon (32 x 32) Icon (16 x 16) "
    echo "  screenshot: $(e2e_shot native-first)" >&2
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "native: Esc ends it with status 1" e2e_exits_with 1

    e2e_start_native
    e2e_wait_window "Velmorin - " 15
    "$E2E_BIN/x11_client" close "$(e2e_x_window '^Velmorin - ')"
    e2e_check "native: the close box ends it with status 1" e2e_exits_with 1

    e2e_start_native
    e2e_wait_window "Velmorin - " 15
    e2e_native_menu f x
    e2e_check "native: File > Exit ends it with status 1" e2e_exits_with 1
}

_native_offsets() {  # stretch-lines n -> the first and last byte offset of stretch n
    sed -n "$2p" <<<"$1" | awk '{ print $4, $5 }'
}

e2e_scenario_native_transport() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/native-sweep.wav" 6 >/dev/null  # 48000 bytes, 8000 a second
    e2e_record_start native-transport || return
    e2e_start_native
    e2e_check "native: dialog appears for the transport" e2e_wait_window "Velmorin - " 15 ||
        { e2e_record_stop >/dev/null; return; }
    e2e_check "native: the sweep loads from the file chooser" e2e_native_load "$E2E_OUT/native-sweep.wav"
    e2e_check "native: the title names the file" \
        e2e_has "window title=Velmorin - [$E2E_OUT/native-sweep.wav] role=frame app=org.velmorin.Velmorin"
    e2e_check "native: the stopped layout after the load" e2e_equals "$(e2e_native_layout)" 100
    e2e_check "native: the frequency thumb at the file's rate" e2e_equals "$(e2e_field 1003 pos)" 8000
    sleep 1  # let the stream settle before the first sound
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_check "native: Alt+P plays" e2e_status_becomes "Playing" 5
    e2e_check "native: the playing layout" e2e_equals "$(e2e_native_layout)" 011
    e2e_until 5 e2e_native_position_past 8000
    xdotool key alt+a
    e2e_check "native: Alt+A pauses" e2e_status_becomes "Paused." 5
    local paused_at
    paused_at=$(e2e_text 1017)
    e2e_check "native: the pause shows a cursor inside the data" e2e_inside "$paused_at" 1 47999
    sleep 0.3
    xdotool key alt+a
    e2e_check "native: Alt+A resumes" e2e_status_becomes "Playing" 5
    e2e_until 5 e2e_native_position_past $((paused_at + 4000))
    xdotool key alt+s
    e2e_check "native: Alt+S stops" e2e_status_becomes "Sound stopped." 5
    e2e_check "native: the stopped layout after Stop" e2e_equals "$(e2e_native_layout)" 100
    sleep 0.5
    xdotool key alt+p
    # The status reads "Sound stopped." before the key is handled as well as at the end.
    e2e_check "native: Play again plays" e2e_status_leaves "Sound stopped." 5
    e2e_check "native: Play again runs to the end of the data" e2e_status_becomes "Sound stopped." 15
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local wav lines a0 a1 b0 c0 c1
    wav=$(e2e_record_stop)
    lines=$(e2e_native_stretches "$wav" "$E2E_OUT/native-sweep.wav")
    echo "$lines" >&2
    read -r a0 a1 <<<"$(_native_offsets "$lines" 1)"
    read -r b0 _ <<<"$(_native_offsets "$lines" 2)"
    read -r c0 c1 <<<"$(_native_offsets "$lines" 3)"
    e2e_check "native: three stretches heard" e2e_equals "$(wc -l <<<"$lines")" 3
    e2e_check "native: the first Play starts at byte 0" e2e_near "${a0:-x}" 0 250
    e2e_check "native: the pause stops the sound where the position says" e2e_near "${a1:-x}" "$paused_at" 250
    e2e_check "native: the resume starts Pause backup x 1000 bytes earlier" e2e_near "${b0:-x}" $((paused_at - 3000)) 250
    e2e_check "native: the second Play starts at byte 0" e2e_near "${c0:-x}" 0 250
    e2e_check "native: and plays to the end of the data" e2e_near "${c1:-x}" 48000 250
}

# Options > Keep Pitch: the Frequency slider sets the speed alone. A 4 s tone of 1 kHz played at
# half and three quarters of its rate stays at 1 kHz and lasts 8 s and 5.33 s; unchecked, the
# same slider lowers the pitch as a tape does, and checked while that plays, the sound goes
# on from the byte heard at its own pitch, with no gap.
e2e_scenario_native_keep_pitch() {
    local tone=$E2E_OUT/native-tone.wav part hz ms segments wav t0 t1 pitch u0 u1 low
    sox -n -r 8000 -b 16 -c 1 "$tone" synth 4 sine 1000 vol 0.5
    e2e_start_native -- "$tone"
    e2e_check "native: dialog appears for Keep Pitch" e2e_wait_window "Velmorin - [" 15 || return
    e2e_until 5 _native_loaded "$tone" 8000
    e2e_native_menu o k
    sleep 1
    for part in "4000 8000" "6000 5333"; do
        read -r hz ms <<<"$part"
        e2e_native_slider 1003 "$hz"
        e2e_record_start "native-keep-$hz" || continue
        e2e_focus '^Velmorin - '
        xdotool key alt+p
        e2e_status_leaves "Sound stopped." 5
        e2e_status_becomes "Sound stopped." $((ms / 1000 + 5))
        segments=$(python3 "$E2E_TOOLS/capture.py" segments "$(e2e_record_stop)")
        echo "$segments" >&2
        read -r t0 t1 pitch <<<"$segments"
        e2e_check "native: Keep Pitch at $hz Hz: one tone" e2e_equals "$(wc -l <<<"$segments")" 1
        e2e_check "native: Keep Pitch at $hz Hz: at 1000 Hz within 1 %" e2e_near "${pitch:-x}" 1000 10
        e2e_check "native: Keep Pitch at $hz Hz: lasts $ms ms within 2 %" \
            e2e_near "$((${t1:-0} - ${t0:-0}))" "$ms" $((ms / 50))
    done
    e2e_native_menu o k
    e2e_record_start native-keep-toggle || return
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_until 5 e2e_native_position_past 16000
    e2e_native_menu o k
    e2e_status_becomes "Sound stopped." 10
    wav=$(e2e_record_stop)
    segments=$(python3 "$E2E_TOOLS/capture.py" segments "$wav")
    echo "$segments" >&2
    read -r t0 _ low <<<"$(sed -n 1p <<<"$segments")"
    read -r u0 u1 pitch <<<"$(sed -n 2p <<<"$segments")"
    e2e_check "native: unchecked, 6000 Hz lowers the pitch to 750 Hz" e2e_near "${low:-x}" 750 8
    e2e_check "native: checked while playing, the pitch is kept" e2e_near "${pitch:-x}" 1000 10
    e2e_check "native: and the 4 s are all heard at three quarters, none twice" \
        e2e_near "$((${u1:-0} - ${t0:-0}))" 5333 107
    e2e_check "native: with no gap over 5 ms" e2e_near "$(python3 "$E2E_TOOLS/capture.py" gap "$wav")" 0 5
    _native_kept_transport
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
}

# The transport with the pitch kept, at 0.75: a steady tone tells no byte from another, so each
# stretch heard between pauses is judged by its length, which at 12000 file bytes a second must
# hold the bytes the positions say: to the pause, from the step back with a skip forward in
# it, and from the next step back with a skip back to the end. Within 500 bytes (31 ms of the
# file), as the sweep's 250 at 8000 a second.
_native_kept_transport() {
    local p1 p2 lines d1 d2 d3
    e2e_record_start native-keep-transport || return
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_until 5 e2e_native_position_past 16000
    xdotool key alt+a
    e2e_status_becomes "Paused." 5
    p1=$(e2e_text 1017)
    sleep 0.3
    xdotool key alt+a
    e2e_until 5 e2e_native_position_past $((p1 + 6000))
    xdotool key alt+k
    e2e_until 5 e2e_native_position_past $((p1 + 24000))
    xdotool key alt+a
    e2e_status_becomes "Paused." 5
    p2=$(e2e_text 1017)
    sleep 0.3
    xdotool key alt+a
    e2e_until 5 e2e_native_position_past $((p2 - 1000))
    xdotool key alt+h
    e2e_status_becomes "Sound stopped." 10
    # A skip's step in the tone's phase can leave one window out of the tone; only the
    # pauses' silences, 300 ms and more, part the stretches.
    lines=$(python3 "$E2E_TOOLS/capture.py" segments "$(e2e_record_stop)" |
        awk 'NR > 1 && $1 - end <= 20 && $3 == hz { end = $2; next }
             NR > 1 { print start, end, hz } { start = $1; end = $2; hz = $3 }
             END { if (NR) print start, end, hz }')
    echo "$lines" >&2
    read -r d1 d2 d3 <<<"$(awk '{ printf "%d ", ($2 - $1) * 12 }' <<<"$lines")"
    e2e_check "native: kept, three stretches at 1 kHz" e2e_equals "$(awk '{ print $3 }' <<<"$lines" | sort -u)|$(wc -l <<<"$lines")" "1000|3"
    e2e_check "native: kept, the first Play stops where the position says" e2e_near "${d1:-x}" "$p1" 500
    e2e_check "native: kept, resumed 3000 bytes back, skipped 15000 on to the pause" \
        e2e_near "${d2:-x}" $((p2 - (p1 - 3000) - 15000)) 500
    e2e_check "native: kept, resumed 3000 bytes back, skipped 15000 back to the end" \
        e2e_near "${d3:-x}" $((64000 - (p2 - 3000) + 15000)) 500
}

e2e_scenario_native_automatic_pausing() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/native-sweep20.wav" 20 >/dev/null  # 160000 bytes
    e2e_record_start native-cycle || return
    e2e_start_native
    e2e_check "native: dialog appears for the cycle" e2e_wait_window "Velmorin - " 15 ||
        { e2e_record_stop >/dev/null; return; }
    e2e_native_load "$E2E_OUT/native-sweep20.wav"
    # Short stretches, so that eight resumes fit in 16 s: play 1 s, pause 0.75 s.
    e2e_native_slider 1025 4
    e2e_native_slider 1026 3
    e2e_native_click 1010
    e2e_check "native: a click checks Use automatic pausing" e2e_until 5 e2e_auto_checked
    e2e_check "native: the durations read 1.00 sec and 0.75 sec" \
        e2e_equals "$(e2e_text 1018)|$(e2e_text 1028)" "1.00 sec|0.75 sec"
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    # 0.75 play, then (0.75 pause, 1 play) eight times: 14.75 s; then a pause.
    sleep 15
    e2e_status_becomes "Paused." 10
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local wav
    wav=$(e2e_record_stop)
    "$E2E_BIN/track_tone" "$wav" --sweep "$E2E_OUT/native-sweep20.wav" >"$wav.stretches"
    cat "$wav.stretches" >&2
    # A resume starts 3000 bytes before the sound heard last: a pause takes back what the
    # stream held, so its cursor is what was heard, within 300 bytes (37 ms).
    e2e_check_cycle "$wav.stretches" "native: cycle " 300 750 1000 17
}

e2e_scenario_native_position_text_while_playing() {
    # 1000 s of silence at 8000 bytes a second: a percent of it is 80000 bytes, 10 s. Six
    # skips put the cursor into the second percent with over 8 s to go before the third.
    python3 "$E2E_TOOLS/make_sparse_wave.py" "$E2E_OUT/native-long.wav" 8000000
    e2e_start_native
    e2e_check "native: dialog appears for the position text" e2e_wait_window "Velmorin - " 15 || return
    e2e_native_load "$E2E_OUT/native-long.wav"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    local i
    for i in 1 2 3 4 5 6; do xdotool key alt+k; done
    e2e_check "native: six skips reach the second percent" e2e_until 5 e2e_native_position_past 80000
    local readings
    readings=$(timeout 30 /usr/bin/python3 "$E2E_TOOLS/atspi_inspector.py" "Velmorin - " --series 1017 12 0.5)
    echo "  position texts: $(tr '\n' ' ' <<<"$readings")" >&2
    e2e_check "native: twelve readings of the position text" e2e_equals "$(wc -l <<<"$readings")" 12
    # The poll shows the play cursor; the percent's own start (a multiple of 80000) would
    # come from a notification of an unchanged thumb.
    e2e_check "native: every reading is the play cursor, rising, not the percent's start" \
        awk 'NR > 1 && $1 <= last { exit 1 } { last = $1 } $1 % 80000 == 0 || $1 >= 160000 { exit 1 }' <<<"$readings"
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
}

e2e_auto_checked() { e2e_dump_of "Velmorin - " 50 && [ "$(e2e_field 1010 check)" = 1 ]; }

_native_focused_name() { xdotool getwindowname "$(xdotool getwindowfocus)" 2>/dev/null; }

e2e_scenario_native_hotkeys_from_xterm() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/native-sweep20.wav" 20 >/dev/null
    e2e_record_start native-hotkeys || return
    e2e_start_native
    e2e_check "native: dialog appears for the hotkeys" e2e_wait_window "Velmorin - " 15 ||
        { e2e_record_stop >/dev/null; return; }
    e2e_native_load "$E2E_OUT/native-sweep20.wav"
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    # xterm, a plain X program, takes the keyboard; the keys go to the X server.
    xterm -T velmorin-e2e-xterm -e sleep 120 &
    local xterm=$!
    e2e_own_pids+=("$xterm")
    e2e_focus '^velmorin-e2e-xterm$'
    e2e_check "native: xterm has the keyboard" e2e_equals "$(_native_focused_name)" velmorin-e2e-xterm
    sleep 0.6
    xdotool key alt+j
    e2e_check "native: Alt+J pauses while xterm has the keyboard" e2e_status_becomes "Paused." 5
    sleep 0.4
    xdotool key alt+j  # resumes 8000 x 3 / 4 = 6000 bytes back
    sleep 1
    xdotool key alt+k
    sleep 0.5
    xdotool key alt+h
    e2e_check "native: the sound plays on after the skips" e2e_status_becomes "Playing" 5
    e2e_check "native: xterm kept the keyboard" e2e_equals "$(_native_focused_name)" velmorin-e2e-xterm
    sleep 3
    kill "$xterm" 2>/dev/null
    wait "$xterm" 2>/dev/null
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local wav lines a1 b0
    wav=$(e2e_record_stop)
    lines=$(e2e_native_stretches "$wav" "$E2E_OUT/native-sweep20.wav")
    echo "$lines" >&2
    read -r _ a1 <<<"$(_native_offsets "$lines" 1)"
    read -r b0 _ <<<"$(_native_offsets "$lines" 2)"
    e2e_check "native: four stretches heard" e2e_equals "$(wc -l <<<"$lines")" 4
    e2e_check "native: Alt+J resumes 6000 bytes (backup 3 at 8000/s) before the pause" e2e_near "${b0:-x}" $((a1 - 6000)) 300
    e2e_native_check_skips "native" "$lines"
}

e2e_scenario_native_hotkey_taken() {
    "$E2E_BIN/x11_client" grab k >"$E2E_OUT/native-grab.out" &
    local holder=$!
    e2e_own_pids+=("$holder")
    e2e_until 5 grep -q grabbed "$E2E_OUT/native-grab.out"
    e2e_start_native
    e2e_check "native: a taken hotkey gives the Failed box" e2e_wait_window "Orvanth" 15 &&
        e2e_check "native: which says Failed" e2e_equals "$(e2e_inspect Orvanth | grep -c '^other role=label .* text=Failed$')" 1
    e2e_focus '^Orvanth$'
    xdotool key Return
    e2e_check "native: the dialog comes after the box" e2e_wait_window "Velmorin - " 15
    e2e_check "native: one box only" e2e_fails e2e_inspect Orvanth
    e2e_native_load "$E2E_OUT/native-sweep20.wav"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    xdotool key alt+j
    e2e_check "native: the other hotkeys still work" e2e_status_becomes "Paused." 5
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "native: ends with status 1" e2e_exits_with 1
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
}

e2e_scenario_native_about_while_playing() {
    e2e_record_start native-about || return
    e2e_start_native
    e2e_check "native: dialog appears for the About box" e2e_wait_window "Velmorin - " 15 ||
        { e2e_record_stop >/dev/null; return; }
    e2e_native_load "$E2E_OUT/native-sweep20.wav"
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    # Alt+H is the skip-back hotkey; the keyboard reaches the Help menu through F10, and
    # from File, the first, left to Help, the last.
    xdotool key F10
    sleep 0.3
    xdotool key Left
    sleep 0.3
    xdotool key Down Return
    e2e_check "native: Help > About... opens the About box" e2e_wait_window "About Velmorin" 10
    local about
    about=$(e2e_inspect "About Velmorin")
    e2e_check "native: the About box's text, icon and OK button" e2e_equals \
        "$(grep -cE '^other role=(label .*text=A nifty program for playing back wav files so you can transcribe them\.|icon .*|push button .*text=OK)$' <<<"$about")" 3
    local before
    before=$(e2e_text 1017)
    e2e_check "native: the sound plays on while the About box is up" e2e_until 5 e2e_native_position_past $((before + 8000))
    e2e_check "native: the status says so" e2e_equals "$(e2e_text 1016)" Playing
    e2e_focus '^About Velmorin$'
    xdotool key alt+j
    e2e_check "native: Alt+J pauses while the About box is up" e2e_status_becomes "Paused." 5
    sleep 0.3
    xdotool key alt+j
    e2e_check "native: and resumes" e2e_status_becomes "Playing" 5
    e2e_focus '^About Velmorin$'
    xdotool key Escape
    e2e_check "native: Esc closes the About box" e2e_window_gone "About Velmorin" 5
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+s
    e2e_status_becomes "Sound stopped." 5
    xdotool key Escape
    e2e_wait_exit 10
    local wav lines
    wav=$(e2e_record_stop)
    lines=$(e2e_native_stretches "$wav" "$E2E_OUT/native-sweep20.wav")
    echo "$lines" >&2
    local a0 a1 b0
    read -r a0 a1 <<<"$(_native_offsets "$lines" 1)"
    read -r b0 _ <<<"$(_native_offsets "$lines" 2)"
    e2e_check "native: two stretches: played through the About box's opening, then Alt+J's" \
        e2e_equals "$(wc -l <<<"$lines")" 2
    e2e_check "native: the first from byte 0" e2e_near "${a0:-x}" 0 250
    e2e_check "native: the resume 6000 bytes before the pause" e2e_near "${b0:-x}" $((${a1:-0} - 6000)) 300
}

e2e_scenario_native_no_sound_server() {
    e2e_start_native PULSE_SERVER=unix:/nonexistent
    e2e_check "native: without a sound server the start-up box shows" e2e_wait_window "DirectSound Sample" 15 &&
        e2e_check "native: with its text" e2e_equals \
            "$(e2e_inspect "DirectSound Sample" | grep -c '^other role=label .*text=Error initializing DirectSound.  Sample will now exit.$')" 1
    e2e_check "native: and no dialog" e2e_fails e2e_inspect "Velmorin - "
    e2e_focus '^DirectSound Sample$'
    xdotool key Return
    e2e_check "native: dismissing it ends the program with status 1" e2e_exits_with 1
}

# Recordings that are not WAVE files: the sweep encoded by ffmpeg, opened from the command
# line, played, paused and resumed, and judged from the recording as the WAVE file is. The
# decoded sound is 16-bit PCM at the codec's rate, so a byte of the position text is
# (rate / 8000 * 2) bytes per byte of the 8-bit sweep.
e2e_scenario_native_decoded_recordings() {
    local sweep=$E2E_OUT/native-sweep8.wav format codec rate file
    "$E2E_BIN/make_sweep" "$sweep" 8 >/dev/null  # 64000 bytes
    for format in "mp3 libmp3lame 8000" "m4a aac 8000" "opus libopus 48000"; do
        read -r format codec rate <<<"$format"
        file=$E2E_OUT/native-sweep8.$format
        ffmpeg -nostdin -v error -y -i "$sweep" -c:a "$codec" -ar "$rate" "$file"
        local label="native: $format" per=$((rate / 8000 * 2))
        e2e_record_start "native-$format" || return
        e2e_start_native -- "$file"
        e2e_check "$label opens from the command line" e2e_wait_window "Velmorin - [" 15 ||
            { e2e_record_stop >/dev/null; continue; }
        e2e_check "$label: title, status, frequency thumb" e2e_until 5 _native_loaded "$file" "$rate"
        sleep 1
        e2e_focus '^Velmorin - '
        xdotool key alt+p
        e2e_status_becomes "Playing" 5
        e2e_until 5 e2e_native_position_past $((16000 * per))
        xdotool key alt+a
        e2e_status_becomes "Paused." 5
        local paused_at
        paused_at=$(e2e_text 1017)
        sleep 0.3
        xdotool key alt+a
        e2e_status_becomes "Playing" 5
        e2e_until 5 e2e_native_position_past $((paused_at + 8000 * per))
        xdotool key alt+s
        e2e_status_becomes "Sound stopped." 5
        xdotool key Escape
        e2e_wait_exit 10
        local lines a0 a1 b0
        lines=$(e2e_native_stretches "$(e2e_record_stop)" "$sweep")
        echo "$lines" >&2
        read -r a0 a1 <<<"$(_native_offsets "$lines" 1)"
        read -r b0 _ <<<"$(_native_offsets "$lines" 2)"
        e2e_check "$label: two stretches heard" e2e_equals "$(wc -l <<<"$lines")" 2
        e2e_check "$label: Play starts at its first byte" e2e_near "${a0:-x}" 0 250
        e2e_check "$label: the pause stops where the position says" \
            e2e_near "${a1:-x}" $((paused_at / per)) 250
        e2e_check "$label: the resume starts 3000 of its bytes earlier" \
            e2e_near "${b0:-x}" $(((paused_at - 3000) / per)) 250
    done
}

_native_loaded() {  # path rate
    e2e_dump_of "Velmorin - " 50 &&
        e2e_has "window title=Velmorin - [$1] role=frame app=org.velmorin.Velmorin" &&
        [ "$(e2e_text 1016)|$(e2e_field 1003 pos)" = "File loaded.|$2" ]
}

e2e_native_scenarios "native" e2e_scenario_native_first_state \
    e2e_scenario_native_transport \
    e2e_scenario_native_decoded_recordings \
    e2e_scenario_native_keep_pitch \
    e2e_scenario_native_automatic_pausing \
    e2e_scenario_native_position_text_while_playing \
    e2e_scenario_native_hotkeys_from_xterm \
    e2e_scenario_native_hotkey_taken \
    e2e_scenario_native_about_while_playing \
    e2e_scenario_native_no_sound_server
