# The native program's ways in from the desktop: the media keys through MPRIS (driven with
# playerctl) on X11 and on Wayland, and the hotkeys through the global shortcuts portal on
# a Wayland compositor (weston, headless), with a portal backend of the tests' own. Each
# scenario runs on a session bus of its own; what was heard is judged from the recording.
# The hotkeys run once more on KDE Plasma's own portal (kwin, xdg-desktop-portal-kde).

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/native_lib.sh"
. "$E2E_TOOLS/wayland_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_BIN=$VELMORIN_BUILD/tools
E2E_SWEEP=$E2E_OUT/desktop-sweep20.wav

_desktop_player() { playerctl -p velmorin "$@" 2>/dev/null; }
_desktop_quit() {  # playerctl has no quit
    gdbus call --session --dest org.mpris.MediaPlayer2.velmorin --object-path /org/mpris/MediaPlayer2 \
        --method org.mpris.MediaPlayer2.Quit >/dev/null
}
_desktop_status_is() { [ "$(_desktop_player status)" = "$1" ]; }
_desktop_property() {  # a Player property as gdbus prints it: (<true>,)
    gdbus call --session --dest org.mpris.MediaPlayer2.velmorin --object-path /org/mpris/MediaPlayer2 \
        --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player "$1" 2>/dev/null
}
_desktop_set_rate() {
    gdbus call --session --dest org.mpris.MediaPlayer2.velmorin --object-path /org/mpris/MediaPlayer2 \
        --method org.freedesktop.DBus.Properties.Set org.mpris.MediaPlayer2.Player Rate "<$1>" >/dev/null 2>&1
}
_desktop_thumb_is() { e2e_dump_of "Velmorin - " 50 && [ "$(e2e_field 1003 pos)" = "$1" ]; }
_desktop_offsets() { sed -n "$2p" <<<"$1" | awk '{ print $4, $5 }'; }

# The stretches heard after a pause, a resume by the pause hotkey's step, a skip forward and
# one back, as the X11 hotkey scenario judges them (8000 bytes a second, backup 3).
_desktop_check_heard() {  # label recording
    local lines a1 b0
    lines=$(e2e_native_stretches "$2" "$E2E_SWEEP")
    echo "$lines" >&2
    read -r _ a1 <<<"$(_desktop_offsets "$lines" 1)"
    read -r b0 _ <<<"$(_desktop_offsets "$lines" 2)"
    e2e_check "$1: four stretches heard" e2e_equals "$(wc -l <<<"$lines")" 4
    e2e_check "$1: the resume is 6000 bytes (backup 3 at 8000/s) before the pause" \
        e2e_near "${b0:-x}" $((${a1:-0} - 6000)) 300
    e2e_native_check_skips "$1" "$lines"
}

e2e_scenario_mpris_x11() {
    e2e_record_start desktop-mpris || return
    e2e_start_native -- "$E2E_SWEEP"
    e2e_check "mpris: the dialog appears with the file" e2e_wait_window "Velmorin - [" 15 ||
        { e2e_record_stop >/dev/null; return; }
    e2e_check "mpris: a player named velmorin, stopped" e2e_until 5 _desktop_status_is Stopped
    e2e_check "mpris: a loaded track can pause while stopped" e2e_equals "$(_desktop_property CanPause)" "(<true>,)"
    e2e_check "mpris: metadata gives the title and length" e2e_equals \
        "$(_desktop_player metadata --format '{{xesam:title}} {{mpris:length}}')" "desktop-sweep20.wav 20000000"
    sleep 1
    _desktop_player play-pause
    e2e_check "mpris: play-pause before any Play plays" e2e_status_becomes "Playing" 5
    e2e_check "mpris: status Playing" e2e_until 5 _desktop_status_is Playing
    sleep 1.5
    _desktop_player play-pause
    e2e_check "mpris: play-pause pauses" e2e_status_becomes "Paused." 5
    e2e_check "mpris: status Paused" e2e_until 5 _desktop_status_is Paused
    # A skip while paused is not heard: the position stays where the resume starts from.
    local paused
    paused=$(_desktop_player position)
    _desktop_player next
    e2e_check "mpris: a skip while paused leaves the position" e2e_equals "$(_desktop_player position)" "$paused"
    sleep 0.4
    _desktop_player play-pause
    e2e_status_becomes "Playing" 5
    sleep 1
    _desktop_player next
    sleep 0.5
    _desktop_player previous
    sleep 1.5
    _desktop_player stop
    e2e_check "mpris: stop stops" e2e_status_becomes "Sound stopped." 5
    e2e_check "mpris: status Stopped" e2e_until 5 _desktop_status_is Stopped
    # Rate: 1 and fixed while the pitch is not kept; with Keep Pitch, the speed, and a rate
    # set moves the Frequency slider (the sweep's 8000 Hz at half speed: 4000).
    e2e_check "mpris: Rate cannot be set without Keep Pitch" e2e_fails _desktop_set_rate 0.5
    e2e_native_menu o k
    _desktop_set_rate 0.5
    e2e_check "mpris: with Keep Pitch a Rate of 0.5 moves the slider to 4000" e2e_until 5 _desktop_thumb_is 4000
    e2e_check "mpris: and Rate reads 0.5 within 0.25 to 4" e2e_equals \
        "$(_desktop_property Rate)$(_desktop_property MinimumRate)$(_desktop_property MaximumRate)" \
        "(<0.5>,)(<0.25>,)(<4.0>,)"
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    _desktop_check_heard "mpris" "$(e2e_record_stop)"

    # Without a session bus there is no media player, and the rest works as ever.
    e2e_start_native DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent -- "$E2E_SWEEP"
    e2e_check "without a session bus: the dialog appears" e2e_wait_window "Velmorin - [" 15 || return
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_status_becomes "Playing" 5
    xdotool key alt+j
    e2e_check "without a session bus: Alt+J pauses" e2e_status_becomes "Paused." 5
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "without a session bus: ends with status 1" e2e_exits_with 1
}

