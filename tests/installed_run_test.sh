#!/usr/bin/env bash
# The installed logger, started the way the desktop starts it: install into a
# scratch DESTDIR, take the Exec line of the installed menu entry, run it with
# the staging tree's bin/ on PATH, on an X server of its own, against the
# installed simulator. When the system allows a mount namespace, the build
# folder is hidden under an empty tmpfs first, so the program cannot lean on
# anything in it. The main window must appear with the window class the menu
# entry names, the simulator must see reads, and SIGTERM must end the
# program with status 0.
#
# Usage: installed_run_test.sh CMAKE BUILD_DIR PORT
# PORT is the one in the gateway host the program was built with.
# Exit status 77 (skipped) when Xvfb or xdotool is missing.
set -u

cmake=${1:?cmake}
build=$(cd "${2:?build folder}" && pwd)
port=${3:-8031}
gui_args=("$@")

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_enter_namespaces -n -m
gui_init

stage=$work/stage
DESTDIR=$stage "$cmake" --install "$build" --prefix /usr >"$work/install.out" 2>&1 ||
    { cat "$work/install.out" >&2; echo "cmake --install failed" >&2; exit 1; }

desktop=$stage/usr/share/applications/org.kestrin3.logger.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[[ $exec_line != *%* ]] || { echo "the Exec line takes arguments: $exec_line" >&2; exit 1; }
app=$(PATH=$stage/usr/bin command -v "$exec_line") || { echo "Exec=$exec_line is not in $stage/usr/bin" >&2; exit 1; }
sim=$stage/usr/bin/onewire-gateway-sim

if [[ -n ${KESTRIN_MNTNS:-} ]]; then
    mount -t tmpfs -o size=1m,mode=0555 none "$build" || { echo "cannot hide $build" >&2; exit 1; }
    gui_mounts=$build
    [[ -z $(ls -A "$build") ]] || { echo "$build is still visible" >&2; exit 1; }
    echo "build folder $build hidden under an empty tmpfs"
else
    echo "note: no mount namespace here; the build folder stays visible" >&2
fi

start_simulator --conversion-ms 5
sim_pid=${pids[0]}
start_xvfb

home=$work/home
if start_program "$home"; then
    echo "main window $main_window of $app"
    if [[ -n $wm_class ]]; then
        xdotool search --class "^$wm_class\$" 2>/dev/null | grep -qx "$main_window" ||
            fail "the main window's class is not StartupWMClass=$wm_class"
    fi
    # A few passes over the sensors against the 5 ms simulator.
    sleep 2
    terminate "$home"
fi

kill -TERM "$sim_pid"
wait "$sim_pid"
requests=$(sed -n 's/.*stopped after \([0-9]*\) requests.*/\1/p' "$work/sim.out")
echo "the simulator answered ${requests:-no} requests"
((${requests:-0} > 0)) || fail "the installed program read nothing from the simulator"

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "PASS"
