#!/usr/bin/env bash
# Install what is missing, build with the sanitizers, run every test.
set -euo pipefail
QR_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$QR_ROOT/scripts_common.sh"

qr_install_missing
qr_build "$QR_ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DQR_SANITIZE=ON
cd "$QR_ROOT/build-test"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
