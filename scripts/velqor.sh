#!/usr/bin/env bash
# Installs what Velqor needs on Debian 12, builds it, and starts the viewer on a demo drive ("run"),
# prints the sample recordings' telemetry ("extract") or runs every test ("test"). Safe to run
# again: it installs only missing packages, rebuilds only what changed and writes the demo once.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

PACKAGES=(cmake make g++ git clang-format
    qtbase5-dev qttools5-dev qttools5-dev-tools qtmultimedia5-dev libqt5multimedia5-plugins
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
    gstreamer1.0-x
    libgstreamer1.0-dev  # the decoder check asks the media framework's registry for decoders
    libqt5charts5-dev qtwebengine5-dev libjs-leaflet pci.ids ffmpeg xvfb xauth dbus-daemon
    fonts-ipafont-gothic  # glyphs of the Japanese interface
    tzdata gdal-bin  # zone rules for the camera clock's UTC times; ogrinfo reads exports back in tests, ogr2ogr makes the world map
    python3-geopandas  # its Natural Earth shapefiles become the built-in world map
    libqt5sql5-sqlite zlib1g-dev  # MBTiles map files (only recommended by Qt SQL); PMTiles inflate
    libsqlite3-dev  # a clock on each MBTiles statement, set on the connection of Qt's SQLite driver
    clang-14 libfuzzer-14-dev libclang-rt-14-dev
    python3-distributed parallel python3-yaml)  # the archive recipes of scale/ and their test
BUILD_DIR=${VELQOR_BUILD_DIR:-build}

install_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

stage() {
    echo
    echo "==== $1 ($(date +%T))"
}

# Hardening stages: parsers and workers without the GUI, under the sanitizers, then fuzzed.
hardening() {
    stage "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    build "$BUILD_DIR-asan" -DVELQOR_GUI=OFF -DVELQOR_BENCH=OFF -DVELQOR_SANITIZERS=address,undefined
    (cd "$BUILD_DIR-asan" && ctest --output-on-failure -j"$(nproc)" -L unit -E style_format)

    stage "parsing thread and playlist tests under ThreadSanitizer"
    build "$BUILD_DIR-tsan" -DVELQOR_GUI=OFF -DVELQOR_BENCH=OFF -DVELQOR_SANITIZERS=thread
    # Qt is not built with the sanitizer, so its own synchronisation is invisible to it; only
    # accesses from our instrumented code are checked.
    (cd "$BUILD_DIR-tsan" && TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=1" \
        ctest --output-on-failure -j"$(nproc)" -R 'tst_videoparser|tst_playlistmodel')

    stage "fuzzing the parsers"
    CC=clang-14 CXX=clang++-14 build "$BUILD_DIR-fuzz" -DVELQOR_FUZZ=ON -DVELQOR_GUI=OFF \
        -DVELQOR_TESTS=OFF -DVELQOR_BENCH=OFF -DVELQOR_SANITIZERS=address,undefined
    bash scripts/fuzz.sh "$BUILD_DIR-fuzz" "${VELQOR_FUZZ_SECONDS:-60}" \
        "$BUILD_DIR/tests/fixtures/velqor-samples"
}

case "${1:-}" in
run)
    install_packages
    build "$BUILD_DIR"
    # Written on the first run only; the open-folder dialog starts right above it unless the
    # user already chose a folder.
    "$BUILD_DIR"/demo/velqor-demo --store-path "$BUILD_DIR"/demo-drive
    # The map's web engine refuses to start as root inside its sandbox (containers, CI).
    if [ "$(id -u)" -eq 0 ]; then
        export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox ${QTWEBENGINE_CHROMIUM_FLAGS:-}"
    fi
    exec "$BUILD_DIR"/app/velqor
    ;;
extract)
    install_packages
    build "$BUILD_DIR"
    "$BUILD_DIR"/tests/fixtures/velqor-samples "$BUILD_DIR"/samples
    "$BUILD_DIR"/extract/velqor-extract "$BUILD_DIR"/samples/*
    ;;
test)
    install_packages
    stage "build"
    build "$BUILD_DIR"
    hardening
    # Last, so that the run closes with the summary of the whole suite.
    stage "all tests"
    # A full-HD screen, so that the whole window fits on the screenshots the tests leave.
    (cd "$BUILD_DIR" && xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j"$(nproc)")
    ;;
*)
    echo "usage: $0 run|extract|test" >&2
    exit 64
    ;;
esac
