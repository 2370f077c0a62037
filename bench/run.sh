#!/usr/bin/env bash
# make bench: the figures the README reports. Each runs against the gateway
# simulator as a separate process, so only the logger's own work is counted.
set -euo pipefail
build=${1:-build}
bench="$build/bench/kestrin_bench"
sim="$build/tools/gateway-sim/onewire-gateway-sim"
port=${BENCH_PORT:-18031}

start_sim() { # [conversion-ms]; without it, the DS18B20's own 750 ms at 12 bits
  "$sim" --port "$port" ${1:+--conversion-ms "$1"} >/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && return; sleep 0.1; done
  echo "simulator did not start" >&2; exit 1
}
stop_sim() { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
trap stop_sim EXIT

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
