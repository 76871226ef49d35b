# Foot pedals on the native program, read from a tree of fake devices (VELMORIN_DEVICE_ROOT):
# a pedal's sysfs entry in the kernel's format, and a pipe in place of its /dev/hidraw
# node through which the test sends reports. Plugged in while the program runs, used, pulled
# out and plugged in again; what was heard is judged from the recording.

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/native_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_PEDALS=$E2E_OUT/pedal-root

_pedal_plug() {  # name: a VEC pedal appears, as the kernel lists it, its node last
    local device=$E2E_PEDALS/sys/class/hidraw/$1/device
    mkdir -p "$device"
    printf 'DRIVER=hid-generic\nHID_ID=0003:000005F3:000000FF\nHID_NAME=VEC  VEC USB Footpedal\n' \
        >"$device/uevent"
    printf '\x05\x0c\x09\x03\xa1\x01\x75\x01\x95\x03\x81\x02\xc0' >"$device/report_descriptor"
    mkfifo "$E2E_PEDALS/dev/$1"
}

_pedal_pull() {  # name
    rm -rf "$E2E_PEDALS/sys/class/hidraw/$1" "$E2E_PEDALS/dev/$1"
}

_pedal_opened() {  # name: the program has the node open
    ls -l "/proc/$e2e_app_pid/fd" 2>/dev/null | grep -q "$E2E_PEDALS/dev/$1"
}

_pedal() { printf "$1" >&7; }  # report bytes, as \xNN

e2e_scenario_pedals() {
    local sweep=$E2E_OUT/pedal-sweep.wav
    "$VELMORIN_BUILD/tools/make_sweep" "$sweep" 20 >/dev/null
    rm -rf "$E2E_PEDALS"
    mkdir -p "$E2E_PEDALS/dev" "$E2E_PEDALS/sys/class/hidraw"
    e2e_record_start pedals || return
    e2e_start_native VELMORIN_DEVICE_ROOT="$E2E_PEDALS" -- "$sweep"
    e2e_check "pedals: the dialog appears" e2e_wait_window "Velmorin - [" 15 ||
        { e2e_record_stop >/dev/null; return; }
    _pedal_plug hidraw4
    e2e_check "pedals: one plugged in while the program runs is opened within a second" \
        e2e_until 1 _pedal_opened hidraw4
    exec 7<>"$E2E_PEDALS/dev/hidraw4"
    sleep 1
    local pressed released
    _pedal '\x02\x00'  # middle down: Play
    pressed=$(date +%s%N)
    e2e_check "pedals: the middle pedal plays" e2e_status_becomes "Playing" 5
    sleep 1
    _pedal '\x00\x00'  # up: pause
    released=$(date +%s%N)
    e2e_check "pedals: and its release pauses" e2e_status_becomes "Paused." 5
    sleep 0.5
    _pedal '\x02\x00'  # down again: resume, a little back
    sleep 1
    _pedal '\x06\x00'  # and the right one held 600 ms: three skips forward
    sleep 0.6
    _pedal '\x02\x00'
    sleep 0.4
    _pedal '\x03\x00'  # then the left one: three back
    sleep 0.6
    _pedal '\x02\x00'
    sleep 0.5
    _pedal '\x00\x00'
    e2e_check "pedals: released again, paused" e2e_status_becomes "Paused." 5
    exec 7>&-
    _pedal_pull hidraw4
    e2e_check "pedals: one pulled out goes quietly" e2e_until 5 e2e_fails _pedal_opened hidraw4
    _pedal_plug hidraw4
    e2e_check "pedals: plugged in again, it is opened again" e2e_until 2 _pedal_opened hidraw4
    exec 7<>"$E2E_PEDALS/dev/hidraw4"
    sleep 0.2
    _pedal '\x02\x00'
    e2e_check "pedals: and works" e2e_status_becomes "Playing" 5
    _pedal '\x00\x00'
    e2e_status_becomes "Paused." 5
    exec 7>&-
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_wait_exit 10
    local lines t0 t1 a1 b0
    lines=$(e2e_native_stretches "$(e2e_record_stop)" "$sweep")
    echo "$lines" >&2
    read -r _ t0 t1 _ a1 <<<"$(sed -n 1p <<<"$lines")"
    read -r _ _ _ b0 _ <<<"$(sed -n 2p <<<"$lines")"
    local held=$(((released - pressed) / 1000000))
    echo "  the middle pedal held $held ms" >&2
    e2e_check "pedals: the middle pedal gives sound for as long as it is held" \
        e2e_near "$((${t1:-0} - ${t0:-0}))" "$held" 150
    e2e_check "pedals: pressed again it resumes 6000 bytes (the pause hotkey's step) back" \
        e2e_near "${b0:-x}" $((${a1:-0} - 6000)) 300
    # The side pedals' skips: each stretch begins 15000 bytes after (or before) where the
    # last ended, 250 ms after the one before while the pedal is held.
    local skips
    skips=$(awk 'NR >= 2 && NR <= 8 { if (NR > 2) printf "%d,%d ", $4 - e, $2 - s; e = $5; s = $2 }' <<<"$lines")
    echo "  skips (bytes, ms after the one before): $skips" >&2
    e2e_check "pedals: the right pedal held 600 ms skips forward three times, the left back" \
        awk -v s="$skips" 'BEGIN { n = split(s, a, " "); if (n != 6) exit 1
            for (i = 1; i <= 6; i++) { split(a[i], p, ","); d = i <= 3 ? 15000 : -15000
                if (p[1] < d - 80 || p[1] > d + 80) exit 1
                if (i != 1 && i != 4 && (p[2] < 200 || p[2] > 300)) exit 1 } }'
}

e2e_native_scenarios "pedals" e2e_scenario_pedals
