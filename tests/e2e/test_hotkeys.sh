# The global hotkeys while another Wine program (Notepad) has the keyboard, a hotkey
# taken by another program first, Alt+H against the Help menu, and the automatic cycle,
# all in real time through the PulseAudio recorder.

. "$E2E_TOOLS/sound_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_BIN=$VELMORIN_BUILD/tools

e2e_sound_stretches() {  # recording sweep -> the "sound" lines of track_tone
    "$E2E_BIN/track_tone" "$1" --sweep "$2" >"$1.stretches"
    e2e_bridge_dropouts "$1.stretches"
    grep '^sound' "$1.stretches"
}

e2e_scenario_hotkeys_from_notepad() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/sweep20.wav" 20 >/dev/null  # 160000 bytes
    e2e_record_start hotkeys || return
    # Notepad comes up first: a Wine program that starts keeps the Wine server, and so the
    # program's sound, busy. The dialog then opens over it, clear of Notepad's caption.
    HOME=$E2E_PULSE_HOME wine notepad >/dev/null 2>&1 &
    local notepad=$!
    e2e_own_pids+=("$notepad")
    e2e_x_window 'Notepad$' >/dev/null
    e2e_start_app "$E2E_PULSE_HOME"
    e2e_check "dialog appears for the hotkeys" e2e_wait_window "Velmorin - " 15 || { e2e_record_stop >/dev/null; return; }
    e2e_load "$(e2e_winpath "$E2E_OUT/sweep20.wav")"
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    sleep 0.5
    # Notepad takes the keyboard.
    e2e_focus 'Notepad$'
    e2e_check "Notepad has the keyboard" e2e_equals "$(xdotool getwindowname "$(xdotool getwindowfocus)")" "Untitled - Notepad"
    sleep 0.6
    xdotool key alt+j  # pause
    e2e_check "Alt+J pauses while Notepad has the keyboard" e2e_status_becomes "Paused." 5
    sleep 0.4
    xdotool key alt+j  # resume 8000 x 3 / 4 = 6000 bytes back
    sleep 1
    xdotool key alt+k  # 15000 forward
    sleep 0.5
    xdotool key alt+h  # 15000 back
    e2e_check "the sound plays on after the skips" e2e_status_becomes "Playing" 5
    e2e_check "Notepad kept the keyboard" e2e_equals "$(xdotool getwindowname "$(xdotool getwindowfocus)")" "Untitled - Notepad"
    sleep 4
    xdotool key ctrl+q 2>/dev/null
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    kill "$notepad" 2>/dev/null
    wait "$notepad" 2>/dev/null
    local wav lines
    wav=$(e2e_record_stop)
    lines=$(e2e_sound_stretches "$wav" "$E2E_OUT/sweep20.wav")
    echo "$lines" >&2
    local s1 s2 s3 s4
    s1=$(sed -n 1p <<<"$lines"); s2=$(sed -n 2p <<<"$lines"); s3=$(sed -n 3p <<<"$lines"); s4=$(sed -n 4p <<<"$lines")
    local a0 a1 b0 b1 c0 c1 d0
    read -r _ _ _ a0 a1 <<<"$s1"; read -r _ _ _ b0 b1 <<<"$s2"
    read -r _ _ _ c0 c1 <<<"$s3"; read -r _ _ _ d0 _ <<<"$s4"
    e2e_check "four stretches heard" e2e_equals "$(wc -l <<<"$lines")" 4 ||
        sed 's/^/  /' "$wav.stretches" >&2
    e2e_check "Alt+J resumes 6000 bytes (backup 3 at 8000/s) before the pause" e2e_near "$b0" $((a1 - 6000)) 300
    e2e_check "Alt+K skips 15000 bytes forward" e2e_near "$c0" $((b1 + 15000)) 300
    e2e_check "Alt+H skips 15000 bytes back" e2e_near "$d0" $((c1 - 15000)) 300
}

