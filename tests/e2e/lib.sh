# Helpers for the end-to-end scenarios: start velmorin.exe under Wine, read its controls
# through the inspector, drive it with xdotool, keep screenshots in the build tree.
# Needs: scripts/wine-env.sh sourced, a display, VELMORIN_BUILD set.

E2E_WIN=$VELMORIN_BUILD/windows
# What makes sound in the tests runs before other work on a busy machine, as a desktop's
# sound server does with its real-time priority and Windows' audio engine does for
# DirectSound: the sound servers, the recorder that stands in for the speakers, and Wine,
# whose DirectSound mixes in the program's own threads. (Root may raise it; others run
# these at the usual priority.)
E2E_URGENT=()
[ "$(id -u)" = 0 ] && E2E_URGENT=(nice -n -10)
# The sound servers and the recorder, as a desktop runs its sound server: in real time.
E2E_REALTIME=("${E2E_URGENT[@]}")
[ "$(id -u)" = 0 ] && chrt -r 10 true 2>/dev/null && E2E_REALTIME=(chrt -r 10)
E2E_OUT=$VELMORIN_BUILD/e2e
E2E_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$E2E_OUT/shots"
e2e_passed=0
e2e_failed=0
e2e_app_pid=

e2e_stacks() {  # pid [frames, 8 unless told]: its threads' stacks, for a log
    timeout 20 gdb -p "$1" -batch -ex "thread apply all bt ${2:-8}" 2>/dev/null | grep -E '^(Thread|#)'
}

e2e_check() {  # name, then a command that succeeds when the check holds; fails with it
    local name=${E2E_LABEL:-}$1
    shift
    if "$@"; then
        e2e_passed=$((e2e_passed + 1))
        echo "PASS $name"
    else
        e2e_failed=$((e2e_failed + 1))
        echo "FAIL $name"
        return 1
    fi
}

# The native program's windows are read through AT-SPI instead (native_lib.sh sets
# E2E_INSPECTOR=atspi), in the same line format.
e2e_inspect() {  # title prefix -> the inspector's lines on stdout; fails without a window
    local out status
    if [ "${E2E_INSPECTOR:-wine}" = atspi ]; then
        out=$(timeout 20 /usr/bin/python3 "$E2E_TOOLS/atspi_inspector.py" "$1" 2>/dev/null)
    else
        out=$(timeout 20 wine "$E2E_WIN/tests/windows/inspector.exe" "$1" 2>/dev/null)
    fi
    status=$?
    [ -n "$out" ] && printf '%s\n' "$out" | tr -d '\r'
    return $status
}

e2e_wait_window() {  # title prefix [seconds]: waits until a visible window has that title
    local i
    for i in $(seq 1 $((${2:-10} * 10))); do
        e2e_inspect "$1" >/dev/null && return 0
        sleep 0.1
    done
    [ "${E2E_INSPECTOR:-wine}" = atspi ] && e2e_native_no_window >&2
    return 1
}