_desktop_start_wayland() {  # label: the program as a Wayland client, with the sweep open
    e2e_start_native "${E2E_WAYLAND_ENV[@]}" -- "$E2E_SWEEP"
    e2e_check "$1: the dialog appears" e2e_wait_window "Velmorin - [" 15 || return 1
    e2e_check "$1: as a Wayland client, with no X11 window" \
        e2e_fails xdotool search --name '^Velmorin - ' >/dev/null
}

# Through the tests' own backend, or with a press command and e2e_portal_start's --kde
# through Plasma's.
e2e_scenario_portal_hotkeys() {  # [press-command portal-option]
    local press=${1:-e2e_portal_press}
    e2e_portal_start "${@:2}" || { e2e_check "portal: the portal starts" false; return; }
    e2e_record_start desktop-portal${2:-} || return
    _desktop_start_wayland portal || { e2e_record_stop >/dev/null; return; }
    if [ $# = 0 ]; then
        e2e_check "portal: the three hotkeys are bound with what they do and their keys" e2e_equals \
            "$(e2e_until 5 grep -q back "$E2E_OUT/portal-binds.txt"; cat "$E2E_OUT/portal-binds.txt" | tr '\n' '|')" \
            "bind pause|Pause the recording, or resume it a little before|ALT+j|bind forward|Skip forward in the recording|ALT+k|bind back|Skip back in the recording|ALT+h|"
    else  # Plasma 5.27 binds the shortcuts the session is created with
        e2e_check "portal: kwin holds the hotkeys" e2e_until 10 e2e_kglobalaccel_holds back
    fi
    e2e_check "portal: no Failed box" e2e_fails e2e_inspect Orvanth
    sleep 1
    _desktop_player play
    e2e_check "portal: mpris play plays on Wayland" e2e_status_becomes "Playing" 5
    sleep 1.5
    $press pause
    e2e_check "portal: the pause shortcut pauses" e2e_status_becomes "Paused." 5
    e2e_check "portal: mpris says Paused" e2e_until 5 _desktop_status_is Paused
    sleep 0.4
    $press pause
    e2e_check "portal: and resumes" e2e_status_becomes "Playing" 5
    sleep 1
    $press forward
    sleep 0.5
    $press back
    sleep 1.5
    _desktop_player stop
    e2e_check "portal: mpris stop stops" e2e_status_becomes "Sound stopped." 5
    _desktop_quit
    e2e_check "portal: mpris quit ends it with status 1" e2e_exits_with 1
    e2e_portal_stop
    _desktop_check_heard "portal" "$(e2e_record_stop)"
}

e2e_scenario_portal_refuses_one() {
    e2e_portal_start --refuse back || { e2e_check "portal: the portal starts" false; return; }
    _desktop_start_wayland "portal refusing Alt+H" || return
    e2e_check "portal refusing Alt+H: a Failed box" e2e_wait_window Orvanth 10
    e2e_native_press Orvanth OK
    e2e_check "portal refusing Alt+H: exactly one" e2e_window_gone Orvanth 5
    e2e_native_press "Velmorin - " 1000
    e2e_status_becomes "Playing" 5
    e2e_portal_press pause
    e2e_check "portal refusing Alt+H: the pause shortcut works" e2e_status_becomes "Paused." 5
    e2e_portal_press pause
    e2e_status_becomes "Playing" 5
    e2e_dump_of "Velmorin - " 50
    local before
    before=$(e2e_text 1017)
    e2e_portal_press forward
    e2e_check "portal refusing Alt+H: the forward shortcut works" \
        e2e_until 5 e2e_native_position_past $((before + 15000))
    _desktop_quit
    e2e_check "portal refusing Alt+H: ends with status 1" e2e_exits_with 1
    e2e_portal_stop
}

"$E2E_BIN/make_sweep" "$E2E_SWEEP" 20 >/dev/null
e2e_native_start_session || { e2e_check "desktop: a D-Bus session starts" false; return; }
e2e_pulse_start || { e2e_check "desktop: PulseAudio starts" false; e2e_native_stop_session; return; }
e2e_scenario_mpris_x11
e2e_end_own
e2e_native_stop_session
e2e_native_start_session
if e2e_wayland_start; then
    e2e_scenario_portal_hotkeys
    e2e_end_own
    e2e_native_stop_session
    e2e_native_start_session
    e2e_scenario_portal_refuses_one
else
    e2e_check "desktop: weston starts" false
fi
e2e_end_own
e2e_portal_stop
e2e_wayland_stop
e2e_native_stop_session
e2e_native_start_session
if e2e_wayland_start kwin; then
    E2E_LABEL="${E2E_LABEL:-}plasma: " e2e_scenario_portal_hotkeys e2e_kglobalaccel_press --kde
else
    e2e_check "desktop: kwin starts" false
fi
e2e_end_own
e2e_portal_stop
e2e_wayland_stop
e2e_pulse_stop
e2e_native_stop_session
