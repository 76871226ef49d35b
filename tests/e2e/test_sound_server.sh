# The native program through a sound server that goes away during playback and comes back,
# as when PulseAudio or PipeWire is restarted or crashes: the position stands meanwhile,
# Pause works, the program is back on the server within a second of its return, and the
# resume goes on from where the sound stood (judged from the recordings before and after);
# Stop and Play work after.

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/native_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"

_restart_position() { e2e_dump_of "Velmorin - " 50 >/dev/null && e2e_text 1017; }
_restart_connected() { "${e2e_pulse_client[@]}" pactl list clients 2>/dev/null | grep -q 'application.name = "Velmorin"'; }

e2e_scenario_server_restart() {
    local sweep=$E2E_OUT/restart-sweep.wav label="server restart (${E2E_SOUND_SERVER:-pulseaudio})"
    "$VELMORIN_BUILD/tools/make_sweep" "$sweep" 20 >/dev/null
    e2e_record_start restart-before || return
    e2e_start_native -- "$sweep"
    e2e_check "$label: the dialog appears" e2e_wait_window "Velmorin - [" 15 ||
        { e2e_record_stop >/dev/null; return; }
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    e2e_until 5 e2e_native_position_past 16000
    local before
    e2e_pulse_kill
    before=$(e2e_record_stop)
    local p1 p2 paused
    sleep 0.3
    p1=$(_restart_position)
    sleep 0.5
    p2=$(_restart_position)
    e2e_check "$label: the position stands while the server is away" e2e_equals "$p2" "$p1"
    e2e_check "$label: and the sound still counts as playing" e2e_equals "$(e2e_text 1016)" Playing
    e2e_focus '^Velmorin - '
    xdotool key alt+a
    e2e_check "$label: Pause works meanwhile" e2e_status_becomes "Paused." 5
    paused=$(e2e_text 1017)
    e2e_check "$label: at what was heard last" e2e_equals "$paused" "$p1"
    e2e_pulse_revive || { e2e_check "$label: the server comes back" false; return; }
    local back
    back=$(date +%s%N)
    e2e_check "$label: the program is back on the server within 1 s" e2e_until 1 _restart_connected
    echo "  connected after $((($(date +%s%N) - back) / 1000000)) ms" >&2
    e2e_record_start restart-after || return
    e2e_focus '^Velmorin - '
    xdotool key alt+a
    e2e_check "$label: the resume is heard" e2e_until 5 e2e_native_position_past $((paused - 3000 + 800))
    sleep 1
    e2e_focus '^Velmorin - '
    xdotool key alt+s
    e2e_check "$label: Stop works after" e2e_status_becomes "Sound stopped." 5
    sleep 0.3
    xdotool key alt+p
    e2e_check "$label: and Play" e2e_status_becomes "Playing" 5
    e2e_until 5 e2e_native_position_past 8000
    xdotool key Escape
    e2e_wait_exit 10
    local after lines end a0 b0
    after=$(e2e_record_stop)
    end=$(e2e_native_stretches "$before" "$sweep" | tail -1 | awk '{ print $5 }')
    lines=$(e2e_native_stretches "$after" "$sweep")
    echo "$lines" >&2
    read -r _ _ _ a0 _ <<<"$(sed -n 1p <<<"$lines")"
    read -r _ _ _ b0 _ <<<"$(sed -n 2p <<<"$lines")"
    # The recording ends where the server went; the cursor stood at what it had played.
    e2e_check "$label: the cursor stood where the sound was cut" e2e_near "${end:-x}" "$p1" 800
    e2e_check "$label: the sound went on 3000 bytes before the pause" e2e_near "${a0:-x}" $((paused - 3000)) 300
    e2e_check "$label: Play after Stop starts at byte 0" e2e_near "${b0:-x}" 0 300
}

e2e_native_scenarios "sound server" e2e_scenario_server_restart
