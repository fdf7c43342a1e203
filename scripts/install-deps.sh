#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only those missing.
set -euo pipefail
packages=(
    cmake g++ make pkg-config ninja-build
    qt6-base-dev qt6-svg-dev
    libboost-dev libboost-system-dev libboost-thread-dev libboost-date-time-dev
    libturbojpeg0-dev
    libavcodec-dev libswscale-dev libavutil-dev libavformat-dev ffmpeg
    googletest libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth imagemagick poppler-utils x11-utils
    dpkg-dev fakeroot file man-db desktop-file-utils lintian appstream
    locales jq python3
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The tests run a second time as a Russian desktop does, decimal comma and all.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
    echo "Generating the ru_RU.UTF-8 locale"
    "${sudo[@]}" sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
fi
