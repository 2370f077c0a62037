#!/usr/bin/env bash
# The real kestrin-logview as a screen reader meets it: its accessibility
# tree read over AT-SPI on a private session bus, the way Orca reads it,
# under Xvfb with a window manager, on a log of known readings and a site
# file that names two of its four sensors.
# - Every control a keyboard user can reach has a name.
# - The chart is a chart; its description names the log, the time range
#   (the log's own wall-clock times, whatever the zone), and each visible
#   sensor, by the site's names, with its minimum and maximum.
# - The table is named and gives its column headers through its table
#   interface; the legend's entries are check boxes named by the sensors.
# - From the keyboard: + zooms and the description tells the new range; the
#   arrows move the cursor and the chart's name tells the readout, the same
#   as the readout under the chart shows; Space on a legend entry hides its
#   line and the description leaves the sensor out.
#
# Usage: logview_screenreader_test.sh KESTRIN_LOGVIEW
set -u

viewer=${1:?path of kestrin-logview}
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/gui_driver.sh"
gui_init python3
start_xvfb
start_wm
start_accessibility
program_locale=en_US.UTF-8

log=$work/records.txt
# 3000 records, 8 s apart, from 10:00:00 on 8 December 2026 (local time);
# reading j swings between 16 + j and 20 + j.
python3 "$here/makelog.py" "$log" 3000 4
cat >"$work/site.ini" <<'INI'
[gateway]
host = 192.0.2.17
[sensor.1]
rom = 40000000B491CF28
name = Freezer 2
[sensor.2]
rom = 9C000000B4A89828
[sensor.3]
rom = EC00000027A23328
name = "Cold room #3"
[sensor.4]
rom = B900000027CA8F28
INI
start_viewer "$work/home" --site "$work/site.ini" "$log" || exit 1
reader() { "${atspi[@]}" "$1" --app kestrin-logview "${@:2}"; }
reader wait --window "records.txt (3,000 records) - Kestrin-3 Log Viewer" ||
    { fail "the window is not on the accessibility bus"; exit 1; }
xdotool windowactivate --sync "$viewer_window"

unnamed=$(reader focusable --unnamed) || fail "focusable controls without a name: $(tr '\n' ';' <<<"$unnamed")"
reader focusable >"$work/focusable"
names=("1 Freezer 2" "Sensor 2" "3 Cold room #3" "Sensor 4")
for name in "${names[@]}"; do
    grep -qP "^check box\t\Q$name\E\t\tchecked," "$work/focusable" || fail "no checked legend entry [$name]"
done
grep -qP '^table\tFigures by sensor\t' "$work/focusable" || fail "the table is not named"
table=$(reader headers "Figures by sensor")
[[ $table == $'Sensor\tMinimum\tMaximum\tMean\tLast\tRecords\n4\t6' ]] || fail "the table's headers and size are [$table]"

# role, name, description of the chart
chart() { reader dump | grep -P '^ *chart\t' | sed 's/^ *//'; }
description() { chart | cut -f3; }
chart_name() { chart | cut -f2; }
[[ $(chart_name) == "Temperature chart" ]] || fail "the chart is called [$(chart_name)]"
first=$(description)
echo "the chart says: $first"
want="records.txt, 12/8/2026 10:00:00 AM to 12/8/2026 4:39:52 PM, 3,000 records. 1 Freezer 2: minimum 16 °C, maximum 20 °C. Sensor 2: minimum 17 °C, maximum 21 °C. 3 Cold room #3: minimum 18 °C, maximum 22 °C. Sensor 4: minimum 19 °C, maximum 23 °C."
[[ $first == "$want" ]] || fail "the chart's description is [$first], not [$want]"
[[ $(reader focused | cut -f1,2) == $'chart\tTemperature chart' ]] || fail "the chart does not have the focus at start"

# What a listener hears while the keys go in.
reader listen --event object:property-change --seconds 8 >"$work/heard" 2>"$work/listen.err" &
listener=$!
pids+=("$listener")
wait_for 5 grep -q listening "$work/listen.err" || fail "the listener did not start"
xdotool key --delay 300 plus Right Right
changed() { [[ $(description) != "$first" && $(chart_name) == *" 1:20:08 PM "* ]]; }
# The second Right lands on the record after the middle one.
wait_for 5 changed
zoomed=$(description)
readout=$(reader dump | grep -P '^ *label\t' | cut -f2 | grep -F 'PM')
spoken=$(chart_name)
xdotool key --delay 300 Tab space
left_out() { [[ $(description) == *Hidden:* ]]; }
wait_for 5 left_out
hidden=$(description)
wait "$listener"

# A wheel notch's zoom: a fifth less, around the middle.
[[ $zoomed =~ ^records\.txt,\ 12/8/2026\ 10:(39|40):[0-9]{2}\ AM\ to\ 12/8/2026\ (3:59|4:00):[0-9]{2}\ PM,\ 2,(399|400|401)\ records\.\ 1\ Freezer\ 2:\ minimum ]] ||
    fail "after +, the description is [$zoomed]"
[[ -n $readout && $spoken == "Temperature chart: $readout" ]] || fail "after Right, the chart is called [$spoken], the readout says [$readout]"
[[ $readout =~ ^12/8/2026\ 1:20:08\ PM\ +1\ Freezer\ 2:\ [0-9.]+\ +2:\ [0-9.]+\ +3\ Cold\ room\ #3:\ [0-9.]+\ +4:\ [0-9.]+$ ]] ||
    fail "the readout is [$readout]"
[[ $hidden == *"Hidden: 1 Freezer 2." && $hidden != *"1 Freezer 2: minimum"* && $hidden == *"Sensor 2: minimum"* ]] ||
    fail "after Space on the first legend entry, the description is [$hidden]"
reader focusable >"$work/focusable"
grep -qP '^check box\t1 Freezer 2\t\t(enabled|focusable)' "$work/focusable" || fail "the first legend entry is still checked"
# Heard from the chart: its new summary after the zoom, its name after
# each Right (the readout under it follows along, as a label).
heard() { awk -F'\t' -v what="$1" -v role="$2" '$2 == what && $5 == role' "$work/heard" | wc -l; }
(($(heard accessible-description chart) >= 2)) || fail "heard $(heard accessible-description chart) description changes of the chart"
(($(heard accessible-name chart) == 2)) || fail "heard $(heard accessible-name chart) name changes of the chart for two Rights"
(($(heard accessible-name label) >= 2)) || fail "the readout's label told $(heard accessible-name label) changes"
[[ -n ${KESTRIN_SCREENSHOT_DIR:-} ]] && import -window root "$KESTRIN_SCREENSHOT_DIR/logview-screenreader.png"

((failures == 0)) || { cat "$work/heard" >&2; exit 1; }
echo "PASS"
