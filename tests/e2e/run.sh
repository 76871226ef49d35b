#!/usr/bin/env bash
# Runs every end-to-end scenario against the built velmorin.exe; prints PASS/FAIL lines
# and a last line "e2e: N passed, N failed". Exit status 1 on any failure.
#
# Each scenario file runs once. E2E_ONLY (a file name pattern, e.g. "test_native_program*")
# and E2E_SCENARIOS (a scenario function pattern, for the native files) narrow a run down
# while working on one. Checks that depend on timing take their expectations from
# what was measured (byte offsets in a recording, or the program's own state polled until
# a deadline), never from the length of a sleep.
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

run_file() {  # scenario file: runs it, then ends whatever it left running
    local started=$SECONDS
    # shellcheck disable=SC2053
    [[ $(basename "$1") == ${E2E_ONLY:-*} ]] || return 0
    . "$1"
    # Whatever a failed scenario left running, by the ids of what it started.
    e2e_end_own
    declare -F e2e_pulse_stop >/dev/null && e2e_pulse_stop
    echo "e2e: $(basename "$1")${E2E_LABEL:+ (${E2E_LABEL%: })} took $((SECONDS - started)) s"
}

for scenario in "$here"/test_*.sh; do
    run_file "$scenario"
done
# The native program's sound scenarios once more, through PipeWire's PulseAudio server, as
# Debian's GNOME, Ubuntu and Fedora run it.
# Its recordings and logs go in a folder of their own, so that a check failed in either pass
# can still be read afterwards.
export E2E_SOUND_SERVER=pipewire E2E_LABEL="pipewire: " E2E_OUT=$E2E_OUT/pipewire
mkdir -p "$E2E_OUT/shots"
for scenario in test_pulse_layer.sh test_native_program.sh test_native_desktop.sh test_native_pedals.sh \
    test_sound_server.sh; do
    run_file "$here/$scenario"
done
unset E2E_SOUND_SERVER E2E_LABEL
[ $own_wine = 1 ] && velmorin_stop_wine
echo "e2e: $e2e_passed passed, $e2e_failed failed"
[ "$e2e_failed" = 0 ]
