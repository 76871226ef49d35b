# Large data chunks on both sides of DirectSound's static buffer limit (0x0FFFFFFF bytes):
# a 256 MiB chunk, above it, streams; a 200 MB one plays from a static buffer; the time
# from Play to the playing layout is printed for each, and a small file plays afterwards.
# The files are sparse: their silence takes no disk space.

e2e_wait_status() {  # text seconds: polls the status line; prints the seconds it took
    local start now
    start=$(date +%s.%N)
    while :; do
        e2e_dump_of "Velmorin - " 50
        [ "$(e2e_text 1016)" = "$1" ] && break
        now=$(date +%s.%N)
        awk -v s="$start" -v n="$now" -v l="$2" 'BEGIN { exit !(n - s > l) }' && return 1
    done
    now=$(date +%s.%N)
    awk -v s="$start" -v n="$now" 'BEGIN { printf "%.2f\n", n - s }'
}

e2e_scenario_big_files() {
    python3 "$E2E_TOOLS/make_sparse_wave.py" "$E2E_OUT/too-big.wav" 268435456
    python3 "$E2E_TOOLS/make_sparse_wave.py" "$E2E_OUT/big.wav" 200000000
    # Long enough that a slow poll of the status still sees it playing.
    bash "$E2E_TOOLS/tools/build.sh"
    "$VELMORIN_BUILD/tools/make_sweep" "$E2E_OUT/small.wav" 20 >/dev/null
    e2e_start_app
    e2e_check "dialog appears for big files" e2e_wait_window "Velmorin - " 15 || return
    e2e_check "a 256 MiB data chunk loads" e2e_load "$(e2e_winpath "$E2E_OUT/too-big.wav")"
    e2e_focus '^Velmorin - '
    local took
    xdotool key alt+p
    took=$(e2e_wait_status "Playing" 60) && echo "  Play to playing for 256 MiB: $took s" >&2
    e2e_check "above the device's static limit the data chunk plays" test -n "$took"
    e2e_dump_of "Velmorin - " 50  # read after the handler that set the status
    e2e_check "with the playing layout" e2e_equals "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)" 01
    e2e_focus '^Velmorin - '
    xdotool key alt+s
    e2e_check "and stops" e2e_status_becomes "Sound stopped." 10

    e2e_check "a 200 MB file loads" e2e_load "$(e2e_winpath "$E2E_OUT/big.wav")"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    # The poll replaces "Sound playing." at once; the playing status marks the moment.
    took=$(e2e_wait_status "Playing" 60) && echo "  Play to playing for 200 MB: $took s" >&2
    e2e_check "the 200 MB file plays" test -n "$took"
    e2e_focus '^Velmorin - '
    xdotool key alt+s
    sleep 0.3

    e2e_check "a small file loads afterwards" e2e_load "$(e2e_winpath "$E2E_OUT/small.wav")"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_check "and plays" e2e_status_becomes "Playing" 10
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "and the program ends normally" e2e_exits_with 1 10
    rm -f "$E2E_OUT/too-big.wav" "$E2E_OUT/big.wav"
}

e2e_scenario_big_files