e2e_x_window() {  # title regex -> X window id of the first match
    # Wine's unmanaged windows are override-redirect, which --onlyvisible passes over.
    local i id
    for i in $(seq 1 50); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

e2e_click() {  # title regex, x, y: clicks at that offset from the window's top left;
    # an x below 0 counts from the right edge
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$(e2e_x_window "$1")")"
    local x=$2
    [ "$x" -lt 0 ] && x=$((WIDTH + x))
    xdotool mousemove $((X + x)) $((Y + $3))
    sleep 0.3
    xdotool click 1
    sleep 0.2
}

e2e_focus() {  # title regex: clicks the caption, which gives a Wine window the keyboard
    if [ "${E2E_INSPECTOR:-wine}" = atspi ]; then
        # No window manager draws a caption for a native window: give it the focus, and
        # wait a bounded time for it to arrive (windowfocus --sync can wait for ever). A
        # window just created may not be mapped yet and refuses the focus: ask again.
        local id i
        id=$(e2e_x_window "$1") || return 1
        for i in $(seq 1 30); do
            xdotool windowfocus "$id" 2>/dev/null
            [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] && break
            sleep 0.1
        done
        sleep 0.1
        return
    fi
    e2e_click "$1" 60 8
}

# Wine draws the caption itself; the close box is its rightmost button.
e2e_click_close_box() { e2e_click "$1" -14 12; }

e2e_dump_of() {  # title prefix: sets e2e_dump once the window lists all its controls
    local i
    for i in $(seq 1 20); do
        e2e_dump=$(e2e_inspect "$1")
        [ "$(grep -c '^control ' <<<"$e2e_dump")" -ge "${2:-1}" ] && return 0
        sleep 0.1
    done
    return 1
}

# Processes a scenario started in the background; run.sh ends whatever is left of them
# after each scenario file, by process id.
e2e_own_pids=()

e2e_start_app() {  # [home folder]: see velmorin_prepare_sound
    (cd "$E2E_OUT" && HOME=${1:-$HOME} exec "${E2E_URGENT[@]}" wine "$E2E_WIN/velmorin.exe") >/dev/null 2>&1 &
    e2e_app_pid=$!
    e2e_own_pids+=("$e2e_app_pid")
}

e2e_end_own() {  # ends the processes this shell started that still run
    local pid
    for pid in "${e2e_own_pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    e2e_own_pids=()
}

e2e_wait_exit() {  # [seconds]: sets e2e_status to the exit status, or "running"
    # Not in a subshell: only this shell can reap the program it started.
    local i
    e2e_status=running
    for i in $(seq 1 $((${1:-10} * 10))); do
        if ! kill -0 "$e2e_app_pid" 2>/dev/null; then
            wait "$e2e_app_pid"
            e2e_status=$?
            return 0
        fi
        sleep 0.1
    done
    kill "$e2e_app_pid" 2>/dev/null
}

e2e_exits_with() {  # status [seconds]
    e2e_wait_exit "${2:-10}"
    e2e_equals "$e2e_status" "$1"
}

e2e_shot() {  # name -> saves a PNG of the whole screen, prints its path
    local path=$E2E_OUT/shots/$1.png
    xwd -root -silent | convert xwd:- "png:$path"
    echo "$path"
}

# Checks of one inspector dump held in $e2e_dump.
e2e_has() { grep -qxF -- "$1" <<<"$e2e_dump"; }
e2e_control() {  # id -> the control's line
    grep -E "^control id=$1 " <<<"$e2e_dump" | head -1
}
e2e_field() {  # id field -> value of field=... on that control's line
    e2e_control "$1" | sed -E "s/.* $2=([^ ]*).*/\1/"
}
e2e_text() {  # id -> text of the control (the rest of the line)
    e2e_control "$1" | sed -E 's/.* text=//'
}
e2e_equals() { [ "$1" = "$2" ] || { echo "  expected [$2], got [$1]" >&2; return 1; }; }

e2e_fails() { ! "$@"; }
e2e_winpath() { echo "Z:${1//\//\\}"; }  # a Linux path as Wine's Z: drive sees it

e2e_menu_open() {  # succeeds while a menu of velmorin.exe is up (an unnamed X window of it)
    local id
    for id in $(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) (has no name): ("velmorin.exe".*/\1/p'); do
        xwininfo -id "$id" | grep -q 'IsViewable' && return 0
    done
    return 1
}

e2e_inside() {  # value low high
    [ -n "$1" ] && [ "$1" -ge "$2" ] 2>/dev/null && [ "$1" -le "$3" ] ||
        { echo "  [$1] not within $2..$3" >&2; return 1; }
}

e2e_near() {  # value expected tolerance
    awk -v v="$1" -v e="$2" -v t="$3" 'BEGIN { if (v == "" || v < e - t || v > e + t) { print "  " v " not within " t " of " e >"/dev/stderr"; exit 1 } }'
}

# Waiting for the program: each helper polls until its condition holds or its deadline
# (in seconds) passes, so that a slow machine takes longer instead of failing.
e2e_until() {  # seconds command...: succeeds once the command does
    local end=$(($(date +%s%N) / 1000000 + $1 * 1000)) wait=0.1
    shift
    until "$@"; do
        [ $(($(date +%s%N) / 1000000)) -gt "$end" ] && return 1
        # Each look through Wine's inspector is a Wine program that keeps the one Wine
        # server busy while it starts; looked for often, it holds up the program's sound.
        # So a long wait looks less and less often, up to once a second.
        if [ "${E2E_INSPECTOR:-wine}" = wine ]; then
            sleep "$wait"
            wait=$(awk -v w="$wait" 'BEGIN { print (w * 2 > 1) ? 1 : w * 2 }')
        else
            sleep 0.05
        fi
    done
}

_e2e_status_is() { e2e_dump_of "Velmorin - " 50 && [ "$(e2e_text 1016)" = "$1" ]; }
_e2e_status_not() { e2e_dump_of "Velmorin - " 50 && [ "$(e2e_text 1016)" != "$1" ]; }
# The inspector reads one control after another while the program runs on, so the dump
# that first shows a new status may hold other controls from before the handler that set
# it; the dump left in e2e_dump is taken after that one.
e2e_status_becomes() {  # text [seconds]: waits for the status line; leaves e2e_dump
    e2e_until "${2:-10}" _e2e_status_is "$1" ||
        { echo "  status [$(e2e_text 1016)], waited for [$1]" >&2; return 1; }
    e2e_dump_of "Velmorin - " 50
}
e2e_status_leaves() { e2e_until "${2:-10}" _e2e_status_not "$1"; }  # text [seconds]
e2e_window_gone() { e2e_until "${2:-10}" e2e_fails e2e_inspect "$1" >/dev/null; }  # title [seconds]

e2e_open_menu() {  # key: opens a menu of the main dialog with Alt+key and waits for it
    e2e_focus '^Velmorin - '
    xdotool key "alt+$1"
    e2e_until 5 e2e_menu_open
}

e2e_open_file_dialog() {  # File > Open... with the keyboard; waits for the dialog
    e2e_open_menu f || return 1
    xdotool key o
    e2e_wait_window "Open Sound File" 10
}

e2e_type_path() {  # types a path into the open-file dialog, confirms it, reads the result
    sleep 0.5
    xdotool type --delay 5 "$1"
    xdotool key Return
    e2e_window_gone "Open Sound File" 10
    e2e_status_leaves "Loading file..." 10
}

e2e_load() {  # Windows path: File > Open... it; succeeds when "File loaded." shows
    e2e_open_file_dialog || return 1
    e2e_type_path "$1"
    [ "$(e2e_text 1016)" = "File loaded." ]
}

e2e_click_help() {  # opens the Help menu with the mouse (Alt+H belongs to a hotkey)
    e2e_focus '^Velmorin - '
    e2e_click '^Velmorin - ' 49 33
    sleep 0.2
}

# Four steady tones in order, each `ms` long (±20 ms), at `hz` times 1..4 (±2 %), with no
# gap between them.
e2e_tones_in_order() {  # recording base-hz tone-ms
    python3 "$E2E_TOOLS/capture.py" segments "$1" | awk -v base="$2" -v ms="$3" '
        { n++; hz = base * n
          if ($3 < hz * 0.98 || $3 > hz * 1.02) { print "  tone " n ": " $3 " Hz, not " hz >"/dev/stderr"; bad = 1 }
          if ($2 - $1 < ms - 20 || $2 - $1 > ms + 20) { print "  tone " n ": " $2 - $1 " ms" >"/dev/stderr"; bad = 1 }
          if (n > 1 && $1 - last > 20) { print "  gap of " $1 - last " ms before tone " n >"/dev/stderr"; bad = 1 }
          last = $2 }
        END { if (n != 4) { print "  " n " tones" >"/dev/stderr"; bad = 1 }; exit bad }'
}

# Wine's DirectSound keeps about 30 ms queued at the sound server, so on a busy machine its
# mixer sometimes misses a turn, for a few milliseconds or, when the program's process
# stalls, for hundreds: the sound stops, then goes on where it stopped (measured with the
# program frozen 150 ms at a time: 14 to 172 ms gaps, each going on within 24 ms of where it
# stopped). Where such a gap cuts into one of track_tone's blocks, the edge's offset can be
# off by a window or two, with or without silence between, and a fragment under 30 ms inside
# the gap can carry any offset. That is Wine's, not the program's: a sound that goes on
# within 40 ms of where the one before it stopped joins it, across a fragment too, and the
# gap is told on stderr. Every pause in these scenarios steps back and every skip jumps,
# both further than that, so they still split; a mute plays on where the time takes it, so
# it splits too.
e2e_bridge_dropouts() {  # stretches file [bytes per ms] [ms, 40 unless told]: rewrites the file
    awk -v rate="${2:-8}" -v within="${3:-40}" '
        function goes_on(i, o) {  # does a sound from offset o continue sound i?
            return o >= o1[i] - rate * within && o <= o1[i] + rate * within
        }
        function last_sound(before,   i) {
            for (i = before; i > 0 && k[i] != "sound"; i--) {}
            return i
        }
        function join(i) {
            printf("  dropout of %d ms at %d ms (Wine): went on %+d ms from where it stopped, joined\n",
                   $2 - t1[i], t1[i], ($4 - o1[i]) / rate) >"/dev/stderr"
            n = i; t1[n] = $3; o1[n] = $5
        }
        $1 == "sound" {
            p = last_sound(n)
            if (p > 0 && goes_on(p, $4)) { join(p); next }
            q = last_sound(p - 1)
            if (p > 0 && t1[p] - t0[p] < 30 && q > 0 && goes_on(q, $4)) { join(q); next }
        }
        { n++; k[n] = $1; t0[n] = $2; t1[n] = $3; o0[n] = $4; o1[n] = $5 }
        END { for (i = 1; i <= n; i++)
                  if (k[i] == "sound") print k[i], t0[i], t1[i], o0[i], o1[i]
                  else print k[i], t0[i], t1[i] }' "$1" >"$1.joined" && mv "$1.joined" "$1"
}

# The automatic cycle from track_tone's stretches: the first play stretch lasts the Pause
# Duration, then pauses of the Pause Duration and play stretches of the Play Duration
# alternate, each resume 3000 bytes (Pause backup 3) before the pause. By default the first
# slider values (2.5 s, 1.75 s) over five stretches. Silence before Play is not part of it.
e2e_check_cycle() {  # stretches-file label [resume tolerance, bytes] [pause-ms play-ms stretches]
    local pause_ms=${4:-2500} play_ms=${5:-1750} count=${6:-5}
    local body k t0 t1 o0 o1 prev_end="" i=0 expected
    body=$(sed -n '/^sound/,$p' "$1" | head -"$count")
    while read -r k t0 t1 o0 o1; do
        expected=$play_ms
        [ $i = 0 ] || [ $((i % 2)) = 1 ] && expected=$pause_ms
        e2e_check "$2stretch $((i + 1)) ($k) lasts $expected ms within 250" \
            e2e_near "$((t1 - t0))" "$expected" 250
        if [ "$k" = sound ] && [ -n "$prev_end" ]; then
            e2e_check "$2resume $((i / 2)) starts 3000 bytes back" e2e_near "$o0" $((prev_end - 3000)) "${3:-300}"
        fi
        [ "$k" = sound ] && prev_end=$o1
        i=$((i + 1))
    done <<<"$body"
    e2e_check "$2$count stretches seen" e2e_equals "$i" "$count"
}
