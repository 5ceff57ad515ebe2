# Shared by run.sh and test.sh: install what is missing, then configure and build.
# shellcheck shell=bash

QR_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libmodbus-dev
             libbenchmark-dev fonts-wqy-microhei xvfb xauth mbpoll sqlite3 libsqlite3-dev poppler-utils
             libmosquitto-dev mosquitto mosquitto-clients
             qt6-tools-dev qt6-l10n-tools dbus-daemon)

qr_install_missing() {
    local missing=()
    for p in "${QR_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# qr_build DIR [cmake options...] [-- TARGET...]: builds the targets named
# after "--", everything when none are.
qr_build() {
    local dir=$1; shift
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    for t in "$@"; do targets+=(--target "$t"); done
    cmake -S "$QR_ROOT" -B "$dir" "${options[@]}" >/dev/null
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}
