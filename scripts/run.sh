#!/usr/bin/env bash
# The run command: installs what is missing, builds the native Linux program and starts
# it; with --windows, builds velmorin.exe and starts it under Wine instead. With a working
# DISPLAY the program runs there until closed; without one it runs inside an Xvfb of its
# own, saves a screenshot, prints its path and closes the program.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
mkdir -p "$VELMORIN_BUILD"
. "$repo/scripts/deps.sh"
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"

edition=native
case "${1:-}" in
    --windows) edition=windows ;;
    "") ;;
    *) echo "usage: bash scripts/run.sh [--windows]" >&2; exit 2 ;;
esac

velmorin_install_deps || exit 1
have_display() { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }

# Waits for the main dialog, saves the screen to $1, closes the dialog with Esc.
shoot_and_close() {  # screenshot app-pid
    local i window
    for i in $(seq 1 100); do
        window=$(xdotool search --name '^Velmorin - ' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    sleep 1
    mkdir -p "$(dirname "$1")"
    xwd -root -silent | convert xwd:- "png:$1"
    echo "screenshot: $1"
    if [ "$edition" = windows ]; then
        # Wine's own caption: a click gives the dialog the keyboard.
        eval "$(xdotool getwindowgeometry --shell "$window")"
        xdotool mousemove $((X + 60)) $((Y + 8))
        sleep 0.3
        xdotool click 1
    else
        xdotool windowfocus "$window"
        sleep 0.3
    fi
    xdotool key Escape
    wait "$2"
    echo "velmorin exited with status $?"
}

if [ "$edition" = native ]; then
    velmorin_build linux velmorin || exit 1
    exe=$VELMORIN_BUILD/linux/velmorin
    # A file to try first: File > Open... and type this path.
    echo "sample recording: $repo/samples/velmorin-sample.wav"
    if have_display; then
        "$exe"
        echo "velmorin exited with status $?"
        exit 0
    fi
    velmorin_start_display || exit 1
    # No desktop session here: a private PulseAudio daemon with a null sink plays the sound.
    . "$repo/tests/e2e/sound_lib.sh"
    trap 'e2e_pulse_stop; velmorin_stop_wine' EXIT
    e2e_pulse_start || exit 1
    "$exe" >/dev/null 2>&1 &
    shoot_and_close "$VELMORIN_BUILD/run/velmorin-native.png" $!
    exit 0
fi

velmorin_build windows velmorin || exit 1
exe=$VELMORIN_BUILD/windows/velmorin.exe
echo "sample recording: Z:${repo//\//\\}\\samples\\velmorin-sample.wav"
if have_display; then
    velmorin_prepare_prefix
    wine "$exe"
    status=$?
    wineserver -k
    echo "velmorin.exe exited with status $status"
    exit 0
fi
velmorin_start_display || exit 1
trap velmorin_stop_wine EXIT
velmorin_prepare_prefix
velmorin_prepare_sound
wine "$exe" >/dev/null 2>&1 &
shoot_and_close "$VELMORIN_BUILD/run/velmorin.png" $!
