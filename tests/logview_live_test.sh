#!/usr/bin/env bash
# kestrin-logview on a log the real kestrin-3 is writing, against the real
# simulator, on an X server of its own:
#  1. while the logger logs, `kestrin-logview --csv` reads the file again and
#     again: each export succeeds, and each holds only whole records, the
#     earlier ones unchanged;
#  2. the viewer window follows the file: the record count in its title
#     reaches what the file held a second before, and a screenshot of the
#     screen shows all 11 lines in their colours;
#  3. after the logger ends, every record txtRecNum counted is in the CSV.
#
# Usage: logview_live_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM KESTRIN_LOGVIEW PORT [SCREENSHOT]
# SCREENSHOT, when given, keeps the screenshot there.
set -u

app=${1:?path of kestrin-3}
sim=${2:?path of onewire-gateway-sim}
viewer=${3:?path of kestrin-logview}
port=${4:-8031}
keep=${5:-}
gui_args=("$@")

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_enter_namespaces -n
gui_init import convert

start_simulator --conversion-ms 5
start_xvfb

run=$work/run
start_logging "$run" || exit 1

# --- 1: exports while the logger writes ----------------------------------
csv_rows() { tail -n +2 "$1" | tr -d '\r'; }
previous=
for round in 1 2 3 4 5; do
    LC_ALL=C.UTF-8 "$viewer" --csv "$log" -o "$work/round$round.csv" 2>"$work/round$round.err"
    status=$?
    ((status == 0)) || { fail "round $round: --csv ended with $status"; cat "$work/round$round.err" >&2; }
    [[ -s $work/round$round.err ]] && { fail "round $round: warnings"; cat "$work/round$round.err" >&2; }
    [[ $(head -n1 "$work/round$round.csv" | tr -d '\r') == time,sensor1,sensor2,sensor3,sensor4,sensor5,sensor6,sensor7,sensor8,sensor9,sensor10,sensor11 ]] \
        || fail "round $round: header"
    bad=$(csv_rows "$work/round$round.csv" | grep -Evc '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}(,-?[0-9.]+(e[+-][0-9]+)?){11}$')
    ((bad == 0)) || fail "round $round: $bad malformed rows"
    if [[ -n $previous ]]; then
        n=$(csv_rows "$previous" | wc -l)
        cmp -s <(csv_rows "$previous") <(csv_rows "$work/round$round.csv" | head -n "$n") \
            || fail "round $round: the rows of the round before changed"
    fi
    previous=$work/round$round.csv
    sleep 0.3
done
echo "exports while logging: $(csv_rows "$previous" | wc -l) rows in the last one"

# --- 2: the window follows the file --------------------------------------
start_viewer "$run/viewer" "$log" || exit 1
shown_count() { xdotool getwindowname "$viewer_window" | sed -n 's/.*(\([0-9,]*\) records).*/\1/p' | tr -d ,; }
for check in 1 2 3; do
    sleep 1
    target=$(line_count "$log")
    reached() { local n; n=$(shown_count); [[ -n $n ]] && ((n >= target)); }
    wait_for 1 reached || fail "check $check: the file held $target records, a second later the window shows $(shown_count)"
done
echo "window: follows, shows $(shown_count) records"

# Each sensor's line is drawn in its own colour, without antialiasing: count
# the pixels of every colour in the plot (left of the legend).
shot=$work/screen.png
import -window root "$shot"
[[ -n $keep ]] && cp "$shot" "$keep"
eval "$(xdotool getwindowgeometry --shell "$viewer_window")"
colours=(2748e6 ec3529 39953e 961935 6477d9 573451 d22da0 436753 7f6100 088dba 1a0561)
counts=$(convert "$shot" -crop "$((WIDTH * 85 / 100))x$((HEIGHT * 7 / 10))+$X+$((Y + 50))" -depth 8 txt:- |
    awk -v list="${colours[*]}" 'BEGIN { n = split(toupper(list), c, " "); for (i = 1; i <= n; ++i) want["#" c[i]] = i }
        NR > 1 { k = substr($3, 1, 7); if (k in want) ++seen[want[k]] }
        END { for (i = 1; i <= n; ++i) printf "%d ", seen[i] + 0 }')
lines=0
i=0
for c in $counts; do
    i=$((i + 1))
    ((c >= 150)) && lines=$((lines + 1)) || echo "sensor $i: $c pixels of #${colours[i - 1]}" >&2
done
((lines == 11)) || fail "the screenshot shows $lines of 11 lines"
echo "screenshot: $lines lines ($counts pixels)"

# --- 3: every record counted is in the CSV --------------------------------
# The viewer covers the logger's window; it has done its part.
kill "$viewer_pid"
wait "$viewer_pid" 2>/dev/null
counted=$(read_counter) || { fail "txtRecNum could not be read"; counted=0; }
terminate "$run"
LC_ALL=C.UTF-8 "$viewer" --csv "$log" -o "$work/final.csv" 2>"$work/final.err" || fail "final --csv failed"
rows=$(csv_rows "$work/final.csv" | wc -l)
lines=$(line_count "$log")
((rows == lines)) || fail "the log holds $lines records, the CSV $rows rows"
((counted >= 3 && rows >= counted)) || fail "txtRecNum counted $counted, the CSV holds $rows"
echo "after the logger ended: txtRecNum counted $counted, the CSV holds $rows of the file's $lines records"

((failures == 0)) || exit 1
echo "PASS"
