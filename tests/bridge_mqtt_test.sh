#!/usr/bin/env bash
# kestrin-bridge against a real mosquitto with a password file and an ACL,
# under $LC_ALL and $TZ: the log is written in that locale, the broker gets
# "." decimals.
#  1. mosquitto_sub sees every record's values as logged (retained, QoS 1),
#     the Home Assistant discovery configs, online, and an alarm going ON;
#     a reading outside -55..125 is not published;
#  2. the last will (offline) when the bridge is killed;
#  3. the whole state again after the broker is restarted; offline and exit
#     status 0 when ended by SIGTERM;
#  4. a refused login: the message, the metric, and backoff between tries.
#
# Usage: bridge_mqtt_test.sh KESTRIN_BRIDGE
set -u
bridge=${1:?path of kestrin-bridge}
source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/bridge_driver.sh"
bridge_init mosquitto mosquitto_sub mosquitto_passwd

port=$(free_port)
mport=$(free_port)
mosquitto_passwd -c -b "$work/passwd" kestrin 'br1dge pass' >/dev/null
mosquitto_passwd -b "$work/passwd" watcher watchpass >/dev/null
chmod 600 "$work/passwd"
cat >"$work/acl" <<ACL
user kestrin
topic readwrite kestrin/lab-a/#
topic readwrite homeassistant/#
user watcher
topic read #
ACL
cat >"$work/mosquitto.conf" <<CONF
listener $port 127.0.0.1
allow_anonymous false
password_file $work/passwd
acl_file $work/acl
persistence false
$( (($(id -u) == 0)) && echo "user root")
CONF
start_mosquitto "$port" "$work/mosquitto.conf"

printf 'br1dge pass\n' >"$work/bridge.pass"
chmod 600 "$work/bridge.pass"
cat >"$work/site.ini" <<SITE
[gateway]
host = 127.0.0.1:8031
[bridge]
site = lab-a
listen = 127.0.0.1:$mport
mqtt = mqtt://127.0.0.1:$port
username = kestrin
password_file = $work/bridge.pass
[sensor.1]
rom = 9C000000B4A89828
name = Freezer "2"
[sensor.2]
rom = 06000000A4EC7428
name = Cold room
high = 25
[sensor.3]
rom = B900000027CA8F28
SITE

sub() { # FILE: everything the watcher sees, as "retain qos topic payload"
    mosquitto_sub -h 127.0.0.1 -p "$port" -u watcher -P watchpass -q 1 -t '#' -F '%r %q %t %p' >"$1" 2>&1 &
    pids+=($!)
    sub_pid=$!
}
log=$work/records.txt
now=$(date +%s)
log_line $((now - 20)) 21.5 24 20.0625 >"$log"
log_line $((now - 12)) 21.5625 24.5 20 >>"$log"

sub "$work/sub1.out"
start_bridge --site "$work/site.ini" "$log"
wait_for 10 has_line "$work/bridge.err" "MQTT: connected to 127.0.0.1:$port" || fail "the bridge did not connect"

# --- 1: every record, the discovery configs, an alarm ------------------------
values=("-0.0625 26 20.125" "-21.5 26 127.9375" "0.5 24.4 19.9375" "-55 125 20")
for v in "${values[@]}"; do
    sleep 0.4
    # shellcheck disable=SC2086
    log_line "$(date +%s)" $v >>"$log"
done
# A subscriber that was there all along gets each message as it comes (not
# flagged retained); one that comes later gets the retained ones.
wait_for 10 has_line "$work/sub1.out" "0 1 kestrin/lab-a/sensor/3/temperature 20" || fail "the last record did not arrive"
sleep 0.5
for n in 1 2 3; do
    expected=()
    first=("21.5625" "24.5" "20")
    expected+=("${first[n - 1]}")
    for v in "${values[@]}"; do
        read -r -a r <<<"$v"
        x=$(published "${r[n - 1]}")
        [[ $x == 127.9375 ]] && continue # outside the DS18B20's range
        expected+=("$x")
    done
    got=$(grep " kestrin/lab-a/sensor/$n/temperature " "$work/sub1.out" | awk '{ print $4 }' | tr '\n' ' ')
    [[ $got == "${expected[*]} " ]] || fail "sensor $n: the broker got [$got], the log holds [${expected[*]} ]"
    bad=$(grep " kestrin/lab-a/sensor/$n/temperature " "$work/sub1.out" | grep -vc '^0 1 ')
    ((bad == 0)) || fail "sensor $n: $bad messages not QoS 1"
done
echo "every record: $(grep -c '/temperature ' "$work/sub1.out") temperatures, as logged"
timeout 3 mosquitto_sub -h 127.0.0.1 -p "$port" -u watcher -P watchpass -q 1 -t 'kestrin/#' -F '%r %q %t %p' -W 1 >"$work/retained.out" 2>&1
for line in "1 1 kestrin/lab-a/sensor/1/temperature -55" "1 1 kestrin/lab-a/sensor/2/temperature 125" \
    "1 1 kestrin/lab-a/sensor/3/temperature 20" "1 1 kestrin/lab-a/status online"; do
    has_line "$work/retained.out" "$line" || fail "not retained: [$line]"
done

config=$(grep '^0 1 homeassistant/sensor/kestrin_lab-a/9c000000b4a89828/config ' "$work/sub1.out" | head -n1)
for field in '"device_class":"temperature"' '"state_class":"measurement"' '"unit_of_measurement":"°C"' \
    '"unique_id":"kestrin_9C000000B4A89828_temperature"' '"name":"Freezer \"2\""' \
    '"state_topic":"kestrin/lab-a/sensor/1/temperature"' '"availability_topic":"kestrin/lab-a/status"' \
    '"identifiers":["kestrin_lab-a"]'; do
    [[ $config == *"$field"* ]] || fail "the temperature config lacks $field: $config"
