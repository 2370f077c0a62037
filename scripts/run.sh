#!/usr/bin/env bash
# Starts the logger of a build. When the gateway it was built for is this
# machine (the default, 127.0.0.1:8031), the gateway simulator is started
# on that port first, with the build's site file if it has one, and stops
# when the logger ends; a site's real gateway is read as it is.
set -euo pipefail
build=${1:-build}
sim="$build/tools/gateway-sim/onewire-gateway-sim"
app="$build/src/app/kestrin-3"

host=127.0.0.1:8031 site=
while IFS='=' read -r key value; do
  case $key in
  host) host=$value ;;
  site) site=$value ;;
  esac
done <"$build/built-site.txt"

if [[ $host =~ ^(127\.0\.0\.1|localhost)(:([0-9]+))?$ ]]; then
  port=${BASH_REMATCH[3]:-80}
  sim_args=(--port "$port")
  [[ -n $site ]] && sim_args+=(--site "$site")
  "$sim" "${sim_args[@]}" &
  sim_pid=$!
  trap 'kill $sim_pid 2>/dev/null || true' EXIT

  # Give the simulator a moment to bind before the first read.
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
else
  echo "run: the logger reads the gateway at $host${site:+ (site file $site)}; no simulator started" >&2
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display found; starting the logger under Xvfb (xvfb-run)" >&2
  xvfb-run -a -s "-screen 0 1280x800x24" "$app"
else
  "$app"
fi
