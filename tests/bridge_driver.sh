# Shell functions for the tests that run kestrin-bridge against real
# servers (mosquitto, prometheus, dunst) and real logs. Sourced after
# gui_driver.sh, whose wait_for, fail and clean-up they share.

# test_init with curl, which every bridge test scrapes with.
bridge_init() { test_init curl "$@"; }

# A TCP port on 127.0.0.1 that nothing listens on right now, and that no
# client socket can take in the meantime: outside the kernel's range of
# ephemeral ports, where other tests' connections get theirs. A port handed
# out once is not handed out again in the same test (kept in a file: the
# function runs in a subshell).
free_port() {
    local p tries low high from to
    read -r low high </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || { low=32768 high=60999; }
    if ((low > 11024)); then
        from=10000 to=$((low - 1))
    else
        from=$((high + 1)) to=65535
    fi
    for tries in $(seq 200); do
        p=$((from + (RANDOM * 32768 + RANDOM) % (to - from + 1)))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && ! grep -qx "$p" "$work/ports" 2>/dev/null; then
            echo "$p" >>"$work/ports"
            echo "$p"
            return 0
        fi
    done
    return 1
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# One record as kestrin-3 writes it under $LC_ALL: the local time stamp of
# the epoch second $1, then each reading in print form.
log_line() {
    local when=$1 stamp line="" value digits sign
    shift
    case ${LC_ALL:-C.UTF-8} in
        de_DE*) stamp=$(date -d "@$when" '+%d.%m.%Y %H:%M:%S') ;;
        en_US*) stamp=$(date -d "@$when" '+%-m/%-d/%Y %-I:%M:%S %p') ;;
        *) stamp=$(LC_TIME=C date -d "@$when" '+%-d %b %Y %H:%M:%S') ;;
    esac
    for value in "$@"; do
        sign=" "
        digits=$value
        [[ $digits == -* ]] && { sign="-"; digits=${digits#-}; }
        [[ $digits == 0.* ]] && digits=${digits#0}
        [[ ${LC_ALL:-} == de_DE* ]] && digits=${digits/./,}
        [[ -n $line ]] && line+=" , "
        line+="$sign$digits "
    done
    printf '%s, %s\r\n' "$stamp" "$line"
}

# The value as the bridge publishes it: the logged digits with ".".
published() { [[ $1 == -* ]] && echo "-${1#-}" || echo "$1"; }

# Starts mosquitto on port $1 with the configuration $2 (log in $work/mosquitto.log).
start_mosquitto() {
    mosquitto -c "$2" >>"$work/mosquitto.log" 2>&1 &
    mosquitto_pid=$!
    pids+=("$mosquitto_pid")
    wait_for 5 listening "$1" || { cat "$work/mosquitto.log" >&2; echo "mosquitto did not start" >&2; exit 1; }
}

# Starts the bridge with the arguments given; its stderr goes to $work/bridge.err.
start_bridge() {
    "$bridge" "$@" >"$work/bridge.out" 2>>"$work/bridge.err" &
    bridge_pid=$!
    pids+=("$bridge_pid")
}

has_line() { grep -qF -- "$2" "$1" 2>/dev/null; }
metrics() { curl -s --max-time 2 "http://127.0.0.1:$1/metrics"; }
metric_is() { metrics "$1" | grep -qxF -- "$2"; }
