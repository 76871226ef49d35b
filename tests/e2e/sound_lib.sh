# Real-time sound for the end-to-end tests: a private PulseAudio daemon (or PipeWire with its
# PulseAudio server, where E2E_SOUND_SERVER=pipewire) with a null sink,
# which Wine's PulseAudio driver plays into at the speed of the clock, and a recorder of
# that sink's monitor. Unlike the ALSA file capture of velmorin_prepare_sound, play
# cursors and timings here are real, so pauses, step backs and timed cycles can be judged.
# Needs: scripts/wine-env.sh and lib.sh sourced, VELMORIN_BUILD set. Source after lib.sh.
#
#   e2e_pulse_start        starts the daemon (once); exports PULSE_SERVER and HOME for
#                          the Wine processes started afterwards; E2E_PULSE_HOME is that
#                          HOME, to pass to e2e_start_app
#   e2e_record_start NAME  records the sink to $E2E_OUT/NAME.raw (starts the daemon too);
#                          a recorder that gives nothing is one failed check, and the
#                          scenario returns
#   e2e_record_stop        ends the recording, prints the path of $E2E_OUT/NAME.wav
#                          (48000 Hz, 2 channels, 16 bit); $E2E_OUT/NAME.start and
#                          NAME.stop hold the wall-clock times (Unix seconds) just before
#                          the recorder started and was stopped, NAME.first an estimate of
#                          the time of the first recorded sample
#   e2e_pulse_kill         ends the server at once, as a crash would
#   e2e_pulse_revive       starts it again on the same socket
#   e2e_pulse_stop         ends everything started here and restores HOME, PULSE_SERVER;
#                          call it before the shell ends (a trap on EXIT), or the daemon
#                          and its streams outlive the test
#
# Start playing at least 1 s after the Wine program has opened the sound device: the
# first part of a stream can otherwise be lost.

E2E_PULSE_RATE=48000
e2e_pulse_pid=
e2e_pulse_pids=()
e2e_pulse_bus=
e2e_pulse_bus_pid=
e2e_pulse_keepalive_pid=
e2e_pulse_dir=
e2e_pulse_socket=
e2e_pulse_saved=
e2e_pulse_saved_home=
e2e_pulse_saved_server=
e2e_record_pid=
e2e_record_name=

# How PulseAudio clients are started: against our daemon only. An array rather than a
# function, so that a client started in the background is a direct child whose pid is
# the client's own, and ending it ends the client.
e2e_pulse_client=()

