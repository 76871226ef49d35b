#!/usr/bin/env bash
# Runs every end-to-end scenario against the built velmorin.exe; prints PASS/FAIL lines
# and a last line "e2e: N passed, N failed". Exit status 1 on any failure.
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
done
[ $own_wine = 1 ] && velmorin_stop_wine
echo "e2e: $e2e_passed passed, $e2e_failed failed"
[ "$e2e_failed" = 0 ]
