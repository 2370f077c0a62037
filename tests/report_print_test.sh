#!/usr/bin/env bash
# File > Print Report... in the real kestrin-logview window, under openbox on
# an X server of its own, as a user in Germany with a site file in the XDG
# place: the options dialog, the preview (a screenshot of it is kept), the
# print dialog's "Print to File (PDF)". The PDF it prints is read back with
# pdftotext and pdfinfo.
#
# Usage: report_print_test.sh KESTRIN_LOGVIEW LOGVIEW_BENCH [SCREENSHOT]
set -u

viewer=${1:?path of kestrin-logview}
bench=${2:?path of logview_bench}
keep=${3:-}

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_init import pdftotext pdfinfo openbox

locale=de_DE.UTF-8
export TZ=America/New_York
home=$work/home
mkdir -p "$home/config/Kestrin-3"
cat >"$home/config/Kestrin-3/site.ini" <<'SITE'
[gateway]
host = 192.0.2.17
[bridge]
site = lab-a
[sensor.1]
rom = 9C000000B4A89828
name = Freezer 2
[sensor.2]
rom = 06000000A4EC7428
name = Vaccines
low = 17
high = 20.5
SITE
log=$work/fridge.log
# Two days at the real pace, by the record writer, in the user's locale.
LANG=$locale LC_ALL=$locale QT_QPA_PLATFORM=offscreen "$bench" make-log "$log" 20000 || { echo "no log" >&2; exit 1; }

start_xvfb
start_wm
HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb LANG=$locale LC_ALL=$locale \
    "$viewer" "$log" >"$work/app.out" 2>&1 &
app_pid=$!
pids+=("$app_pid")

# A window of this program whose title matches; sets found.
window_named() {
    found=$(xdotool search --all --pid "$app_pid" --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [[ -n $found ]]
}
screenshot() { import -window root "$work/$1.png"; }
finish() {
    ((failures == 0)) || cat "$work/app.out" >&2
    [[ -n $keep && -f $work/preview.png ]] && cp "$work/preview.png" "$keep"
    exit $((failures > 0))
}

wait_for 15 window_named '20\.000 records' || { fail "the window did not show the log"; finish; }
main=$found
# Keys go to the focused window, as a user's would.
xdotool windowactivate --sync "$main"
xdotool key ctrl+p
wait_for 10 window_named '^Report$' || { fail "no report options after Ctrl+P"; finish; }
xdotool windowactivate --sync "$found"
xdotool key Return
wait_for 20 window_named '^Print Report$' || { fail "no print preview"; finish; }
preview=$found
sleep 1.5
screenshot preview

# The preview's last tool button prints: it opens the print dialog.
eval "$(xdotool getwindowgeometry --shell "$preview")"
xdotool mousemove --window "$preview" $((WIDTH - 21)) 17 click 1
wait_for 10 window_named '^Print$' || { fail "no print dialog"; finish; }
dialog=$found
pdf=$work/printed.pdf
xdotool windowactivate --sync "$dialog"
# Alt+F: "Output file"; its name replaced, then Print.
xdotool key alt+f ctrl+a
xdotool type --delay 5 "$pdf"
# The file name's completer may still be showing a popup of the folder's
# files (slow in a sanitizer build), and a Return then only closes it: the
# key is given again while the dialog stays up.
dialog_gone() { ! xdotool search --all --pid "$app_pid" --onlyvisible --name '^Print$' >/dev/null 2>&1; }
for attempt in 1 2 3 4; do
    sleep 1
    xdotool key Return
    wait_for 5 dialog_gone && break
done
dialog_gone || { fail "the print dialog stays open after Return"; finish; }
printed() { [[ -s $pdf ]] && pdfinfo "$pdf" >/dev/null 2>&1; }
# A sanitizer build on a busy machine takes its time over 22 pages.
wait_for 120 printed || { fail "nothing printed to $pdf"; finish; }

info=$(pdfinfo "$pdf")
text=$(pdftotext -layout "$pdf" -)
grep -q 'Page size:.*(A4)' <<<"$info" || fail "not A4 under $locale: $(grep 'Page size' <<<"$info")"
pages=$(awk '/^Pages:/ { print $2 }' <<<"$info")
# Eleven sensors, each day of the log, each on a page or more.
((pages >= 22)) || fail "$pages pages"
grep -q 'Temperature record: lab-a' <<<"$text" || fail "no site in the header"
grep -q '2 Vaccines, ROM 06000000A4EC7428' <<<"$text" || fail "no sensor name and ROM id"
grep -q 'Allowed range *17,0 °C to 20,5 °C' <<<"$text" || fail "no allowed range in German form"
grep -q 'Excursions in detail' <<<"$text" || fail "no excursions listed"
grep -q 'The site file names 2 sensors, the log has 11' <<<"$text" || fail "no word of the site file's 2 sensors"
sum=$(sha256sum "$log" | cut -d' ' -f1)
grep -q "$sum" <<<"$text" || fail "the footer's SHA-256 is not the log's ($sum)"
grep -q "Page $pages of $pages" <<<"$text" || fail "no 'Page $pages of $pages'"
kill -0 "$app_pid" 2>/dev/null || fail "the viewer is gone after printing"
finish
