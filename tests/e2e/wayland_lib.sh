# A Wayland desktop for the native program's end-to-end tests: weston's headless compositor,
# and xdg-desktop-portal with a global shortcuts backend of the tests' own
# (portal_backend.py). Needs: lib.sh and native_lib.sh sourced, a session bus of the tests'
# own (e2e_native_start_session).
#
#   e2e_wayland_start / e2e_wayland_stop    the compositor; sets E2E_WAYLAND_ENV, the
#                                           environment of a program started on it
#   e2e_portal_start [--refuse NAME]...     the backend, then the portal; the backend writes
#                                           what programs bind to $E2E_OUT/portal-binds.txt
#   e2e_portal_press NAME                   presses a bound shortcut
#   e2e_portal_stop                         ends both, unmounts the portal's file system

E2E_PORTAL_NAME=org.velmorin.TestPortal
E2E_WAYLAND_SOCKET=velmorin-wl
e2e_weston_pid=
e2e_portal_pid=
e2e_portal_backend_pid=
e2e_wayland_dir=
E2E_WAYLAND_ENV=()

e2e_wayland_start() {
    e2e_wayland_dir=$(mktemp -d /tmp/velmorin-wayland.XXXXXX) || return 1
    chmod 700 "$e2e_wayland_dir"
    XDG_RUNTIME_DIR=$e2e_wayland_dir weston --backend=headless-backend.so \
        --socket=$E2E_WAYLAND_SOCKET --idle-time=0 >"$E2E_OUT/weston.log" 2>&1 &
    e2e_weston_pid=$!
    e2e_until 10 test -S "$e2e_wayland_dir/$E2E_WAYLAND_SOCKET" || return 1
    # No X display: what opens a window must open it on the compositor.
    E2E_WAYLAND_ENV=(-u DISPLAY XDG_RUNTIME_DIR="$e2e_wayland_dir"
        WAYLAND_DISPLAY=$E2E_WAYLAND_SOCKET XDG_SESSION_TYPE=wayland)
}

e2e_wayland_stop() {
    _e2e_end_pid "$e2e_weston_pid"
    e2e_weston_pid=
    [ -n "$e2e_wayland_dir" ] && rm -rf "$e2e_wayland_dir"
    e2e_wayland_dir=
}

e2e_portal_start() {  # [--refuse NAME]...
    local dir=$E2E_OUT/portal
    mkdir -p "$dir"
    : >"$E2E_OUT/portal-binds.txt"
    cat >"$dir/velmorin-test.portal" <<EOT
[portal]
DBusName=$E2E_PORTAL_NAME
Interfaces=org.freedesktop.impl.portal.GlobalShortcuts
UseIn=velmorin-test
EOT
    /usr/bin/python3 "$E2E_TOOLS/portal_backend.py" $E2E_PORTAL_NAME "$E2E_OUT/portal-binds.txt" "$@" \
        >"$E2E_OUT/portal-backend.log" 2>&1 &
    e2e_portal_backend_pid=$!
    e2e_until 10 _e2e_bus_has $E2E_PORTAL_NAME || return 1
    env XDG_DESKTOP_PORTAL_DIR="$dir" XDG_CURRENT_DESKTOP=velmorin-test \
        XDG_RUNTIME_DIR="$e2e_wayland_dir" /usr/libexec/xdg-desktop-portal -r \
        >"$E2E_OUT/portal.log" 2>&1 &
    e2e_portal_pid=$!
    e2e_until 10 _e2e_bus_has org.freedesktop.portal.Desktop
}

_e2e_bus_has() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

e2e_portal_press() {
    gdbus call --session --dest $E2E_PORTAL_NAME --object-path /org/velmorin/test \
        --method org.velmorin.test.Press "$1" >/dev/null
}

e2e_portal_stop() {
    _e2e_end_pid "$e2e_portal_pid"
    _e2e_end_pid "$e2e_portal_backend_pid"
    e2e_portal_pid=
    e2e_portal_backend_pid=
    # The portal's document store mounts a file system in the runtime folder.
    [ -n "$e2e_wayland_dir" ] && fusermount -u "$e2e_wayland_dir/doc" 2>/dev/null
    return 0
}
