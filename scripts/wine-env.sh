# Sourced by the run and test scripts: a Wine prefix in the build tree, an X display
# (Xvfb when none is given), and one wineserver kept for the whole run.
#   VELMORIN_BUILD   build folder (default: <repo>/build)
velmorin_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMORIN_BUILD=${VELMORIN_BUILD:-$velmorin_repo/build}
export WINEPREFIX=$VELMORIN_BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# The display and the Wine server answer every Wine program's calls, so on a busy machine
# they run before other work, as the Windows edition's sound does (tests/e2e/lib.sh); root
# may raise them, others run them at the usual priority.
velmorin_urgent=()
[ "$(id -u)" = 0 ] && velmorin_urgent=(nice -n -10)

velmorin_xvfb_pid=
velmorin_start_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 120); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        "${velmorin_urgent[@]}" Xvfb :$n -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        velmorin_xvfb_pid=$!
        export DISPLAY=:$n
        local i
        for i in $(seq 1 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$velmorin_xvfb_pid" 2>/dev/null
    done
    echo "could not start Xvfb" >&2
    return 1
}

velmorin_prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.velmorin-ready" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # Without a window manager every window close otherwise waits 2 s.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # Debian's Wine does not find its own fonts otherwise.
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
        wineserver -w
        touch "$WINEPREFIX/.velmorin-ready"
    fi
    wineserver -k 2>/dev/null
    "${velmorin_urgent[@]}" wineserver -p
    wine cmd /c exit 0 >/dev/null 2>&1
}

velmorin_stop_wine() {
    wineserver -k 2>/dev/null
    if [ -n "$velmorin_xvfb_pid" ]; then
        kill "$velmorin_xvfb_pid" 2>/dev/null
        wait "$velmorin_xvfb_pid" 2>/dev/null
        velmorin_xvfb_pid=
    fi
}

# Sound for Wine without a sound card: ALSA's default device becomes a file capture
# (exact, faster than real time). HOME of a Wine process chooses its ALSA set-up:
#   $VELMORIN_BUILD/home-capture  output captured to $VELMORIN_BUILD/capture.wav
#   $VELMORIN_BUILD/home-silent   no device at all: DirectSoundCreate fails
velmorin_prepare_sound() {
    mkdir -p "$VELMORIN_BUILD/home-capture" "$VELMORIN_BUILD/home-silent"
    cat >"$VELMORIN_BUILD/home-capture/.asoundrc" <<EOT
pcm.!default { type plug; slave { pcm "rec"; format S16_LE } }
pcm.rec { type file; slave.pcm "null"; file "$VELMORIN_BUILD/capture.wav"; format "wav" }
EOT
    # A reachable PulseAudio server would take ALSA's default over.
    export PULSE_SERVER=unix:/nonexistent
    export HOME=$VELMORIN_BUILD/home-capture
}
