#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only those missing.
set -euo pipefail
packages=(
    cmake g++ make pkg-config ninja-build
    qt6-base-dev
    libboost-dev libboost-system-dev libboost-thread-dev libboost-date-time-dev
    libturbojpeg0-dev
    libavcodec-dev libswscale-dev libavutil-dev libavformat-dev ffmpeg
    googletest libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth imagemagick poppler-utils x11-utils
    dpkg-dev fakeroot file man-db desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
