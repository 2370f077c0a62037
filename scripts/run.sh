#!/usr/bin/env bash
# Starts the gateway simulator on 127.0.0.1:8031 and the logger against it.
# The simulator stops when the logger ends.
set -euo pipefail
build=${1:-build}
sim="$build/tools/gateway-sim/onewire-gateway-sim"
app="$build/src/app/kestrin-3"

"$sim" --port 8031 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT

# Give the simulator a moment to bind before the first read.
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.1/8031) 2>/dev/null && break
  sleep 0.1
done

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display found; starting the logger under Xvfb (xvfb-run)" >&2
  xvfb-run -a -s "-screen 0 1280x800x24" "$app"
else
  "$app"
fi
