#!/usr/bin/env bash
# What bad input gets from kestrin-bridge: a clear message and nothing lost.
# One case per row of the table below; each starts the real program.
#
# Usage: bridge_badinput_test.sh KESTRIN_BRIDGE
set -u
bridge=${1:?path of kestrin-bridge}
gui_args=("$@")
source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/bridge_driver.sh"
# A broker name that cannot resolve must not reach any DNS server: the
# network namespace has only the loopback device.
gui_enter_namespaces -n
bridge_init

site() { # FILE [BRIDGE KEYS...]: a site file with one sensor
    local file=$1
    shift
    {
        printf '[gateway]\nhost = 127.0.0.1:8031\n[bridge]\nsite = bad\n'
        printf '%s\n' "$@"
        printf '[sensor.1]\nrom = 9C000000B4A89828\n'
    } >"$file"
}
# Runs the bridge to its end (at most 5 s): sets status and err.
run_to_end() {
    timeout 5 "$bridge" "$@" >/dev/null 2>"$work/err"
    status=$?
    err=$(cat "$work/err")
}
log=$work/records.txt
log_line "$(date +%s)" 21.5 >"$log"

# --- a site file error: its message, file and line ---------------------------------
site "$work/typo.ini" "listen = 127.0.0.1:$(free_port)" "nmae = x"
run_to_end --site "$work/typo.ini" "$log"
((status == 2)) || fail "site file error: exit $status"
[[ $err == "$work/typo.ini:6: unknown key nmae in [bridge]"* ]] || fail "site file error: [$err]"
echo "site file error: $err"

# --- a port in use -----------------------------------------------------------------------
port=$(free_port)
site "$work/a.ini" "listen = 127.0.0.1:$port"
start_bridge --site "$work/a.ini" "$log"
wait_for 5 listening "$port" || fail "the first bridge does not listen"
run_to_end --site "$work/a.ini" "$log"
((status == 2)) || fail "port in use: exit $status"
[[ $err == "kestrin-bridge: cannot listen on 127.0.0.1:$port: The bound address is already in use" ]] || fail "port in use: [$err]"
echo "port in use: $err"
kill "$bridge_pid"

# --- a world-readable password file ----------------------------------------------------
printf 's3cret\n' >"$work/pass"
chmod 644 "$work/pass"
site "$work/pass.ini" "listen = off" "mqtt = mqtt://127.0.0.1:1" "username = kestrin" "password_file = $work/pass"
run_to_end --site "$work/pass.ini" "$log"
((status == 2)) || fail "readable password file: exit $status"
[[ $err == "kestrin-bridge: $work/pass: permissions 0644 are too open: a password file must not be accessible by group or others (chmod 600 $work/pass)" ]] ||
    fail "readable password file: [$err]"
echo "readable password file: $err"

# --- a CA file that is not there -----------------------------------------------------------
site "$work/ca.ini" "listen = off" "mqtt = mqtts://127.0.0.1:1" "ca_file = $work/no-ca.pem"
run_to_end --site "$work/ca.ini" "$log"
((status == 2)) && [[ $err == "kestrin-bridge: $work/no-ca.pem: No such file or directory" ]] || fail "missing CA file: $status [$err]"
echo "missing CA file: $err"

# --- a broker whose name does not resolve, and one that is down: /metrics serves on -----
port=$(free_port)
site "$work/down.ini" "listen = 127.0.0.1:$port" "mqtt = mqtt://broker.invalid:1883"
: >"$work/bridge.err"
start_bridge --site "$work/down.ini" "$log"
wait_for 5 has_line "$work/bridge.err" "MQTT: cannot connect to broker.invalid:1883: the host name does not resolve; trying again in 1 s" ||
    fail "unresolvable broker: $(cat "$work/bridge.err")"
wait_for 5 metric_is "$port" 'kestrin_temperature_celsius{site="bad",sensor="1",rom="9C000000B4A89828",name=""} 21.5' ||
    fail "/metrics does not serve while the broker is unreachable"
