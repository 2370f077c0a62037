#!/usr/bin/env bash
# make screenshots: the README's pictures, taken of the real programs on an
# X server of their own with a window manager, so they never go stale.
#   docs/main-window.png  kestrin-3 against the simulator, logging on
#   docs/logview.png      kestrin-logview on a week of records written by
#                         the logger's own record code
#   docs/logview-dark.png the same under a dark desktop theme
#   docs/report.png       a page of the PDF report of a day of that week
# Usage: screenshots.sh BUILD_DIR
set -u
build=${1:-build}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
app=$build/src/app/kestrin-3
sim=$build/tools/gateway-sim/onewire-gateway-sim
viewer=$build/src/logview/kestrin-logview
lvbench=$build/bench/logview_bench
for f in "$app" "$sim" "$viewer" "$lvbench"; do
    [[ -x $f ]] || { echo "screenshots: $f is not built" >&2; exit 1; }
done

source "$root/tests/gui_driver.sh"
port=$(sed -n 's/^KESTRIN_REAL_PROGRAM_PORT:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)
gui_program_args "$app" "$sim" "${port:-8031}"
# In its own network, the script runs again with the same build folder.
gui_args=("$build")
gui_enter_namespaces -n
gui_init import convert pdftoppm

# A window with its frame, as a desktop shows it.
shoot() {
    import -frame -window "$1" "$2"
    echo "screenshots: $2"
}

export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
start_simulator --conversion-ms 60
start_xvfb
start_wm
program_locale=en_US.UTF-8
run=$work/run
# A log where a user would keep one, not in the script's own folder.
logs=/tmp/lab-logs
mkdir -p "$logs"
trap 'gui_cleanup; rm -rf "$logs"' EXIT
start_program "$run" && open_file_dialog || exit 1
choose_file "$logs/freezer-room.txt"
wait_for 15 has_lines "$logs/freezer-room.txt" 3 || { echo "screenshots: the logger wrote no records" >&2; exit 1; }
sleep 3
xdotool mousemove 1270 1000
sleep 0.5
shoot "$main_window" "$root/docs/main-window.png"
kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null

week=$logs/week.txt
QT_QPA_PLATFORM=offscreen "$lvbench" make-log "$week" 70000 >/dev/null 2>&1
start_viewer "$work/viewer" "$week" || exit 1
xdotool windowsize --sync "$viewer_window" 1200 800 2>/dev/null
sleep 1
# The readout under the pointer, as a user sees it.
xdotool mousemove --window "$viewer_window" 520 260
sleep 0.8
shoot "$viewer_window" "$root/docs/logview.png"
kill "$viewer_pid" 2>/dev/null
wait "$viewer_pid" 2>/dev/null

# The same under a dark theme, handed over as Plasma's Breeze Dark hands
# it to Qt programs.
write_dark_theme "$work/dark/config"
XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 start_viewer "$work/dark" "$week" || exit 1
xdotool windowsize --sync "$viewer_window" 1200 800 2>/dev/null
sleep 1
xdotool mousemove --window "$viewer_window" 520 260
sleep 0.8
shoot "$viewer_window" "$root/docs/logview-dark.png"

# The report's page for the second sensor, which leaves its range.
cat >"$work/site.ini" <<'SITE'
[gateway]
host = 192.0.2.17
[bridge]
site = lab-a
[sensor.1]
rom = 9C000000B4A89828
name = Freezer 2
[sensor.2]
rom = 06000000A4EC7428
name = Server room
low = 17
high = 20.5
SITE
QT_QPA_PLATFORM=offscreen "$viewer" --report pdf --site "$work/site.ini" --from 2026-01-07 --to 2026-01-07 \
    "$week" -o "$work/report.pdf" 2>/dev/null || { echo "screenshots: no report" >&2; exit 1; }
pdftoppm -png -r 70 -f 2 -l 2 -singlefile "$work/report.pdf" "$work/report"
cp "$work/report.png" "$root/docs/report.png"
echo "screenshots: $root/docs/report.png"
((failures == 0))
