#!/usr/bin/env bash
# Builds the sound-analysis tools natively into $VELMORIN_BUILD/tools (make_sweep,
# track_tone, x11_client) and, when the MinGW cross compiler is there, the test-only player
# play_wave.exe. Only what is older than its source is rebuilt.
#   VELMORIN_BUILD   build folder (default: <repo>/build)
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../../.." && pwd)
out=${VELMORIN_BUILD:-$repo/build}/tools
mkdir -p "$out"
warnings=(-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)

build() {  # target source compiler flags...
    local target=$1 source=$2
    shift 2
    if [ ! -x "$target" ] || [ "$source" -nt "$target" ]; then
        # Into a temporary name first, so an interrupted build never leaves a broken tool.
        "$@" -o "$target.tmp" && mv -f "$target.tmp" "$target"
    fi
}

build "$out/make_sweep" "$here/make_sweep.cpp" \
    g++ -std=c++17 -O2 "${warnings[@]}" "$here/make_sweep.cpp"
build "$out/track_tone" "$here/track_tone.cpp" \
    g++ -std=c++17 -O2 "${warnings[@]}" "$here/track_tone.cpp"
build "$out/x11_client" "$here/x11_client.cpp" \
    g++ -std=c++17 -O2 "${warnings[@]}" "$here/x11_client.cpp" -lX11
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    build "$out/play_wave.exe" "$here/play_wave.cpp" \
        x86_64-w64-mingw32-g++-posix -std=c++17 -O2 "${warnings[@]}" -static -static-libgcc \
        -static-libstdc++ "$here/play_wave.cpp" -ldsound -lwinmm -luser32
fi