_e2e_end_pid() {  # pid [signal]: ends a process this shell started, waiting at most 3 s
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill -"${2:-TERM}" "$pid" 2>/dev/null
    for i in $(seq 1 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

e2e_pulse_start() {
    if [ -n "$e2e_pulse_pid" ] && kill -0 "$e2e_pulse_pid" 2>/dev/null; then
        return 0
    fi
    e2e_pulse_stop
    e2e_pulse_dir=$VELMORIN_BUILD/pulse
    # A Unix socket path has to fit in 108 bytes; a deep build tree would not.
    if [ ${#e2e_pulse_dir} -gt 80 ]; then
        e2e_pulse_dir=$(mktemp -d /tmp/velmorin-pulse.XXXXXX) || return 1
    fi
    mkdir -p "$e2e_pulse_dir/run" "$e2e_pulse_dir/home/.config/pulse"
    chmod 700 "$e2e_pulse_dir/run"
    e2e_pulse_socket=$e2e_pulse_dir/run/native
    e2e_pulse_client=(env -u XDG_RUNTIME_DIR PULSE_SERVER="unix:$e2e_pulse_socket"
        PULSE_CLIENTCONFIG="$e2e_pulse_dir/client.conf" HOME="$e2e_pulse_dir/home")
    # A client that cannot reach the daemon must fail, not spawn a daemon of its own.
    printf 'autospawn = no\n' >"$e2e_pulse_dir/client.conf"
    _e2e_server_up || return 1

    # Wine chooses its PulseAudio driver when a server answers; HOME without an
    # .asoundrc keeps ALSA's default away from the capture file of the other set-up.
    e2e_pulse_saved=1
    e2e_pulse_saved_home=$HOME
    e2e_pulse_saved_server=${PULSE_SERVER-unset}
    export E2E_PULSE_HOME=$e2e_pulse_dir/home
    export HOME=$E2E_PULSE_HOME
    export PULSE_SERVER=unix:$e2e_pulse_socket
    export PULSE_CLIENTCONFIG=$e2e_pulse_dir/client.conf
    return 0
}

# What the keep-alive stream and the recorder ask for: PipeWire runs its whole graph at the
# smallest latency asked, and without real-time priority a 10 ms cycle now and then comes
# late under load, which the recording shows as a gap.
_e2e_latency_ms() { [ "${E2E_SOUND_SERVER:-pulseaudio}" = pipewire ] && echo 40 || echo 20; }

# Starts the server E2E_SOUND_SERVER names (pulseaudio, the default, or pipewire) on the
# socket, with a null sink at the recording's rate that always plays.
_e2e_server_up() {
    rm -f "$e2e_pulse_socket"
    if [ "${E2E_SOUND_SERVER:-pulseaudio}" = pipewire ]; then
        _e2e_pipewire_up || return 1
    else
        _e2e_pulseaudio_up || return 1
    fi
    local i
    for i in $(seq 1 50); do
        "${e2e_pulse_client[@]}" timeout 2 pactl info >/dev/null 2>&1 && break
        if ! kill -0 "$e2e_pulse_pid" 2>/dev/null || [ "$i" = 50 ]; then
            echo "the sound server did not start; see $e2e_pulse_dir/*.log" >&2
            e2e_pulse_stop
            return 1
        fi
        sleep 0.1
    done
    # A server set up as a desktop's (for measurements) lets its sink sleep when idle.
    [ "${E2E_PULSE_IDLE:-}" = desktop ] && return 0
    # Without a stream that always plays, the sink idles and the first part of the next
    # stream that starts is lost.
    "${E2E_REALTIME[@]}" "${e2e_pulse_client[@]}" pacat --playback -d nullsink --format=s16le --rate=$E2E_PULSE_RATE \
        --channels=2 --latency-msec=$(_e2e_latency_ms) </dev/zero >/dev/null 2>&1 &
    e2e_pulse_keepalive_pid=$!
    # The null sink renders its first block, about 2 s long, before it follows the short
    # latency asked for; until then its monitor gives nothing and a stream started by a
    # test would be heard late. Wait that out here, once per daemon: the scenarios start on
    # a server that plays, or not at all.
    local probe=$e2e_pulse_dir/probe.raw probe_pid started=$SECONDS state_pid=
    "${E2E_REALTIME[@]}" "${e2e_pulse_client[@]}" pacat --record -d nullsink.monitor --raw --format=s16le \
        --rate=$E2E_PULSE_RATE --channels=2 --latency-msec=$(_e2e_latency_ms) >"$probe" 2>"$probe.log" &
    probe_pid=$!
    for i in $(seq 1 600); do
        [ -s "$probe" ] && break
        # A start this slow keeps what the server was doing meanwhile.
        [ "$i" = 200 ] && { _e2e_server_state >"$E2E_OUT/server-slow.log" 2>&1 & state_pid=$!; }
        sleep 0.05
    done
    [ -n "$state_pid" ] && wait "$state_pid"
    local played=0
    [ -s "$probe" ] && played=1
    _e2e_end_pid "$probe_pid"
    rm -f "$probe"
    [ -n "$state_pid" ] && [ $played = 1 ] && echo "  the sound server played after $((SECONDS - started)) s; see $E2E_OUT/server-slow.log" >&2
    if [ $played = 0 ]; then
        _e2e_server_state >"$E2E_OUT/server-stall.log" 2>&1
        echo "the sound server plays nothing within 30 s; see $E2E_OUT/server-stall.log" >&2
        e2e_pulse_stop
        return 1
    fi
}

_e2e_pulseaudio_up() {
    # The sink runs at the rate of the recording, so the only resampling is Wine's.
    cat >"$e2e_pulse_dir/pa.pa" <<EOT
load-module module-null-sink sink_name=nullsink rate=$E2E_PULSE_RATE channels=2
load-module module-native-protocol-unix socket=$e2e_pulse_socket auth-anonymous=1
set-default-sink nullsink
EOT
    [ "${E2E_PULSE_IDLE:-}" = desktop ] && echo "load-module module-suspend-on-idle timeout=1" >>"$e2e_pulse_dir/pa.pa"
    cat >"$e2e_pulse_dir/home/.config/pulse/daemon.conf" <<EOT
default-sample-rate = $E2E_PULSE_RATE
alternate-sample-rate = $E2E_PULSE_RATE
EOT
    # Running as root only earns a warning when not in system mode; system mode would
    # want a pulse user and D-Bus. The private HOME keeps its cookie and state here.
    # Without DISPLAY and a bus address it does not try dbus-launch, which could leave a
    # session bus running on the test display.
    env -u PULSE_SERVER -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: \
        HOME="$e2e_pulse_dir/home" XDG_CONFIG_HOME="$e2e_pulse_dir/home/.config" \
        XDG_RUNTIME_DIR="$e2e_pulse_dir/run" \
        "${E2E_REALTIME[@]}" pulseaudio -n -F "$e2e_pulse_dir/pa.pa" --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --disable-shm=yes --disallow-exit --log-target=stderr \
        >"$e2e_pulse_dir/pulseaudio.log" 2>&1 </dev/null &
    e2e_pulse_pid=$!
    e2e_pulse_pids=("$e2e_pulse_pid")
}

# PipeWire with its PulseAudio server, headless: a null sink driven by its own timer, and
# wireplumber on a bus of its own to link the streams.
_e2e_pipewire_up() {
    local conf=$e2e_pulse_dir/home/.config/pipewire
    mkdir -p "$conf/pipewire.conf.d" "$conf/pipewire-pulse.conf.d"
    # One fixed cycle for the whole graph: a graph that changes its cycle when a stream with
    # another latency comes or goes may skip a cycle's sound.
    cat >"$conf/pipewire.conf.d/null-sink.conf" <<EOT
context.properties = { default.clock.quantum = 1024 default.clock.min-quantum = 1024
                       default.clock.max-quantum = 1024 }
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = nullsink
               media.class = Audio/Sink audio.position = [ FL FR ] audio.rate = $E2E_PULSE_RATE
               monitor.channel-volumes = true object.linger = true } }
]
EOT
    printf 'pulse.properties = { server.address = [ "unix:%s" ] }\n' "$e2e_pulse_socket" \
        >"$conf/pipewire-pulse.conf.d/socket.conf"
    # The graph's processes on one core (E2E_PIPEWIRE_CPU=all leaves them spread). This guest's
    # kernel does not preempt: a core busy in another program's system call holds a real-time
    # thread there for tens of milliseconds, while the driver on the other core goes on, finds
    # the stream's node unfinished and drops its cycle (pw-profiler showed it). On one core
    # such a stall holds the driver too, and the whole graph goes on late by as much, as a
    # desktop's preempting kernel keeps it together.
    local cpu=()
    [ "${E2E_PIPEWIRE_CPU:-last}" = all ] || cpu=(taskset -c $(($(nproc) - 1)))
    e2e_pulse_pids=()
    if [ -z "$e2e_pulse_bus" ]; then
        { read -r e2e_pulse_bus; read -r e2e_pulse_bus_pid; } < <(dbus-daemon --session --fork \
            --print-address=1 --print-pid=1)
    fi
    # The graph's processes talk on a bus of the graph's own, which lives as long as they do:
    # a scenario's session bus ends with the scenario, under a server that goes on.
    # E2E_PW_DEBUG=3 has them log what they do, with times.
    local env=("${cpu[@]}" "${E2E_REALTIME[@]}" env -u PULSE_SERVER -u DISPLAY HOME="$e2e_pulse_dir/home"
        XDG_CONFIG_HOME="$e2e_pulse_dir/home/.config" XDG_RUNTIME_DIR="$e2e_pulse_dir/run"
        DBUS_SESSION_BUS_ADDRESS="$e2e_pulse_bus" ${E2E_PW_DEBUG:+PIPEWIRE_DEBUG=$E2E_PW_DEBUG WIREPLUMBER_DEBUG=$E2E_PW_DEBUG})
    "${env[@]}" pipewire >"$e2e_pulse_dir/pipewire.log" 2>&1 </dev/null &
    e2e_pulse_pids+=($!)
    local i
    for i in $(seq 1 50); do
        # After a kill -9 the socket file stays: wait for an answer, not for the file.
        "${env[@]}" pw-cli info 0 >/dev/null 2>&1 && break
        sleep 0.1
    done
    "${env[@]}" wireplumber \
        >"$e2e_pulse_dir/wireplumber.log" 2>&1 </dev/null &
    e2e_pulse_pids+=($!)
    # Clients come once the session manager has set the sink up (it then names it the
    # default), as on a desktop, where it has long before any program starts. A recording of
    # the monitor that came while it was still at it held the sink's set-up, and every
    # later client of the PulseAudio server, for as long as that recording lived (30 s, and
    # wireplumber logged "1 pending linkable(s) not activated in 20sec").
    for i in $(seq 1 100); do
        "${env[@]}" pw-metadata 0 default.audio.sink 2>/dev/null | grep -q '"nullsink"' && break
        sleep 0.1
    done
    "${env[@]}" pipewire-pulse >"$e2e_pulse_dir/pipewire-pulse.log" 2>&1 </dev/null &
    e2e_pulse_pids+=($!)
    e2e_pulse_pid=$!
}

# The server goes away at once, as when it crashes; its clients lose it, a recording too
# (e2e_record_stop then gives what it had).
e2e_pulse_kill() {
    local pid
    for pid in "${e2e_pulse_pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    _e2e_end_pid "$e2e_pulse_keepalive_pid"
    e2e_pulse_keepalive_pid=
    return 0
}

# The same server starts again on the same socket.
e2e_pulse_revive() { _e2e_server_up; }

e2e_pulse_stop() {
    [ -n "$e2e_record_pid" ] && e2e_record_stop >/dev/null
    _e2e_end_pid "$e2e_pulse_keepalive_pid"
    e2e_pulse_keepalive_pid=
    local pid
    for pid in "${e2e_pulse_pids[@]}"; do _e2e_end_pid "$pid"; done
    e2e_pulse_pids=()
    e2e_pulse_pid=
    [ -n "$e2e_pulse_bus_pid" ] && kill "$e2e_pulse_bus_pid" 2>/dev/null
    e2e_pulse_bus=
    e2e_pulse_bus_pid=
    case $e2e_pulse_dir in
        /tmp/velmorin-pulse.*) rm -rf "$e2e_pulse_dir" ;;
    esac
    if [ -n "$e2e_pulse_saved" ]; then
        export HOME=$e2e_pulse_saved_home
        unset PULSE_SERVER PULSE_CLIENTCONFIG E2E_PULSE_HOME
        [ "$e2e_pulse_saved_server" = unset ] || export PULSE_SERVER=$e2e_pulse_saved_server
        e2e_pulse_saved=
    fi
    return 0
}

