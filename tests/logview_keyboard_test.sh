#!/usr/bin/env bash
# The real kestrin-logview from the keyboard alone, as someone without a
# mouse uses it: keys sent with xdotool, the pointer never moved or pressed,
# under Xvfb with a window manager. The focus and the chart's description
# are read over AT-SPI, what is drawn from screenshots (kept in
# KESTRIN_SCREENSHOT_DIR when set):
# - at start the chart has the focus; Right draws the cursor's dashed line;
# - + zooms in; Tab reaches the first legend entry, Space hides its line
#   (its colour leaves the plot); Shift+Tab goes back, Home shows the whole
#   log again; View > Reset View by its access keys does the same;
# - under a dark theme, handed over by the desktop as KDE hands it to Qt
#   programs (kdeglobals), the chart's background is the theme's and the
#   lines are drawn in the colours for dark backgrounds.
#
# Usage: logview_keyboard_test.sh KESTRIN_LOGVIEW
set -u

viewer=${1:?path of kestrin-logview}
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/gui_driver.sh"
gui_init import convert python3
start_xvfb
start_wm
start_accessibility
program_locale=en_US.UTF-8
shots=${KESTRIN_SCREENSHOT_DIR:-$work}

log=$work/records.txt
python3 "$here/makelog.py" "$log" 3000 4
light=(2748e6 ec3529 39953e 961935)
dark=(2ea1ff e5a304 3bf254 ee4b33)

reader() { "${atspi[@]}" "$1" --app kestrin-logview "${@:2}"; }
description() { reader dump | grep -P '^ *chart\t' | cut -f3; }
focus_on() { [[ $(reader focused | cut -f1,2) == "$1" ]]; }
expect_focus() {
    wait_for 3 focus_on "$1" || fail "$2: the focus is on [$(reader focused | cut -f1,2)], not [$1]"
}
key() {
    xdotool key --delay 150 "$@"
    sleep 0.2
}
# A screenshot kept as $1; the rest, when given, is a check that it is
# taken again until it holds (for up to 5 s: a slow machine draws late).
shoot() {
    local name=$1
    shift
    snap() {
        import -window root "$work/shot.png" && plot_colours >"$work/colours" && { (($# == 0)) || "$@"; }
    }
    wait_for 5 snap "$@"
    local status=$?
    cp "$work/shot.png" "$shots/logview-keyboard-$name.png"
    return $status
}
says() { [[ $(description) == $1 ]]; }
not_says() { [[ $(description) != "$1" ]]; }
# The plot's pixels as "colour count" lines, most frequent first.
plot_colours() {
    eval "$(xdotool getwindowgeometry --shell "$viewer_window")"
    convert "$work/shot.png" -crop "$((WIDTH * 80 / 100))x$((HEIGHT * 50 / 100))+$X+$((Y + 70))" -depth 8 txt:- |
        awk 'NR > 1 { ++n[tolower(substr($3, 2, 6))] } END { for (c in n) print c, n[c] }' | sort -k2,2nr
}
# Counted once a screenshot, in $work/colours.
pixels_of() { awk -v c="$1" '$1 == c { print $2 }' "$work/colours" | grep . || echo 0; }
# The tallest run of one colour in a single pixel column: the cursor's line.
tallest_column() {
    eval "$(xdotool getwindowgeometry --shell "$viewer_window")"
    convert "$work/shot.png" -crop "$((WIDTH * 80 / 100))x$((HEIGHT * 50 / 100))+$X+$((Y + 70))" -depth 8 txt:- |
        awk -F'[,: ]+' -v c="#$1" 'NR > 1 && toupper($0) ~ toupper(c) { ++n[$1] } END { m = 0; for (x in n) if (n[x] > m) m = n[x]; print m }'
}

start_viewer "$work/home" "$log" || exit 1
reader wait --window "records.txt (3,000 records) - Kestrin-3 Log Viewer" || { fail "not on the accessibility bus"; exit 1; }
xdotool windowactivate --sync "$viewer_window"
expect_focus $'chart\tTemperature chart' "at start"
whole=$(description)
all_drawn() { local c; for c in "$@"; do (($(pixels_of "$c") >= 150)) || return 1; done; }
shoot start all_drawn "${light[@]}" || fail "at start, not every line is drawn"

key Right
expect_focus $'chart\tTemperature chart: 12/8/2026 1:20:00 PM   1: 16   2: 18.1875   3: 21.125   4: 23' "after Right"
# The dashed line: black at 150/255 over white.
cursor_drawn() { (($(tallest_column 696969) >= 100)); }
shoot cursor cursor_drawn || fail "after Right, no cursor line in the plot (tallest column $(tallest_column 696969))"

key plus plus
wait_for 5 not_says "$whole" || fail "after + +, the description is still [$whole]"
shoot zoomed

key Tab
expect_focus $'check box\tSensor 1' "after Tab"
key space
wait_for 5 says "*Hidden: Sensor 1." || fail "after Space, the description is [$(description)]"
line_hidden() { (($(pixels_of "${light[0]}") < 20)) && all_drawn "${light[@]:1}"; }
shoot hidden line_hidden || fail "after Space, line 1 is drawn in $(pixels_of "${light[0]}") pixels, or another is gone"

key shift+Tab
expect_focus $'chart\tTemperature chart: 12/8/2026 1:20:00 PM   1: 16   2: 18.1875   3: 21.125   4: 23' "after Shift+Tab"
key Home
# The whole range again, sensor 1 still hidden.
wait_for 5 says "${whole%% Sensor 1:*} Sensor 2:*Hidden: Sensor 1." ||
    fail "after Home, the description is [$(description)], at start it was [$whole]"
reset=$(description)
shoot reset
key shift+Right minus
wait_for 5 not_says "$reset" || fail "Shift+Right and - left the view as it was"
key alt+v r
wait_for 5 says "$reset" || fail "View > Reset View by Alt+V, R: the description is [$(description)]"

# The same log under a dark theme, as Plasma's Breeze Dark hands it over.
kill "$viewer_pid"
wait "$viewer_pid" 2>/dev/null
write_dark_theme "$work/dark/config"
XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 start_viewer "$work/dark" "$log" || exit 1
background() { head -n1 "$work/colours" | cut -d' ' -f1; }
dark_drawn() {
    local c
    [[ $(background) == 232629 ]] && all_drawn "${dark[@]}" || return 1
    for c in "${light[@]}"; do (($(pixels_of "$c") < 20)) || return 1; done
}
shoot dark dark_drawn ||
    fail "under the dark theme the plot's commonest colour is #$(background) (the theme's is #232629), or its lines are not the dark set's"

((failures == 0)) || exit 1
echo "PASS"
