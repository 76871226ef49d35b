# Sourced: velmorin_install_deps installs whatever Debian packages are missing.
velmorin_packages=(
    cmake ninja-build g++ ccache googletest libgtest-dev libbenchmark-dev
    pkg-config libsoxr-dev libsonic-dev libpulse-dev libavformat-dev libavcodec-dev libswresample-dev libgtk-3-dev libkeybinder-3.0-dev libxtst-dev
    xterm dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 gir1.2-gtk-3.0
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix
    wine wine64 fonts-wine
    xvfb xdotool x11-utils x11-apps imagemagick
    pulseaudio pulseaudio-utils sox ffmpeg python3
    dpkg-dev lintian desktop-file-utils appstream libgtk-3-bin
    weston xdg-desktop-portal playerctl libglib2.0-bin
    # Plasma's own global shortcuts portal: 148 packages, 41 MB fetched, 187 MB installed
    xdg-desktop-portal-kde kwin-wayland qtwayland5
    pipewire pipewire-bin pipewire-pulse wireplumber
)

velmorin_install_deps() {
    local missing=() p
    for p in "${velmorin_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} = 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -q >/dev/null &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}