# What the server makes of its streams, for the log: its sources, its recording streams,
# under PipeWire the links the session manager made, and for a server that answers none of
# these (seen through PipeWire) where its processes stand and the end of their logs.
_e2e_server_state() {
    date +%T.%N
    "${e2e_pulse_client[@]}" timeout 5 pactl list short sources
    "${e2e_pulse_client[@]}" timeout 5 pactl list source-outputs
    [ "${E2E_SOUND_SERVER:-pulseaudio}" = pipewire ] &&
        env XDG_RUNTIME_DIR="$e2e_pulse_dir/run" timeout 5 pw-link -l
    ps -L -o pid,lwp,stat,cls,rtprio,pcpu,comm -p "$(IFS=,; echo "${e2e_pulse_pids[*]}")"
    local pid
    for pid in "${e2e_pulse_pids[@]}"; do
        e2e_stacks "$pid"
    done
    tail -n 20 "$e2e_pulse_dir"/*.log
}

e2e_record_start() {  # name
    local name=$1 raw=$E2E_OUT/$1.raw i
    [ -n "$e2e_record_pid" ] && e2e_record_stop >/dev/null
    e2e_pulse_start || return 1
    rm -f "$raw" "$E2E_OUT/$name.wav" "$E2E_OUT/$name.told"
    date +%s.%N >"$E2E_OUT/$name.start"
    "${E2E_REALTIME[@]}" "${e2e_pulse_client[@]}" pacat --record -d nullsink.monitor --raw --format=s16le \
        --rate=$E2E_PULSE_RATE --channels=2 --latency-msec=$(_e2e_latency_ms) >"$raw" 2>"$E2E_OUT/$name.rec.log" &
    e2e_record_pid=$!
    e2e_record_name=$name
    # Returns once samples arrive, so that whatever the caller starts next is heard.
    # NAME.first gets the wall-clock time of the recording's first sample, from the time
    # the first data was seen and its amount.
    local now size
    for i in $(seq 1 800); do
        now=$(date +%s.%N)
        size=$(stat -c %s "$raw" 2>/dev/null || echo 0)
        if [ "$size" -gt 0 ]; then
            awk -v now="$now" -v size="$size" -v rate=$E2E_PULSE_RATE \
                'BEGIN { printf "%.6f\n", now - size / (4 * rate) }' >"$E2E_OUT/$name.first"
            return 0
        fi
        kill -0 "$e2e_record_pid" 2>/dev/null || break
        sleep 0.01
    done
    { echo "== no sample within 8 s"; _e2e_server_state; } >>"$E2E_OUT/$name.rec.log" 2>&1
    _e2e_end_pid "$e2e_record_pid"
    e2e_record_pid=
    # One failure that names it; the scenario stops there, as nothing it hears can be judged.
    e2e_check "the recorder of $name starts (see $E2E_OUT/$name.rec.log)" false
    return 1
}

e2e_record_stop() {  # prints the path of the WAVE file
    [ -n "$e2e_record_pid" ] || return 1
    local raw=$E2E_OUT/$e2e_record_name.raw wav=$E2E_OUT/$e2e_record_name.wav size
    # pacat ends cleanly on SIGTERM (a background job of a script ignores SIGINT).
    date +%s.%N >"$E2E_OUT/$e2e_record_name.stop"
    # A recorder over a second behind (twice, it got nothing from some point on) keeps its
    # own state and the server's, before it ends.
    if awk -v first="$(cat "$E2E_OUT/$e2e_record_name.first")" -v stop="$(cat "$E2E_OUT/$e2e_record_name.stop")" \
        -v got=$(($(stat -c %s "$raw" 2>/dev/null || echo 0) / 4)) -v rate=$E2E_PULSE_RATE \
        'BEGIN { exit !(stop - first - got / rate > 1) }'; then
        { echo "== behind at the stop"; grep State "/proc/$e2e_record_pid/status"
            e2e_stacks "$e2e_record_pid"
            _e2e_server_state; } >>"$E2E_OUT/$e2e_record_name.rec.log" 2>&1
    fi
    _e2e_end_pid "$e2e_record_pid" TERM
    e2e_record_pid=
    # A frame cut in half at the end would shift sox's idea of the channels.
    size=$(stat -c %s "$raw" 2>/dev/null || echo 0)
    truncate -s $((size / 4 * 4)) "$raw"
    if [ "$size" -lt 4 ]; then
        echo "empty recording $raw" >&2
        return 1
    fi
    timeout 60 sox -t raw -e signed -b 16 -c 2 -r $E2E_PULSE_RATE "$raw" "$wav" || return 1
    # Told beside the checks: a recorder that fell behind holds less than the time it ran.
    # (A stop called again, for a recorder a subshell already stopped, tells nothing.)
    [ "$(cat "$E2E_OUT/$e2e_record_name.told" 2>/dev/null)" = "$size" ] && { echo "$wav"; return 0; }
    echo "$size" >"$E2E_OUT/$e2e_record_name.told"
    awk -v first="$(cat "$E2E_OUT/$e2e_record_name.first")" -v stop="$(cat "$E2E_OUT/$e2e_record_name.stop")" \
        -v got=$((size / 4)) -v rate=$E2E_PULSE_RATE -v name="$e2e_record_name" \
        'BEGIN { printf "  recorded %s: %.2f s in %.2f s\n", name, got / rate, stop - first }' >&2
    echo "$wav"
}
