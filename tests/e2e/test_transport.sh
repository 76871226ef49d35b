# Transport in real time: a sweep whose pitch tells the byte offset, played, paused and
# resumed through the dialog, recorded from a PulseAudio null sink, and read back.

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/thumbs_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_BIN=$VELMORIN_BUILD/tools

e2e_scenario_transport() {
    "$E2E_BIN/make_sweep" "$E2E_OUT/sweep.wav" 6 >/dev/null  # 48000 bytes, 8000 per second
    e2e_record_start transport || return
    e2e_start_app "$E2E_PULSE_HOME"
    e2e_check "dialog appears for the transport" e2e_wait_window "Velmorin - " 15 || { e2e_record_stop >/dev/null; return; }
    e2e_check "the sweep loads" e2e_load "$(e2e_winpath "$E2E_OUT/sweep.wav")"
    sleep 1  # the device opened at start-up; let the stream settle

    e2e_focus '^Velmorin - '
    xdotool key alt+p
    sleep 1
    xdotool key alt+a
    e2e_check "the poll says Paused." e2e_status_becomes "Paused." 5
    local paused_at
    paused_at=$(e2e_text 1017)
    # Where the pause landed depends on how fast the keys arrived; the recording below
    # checks that it is where the sound stopped.
    e2e_check "pause shows a cursor inside the data" e2e_inside "$paused_at" 1 47999
    e2e_check "the playing layout stands while paused" \
        e2e_equals "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)$(e2e_field 1002 enabled)" 011
    sleep 0.2
    xdotool key alt+a
    e2e_check "the poll says Playing after the resume" e2e_status_becomes "Playing" 5
    e2e_check "thumbs drawn where their positions put them while playing" e2e_until 5 e2e_thumbs_placed transport-playing
    # The rest of the data lasts (48000 - paused_at + 3000) / 8000 s at most.
    e2e_check "the end gives Sound stopped." \
        e2e_status_becomes "Sound stopped." $(((48000 - ${paused_at:-0} + 3000) / 8000 + 5))
    e2e_check "and the stopped layout" \
        e2e_equals "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)$(e2e_field 1002 enabled)" 100
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local wav
    wav=$(e2e_record_stop)
    "$E2E_BIN/track_tone" "$wav" --sweep "$E2E_OUT/sweep.wav" >"$E2E_OUT/transport-stretches.txt"
    e2e_bridge_dropouts "$E2E_OUT/transport-stretches.txt"
    cat "$E2E_OUT/transport-stretches.txt" >&2
    local first second
    first=$(grep '^sound' "$E2E_OUT/transport-stretches.txt" | sed -n 1p)
    second=$(grep '^sound' "$E2E_OUT/transport-stretches.txt" | sed -n 2p)
    read -r _ _ _ o0 o1 <<<"$first"
    e2e_check "the first stretch starts at byte 0" e2e_near "${o0:-x}" 0 250
    e2e_check "and ends where the pause was shown" e2e_near "${o1:-x}" "$paused_at" 250
    read -r _ _ _ r0 r1 <<<"$second"
    e2e_check "the resume starts 3000 bytes before the pause" e2e_near "${r0:-x}" $((paused_at - 3000)) 250
    e2e_check "and plays to the end" e2e_near "${r1:-x}" 48000 250
    e2e_check "nothing else was heard" e2e_equals "$(grep -c '^sound' "$E2E_OUT/transport-stretches.txt")" 2
    e2e_pulse_stop
}

e2e_scenario_transport