metrics "$port" | grep -qE '^kestrin_mqtt_connect_failures_total\{site="bad",reason="unreachable"\} [1-9]' || fail "no unreachable count"
kill "$bridge_pid"
port=$(free_port)
site "$work/down2.ini" "listen = 127.0.0.1:$port" "mqtt = mqtt://127.0.0.1:$(free_port)"
: >"$work/bridge.err"
start_bridge --site "$work/down2.ini" "$log"
wait_for 5 has_line "$work/bridge.err" "Connection refused; trying again in 1 s" || fail "broker down: $(cat "$work/bridge.err")"
metric_is "$port" 'kestrin_mqtt_connected{site="bad"} 0' || fail "broker down: not shown"
kill "$bridge_pid"
echo "broker unresolvable or down: said, counted, /metrics serves"

# --- a missing log: waits for it ---------------------------------------------------------
port=$(free_port)
site "$work/wait.ini" "listen = 127.0.0.1:$port"
: >"$work/bridge.err"
start_bridge --site "$work/wait.ini" "$work/later.txt"
wait_for 5 has_line "$work/bridge.err" "waiting for $work/later.txt to appear" || fail "missing log: $(cat "$work/bridge.err")"
sleep 0.5
kill -0 "$bridge_pid" 2>/dev/null || fail "the bridge ended for a missing log"
log_line "$(date +%s)" 19.5 >"$work/later.txt"
wait_for 5 metric_is "$port" 'kestrin_temperature_celsius{site="bad",sensor="1",rom="9C000000B4A89828",name=""} 19.5' ||
    fail "the log that appeared was not read"
kill "$bridge_pid"
echo "missing log: waited, then read"

# --- an unreadable log: the system's reason -------------------------------------------------
port=$(free_port)
site "$work/unreadable.ini" "listen = 127.0.0.1:$port"
cp "$log" "$work/secret.txt"
chmod 000 "$work/secret.txt"
chmod 755 "$work"
chmod 644 "$work/unreadable.ini"
: >"$work/bridge.err"
# Root reads any file; the bridge runs as nobody for this.
as=()
(($(id -u) == 0)) && as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
"${as[@]}" "$bridge" --site "$work/unreadable.ini" "$work/secret.txt" >/dev/null 2>"$work/bridge.err" &
pids+=($!)
wait_for 5 has_line "$work/bridge.err" "kestrin-bridge: $work/secret.txt: Permission denied" || fail "unreadable log: $(cat "$work/bridge.err")"
echo "unreadable log: $(grep -F secret "$work/bridge.err")"

# --- lines that are no record, a reading out of range -----------------------------------------
port=$(free_port)
site "$work/lines.ini" "listen = 127.0.0.1:$port"
{
    log_line "$(($(date +%s) - 9))" 21.5
    printf 'garbage\r\n'
    log_line "$(date +%s)" 127.9375
} >"$work/mixed.txt"
: >"$work/bridge.err"
start_bridge --site "$work/lines.ini" "$work/mixed.txt"
wait_for 5 metric_is "$port" 'kestrin_lines_skipped_total{site="bad"} 1' || fail "the bad line is not counted"
has_line "$work/bridge.err" "$work/mixed.txt: line 2 skipped: no time stamp" || fail "the bad line is not described: $(cat "$work/bridge.err")"
metric_is "$port" 'kestrin_records_read_total{site="bad"} 2' || fail "the records around it were not read"
metric_is "$port" 'kestrin_reading_valid{site="bad",sensor="1",rom="9C000000B4A89828",name=""} 0' || fail "127.9375 is not marked invalid"
metrics "$port" | grep -q '^kestrin_temperature_celsius{' && fail "127.9375 is served as a temperature"
echo "a line that is no record: counted and described; out of range: marked invalid"

((failures == 0)) || exit 1
echo "PASS"
