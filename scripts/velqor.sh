#!/usr/bin/env bash
# Installs what Velqor needs on Debian 12, builds it, and runs the main job ("run") or every test
# ("test"). Safe to run again: it installs only missing packages and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake make g++ git clang-format
    qtbase5-dev qttools5-dev-tools qtmultimedia5-dev libqt5multimedia5-plugins
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
    libqt5charts5-dev qtwebengine5-dev libjs-leaflet ffmpeg xvfb xauth)
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
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}

case "${1:-}" in
run)
    install_packages
    build
    "$BUILD_DIR"/tests/fixtures/velqor-samples "$BUILD_DIR"/samples
    "$BUILD_DIR"/extract/velqor-extract "$BUILD_DIR"/samples/*
    ;;
test)
    install_packages
    build
    cd "$BUILD_DIR"
    xvfb-run -a ctest --output-on-failure -j"$(nproc)"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 64
    ;;
esac
