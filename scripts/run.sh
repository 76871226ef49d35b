#!/usr/bin/env bash
# The run command: installs what is missing, builds velmorin.exe and starts it under
# Wine. With a working DISPLAY it runs there until closed; without one it runs inside
# an Xvfb of its own, saves a screenshot, prints its path and closes the program.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
export VELMORIN_BUILD=${VELMORIN_BUILD:-$repo/build}
mkdir -p "$VELMORIN_BUILD"
. "$repo/scripts/deps.sh"
. "$repo/scripts/build.sh"
. "$repo/scripts/wine-env.sh"

velmorin_install_deps || exit 1
velmorin_build windows velmorin || exit 1
exe=$VELMORIN_BUILD/windows/velmorin.exe
# A file to try first: File > Open... and type this path.
echo "sample recording: Z:${repo//\//\\}\\samples\\velmorin-sample.wav"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
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
app=$!
for i in $(seq 1 100); do
    xdotool search --name '^Velmorin - ' >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
shot=$VELMORIN_BUILD/run/velmorin.png
mkdir -p "$(dirname "$shot")"
xwd -root -silent | convert xwd:- "png:$shot"
echo "screenshot: $shot"
window=$(xdotool search --name '^Velmorin - ' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 60)) $((Y + 8))
sleep 0.3
xdotool click 1 key Escape
wait "$app"
echo "velmorin.exe exited with status $?"