done
alarm=$(grep '^0 1 homeassistant/binary_sensor/kestrin_lab-a/06000000a4ec7428_alarm/config ' "$work/sub1.out" | head -n1)
for field in '"device_class":"problem"' '"state_topic":"kestrin/lab-a/sensor/2/alarm"' '"payload_on":"ON"' \
    '"unique_id":"kestrin_06000000A4EC7428_alarm"'; do
    [[ $alarm == *"$field"* ]] || fail "the alarm config lacks $field: $alarm"
done
has_line "$work/sub1.out" "0 1 kestrin/lab-a/status online" || fail "no online"
# 26 twice (the delay), so the cold room's alarm is ON, and OFF again at 24.4.
[[ $(grep ' kestrin/lab-a/sensor/2/alarm ' "$work/sub1.out" | awk '{ print $4 }' | tr '\n' ' ') == "OFF ON OFF " ]] ||
    fail "sensor 2's alarm went $(grep ' kestrin/lab-a/sensor/2/alarm ' "$work/sub1.out" | awk '{ print $4 }' | tr '\n' ' ')"
metric_is "$mport" 'kestrin_mqtt_connected{site="lab-a"} 1' || fail "the metric does not say connected"
echo "discovery, online and the alarm: seen"

# --- 2: the last will ------------------------------------------------------------
kill -KILL "$bridge_pid"
wait "$bridge_pid" 2>/dev/null
wait_for 5 has_line "$work/sub1.out" "0 1 kestrin/lab-a/status offline" || fail "no last will after SIGKILL"
echo "killed: the broker said offline"

# --- 3: the broker restarted ------------------------------------------------------
mv "$work/bridge.err" "$work/bridge1.err"
start_bridge --site "$work/site.ini" "$log"
wait_for 10 has_line "$work/bridge.err" "MQTT: connected" || fail "the bridge did not connect again"
kill "$sub_pid" "$mosquitto_pid"
wait "$mosquitto_pid" 2>/dev/null
wait_for 5 has_line "$work/bridge.err" "MQTT: lost the connection" || fail "the bridge did not notice the broker go"
metric_is "$mport" 'kestrin_mqtt_connected{site="lab-a"} 0' || fail "the metric still says connected"
start_mosquitto "$port" "$work/mosquitto.conf"
# The broker kept nothing (persistence false): what a new subscriber gets is
# what the bridge published again.
wait_for 15 metric_is "$mport" 'kestrin_mqtt_connected{site="lab-a"} 1' || fail "no reconnection"
after_restart=("1 kestrin/lab-a/status online" "1 kestrin/lab-a/sensor/1/temperature -55"
    "1 kestrin/lab-a/sensor/2/temperature 125" "1 kestrin/lab-a/sensor/3/temperature 20"
    "1 kestrin/lab-a/sensor/2/alarm OFF" "1 homeassistant/sensor/kestrin_lab-a/b900000027ca8f28/config ")
all_retained() {
    timeout 3 mosquitto_sub -h 127.0.0.1 -p "$port" -u watcher -P watchpass -q 1 -t '#' -F '%r %t %p' -W 1 >"$work/sub2.out" 2>&1
    local line
    for line in "${after_restart[@]}"; do
        has_line "$work/sub2.out" "$line" || return 1
    done
}
if ! wait_for 10 all_retained; then
    for line in "${after_restart[@]}"; do
        has_line "$work/sub2.out" "$line" || fail "after the broker's restart, no retained [$line]"
    done
fi
echo "broker restarted: the state is there again"

# Ended by SIGTERM: offline said on the way out, exit status 0.
sub "$work/sub3.out"
wait_for 5 has_line "$work/sub3.out" "1 1 kestrin/lab-a/status online" || fail "the third subscriber saw nothing"
kill -TERM "$bridge_pid"
wait "$bridge_pid"
status=$?
((status == 0)) || fail "exit status $status after SIGTERM"
has_line "$work/sub3.out" "0 1 kestrin/lab-a/status offline" || fail "no offline after SIGTERM"
echo "SIGTERM: offline, exit 0"

# --- 4: a refused login ------------------------------------------------------------
printf 'wrong\n' >"$work/wrong.pass"
chmod 600 "$work/wrong.pass"
mport2=$(free_port)
sed -e "s|^listen = .*|listen = 127.0.0.1:$mport2|" -e "s|^password_file = .*|password_file = $work/wrong.pass|" \
    "$work/site.ini" >"$work/wrong.ini"
mv "$work/bridge.err" "$work/bridge2.err"
start_bridge --site "$work/wrong.ini" "$log"
sleep 7.5
refusals=$(grep -c 'refused the login: Connection Refused: not authorised' "$work/bridge.err")
# Tries at 0, 1, 3 and 7 s.
((refusals >= 3 && refusals <= 4)) || { fail "$refusals refusals in 7.5 s"; cat "$work/bridge.err" >&2; }
metrics "$mport2" | grep -qE '^kestrin_mqtt_connect_failures_total\{site="lab-a",reason="refused"\} [34]$' ||
    fail "the refusals are not counted: $(metrics "$mport2" | grep failures)"
echo "refused login: $refusals tries in 7.5 s, counted"

((failures == 0)) || exit 1
echo "PASS"
