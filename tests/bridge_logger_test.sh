#!/usr/bin/env bash
# kestrin-bridge following the real kestrin-3, which logs against the real
# simulator with a fault on sensor 1 (HTTP 500 for every read of it): the
# sensor's value stays what it was, so its silent alarm is raised within
# silent_after plus one pass; with the fault lifted (the simulator started
# again without it) the value changes and the alarm clears.
#
# Usage: bridge_logger_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM KESTRIN_BRIDGE PORT
set -u
app=${1:?path of kestrin-3}
sim=${2:?path of onewire-gateway-sim}
bridge=${3:?path of kestrin-bridge}
port=${4:-8031}
gui_args=("$@")
source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/bridge_driver.sh"
gui_enter_namespaces -n
gui_init curl

faulty=9C000000B4A89828
silent_minutes=0.1 # 6 s
start_simulator --conversion-ms 50 --fault "http-500:$faulty"
sim_pid=${pids[-1]}
start_xvfb
run=$work/run
start_logging "$run" || exit 1

mport=$(free_port)
cat >"$work/site.ini" <<SITE
[gateway]
host = 127.0.0.1:$port
[bridge]
site = bench
listen = 127.0.0.1:$mport
[sensor.1]
rom = $faulty
silent_after = $silent_minutes
SITE
start_bridge --site "$work/site.ini" "$log"

# The stamps of the first record and the record the alarm came with, from
# the log itself; a pass is the time between two records.
stamp_seconds() { date -d "$(sed -n "${1}p" "$log" | cut -d, -f1)" +%s; }
wait_for 30 has_line "$work/bridge.err" "silent alarm raised: sensor 1 has read" || { fail "no silent alarm"; cat "$work/bridge.err" >&2; }
raised_at=$(date +%s)
first=$(stamp_seconds 1)
lines=$(line_count "$log")
pass=$(($(stamp_seconds "$lines") - $(stamp_seconds $((lines - 1)))))
limit=$((6 + pass + 1))
((raised_at - first <= limit)) || fail "raised $((raised_at - first)) s after the first record; silent_after plus a pass is $((6 + pass)) s"
metric_is "$mport" 'kestrin_alarm_active{site="bench",sensor="1",rom="9C000000B4A89828",name="",kind="silent"} 1' ||
    fail "the metric does not show the silent alarm"
echo "silent alarm raised $((raised_at - first)) s after the first record (a pass takes $pass s)"

# Lift the fault: the simulator again, without it, on the same port.
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null
start_simulator --conversion-ms 50
wait_for 30 has_line "$work/bridge.err" "silent alarm cleared: sensor 1 reads" || { fail "the silent alarm did not clear"; cat "$work/bridge.err" >&2; }
metric_is "$mport" 'kestrin_alarm_active{site="bench",sensor="1",rom="9C000000B4A89828",name="",kind="silent"} 0' ||
    fail "the metric still shows the silent alarm"
echo "fault lifted: $(grep -F 'silent alarm cleared' "$work/bridge.err")"
terminate "$run"

((failures == 0)) || exit 1
echo "PASS"