e2e_scenario_hotkey_taken() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/sweep20.wav" 20 >/dev/null
    wine "$E2E_WIN/tests/windows/hold_hotkey.exe" j 25 >"$E2E_OUT/hold.txt" 2>/dev/null &
    local holder=$!
    e2e_own_pids+=("$holder")
    local i
    for i in $(seq 1 50); do grep -q holding "$E2E_OUT/hold.txt" 2>/dev/null && break; sleep 0.1; done
    e2e_record_start taken || return
    e2e_start_app "$E2E_PULSE_HOME"
    e2e_check "a taken Alt+J shows the Failed box" e2e_wait_window "Orvanth" 15 || { kill $holder; return; }
    e2e_dump_of "Orvanth" 2
    e2e_shot hotkey-failed >/dev/null
    e2e_check "box text Failed" grep -q "text=Failed$" <<<"$e2e_dump"
    e2e_check "box without an icon" e2e_fails grep -q "icon=1" <<<"$e2e_dump"
    e2e_focus '^Orvanth$'
    xdotool key Return
    e2e_check "the dialog comes up after the box" e2e_wait_window "Velmorin - " 15
    e2e_check "only one Failed box" e2e_window_gone Orvanth 5
    e2e_load "$(e2e_winpath "$E2E_OUT/sweep20.wav")"
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    sleep 0.5
    xdotool key alt+k  # how far each skip went is read from the recording below
    sleep 0.7
    xdotool key alt+h
    sleep 0.5

    # Alt+H belongs to the hotkey: the Help menu does not open; the mouse still opens it.
    e2e_check "Alt+H opens no menu" e2e_fails e2e_menu_open
    e2e_click_help
    e2e_check "the mouse opens the Help menu" e2e_menu_open
    xdotool key Down Return
    e2e_check "About opens while the sound plays" e2e_wait_window "About Velmorin" 10
    e2e_dump_of "Velmorin - " 50
    e2e_about_from=$(e2e_text 1017)
    e2e_check "the About box does not stop the sound" e2e_equals "$(e2e_text 1016)" "Playing"
    e2e_check "and the position moves on" e2e_until 5 e2e_position_past "$e2e_about_from"
    e2e_focus '^About Velmorin$'
    xdotool key Return
    sleep 0.3
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    kill $holder 2>/dev/null
    wait $holder 2>/dev/null
    local wav lines
    wav=$(e2e_record_stop)
    lines=$(e2e_sound_stretches "$wav" "$E2E_OUT/sweep20.wav")
    echo "$lines" >&2
    local a1 b0 b1 c0
    read -r _ _ _ _ a1 <<<"$(sed -n 1p <<<"$lines")"
    read -r _ _ _ b0 b1 <<<"$(sed -n 2p <<<"$lines")"
    read -r _ _ _ c0 _ <<<"$(sed -n 3p <<<"$lines")"
    e2e_check "Alt+K still skips 15000 bytes forward" e2e_near "$b0" $((a1 + 15000)) 300
    e2e_check "Alt+H still skips 15000 bytes back" e2e_near "$c0" $((b1 - 15000)) 300
    e2e_pulse_stop
}

e2e_position_past() {  # bytes: the position text shows more than that
    e2e_dump_of "Velmorin - " 50 && [ "$(e2e_text 1017)" -gt "$1" ] 2>/dev/null
}

e2e_scenario_automatic_pausing() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/sweep20.wav" 20 >/dev/null  # 160000 bytes
    e2e_record_start cycle || return
    e2e_start_app "$E2E_PULSE_HOME"
    e2e_check "dialog appears for the cycle" e2e_wait_window "Velmorin - " 15 || { e2e_record_stop >/dev/null; return; }
    e2e_load "$(e2e_winpath "$E2E_OUT/sweep20.wav")"
    e2e_click '^Velmorin - ' 21 206  # the "Use automatic pausing" box
    e2e_check "automatic pausing checked" e2e_until 5 e2e_auto_checked
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    # 2.5 play, 2.5 pause, 1.75 play, 2.5 pause, 1.75 play, then pausing: 11 s, then the
    # third pause, which a slow start may put later.
    sleep 11.5
    e2e_status_becomes "Paused." 10
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local wav
    wav=$(e2e_record_stop)
    "$E2E_BIN/track_tone" "$wav" --sweep "$E2E_OUT/sweep20.wav" >"$E2E_OUT/cycle-stretches.txt"
    e2e_bridge_dropouts "$E2E_OUT/cycle-stretches.txt"
    cat "$E2E_OUT/cycle-stretches.txt" >&2
    e2e_check_cycle "$E2E_OUT/cycle-stretches.txt" "cycle "
    e2e_pulse_stop
}

e2e_auto_checked() { e2e_dump_of "Velmorin - " 50 && [ "$(e2e_field 1010 check)" = 1 ]; }

e2e_scenario_hotkeys_from_notepad
e2e_scenario_hotkey_taken
e2e_scenario_automatic_pausing
