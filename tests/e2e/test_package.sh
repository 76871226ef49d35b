# The packages the test command builds. The Debian package is checked with lintian and the
# desktop and AppStream validators, unpacked into a folder of its own and started through
# its own desktop entry with gtk-launch; the Windows zip's program starts under Wine from an
# empty prefix. Only where CI=true, as root, is the package also installed with apt,
# started from the system's desktop entry and removed again; a developer's machine is not
# touched.

. "$E2E_TOOLS/sound_lib.sh"
. "$E2E_TOOLS/native_lib.sh"
bash "$E2E_TOOLS/tools/build.sh"
E2E_APP_ID=org.velmorin.Velmorin
E2E_DEB=$(ls "$VELMORIN_BUILD"/linux/packages/velmorin_*_amd64.deb 2>/dev/null | head -1)
E2E_ZIP=$(ls "$VELMORIN_BUILD"/windows/packages/velmorin-*-win64.zip 2>/dev/null | head -1)
E2E_PACKAGE_ROOT=$E2E_OUT/package-root

_package_lintian() {  # no error; the warnings are listed
    local out
    out=$(lintian "$E2E_DEB" 2>/dev/null)
    [ -n "$out" ] && echo "$out" | sed 's/^/  lintian: /' >&2
    ! grep -q '^E: ' <<<"$out"
}

_package_run() {  # expected-status expected-stdout-start expected-stderr-start args...
    local status out err
    out=$(timeout 10 "$E2E_PACKAGE_ROOT/usr/bin/velmorin" "${@:4}" 2>"$E2E_OUT/package-err.txt")
    status=$?
    err=$(cat "$E2E_OUT/package-err.txt")
    e2e_equals "$status|${out:0:${#2}}|${err:0:${#3}}" "$1|$2|$3"
}

e2e_scenario_package_contents() {
    e2e_check "the Debian package was built" test -f "$E2E_DEB" || return
    rm -rf "$E2E_PACKAGE_ROOT"
    dpkg -x "$E2E_DEB" "$E2E_PACKAGE_ROOT"
    echo "  package: $E2E_DEB, $(stat -c %s "$E2E_DEB") bytes" >&2
    e2e_check "lintian finds no error in the package" _package_lintian
    e2e_check "the desktop entry is valid" \
        desktop-file-validate "$E2E_PACKAGE_ROOT/usr/share/applications/$E2E_APP_ID.desktop"
    e2e_check "the AppStream file is valid" \
        appstreamcli validate --no-net --no-color "$E2E_PACKAGE_ROOT/usr/share/metainfo/$E2E_APP_ID.metainfo.xml"
    local size sizes=""
    for size in 16 24 32 48 64 128 256; do
        sizes+="$(identify -format '%wx%h ' "$E2E_PACKAGE_ROOT/usr/share/icons/hicolor/${size}x$size/apps/$E2E_APP_ID.png" 2>/dev/null)"
    done
    e2e_check "the icon in seven sizes" \
        e2e_equals "$sizes" "16x16 24x24 32x32 48x48 64x64 128x128 256x256 "
    local version
    version=$(sed -nE 's/.*<release version="([^"]*)".*/\1/p' "$E2E_PACKAGE_ROOT/usr/share/metainfo/$E2E_APP_ID.metainfo.xml")
    e2e_check "--version prints the package's version" \
        _package_run 0 "Velmorin $(dpkg-deb -f "$E2E_DEB" Version)" "" --version
    e2e_check "which the AppStream release names" e2e_equals "$version" "$(dpkg-deb -f "$E2E_DEB" Version)"
    e2e_check "--help prints the usage" _package_run 0 "Usage: velmorin [FILE]" "" --help
    e2e_check "an unknown option: usage on stderr, status 2, no window" \
        _package_run 2 "" "velmorin: unknown option --loop" --loop
    e2e_check "two files: the same" _package_run 2 "" "velmorin: more than one file" a.wav b.wav
}

_package_launch() {  # data-dirs bin-dir file: gtk-launch through the desktop entry
    (cd "$E2E_OUT" && exec env PATH="$2:$PATH" XDG_DATA_DIRS="$1" HOME="$E2E_OUT/native-home" \
        python3 "$E2E_TOOLS/reap.py" gtk-launch "$E2E_APP_ID" "$3") >"$E2E_OUT/package-launch.out" 2>&1 &
    e2e_app_pid=$!
    e2e_own_pids+=("$e2e_app_pid")
}

_package_started() {  # label file binary: the launched program has the file open
    local title="Velmorin - [$2]" pid
    e2e_check "$1: the desktop entry starts the program with the file" e2e_wait_window "$title" 20 || return 1
    e2e_dump_of "$title" 50
    e2e_check "$1: the file is loaded" e2e_equals "$(e2e_text 1016)|$(e2e_native_layout)|$(e2e_field 1003 pos)" \
        "File loaded.|100|8000"
    pid=$(xdotool getwindowpid "$(e2e_x_window '^Velmorin - ')" 2>/dev/null)
    e2e_check "$1: the program is the packaged one" e2e_equals "$(readlink "/proc/$pid/exe" 2>/dev/null)" "$3"
    echo "  screenshot: $(e2e_shot "package-$1")" >&2
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "$1: Esc ends it with status 1" e2e_until 10 grep -q "^exit $pid 1$" "$E2E_OUT/package-launch.out"
    e2e_wait_exit 10
}

