# Sourced: configure and build one flavour.
#   velmorin_build native|linux|windows [ninja targets]   (all targets when none are named)
# native: the logic and its tests with the sanitizers; linux: the native program as
# users get it (optimised, no sanitizer), with its GTK tests; windows: mingw-w64.
velmorin_build() {
    local flavour=$1
    shift
    local dir=$VELMORIN_BUILD/$flavour
    local args=(-G Ninja -S "$velmorin_repo" -B "$dir" -DVELMORIN_WERROR=ON -DVELMORIN_TESTS=ON)
    command -v ccache >/dev/null && args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ "$flavour" = windows ]; then
        args+=(-DCMAKE_TOOLCHAIN_FILE="$velmorin_repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release)
    elif [ "$flavour" = linux ]; then
        args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
    else
        args+=(-DCMAKE_BUILD_TYPE=Debug -DVELMORIN_SANITIZE=ON)
    fi
    cmake "${args[@]}" >"$VELMORIN_BUILD/$flavour-configure.log" 2>&1 ||
        { cat "$VELMORIN_BUILD/$flavour-configure.log"; return 1; }
    ninja -C "$dir" -j2 "$@" 2>&1 | grep -vE '^\[[0-9]+/[0-9]+\] ' 
    return "${PIPESTATUS[0]}"
}

# The Debian package of the linux flavour and the zip of the windows one, from what was
# built, into each build folder's packages/.
velmorin_package() {
    local flavour log=$VELMORIN_BUILD/package.log
    : >"$log"
    for flavour in linux windows; do
        rm -rf "$VELMORIN_BUILD/$flavour/packages"
        (cd "$VELMORIN_BUILD/$flavour" && cpack) >>"$log" 2>&1 || { cat "$log"; return 1; }
    done
    ls "$VELMORIN_BUILD"/linux/packages/*.deb "$VELMORIN_BUILD"/windows/packages/*.zip
}
