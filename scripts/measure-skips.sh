#!/usr/bin/env bash
# Measures the native program's skips on a busy machine: the desktop scenarios (MPRIS and
# the portal: a pause, a resume, a skip forward and one back, judged from a recording) run
# N times (default 10) through PulseAudio and through PipeWire's server while a loop keeps
# one core busy. Prints, per server, how many of the checks on what was heard failed (the
# count of stretches, the resume, each skip's length and the silence at the skips).
# Needs the builds of the test command; the scenarios' output goes to build/measure-skips.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
. "$repo/scripts/wine-env.sh"
velmorin_start_display || exit 1
velmorin_prepare_prefix
velmorin_prepare_sound
. "$repo/tests/e2e/lib.sh"
out=$VELMORIN_BUILD/measure-skips
mkdir -p "$out"
(while :; do :; done) &
busy=$!
trap 'kill $busy; velmorin_stop_wine' EXIT
heard='(four stretches heard|the resume is 6000|skips 15000 bytes|no silence at either skip)'
for server in pulseaudio pipewire; do
    log=$out/$server.log
    : >"$log"
    for i in $(seq 1 "$runs"); do
        (
            [ $server = pipewire ] && export E2E_SOUND_SERVER=pipewire
            . "$repo/tests/e2e/test_native_desktop.sh"
            e2e_end_own
        ) >>"$log" 2>&1
    done
    echo "$server: $(grep -Ec "^FAIL .*$heard" "$log") of $(grep -Ec "^(PASS|FAIL) .*$heard" "$log")" \
        "checks on what was heard failed in $runs runs, one core busy"
done
