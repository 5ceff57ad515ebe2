#!/usr/bin/env bash
# The demo: install what is missing, build, start the instrument simulator on
# a virtual serial port and the program pointed at it.
set -euo pipefail
QR_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$QR_ROOT/scripts_common.sh"

qr_install_missing
# Only what the demo runs: the program and the simulator (./test.sh builds the rest).
qr_build "$QR_ROOT/build" -DCMAKE_BUILD_TYPE=Release -DQR_TESTS=OFF -DQR_BENCH=OFF -- qr5300m qr5300m-sim

run_dir=$(mktemp -d /tmp/qr5300m-demo.XXXXXX)
export QR5300M_PORT_DIR="$run_dir"
mkdir -p "$QR_ROOT/build/demo-data"
export QR5300M_DB="${QR5300M_DB:-$QR_ROOT/build/demo-data/Rdatabj.db}"

"$QR_ROOT/build/sim/qr5300m-sim" --port-dir "$run_dir" --port 1 --pace </dev/null >"$run_dir/sim.log" 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true; rm -rf "$run_dir"' EXIT
for _ in $(seq 50); do
    [ -e "$run_dir/COM1" ] && break
    sleep 0.1
done
[ -e "$run_dir/COM1" ] || { echo "the simulator did not start:"; cat "$run_dir/sim.log"; exit 1; }

echo "Simulator on port 1 ($run_dir/COM1). Database: $QR5300M_DB"
echo "Press 打开 to open the link; 退出 or Esc ends the program."
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running under xvfb-run."
    xvfb-run -a -s "-screen 0 1280x1024x24" "$QR_ROOT/build/qr5300m" "$@"
else
    "$QR_ROOT/build/qr5300m" "$@"
fi
