#!/usr/bin/env bash
# Runs every end-to-end scenario against the built velmorin.exe; prints PASS/FAIL lines
# and a last line "e2e: N passed, N failed". Exit status 1 on any failure.
#
# Each scenario file runs once. Checks that depend on timing take their expectations from
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

for scenario in "$here"/test_*.sh; do
    . "$scenario"
    # Whatever a failed scenario left running, by the ids of what it started.
    e2e_end_own
    declare -F e2e_pulse_stop >/dev/null && e2e_pulse_stop
done
[ $own_wine = 1 ] && velmorin_stop_wine
echo "e2e: $e2e_passed passed, $e2e_failed failed"
[ "$e2e_failed" = 0 ]
