#!/usr/bin/env bash
# Installs every Debian package that building, running, testing and benchmarking
# AC-Wattmeter needs. Does nothing when they are all present already.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev
    libgl-dev
    libsndfile1-dev libsoxr-dev libfftw3-dev
    libmosquitto-dev mosquitto mosquitto-clients
    libgtest-dev googletest libbenchmark-dev
    pulseaudio pulseaudio-utils
    xvfb xauth fonts-liberation
    dpkg-dev desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=120 update
$SUDO apt-get -o DPkg::Lock::Timeout=120 install -y --no-install-recommends "${missing[@]}"
