#!/usr/bin/env bash
# kestrin-bridge's alarms as a person sees them, under Xvfb with a real
# notification daemon (dunst) on a private session bus:
#  1. a limit crossed and left: the raised and the cleared notification in
#     `dunstctl history`, the raised one on screen (screenshot), the lines on
#     stderr;
#  2. the on_alarm program gets the facts in KESTRIN_* variables only: a
#     sensor name made of shell code runs nothing; its failure is reported;
#  3. a log that stops: the stale alarm.
#
# Usage: bridge_alarm_test.sh KESTRIN_BRIDGE [SCREENSHOT]
set -u
bridge=${1:?path of kestrin-bridge}
keep=${2:-}
gui_args=("$@")
source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/bridge_driver.sh"
bridge_init Xvfb dbus-daemon dunst dunstctl import

start_xvfb
# The session bus where systemd's user manager puts it, $XDG_RUNTIME_DIR/bus.
# The bridge is told nothing else: a user service need not have
# DBUS_SESSION_BUS_ADDRESS, and the bus must be found all the same.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
pids+=($!)
wait_for 5 has_text "$work/bus" || { fail "no session bus"; exit 1; }
unset DBUS_SESSION_BUS_ADDRESS
# dunst and dunstctl are told where it is.
bus=$(head -n1 "$work/bus")
dunst() { DBUS_SESSION_BUS_ADDRESS=$bus command dunst "$@"; }
dunstctl() { DBUS_SESSION_BUS_ADDRESS=$bus command dunstctl "$@"; }
mkdir -p "$work/home/.config/dunst"
cat >"$work/home/.config/dunst/dunstrc" <<RC
[global]
    geometry = "600x5-10+10"
    width = 600
    origin = top-right
    font = DejaVu Sans 12
    history_length = 50
[urgency_critical]
    timeout = 0
RC
HOME=$work/home dunst >"$work/dunst.log" 2>&1 &
pids+=($!)
daemon_up() { dunstctl is-paused >/dev/null 2>&1; }
wait_for 5 daemon_up || { cat "$work/dunst.log" >&2; fail "dunst did not start"; exit 1; }

mport=$(free_port)
cat >"$work/page.sh" <<'SH'
#!/bin/sh
env | grep '^KESTRIN_' | sort >>"$PAGE_LOG"
echo "--" >>"$PAGE_LOG"
[ "$KESTRIN_STATE" = cleared ] && exit 3
exit 0
SH
chmod +x "$work/page.sh"
export PAGE_LOG=$work/page.log
cat >"$work/site.ini" <<SITE
[gateway]
host = 127.0.0.1:8031
[bridge]
site = lab-c
listen = 127.0.0.1:$mport
stale_after = 0.05
on_alarm = $work/page.sh
[sensor.1]
rom = 9C000000B4A89828
name = \$(touch $work/pwned)
high = 25
delay = 1
SITE
log=$work/records.txt
log_line "$(date +%s)" 24 >"$log"
start_bridge --site "$work/site.ini" "$log"
wait_for 5 has_line "$work/bridge.err" "records read" || { fail "the bridge did not read the log"; cat "$work/bridge.err" >&2; }

# --- 1: crossed and left ------------------------------------------------------------
log_line "$(date +%s)" 26.5 >>"$log"
wait_for 5 has_line "$work/bridge.err" 'high alarm raised: sensor 1 "$(touch '"$work"'/pwned)" reads 26.5 °C, above 25 °C' ||
    fail "no raised line on stderr"
sleep 1
shot=$work/screen.png
import -window root "$shot"
[[ -n $keep ]] && cp "$shot" "$keep"
log_line "$(date +%s)" 24 >>"$log"
wait_for 5 has_line "$work/bridge.err" "high alarm cleared" || fail "no cleared line on stderr"
sleep 0.5
dunstctl close-all
sleep 0.3
dunstctl history >"$work/history.json"
for text in "Kestrin-3 lab-c: high alarm raised" "Kestrin-3 lab-c: high alarm cleared" \
    "reads 26.5 °C, above 25 °C" "kestrin-bridge"; do
    grep -qF "$text" "$work/history.json" || fail "dunstctl history lacks \"$text\""
done
# dunst keeps no urgency in its history, but each urgency's timeout: the
# critical one (the raised alarm) stays until dismissed.
timeouts=$(awk '/"summary"/ { s = 1 } s && /"data"/ { summary = $0; s = 0 }
    /"timeout"/ { t = 1 } t && /"data"/ { sub(/.*: /, ""); print summary " " $0; t = 0 }' "$work/history.json")
grep -q 'alarm raised",* 0$' <<<"$timeouts" || fail "the raised alarm was not critical: $timeouts"
grep -q 'alarm cleared",* [1-9][0-9]*$' <<<"$timeouts" || fail "the cleared alarm was critical: $timeouts"
echo "notifications: raised and cleared in dunst's history, the raised one on screen"

# --- 2: the command ---------------------------------------------------------------------
wait_for 5 has_line "$work/bridge.err" "on_alarm: $work/page.sh exited with status 3" || fail "the command's failure was not reported"
expected="KESTRIN_KIND=high
KESTRIN_NAME=\$(touch $work/pwned)
KESTRIN_SENSOR=1
KESTRIN_SITE=lab-c
KESTRIN_STATE=raised
KESTRIN_VALUE=26.5
--
KESTRIN_KIND=high
KESTRIN_NAME=\$(touch $work/pwned)
KESTRIN_SENSOR=1
KESTRIN_SITE=lab-c
KESTRIN_STATE=cleared
KESTRIN_VALUE=24
--"
[[ $(head -n 14 "$PAGE_LOG") == "$expected" ]] || { fail "the command saw:"; cat "$PAGE_LOG" >&2; }
[[ ! -e $work/pwned ]] || fail "the name ran as shell code"
echo "on_alarm: the facts in its environment, nothing run from the name"

# --- 3: stale ---------------------------------------------------------------------------
wait_for 10 has_line "$work/bridge.err" "stale alarm raised: no new record for 0.05 minutes" || fail "no stale alarm"
grep -q "KESTRIN_KIND=stale" "$PAGE_LOG" || fail "the command did not hear of stale"
metric_is "$mport" 'kestrin_alarm_active{site="lab-c",kind="stale"} 1' || fail "the metric does not show stale"
log_line "$(date +%s)" 24 >>"$log"
wait_for 5 has_line "$work/bridge.err" "stale alarm cleared: records arrive again" || fail "stale was not cleared"
echo "stale: raised after 3 s without a record, cleared by the next"

((failures == 0)) || exit 1
echo "PASS"
