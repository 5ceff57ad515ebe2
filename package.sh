#!/usr/bin/env bash
# Build the Debian package qr5300m_<version>_amd64.deb in this folder.
#
#   ./package.sh           build the package
#   ./package.sh --check   build it, inspect it (contents, desktop entry,
#                          AppStream data, lintian), install it for real, run
#                          the installed program headless against the installed
#                          simulator, and remove it again
#
# Installs the tools it needs (with sudo when not root); the --check mode
# installs and removes the package on this machine.
set -euo pipefail
QR_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$QR_ROOT/scripts_common.sh"

check=0
case "${1-}" in
    "") ;;
    --check) check=1 ;;
    *) echo "Usage: $0 [--check]" >&2; exit 2 ;;
esac

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# What the build needs, plus dpkg-shlibdeps and rsvg-convert for the package.
QR_PACKAGES+=(dpkg-dev librsvg2-bin)
[ $check -eq 1 ] && QR_PACKAGES+=(lintian desktop-file-utils appstream)
qr_install_missing

# A release build with all of Debian's hardening flags, without tests or benchmarks.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
build="$QR_ROOT/build-pkg"
cmake -S "$QR_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DQR_TESTS=OFF -DQR_BENCH=OFF -DQR_SANITIZE=OFF -DQR_PACKAGE=ON \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="qr5300m_${version}_$(dpkg --print-architecture).deb"
rm -f "$build/$deb"
(cd "$build" && cpack -G DEB >/dev/null)
mv "$build/$deb" "$QR_ROOT/$deb"
echo "Built $deb ($(du -k "$QR_ROOT/$deb" | cut -f1) KiB)"
[ $check -eq 0 ] && exit 0

# ---- the checks ----
cd "$QR_ROOT"
fail() { echo "package check FAILED: $*" >&2; exit 1; }
run_dir=$(mktemp -d /tmp/qr5300m-pkgcheck.XXXXXX)
sim_pid=""; app_pid=""
cleanup() {
    for pid in $app_pid $sim_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    rm -rf "$run_dir"
}
trap cleanup EXIT

echo "== package information"
dpkg-deb --field "$deb"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6core6' || fail "no computed shared-library dependencies"

echo "== contents"
expected=(
    ./usr/bin/qr5300m
    ./usr/bin/qr5300m-sim
    ./usr/share/applications/qr5300m.desktop
    ./usr/share/metainfo/io.github.qr5300m.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/qr5300m.svg
    ./usr/share/man/man1/qr5300m.1.gz
    ./usr/share/man/man1/qr5300m-sim.1.gz
    ./usr/share/doc/qr5300m/copyright
    ./usr/share/doc/qr5300m/changelog.gz
    ./lib/systemd/system/qr5300m-headless@.service
)
for size in 16 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/qr5300m.png")
done
dpkg-deb --contents "$deb" | awk '{print $6}' >"$run_dir/contents"
for f in "${expected[@]}"; do
    grep -qxF "$f" "$run_dir/contents" || fail "$f is not in the package"
done
echo "all ${#expected[@]} expected files present"
files=$(grep -v '/$' "$run_dir/contents" | sed 's/^\.//')

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" | tee "$run_dir/lintian" || fail "lintian found errors"
echo "lintian: $(grep -c '^E:' "$run_dir/lintian" || true) errors, $(grep -c '^W:' "$run_dir/lintian" || true) warnings"

echo "== install"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb" >/dev/null
for f in $files; do [ -e "$f" ] || fail "$f was not installed"; done
desktop-file-validate /usr/share/applications/qr5300m.desktop || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/io.github.qr5300m.metainfo.xml || fail "AppStream data"
[ "$(/usr/bin/qr5300m --version | head -1)" = "qr5300m $version" ] || fail "qr5300m --version"
/usr/bin/qr5300m-sim --help | grep -q -- '--port-dir' || fail "qr5300m-sim --help"
systemctl is-enabled qr5300m-headless@ttyUSB0.service >/dev/null 2>&1 && fail "the unit is enabled"

echo "== the installed program, headless, against the installed simulator"
mkfifo "$run_dir/sim.in"
/usr/bin/qr5300m-sim --port-dir "$run_dir" --port 1 <"$run_dir/sim.in" >"$run_dir/sim.log" 2>&1 &
sim_pid=$!
exec 3>"$run_dir/sim.in"
for _ in $(seq 50); do grep -q '^ready' "$run_dir/sim.log" && break; sleep 0.1; done
grep -q '^ready' "$run_dir/sim.log" || fail "the simulator did not start: $(cat "$run_dir/sim.log")"
printf 'freeze on\nset ir 1 321\n' >&3
db="$run_dir/data/log.db"
mkdir -p "$run_dir/data"
QR5300M_PORT_DIR="$run_dir" XDG_CONFIG_HOME="$run_dir/config" XDG_DATA_HOME="$run_dir/data" \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    /usr/bin/qr5300m --headless --port 1 --db "$db" 2>"$run_dir/headless.log" &
app_pid=$!
records() { sqlite3 "$db" "SELECT count(*) FROM pv_data WHERE w_v0 = 321" 2>/dev/null || echo 0; }
for _ in $(seq 100); do [ "$(records)" -ge 3 ] && break; sleep 0.2; done
[ "$(records)" -ge 3 ] || fail "no records written: $(cat "$run_dir/headless.log")"
kill -TERM "$app_pid"
rc=0; wait "$app_pid" || rc=$?
app_pid=""
[ $rc -eq 0 ] || fail "the headless logger exited $rc after SIGTERM: $(cat "$run_dir/headless.log")"
[ "$(sqlite3 "$db" 'PRAGMA integrity_check')" = ok ] || fail "the database is damaged"
echo "headless logger: $(records) records of the simulator's value, exit 0 after SIGTERM"
printf 'quit\n' >&3
exec 3>&-
wait "$sim_pid" || fail "the simulator did not end cleanly"
sim_pid=""

echo "== remove"
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq qr5300m >/dev/null
for f in $files; do [ ! -e "$f" ] || fail "$f is left after removal"; done
[ ! -e /usr/share/doc/qr5300m ] || fail "/usr/share/doc/qr5300m is left after removal"
status=$(dpkg-query -W -f='${db:Status-Status}' qr5300m 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "dpkg still keeps the package: $status"
echo "package check passed: $deb ($(du -k "$deb" | cut -f1) KiB)"
