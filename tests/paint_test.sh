#!/usr/bin/env bash
# What the window shows at any gateway pace: the real program under Xvfb
# with a window manager, against the simulator at several conversion
# delays. A few seconds in, a screenshot of the window must show every
# control drawn: toolbar pictures, the address, the sensor number and
# temperature, the buttons' captions, the status bar's panels. A region
# that was never painted, or a field with no text, is one flat colour.
#
# Usage: paint_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
set -u


source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init import convert

start_xvfb
start_wm

# Regions of the client window in pixels (twips / 15, below the 22-pixel
# menu bar), each a little inside its control so borders do not count.
regions=(
    "toolbar 4 26 230 16"
    "cboAddress 132 48 700 15"
    "txtSensorNum 28 178 60 33"
    "txtTemperature 28 250 60 33"
    "btnFileWrite 134 412 100 37"
    "btnStop 790 412 100 37"
    "pageView 134 90 300 100"
    "statusbar.panel1 4 549 300 12"
    "statusbar.time 915 549 80 12"
)

# Standard deviation of a region's colours: 0 for a flat one.
spread() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:; }

for delay in 0 5 20 50 200; do
    start_simulator --conversion-ms "$delay"
    sim_pid=${pids[-1]}
    run=$work/run$delay
    start_program "$run" || exit 1
    sleep 3
    shot=$work/shot$delay.png
    import -window "$main_window" "$shot"
    [[ -n ${KESTRIN_SCREENSHOT_DIR:-} ]] && cp "$shot" "$KESTRIN_SCREENSHOT_DIR/paint-$delay.png"
    blank=()
    for region in "${regions[@]}"; do
        read -r name x y w h <<<"$region"
        s=$(spread "$shot" "${w}x${h}+${x}+${y}")
        awk -v s="$s" 'BEGIN { exit !(s > 0.02) }' || blank+=("$name($s)")
    done
    ((${#blank[@]} == 0)) || fail "$delay ms a read: not drawn: ${blank[*]}"
    echo "$delay ms a read: ${#regions[@]} regions checked${blank:+, blank: ${blank[*]}}"
    kill "$app_pid" "$sim_pid" 2>/dev/null
    wait "$app_pid" "$sim_pid" 2>/dev/null
done

((failures == 0)) || exit 1
echo "PASS"
