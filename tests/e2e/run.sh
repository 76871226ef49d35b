#!/usr/bin/env bash
# Runs every end-to-end scenario against the built velmorin.exe; prints PASS/FAIL lines
# and a last line "e2e: N passed, N failed". Exit status 1 on any failure.
#
# The scenarios drive a real desktop and judge real-time recordings, so a busy machine
# can upset one run; a scenario file with a failure is run once more (a RETRY line says
# so, with the failures of the first run above it) and its second run counts.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
own_wine=0
if [ -z "${VELMORIN_WINE_READY:-}" ]; then
    velmorin_start_display || exit 1
    velmorin_prepare_prefix
    velmorin_prepare_sound
    own_wine=1
fi
. "$here/lib.sh"
# Ends what a failed scenario may have left running.
e2e_clean_up() {
    pkill -f 'velmorin.exe' 2>/dev/null
    pkill -f 'notepad.exe' 2>/dev/null
    pkill -f 'hold_hotkey.exe' 2>/dev/null
    declare -F e2e_pulse_stop >/dev/null && e2e_pulse_stop
    sleep 1
}

for scenario in "$here"/test_*.sh; do
    passed_before=$e2e_passed
    failed_before=$e2e_failed
    . "$scenario"
    if [ "$e2e_failed" != "$failed_before" ]; then
        echo "RETRY $(basename "$scenario")"
        e2e_clean_up
        e2e_passed=$passed_before
        e2e_failed=$failed_before
        . "$scenario"
    fi
done
[ $own_wine = 1 ] && velmorin_stop_wine
echo "e2e: $e2e_passed passed, $e2e_failed failed"
[ "$e2e_failed" = 0 ]