e2e_scenario_package_desktop_entry() {
    [ -x "$E2E_PACKAGE_ROOT/usr/bin/velmorin" ] || return
    local take=$E2E_OUT/package-take.wav
    "$VELMORIN_BUILD/tools/make_sweep" "$take" 3 >/dev/null
    _package_launch "$E2E_PACKAGE_ROOT/usr/share:/usr/share" "$E2E_PACKAGE_ROOT/usr/bin" "$take"
    _package_started unpacked "$take" "$E2E_PACKAGE_ROOT/usr/bin/velmorin"
}

e2e_scenario_package_installed() {
    if [ "${CI:-}" != true ] || [ "$(id -u)" != 0 ]; then
        echo "  the package is installed with apt only where CI=true, as root" >&2
        return 0
    fi
    if dpkg-query -W -f='${Status}' velmorin 2>/dev/null | grep -q 'install ok'; then
        echo "  velmorin is installed on this machine already: left alone" >&2
        return 0
    fi
    local files take=$E2E_OUT/package-take.wav
    files=$(dpkg-deb -c "$E2E_DEB" | awk '$1 !~ /^d/ { print substr($6, 2) }')
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$E2E_DEB" \
        >"$E2E_OUT/package-apt.log" 2>&1
    e2e_check "apt installs the package" \
        e2e_equals "$(dpkg-query -W -f='${Status}' velmorin 2>/dev/null)" "install ok installed"
    _package_launch /usr/local/share:/usr/share /usr/bin "$take"
    _package_started installed "$take" /usr/bin/velmorin
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q velmorin >>"$E2E_OUT/package-apt.log" 2>&1
    local left=""
    for f in $files /usr/share/doc/velmorin; do [ -e "$f" ] && left+="$f "; done
    e2e_check "apt removes it and none of its files is left" e2e_equals "$left" ""
}

_package_zip_dialog() { xdotool search --name '^Velmorin - No file loaded\.$' >/dev/null; }

_package_zip_why() {  # prefix log: what the new prefix's Wine processes are at, and Wine's output
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "WINEPREFIX=$1" || continue
        pid=${environ#/proc/}
        ps -o pid=,etime=,time=,args= -p "${pid%/environ}"
    done | sed 's/^/  still running: /' >&2
    echo "  the last of Wine's output ($2):" >&2
    tail -n 40 "$2" | sed 's/^/  wine: /' >&2
}

e2e_scenario_windows_zip() {
    e2e_check "the Windows zip was built" test -f "$E2E_ZIP" || return
    local dir=$E2E_OUT/zip prefix=$E2E_OUT/zip-prefix
    rm -rf "$dir" "$prefix"
    python3 -m zipfile -e "$E2E_ZIP" "$dir"
    e2e_check "the zip holds velmorin.exe and README.txt" \
        e2e_equals "$(cd "$dir" && find . -type f | sort | tr '\n' ' ')" "./README.txt ./velmorin.exe "
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$dir/velmorin.exe" | sed -n 's/.*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
    echo "  imports: $dlls" >&2
    e2e_check "velmorin.exe needs no DLL beyond Windows' own" \
        e2e_fails grep -qvxE 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMCTL32.DLL|COMDLG32.DLL|DSOUND.DLL|WINMM.DLL|OLE32.DLL|MSVCRT.DLL|ADVAPI32.DLL|SHELL32.DLL' < <(tr ' ' '\n' <<<"$dlls" | grep .)
    # A prefix of its own, made afresh by this first start. Wine's output is kept, with its
    # errors and each line's time and process, so that a slow start tells what it waited for.
    local log=$E2E_OUT/zip-wine.log started=$(date +%s%N)
    echo "started at $(date +%T.%3N)" >"$log"
    (cd "$dir" && WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:+$WINEDEBUG,}err+all,+timestamp,+pid \
        exec wine velmorin.exe) >>"$log" 2>&1 &
    e2e_app_pid=$!
    e2e_own_pids+=("$e2e_app_pid")
    e2e_check "from an empty prefix it shows its dialog" \
        e2e_until 90 _package_zip_dialog || _package_zip_why "$prefix" "$log"
    echo "  the first start took $((($(date +%s%N) - started) / 1000000)) ms" >&2
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    e2e_wait_exit 10
    rm -rf "$prefix"
}

e2e_native_scenarios "package" e2e_scenario_package_contents \
    e2e_scenario_package_desktop_entry \
    e2e_scenario_package_installed \
    e2e_scenario_windows_zip
