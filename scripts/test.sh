#!/usr/bin/env bash
# The test command: installs what is missing, builds both programs (the native Linux one
# and velmorin.exe), runs the native tests, the GTK adapter's tests, the Windows tests under
# Wine and the end-to-end scenarios of both programs, and ends with
# "N passed, N failed" over all of them. Exit status 1 on any failure.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
mkdir -p "$VELMORIN_BUILD"
. "$repo/scripts/deps.sh"
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"

velmorin_install_deps || { echo "installing packages failed"; exit 1; }

passed=0
failed=0
tally() {  # layer passed failed
    echo "== $1: $2 passed, $3 failed"
    passed=$((passed + $2))
    failed=$((failed + $3))
}

# Counts a GoogleTest run from its output; a run that died counts as one failure.
gtest_tally() {  # layer exit-status output-file
    local ok bad
    ok=$(tr -d '\r' <"$3" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' | tail -1)
    bad=$(tr -d '\r' <"$3" | sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:.*/\1/p' | tail -1)
    ok=${ok:-0}
    bad=${bad:-0}
    if [ "$2" != 0 ] && [ "$bad" = 0 ]; then
        bad=1
        tail -30 "$3"
    fi
    [ "$bad" != 0 ] && grep -E '^\[  FAILED  \]|Failure' "$3" | tr -d '\r' | head -40
    tally "$1" "$ok" "$bad"
}

echo "== building native"
velmorin_build native || { echo "0 passed, 1 failed"; exit 1; }
echo "== building linux"
velmorin_build linux velmorin velmorin_package_files gtk_dialog_tests || { echo "0 passed, 1 failed"; exit 1; }
echo "== building windows"
velmorin_build windows || { echo "0 passed, 1 failed"; exit 1; }
echo "== packaging"
velmorin_package || { echo "0 passed, 1 failed"; exit 1; }

log=$VELMORIN_BUILD/native-tests.log
"$VELMORIN_BUILD/native/tests/native/native_tests" >"$log" 2>&1
gtest_tally native $? "$log"

log=$VELMORIN_BUILD/fuzz.log
if bash "$repo/scripts/fuzz-wave.sh" "${VELMORIN_FUZZ_SECONDS:-60}" >"$log" 2>&1; then
    grep -E 'average_exec_per_sec|number_of_executed_units' "$log"
    tally fuzz 1 0
else
    tail -20 "$log"
    tally fuzz 0 1
fi

velmorin_start_display || { echo "0 passed, 1 failed"; exit 1; }
trap velmorin_stop_wine EXIT
velmorin_prepare_prefix
velmorin_prepare_sound
export VELMORIN_WINE_READY=1

log=$VELMORIN_BUILD/windows-tests.log
# A modal box nobody answers must not hang the run.
(cd "$VELMORIN_BUILD" && timeout 300 wine "$VELMORIN_BUILD/windows/tests/windows/windows_tests.exe") >"$log" 2>&1
gtest_tally windows $? "$log"

log=$VELMORIN_BUILD/gtk-tests.log
# The adapter's own tests need a display, not the accessibility bus.
(cd "$VELMORIN_BUILD" && NO_AT_BRIDGE=1 timeout 300 "$VELMORIN_BUILD/linux/tests/gtk/gtk_dialog_tests") >"$log" 2>&1
gtest_tally gtk $? "$log"

log=$VELMORIN_BUILD/e2e.log
timeout 900 bash "$repo/tests/e2e/run.sh" >"$log" 2>&1
# What each failed check printed, and what its scenario printed around it (the
# stretches heard, the dropouts joined), short of the passed checks.
grep -E -B10 -A10 '^FAIL' "$log" | grep -v '^PASS' | head -300
e2e_ok=$(sed -nE 's/^e2e: ([0-9]+) passed, ([0-9]+) failed$/\1/p' "$log")
e2e_bad=$(sed -nE 's/^e2e: ([0-9]+) passed, ([0-9]+) failed$/\2/p' "$log")
[ -z "$e2e_bad" ] && { tail -20 "$log"; e2e_ok=0; e2e_bad=1; }
tally e2e "${e2e_ok:-0}" "$e2e_bad"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
