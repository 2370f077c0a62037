#!/usr/bin/env bash
# The real kestrin-logview window under Xvfb with openbox, on one followed
# file that is changed under it: truncated, replaced by a text that is no
# log, by a log of fewer readings, then by a log of eleven again; and a file
# opened through File > Open that is empty. Between the steps the window is
# resized, zoomed with the wheel and reset with Home. It must keep running,
# and its title and chart must show the file as it is now: a screenshot
# tells which sensors' colours are drawn in the plot.
#
# Usage: logview_window_test.sh KESTRIN_LOGVIEW [SCREENSHOT_DIR]
set -u

viewer=${1:?path of kestrin-logview}
keep=${2:-}
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/gui_driver.sh"
gui_init import convert python3
start_xvfb
start_wm

export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
log=$work/records.txt
makelog() { python3 "$here/makelog.py" "$@"; }
# Replaced as the logger's own files never are, but users' files are: a new
# file renamed over the old one.
replace_with() { mv "$1" "$log"; }

makelog "$log" 3000 11
mkdir -p "$work/home"
HOME=$work/home XDG_CONFIG_HOME=$work/home QT_QPA_PLATFORM=xcb "$viewer" "$log" >"$work/viewer.out" 2>&1 &
viewer_pid=$!
pids+=("$viewer_pid")
window=
find_viewer() {
    window=$(xdotool search --onlyvisible --pid "$viewer_pid" --name 'Kestrin-3 Log Viewer' 2>/dev/null | head -n1)
    [[ -n $window ]]
}
wait_for 10 find_viewer || { fail "no viewer window"; cat "$work/viewer.out" >&2; exit 1; }

title() { xdotool getwindowname "$window" 2>/dev/null; }
shows() { [[ $(title) == *"$1"* ]]; }
alive() { kill -0 "$viewer_pid" 2>/dev/null; }

colours=(1f77b4 ff7f0e 2ca02c d62728 9467bd 8c564b e377c2 7f7f7f bcbd22 17becf 393b79)
# How many of the eleven line colours the plot shows (left of the legend).
lines_drawn() {
    local shot=$work/shot.png
    import -window root "$shot"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    convert "$shot" -crop "$((WIDTH * 80 / 100))x$((HEIGHT * 55 / 100))+$X+$((Y + 60))" -depth 8 txt:- |
        awk -v list="${colours[*]}" 'BEGIN { n = split(toupper(list), c, " "); for (i = 1; i <= n; ++i) want["#" c[i]] = i }
            NR > 1 { k = substr($3, 1, 7); if (k in want) ++seen[want[k]] }
            END { lines = 0; for (i = 1; i <= n; ++i) if (seen[i] >= 150) ++lines; print lines }'
}
snapshot() { [[ -n $keep ]] && mkdir -p "$keep" && cp "$work/shot.png" "$keep/$1.png"; }

# Resizes, zooms in and out around the chart's middle, and presses Home.
shake() {
    local what=$1 size
    for size in "900 600" "1200 850"; do
        xdotool windowsize --sync "$window" $size 2>/dev/null || xdotool windowsize "$window" $size
        sleep 0.3
        alive || { fail "$what: the viewer ended after a resize to $size"; return 1; }
    done
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $((WIDTH / 3)) $((HEIGHT / 4))
    xdotool click --repeat 4 --delay 60 4
    xdotool click --repeat 2 --delay 60 5
    sleep 0.2
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key --window "$window" Home
    sleep 0.5
    alive || { fail "$what: the viewer ended after zoom and Home"; return 1; }
}

# Checks the title's count and the number of lines the plot shows.
expect() {
    local what=$1 count=$2 want=$3 got
    wait_for 10 shows "($count records)" || fail "$what: the title reads '$(title)', not ($count records)"
    sleep 0.6
    got=$(lines_drawn)
    snapshot "$what"
    [[ $got == "$want" ]] || fail "$what: the plot shows $got of the line colours, not $want"
    echo "$what: '$(title)', $got lines"
}

expect "first log" 3,000 11
shake "first log" || exit 1
expect "first log, after zoom and Home" 3,000 11

: >"$log"
expect "truncated" 0 0
shake "truncated" || exit 1
expect "truncated, after zoom and Home" 0 0

printf 'Dear diary,\r\nno records today.\r\n' >"$work/prose.txt"
replace_with "$work/prose.txt"
expect "not a log" 0 0
shake "not a log" || exit 1

makelog "$work/four.txt" 1200 4 "2026-12-09 08:00:00"
replace_with "$work/four.txt"
expect "four readings" 1,200 4
shake "four readings" || exit 1
expect "four readings, after zoom and Home" 1,200 4

makelog "$work/eleven.txt" 2000 11 "2026-12-10 08:00:00"
replace_with "$work/eleven.txt"
expect "eleven again" 2,000 11
shake "eleven again" || exit 1

# File > Open of an empty file, then a resize.
: >"$work/empty.txt"
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key --window "$window" ctrl+o
dialog=
find_dialog() {
    dialog=$(xdotool search --onlyvisible --pid "$viewer_pid" 2>/dev/null | grep -vx "$window" | head -n1)
    [[ -n $dialog ]]
}
if wait_for 5 find_dialog; then
    xdotool windowactivate --sync "$dialog" 2>/dev/null
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 5 "$work/empty.txt"
    xdotool key Return
    wait_for 10 shows "empty.txt" || fail "File > Open: the title reads '$(title)'"
    expect "opened empty" 0 0
    shake "opened empty" || exit 1
else
    fail "File > Open showed no dialog"
fi

alive || fail "the viewer is gone"
((failures == 0)) || { cat "$work/viewer.out" >&2; exit 1; }
echo "PASS"
