# Helpers for the native Linux program (GTK 3): a D-Bus session with the accessibility
# bus, through which the inspector reads the program's windows (atspi_inspector.py, in the
# Windows inspector's line format, so lib.sh's readers work on both); start, focus, menus
# and the file chooser. Needs: lib.sh and sound_lib.sh sourced, a display.
#
#   e2e_native_start_session / e2e_native_stop_session   around the native scenarios
#   e2e_start_native [VAR=value...]   starts build/linux/velmorin (e2e_app_pid)

E2E_LINUX=$VELMORIN_BUILD/linux
e2e_dbus_pid=
e2e_dbus_address=
e2e_native_saved_bus=

e2e_native_start_session() {
    local address pid
    # The accessibility bus and its registry are started on demand by this bus.
    { read -r address; read -r pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    [ -n "$pid" ] || return 1
    e2e_dbus_pid=$pid
    e2e_dbus_address=$address
    e2e_native_saved_bus=${DBUS_SESSION_BUS_ADDRESS:-}
    export DBUS_SESSION_BUS_ADDRESS=$address
    export E2E_INSPECTOR=atspi
    mkdir -p "$E2E_OUT/native-home"
}

# Runs scenarios on a session bus and a sound server of their own, and ends what each left.
e2e_native_scenarios() {  # label scenario-function...
    local label=$1 scenario
    shift
    e2e_native_start_session || { e2e_check "$label: a D-Bus session starts" false; return; }
    e2e_pulse_start || { e2e_check "$label: the sound server starts" false; e2e_native_stop_session; return; }
    for scenario in "$@"; do
        # shellcheck disable=SC2053
        [[ $scenario == ${E2E_SCENARIOS:-*} ]] || continue
        "$scenario"
        e2e_end_own
    done
    e2e_pulse_stop
    e2e_native_stop_session
}

e2e_native_stop_session() {
    # What the bus started on demand (the accessibility bus's launcher and its bus) ends
    # with it; on its way out it removes the display's AT_SPI_BUS property and its socket,
    # which the next session's launcher sets up under the same names, so it has to be gone
    # before that one starts.
    local pids=() pid
    [ -n "$e2e_dbus_pid" ] &&
        pids=($(grep -lzxF "DBUS_STARTER_ADDRESS=$e2e_dbus_address" /proc/[0-9]*/environ 2>/dev/null |
            cut -d/ -f3))
    [ -n "$e2e_dbus_pid" ] && kill "$e2e_dbus_pid" 2>/dev/null
    for pid in "${pids[@]}"; do _e2e_end_pid "$pid" 0; done
    e2e_dbus_pid=
    export DBUS_SESSION_BUS_ADDRESS=$e2e_native_saved_bus
    E2E_INSPECTOR=wine
}

e2e_start_native() {  # [VAR=value | -u VAR...] [-- ARG...]: the program with a home of its own
    local vars=() args=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do vars+=("$1"); shift; done
    [ "${1:-}" = -- ] && { shift; args=("$@"); }
    (cd "$E2E_OUT" && exec env "${vars[@]}" HOME="$E2E_OUT/native-home" "$E2E_LINUX/velmorin" "${args[@]}") \
        >"$E2E_OUT/native-app.log" 2>&1 &
    e2e_app_pid=$!
    e2e_own_pids+=("$e2e_app_pid")
}

e2e_native_no_window() {  # for the log: whether the program runs, what it said, where it waits
    echo "  no window; the program $(kill -0 "$e2e_app_pid" 2>/dev/null && echo runs || echo has ended). It said:"
    sed 's/^/    /' "$E2E_OUT/native-app.log"
    kill -0 "$e2e_app_pid" 2>/dev/null &&
        e2e_stacks "$e2e_app_pid" 12
    "${e2e_pulse_client[@]}" timeout 5 pactl info >/dev/null 2>&1 || echo "  the sound server does not answer"
}

e2e_native_menu_open() {  # succeeds while a popup menu of the program is mapped
    local id
    for id in $(xdotool search --class velmorin 2>/dev/null); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' &&
            xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q 'MENU' && return 0
    done
    return 1
}

e2e_native_menu() {  # menu-key item-key: e.g. "f o" for File > Open...
    e2e_focus '^Velmorin - '
    xdotool key "alt+$1"
    e2e_until 5 e2e_native_menu_open || return 1
    xdotool key "$2"
}

e2e_native_load() {  # path: File > Open..., types the path; succeeds on "File loaded."
    e2e_native_menu f o || return 1
    e2e_wait_window "Open Sound File" 10 || return 1
    e2e_focus '^Open Sound File$'
    # A leading "/" opens the chooser's location entry.
    xdotool type --delay 5 "$1"
    sleep 0.3
    xdotool key Return
    e2e_window_gone "Open Sound File" 10 || return 1
    e2e_status_leaves "Loading file..." 10
    [ "$(e2e_text 1016)" = "File loaded." ]
}

e2e_native_stretches() {  # recording sweep -> the "sound" lines of track_tone
    "$VELMORIN_BUILD/tools/track_tone" "$1" --sweep "$2" | tee "$1.stretches" | grep '^sound'
}

e2e_native_click() {  # id: clicks the middle of a control of the main dialog
    e2e_dump_of "Velmorin - " 50 || return 1
    local x y w h
    IFS=, read -r x y w h <<<"$(e2e_field "$1" box)"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}

e2e_native_slider() {  # id value: moves a slider of the main dialog there, as a drag does
    timeout 20 /usr/bin/python3 "$E2E_TOOLS/atspi_inspector.py" "Velmorin - " --set "$1" "$2"
}

e2e_native_press() {  # title id|label: clicks a button through AT-SPI, no keyboard needed
    timeout 20 /usr/bin/python3 "$E2E_TOOLS/atspi_inspector.py" "$1" --click "$2"
}


e2e_native_layout() {  # Play Stop Pause enabled, as three digits, from e2e_dump
    echo "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)$(e2e_field 1002 enabled)"
}

e2e_native_position_past() {  # bytes: the position text shows more than that
    e2e_dump_of "Velmorin - " 50 && [ "$(e2e_text 1017)" -gt "$1" ] 2>/dev/null
}

# A skip is heard at once: from the last byte heard before it to the first after, 15000
# bytes, and no silence between. Most land within 1 ms; the test server's sink renders in
# blocks of about 10 ms (its keep-alive stream asks for 20 ms), and what a block has
# rendered cannot always be taken back, so 10 ms (80 bytes at 8000 a second) are allowed.
# The stretches are track_tone's; the skips go from stretch 2 to 3 (forward) and 3 to 4
# (back).
e2e_native_check_skips() {  # label stretch-lines
    local b1 c0 c1 d0 t2 t3 t4 t5
    read -r _ _ t2 _ b1 <<<"$(sed -n 2p <<<"$2")"
    read -r _ t3 t4 c0 c1 <<<"$(sed -n 3p <<<"$2")"
    read -r _ t5 _ d0 _ <<<"$(sed -n 4p <<<"$2")"
    e2e_check "$1: forward skips 15000 bytes, at once" \
        e2e_near "$((${c0:-0} - ${b1:-0}))" 15000 80
    e2e_check "$1: back skips 15000 bytes, at once" \
        e2e_near "$((${c1:-0} - ${d0:-0}))" 15000 80
    e2e_check "$1: no silence at either skip" e2e_equals "$((t3 - t2))|$((t5 - t4))" "0|0"
}
