#!/usr/bin/env bash
# make bench: the figures the README reports. Each runs against the gateway
# simulator as a separate process, so only the logger's own work is counted.
set -euo pipefail
build=${1:-build}
only=${2:-}   # "logview", "bridge" or "report": only the log viewer's, the bridge's or the reports' figures
bench="$build/bench/kestrin_bench"
sim="$build/tools/gateway-sim/onewire-gateway-sim"
port=${BENCH_PORT:-18031}

start_sim() { # [conversion-ms]; without it, the DS18B20's own 750 ms at 12 bits
  "$sim" --port "$port" ${1:+--conversion-ms "$1"} >/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && return; sleep 0.1; done
  echo "simulator did not start" >&2; exit 1
}
stop_sim() { [[ -n $sim_pid ]] || return 0; kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
sim_pid=
trap stop_sim EXIT

logger_figures() {
  echo "== throughput (simulator without conversion delay, 20000 reads, painting on an X display)"
  start_sim 0
  if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x1024x24' "$bench" throughput "127.0.0.1:$port" 20000
  else
    "$bench" throughput "127.0.0.1:$port" 20000
  fi
  echo "== memory (200000 reads, logging on)"
  "$bench" memory "127.0.0.1:$port" 200000 50000 200000
  if [[ "${SOAK:-0}" == 1 ]]; then
    echo "== soak: 1,000,000 reads, logging on (about 24 hours of real reads, compressed)"
    "$bench" memory "127.0.0.1:$port" 1000000 50000 100000 250000 500000 750000 1000000
  fi
  stop_sim

  echo "== record step (10000 records to $build)"
  "$bench" record "$build" 10000

  echo "== worst page freeze over the adversarial pages (best of 3 per page)"
  "$bench" pagefreeze 127.0.0.1 3

  echo "== CPU at the real 750 ms conversion time (30 s)"
  start_sim
  "$bench" cpu "127.0.0.1:$port" 30
  stop_sim
}
# kestrin-bridge doing all of its work: following, alarms on every sensor,
# publishing to a local mosquitto, /metrics scraped.
bridge_figures() {
  local bridge="$build/src/bridge/kestrin-bridge" bb="$build/bench/bridge_bench" lvbench="$build/bench/logview_bench"
  local work mport qport bpid mpid spid
  work=$(mktemp -d)
  export LC_ALL=C.UTF-8
  mport=$((port + 1))
  qport=$((port + 2))
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n%s\n' "$qport" \
    "$( (($(id -u) == 0)) && echo 'user root')" >"$work/mosquitto.conf"
  mosquitto -c "$work/mosquitto.conf" >/dev/null 2>&1 &
  mpid=$!
  {
    printf '[gateway]\nhost = 127.0.0.1:8031\n[bridge]\nsite = bench\nlisten = 127.0.0.1:%s\nmqtt = mqtt://127.0.0.1:%s\n' "$mport" "$qport"
    local n=1 rom
    for rom in 9C000000B4A89828 06000000A4EC7428 B900000027CA8F28 E6000000B4E6AC28 6E00000027CD1E28 40000000B491CF28 \
      A1000000180B0528 47000000A4F3AD28 88000000B4A59328 EC00000027A23328 EE000000B4913B28; do
      printf '[sensor.%d]\nrom = %s\nlow = 5\nhigh = 35\n' "$n" "$rom"
      n=$((n + 1))
    done
  } >"$work/site.ini"
  export QT_QPA_PLATFORM=offscreen
  "$lvbench" make-log "$work/records.txt" 1000 >/dev/null
  local last
  last=$(tail -n1 "$work/records.txt")
  last=${last%$'\r'}
  # A record like the last, stamped now, with sensor 1 reading $1.
  append() { printf '%s, %s , %s\r\n' "$(LC_TIME=C date '+%-d %b %Y %H:%M:%S')" "$(printf ' %-12s' "$1 ")" "${last#*, * , }" >>"$work/records.txt"; }
  "$bridge" --site "$work/site.ini" "$work/records.txt" 2>"$work/bridge.err" &
  bpid=$!
  for _ in $(seq 50); do grep -q 'MQTT: connected' "$work/bridge.err" && break; sleep 0.1; done
  # Every appended line must be a record, or the figures measure the wrong work.
  skipped() { curl -s "http://127.0.0.1:$mport/metrics" | sed -n 's/^kestrin_lines_skipped_total{site="bench"} //p'; }

  echo "== bridge: a record appended -> its MQTT message at the broker (100 records)"
  mosquitto_sub -p "$qport" -t kestrin/bench/sensor/1/temperature -F '%U %p' >"$work/sub.out" &
  spid=$!
  sleep 0.5
  local i v
  for i in $(seq 100); do
    v=$(awk -v i="$i" 'BEGIN { printf "%.4f", 20 + i * 0.0625 }' | sed -e 's/0*$//' -e 's/\.$//')
    echo "$(date +%s.%N) $v" >>"$work/appended"
    append "$v"
    sleep 0.3
  done
  sleep 1
  kill "$spid"
  awk 'NR == FNR { sent[$2] = $1; next } ($2 in sent) && !($2 in seen) { seen[$2] = 1; print ($1 - sent[$2]) * 1000 }' \
    "$work/appended" "$work/sub.out" | sort -n |
    awk '{ v[NR] = $1 } END { printf "%d messages, median %.1f ms, worst %.1f ms\n", NR, v[int((NR + 1) / 2)], v[NR] }'

  echo "== bridge: /metrics under 50 scrapes a second (10 s, a new connection each)"
  "$bb" scrape "$mport" 10 50

  echo "== bridge: CPU following at the real pace (a record every 8.25 s for 66 s, a scrape every 15 s)"
  local t0 t1 hz
  hz=$(getconf CLK_TCK)
  t0=$(awk '{ print $14 + $15 }' "/proc/$bpid/stat")
  for i in $(seq 8); do
    sleep 8.25
    append "21.$i"
    ((i % 2 == 0)) && curl -s "http://127.0.0.1:$mport/metrics" >/dev/null
  done
  t1=$(awk '{ print $14 + $15 }' "/proc/$bpid/stat")
  awk -v t="$((t1 - t0))" -v hz="$hz" 'BEGIN { printf "%.3f %% of a core (%.2f s of CPU in 66 s)\n", t / hz / 66 * 100, t / hz }'
  echo "lines skipped: $(skipped)"
  echo "== bridge: resident memory"
  grep -E 'VmRSS|VmHWM' "/proc/$bpid/status" | tr -s ' \t' ' '
  kill "$bpid" "$mpid"
  wait "$bpid" "$mpid" 2>/dev/null

  echo "== bridge: start on a 4,000,000-record log until /metrics serves its last record"
  "$lvbench" make-log "$work/big.txt" 4000000 >/dev/null
  ls -l "$work/big.txt" | awk '{ printf "%d bytes\n", $5 }'
  local want start
  want=$(date -d "$(tail -n1 "$work/big.txt" | cut -d, -f1)" +%s)
  sed -i -e '/^mqtt = /d' "$work/site.ini"
  start=$(date +%s.%N)
  "$bridge" --site "$work/site.ini" "$work/big.txt" 2>"$work/big.err" &
  bpid=$!
  until curl -s "http://127.0.0.1:$mport/metrics" | grep -qx "kestrin_last_record_timestamp_seconds{site=\"bench\"} $want" &&
    curl -s "http://127.0.0.1:$mport/metrics" | grep -qx 'kestrin_log_caught_up{site="bench"} 1'; do
    sleep 0.05
  done
  awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f s\n", e - s }'
  grep -E 'VmHWM' "/proc/$bpid/status" | tr -s ' \t' ' '
  kill "$bpid"
  wait "$bpid" 2>/dev/null
  rm -rf "$work"
}
[[ $only == bridge ]] && { bridge_figures; exit 0; }
[[ -n $only ]] || logger_figures

lvbench="$build/bench/logview_bench"
viewer="$build/src/logview/kestrin-logview"
export QT_QPA_PLATFORM=offscreen

# kestrin-logview --report on a year of records, each run the whole program:
# reading the log, the figures, the SHA-256 of the file, the pages.
report_figures() {
  echo "== reports: a log of 4,000,000 records at the real pace (a year)"
  local log="$build/bench-report.log"
  "$lvbench" make-log "$log" 4000000
  ls -l "$log" | awk '{ printf "%d bytes\n", $5 }'
  # Every sensor with limits its daily swing crosses: excursions to find and list.
  local site="$build/bench-report-site.ini" n=0 rom
  printf '[gateway]\nhost = 127.0.0.1:%s\n[bridge]\nsite = bench\n' "$port" >"$site"
  for rom in 9C000000B4A89828 06000000A4EC7428 B900000027CA8F28 E6000000B4E6AC28 6E00000027CD1E28 \
             40000000B491CF28 A1000000180B0528 47000000A4F3AD28 88000000B4A59328 EC00000027A23328 EE000000B4913B28; do
    n=$((n + 1))
    printf '[sensor.%d]\nrom = %s\nname = Fridge %d\nlow = %d\nhigh = %d\n' "$n" "$rom" "$n" $((16 + n / 3)) $((21 + n / 3)) >>"$site"
  done
  /usr/bin/time -f "--report csv --period day: %e s, peak resident %M KiB" \
    "$viewer" --report csv --period day --site "$site" "$log" -o "$build/bench-report.csv"
  echo "$(($(wc -l <"$build/bench-report.csv") - 1)) rows"
  /usr/bin/time -f "--report pdf --period month, all 11 sensors: %e s, peak resident %M KiB" \
    "$viewer" --report pdf --period month --site "$site" "$log" -o "$build/bench-report.pdf"
  command -v pdfinfo >/dev/null && pdfinfo "$build/bench-report.pdf" | awk '/^Pages:/ { print $2 " pages" }'
  rm -f "$log" "$site" "$build/bench-report.csv" "$build/bench-report.pdf"
}
if [[ $only == report ]]; then
  report_figures
  exit 0
fi

# The viewer on logs of 1,000,000 records (95 days at the real pace) and of
# 4,000,000 (a year): export, the window's chart, zoom and pan, following.
viewer_figures() { # RECORDS
  local records=$1 biglog="$build/bench-logview-$1.log"
  echo "== log viewer: a log of $records records at the real pace"
  "$lvbench" make-log "$biglog" "$records"
  ls -l "$biglog" | awk '{ printf "%d bytes\n", $5 }'
  # Twice: the first run also brings the file into the page cache.
  for _ in 1 2; do
    /usr/bin/time -f "--csv: %e s, peak resident %M KiB" "$viewer" --csv "$biglog" -o "$build/bench-logview.csv"
  done
  rm -f "$build/bench-logview.csv"
  "$lvbench" window "$biglog"
  echo "-- the same with a screen reader listening"
  "$lvbench" window "$biglog" --reader
  # One record every 8.25 s, as the logger writes them, for a minute.
  local last
  last=$(tail -n1 "$biglog")
  ( for _ in $(seq 8); do sleep 8.25; printf '%s\n' "$last" >>"$biglog"; done ) &
  local appender=$!
  "$lvbench" follow "$biglog" 66
  wait "$appender"
  rm -f "$biglog"
}
viewer_figures 1000000
viewer_figures 4000000
[[ -n $only ]] || bridge_figures
[[ -n $only ]] || report_figures
