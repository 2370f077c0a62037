#!/usr/bin/env bash
# kestrin-bridge scraped by a real Prometheus every second:
#  1. `promtool check metrics` accepts the exposition;
#  2. Prometheus scrapes it (OpenMetrics, which it asks for first) and its
#     query API returns the log's last values, with the names' quotes and
#     backslashes intact; an out-of-range reading is no temperature there;
#  3. a record appended later reaches the query API.
#
# Usage: bridge_prometheus_test.sh KESTRIN_BRIDGE
set -u
bridge=${1:?path of kestrin-bridge}
source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/bridge_driver.sh"
bridge_init prometheus promtool

mport=$(free_port)
pport=$(free_port)
cat >"$work/site.ini" <<SITE
[gateway]
host = 127.0.0.1:8031
[bridge]
site = lab-b
listen = 127.0.0.1:$mport
[sensor.1]
rom = 9C000000B4A89828
name = Freezer "2" \\ back
high = -15
[sensor.2]
rom = 06000000A4EC7428
[sensor.3]
rom = B900000027CA8F28
SITE
log=$work/records.txt
now=$(date +%s)
log_line $((now - 16)) -20 4.5 21 >"$log"
log_line $((now - 8)) -21.5625 3.9375 127.9375 >>"$log"
start_bridge --site "$work/site.ini" "$log"
wait_for 5 listening "$mport" || { cat "$work/bridge.err" >&2; fail "no /metrics"; exit 1; }
wait_for 5 metric_is "$mport" 'kestrin_log_caught_up{site="lab-b"} 1' || fail "the history was not read"

# --- 1: promtool ---------------------------------------------------------------
metrics "$mport" >"$work/metrics.txt"
promtool check metrics <"$work/metrics.txt" >"$work/promtool.out" 2>&1 || fail "promtool rejects the exposition: $(cat "$work/promtool.out")"
[[ -s $work/promtool.out ]] && fail "promtool: $(cat "$work/promtool.out")"
echo "promtool check metrics: accepted ($(grep -vc '^#' "$work/metrics.txt") samples)"

# --- 2: scraped every second ---------------------------------------------------------
cat >"$work/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: kestrin
    static_configs:
      - targets: ["127.0.0.1:$mport"]
YML
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
    --web.listen-address="127.0.0.1:$pport" >"$work/prometheus.log" 2>&1 &
pids+=($!)
query() { curl -s --max-time 2 "http://127.0.0.1:$pport/api/v1/query" --data-urlencode "query=$1"; }
# The value of the query's only series, or nothing.
value_of() { query "$1" | sed -n 's/.*"value":\[[0-9.]*,"\([^"]*\)"\].*/\1/p'; }
is_value() { [[ $(value_of "$1") == "$2" ]]; }
wait_for 30 is_value 'up{job="kestrin"}' 1 || { tail -n 20 "$work/prometheus.log" >&2; fail "Prometheus does not scrape the bridge"; exit 1; }
wait_for 5 is_value 'kestrin_temperature_celsius{sensor="1"}' -21.5625 || fail "sensor 1: $(query 'kestrin_temperature_celsius{sensor="1"}')"
is_value 'kestrin_temperature_celsius{sensor="2"}' 3.9375 || fail "sensor 2: $(value_of 'kestrin_temperature_celsius{sensor="2"}')"
[[ -z $(value_of 'kestrin_temperature_celsius{sensor="3"}') ]] || fail "an out-of-range reading is a temperature in Prometheus"
is_value 'kestrin_reading_valid{sensor="3"}' 0 || fail "sensor 3 is not marked invalid"
is_value 'kestrin_alarm_active{sensor="1",kind="high"}' 0 || fail "sensor 1's high alarm: $(value_of 'kestrin_alarm_active{sensor="1",kind="high"}')"
is_value 'kestrin_records_read_total' 2 || fail "records read: $(value_of kestrin_records_read_total)"
is_value "kestrin_last_record_timestamp_seconds" "$((now - 8))" || fail "last record: $(value_of kestrin_last_record_timestamp_seconds)"
query 'kestrin_temperature_celsius{sensor="1"}' | grep -qF '"name":"Freezer \"2\" \\ back"' ||
    fail "the name label came through as: $(query 'kestrin_temperature_celsius{sensor="1"}')"
query 'kestrin_temperature_celsius{sensor="1"}' | grep -qF '"site":"lab-b"' || fail "no site label"
echo "Prometheus: the log's last values, scraped every second"

# --- 3: a new record ------------------------------------------------------------------
log_line "$(date +%s)" -14.5 4 22 >>"$log"
log_line "$(($(date +%s) + 1))" -14.25 4 22 >>"$log"
wait_for 10 is_value 'kestrin_temperature_celsius{sensor="1"}' -14.25 || fail "the new record did not reach Prometheus"
wait_for 5 is_value 'kestrin_alarm_active{sensor="1",kind="high"}' 1 || fail "the high alarm is not raised in Prometheus"
is_value 'kestrin_temperature_celsius{sensor="3"}' 22 || fail "sensor 3 is valid again: $(value_of 'kestrin_temperature_celsius{sensor="3"}')"
echo "Prometheus: the new record and the alarm"

((failures == 0)) || exit 1
echo "PASS"
