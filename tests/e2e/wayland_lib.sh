# A Wayland desktop for the native program's end-to-end tests: weston's headless compositor,
# and xdg-desktop-portal with a global shortcuts backend of the tests' own
# (portal_backend.py). Needs: lib.sh and native_lib.sh sourced, a session bus of the tests'
# own (e2e_native_start_session). Or KDE Plasma's own: kwin's virtual compositor, which
# holds the global shortcuts (kglobalaccel), and xdg-desktop-portal-kde.
#
#   e2e_wayland_start [kwin] / e2e_wayland_stop    the compositor; sets E2E_WAYLAND_ENV, the
#                                           environment of a program started on it
#   e2e_portal_start [--refuse NAME]...     the backend, then the portal; the backend writes
#                                           what programs bind to $E2E_OUT/portal-binds.txt
#   e2e_portal_start --kde                  KDE's backend (on kwin), then the portal
#   e2e_portal_press NAME                   presses a bound shortcut
#   e2e_kglobalaccel_holds NAME [press]     whether kwin holds a shortcut; presses it there
#   e2e_portal_stop                         ends both, unmounts the portal's file system

E2E_PORTAL_NAME=org.velmorin.TestPortal
E2E_WAYLAND_SOCKET=velmorin-wl
e2e_compositor_pid=
e2e_portal_pid=
e2e_portal_backend_pid=
e2e_wayland_dir=
E2E_WAYLAND_ENV=()

e2e_wayland_start() {  # [kwin]
    e2e_wayland_dir=$(mktemp -d /tmp/velmorin-wayland.XXXXXX) || return 1
    chmod 700 "$e2e_wayland_dir"
    # KDE's programs keep their settings in a home of their own, and Mesa its shaders (it
    # takes the home from the password file, not from HOME).
    e2e_kde_env=(-u DISPLAY HOME="$e2e_wayland_dir" XDG_CACHE_HOME="$e2e_wayland_dir"
        XDG_RUNTIME_DIR="$e2e_wayland_dir")
    if [ "${1:-}" = kwin ]; then
        # Exec of kwin_wayland, which carries a file capability, is not permitted; a copy is.
        cp /usr/bin/kwin_wayland "$e2e_wayland_dir/" || return 1
        env "${e2e_kde_env[@]}" "$e2e_wayland_dir/kwin_wayland" --virtual --socket=$E2E_WAYLAND_SOCKET \
            --no-lockscreen >"$E2E_OUT/kwin.log" 2>&1 &
        e2e_compositor_pid=$!
        # kwin holds the shortcuts, or the bus would start a kglobalaccel of its own.
        e2e_until 30 _e2e_bus_has org.kde.kglobalaccel || return 1
    else
        XDG_RUNTIME_DIR=$e2e_wayland_dir weston --backend=headless-backend.so \
            --socket=$E2E_WAYLAND_SOCKET --idle-time=0 >"$E2E_OUT/weston.log" 2>&1 &
        e2e_compositor_pid=$!
    fi
    e2e_until 10 test -S "$e2e_wayland_dir/$E2E_WAYLAND_SOCKET" || return 1
    # No X display: what opens a window must open it on the compositor.
    E2E_WAYLAND_ENV=(-u DISPLAY XDG_RUNTIME_DIR="$e2e_wayland_dir"
        WAYLAND_DISPLAY=$E2E_WAYLAND_SOCKET XDG_SESSION_TYPE=wayland)
}

e2e_wayland_stop() {
    _e2e_end_pid "$e2e_compositor_pid"
    e2e_compositor_pid=
    [ -n "$e2e_wayland_dir" ] && rm -rf "$e2e_wayland_dir"
    e2e_wayland_dir=
}

e2e_portal_start() {  # --kde | [--refuse NAME]...
    local dir=$E2E_OUT/portal desktop=velmorin-test name=$E2E_PORTAL_NAME portals=$E2E_OUT/portal
    local backend=(/usr/bin/python3 "$E2E_TOOLS/portal_backend.py" $name "$E2E_OUT/portal-binds.txt" "$@")
    mkdir -p "$dir"
    if [ "${1:-}" = --kde ]; then
        portals=/usr/share/xdg-desktop-portal/portals desktop=KDE name=org.freedesktop.impl.portal.desktop.kde
        # A Wayland client, or it offers no global shortcuts; what the bus starts for it too.
        local vars=(WAYLAND_DISPLAY=$E2E_WAYLAND_SOCKET QT_QPA_PLATFORM=wayland XDG_CURRENT_DESKTOP=KDE)
        dbus-update-activation-environment "${vars[@]}" XDG_RUNTIME_DIR="$e2e_wayland_dir" || return 1
        backend=(env "${e2e_kde_env[@]}" "${vars[@]}" /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde)
    fi
    : >"$E2E_OUT/portal-binds.txt"
    cat >"$dir/velmorin-test.portal" <<EOT
[portal]
DBusName=$E2E_PORTAL_NAME
Interfaces=org.freedesktop.impl.portal.GlobalShortcuts
UseIn=velmorin-test
EOT
    "${backend[@]}" >"$E2E_OUT/portal-backend.log" 2>&1 &
    e2e_portal_backend_pid=$!
    e2e_until 30 _e2e_bus_has $name || return 1
    env XDG_DESKTOP_PORTAL_DIR="$portals" XDG_CURRENT_DESKTOP=$desktop \
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

# kglobalaccel keeps a component for each portal session, named by its token; a shortcut is
# pressed in each that holds it, as the test backend presses it in each session.
e2e_kglobalaccel_holds() {  # NAME [press]
    local component held=1 call=(gdbus call --session --dest org.kde.kglobalaccel --object-path)
    for component in $("${call[@]}" /kglobalaccel --method org.kde.KGlobalAccel.allComponents |
        grep -o "/component/[^']*"); do
        "${call[@]}" "$component" --method org.kde.kglobalaccel.Component.shortcutNames |
            grep -q "'$1'" || continue
        held=0
        [ -z "${2:-}" ] || "${call[@]}" "$component" --method \
            org.kde.kglobalaccel.Component.invokeShortcut "$1" default >/dev/null
    done
    return $held
}
e2e_kglobalaccel_press() { e2e_kglobalaccel_holds "$1" press; }

e2e_portal_stop() {
    _e2e_end_pid "$e2e_portal_pid"
    _e2e_end_pid "$e2e_portal_backend_pid"
    e2e_portal_pid=
    e2e_portal_backend_pid=
    # The portal's document store mounts a file system in the runtime folder.
    [ -n "$e2e_wayland_dir" ] && fusermount -u "$e2e_wayland_dir/doc" 2>/dev/null
    return 0
}
