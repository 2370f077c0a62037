#!/usr/bin/env bash
# The real program against the real simulator on an X server of its own:
# logging is switched on through the GUI (Start Logging, a path typed into
# the file dialog), then the process gets SIGTERM. It must exit with status
# 0, leave only whole records in the log, and leave its placement in the
# settings file. A second run gets SIGTERM while the file dialog is open.
#
# Usage: sigterm_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
# PORT is the one in the gateway host the program was built with.
# Exit status 77 (skipped) when Xvfb or xdotool is missing.
set -u

app=${1:?path of kestrin-3}
sim=${2:?path of onewire-gateway-sim}
port=${3:-8031}

# The port may be taken by a simulator someone started by hand. In a
# network namespace of our own it is ours; where that is not allowed, the
# shared one has to do.
if [[ -z ${KESTRIN_NETNS:-} ]] && unshare -n true 2>/dev/null; then
    exec env KESTRIN_NETNS=1 unshare -n bash "$0" "$@"
fi
if [[ -n ${KESTRIN_NETNS:-} ]]; then
    ip link set lo up || { echo "cannot bring up the loopback device" >&2; exit 1; }
fi

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Polls a command every 50 ms for up to $1 seconds.
wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 20))
    while ((tries-- > 0)); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
has_text() { [[ -s $1 ]]; }
line_count() { [[ -f $1 ]] && tr -cd '\n' <"$1" | wc -c || echo 0; }
has_lines() { (($(line_count "$1") >= $2)); }

"$sim" --port "$port" --conversion-ms 5 >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for 5 port_open || { cat "$work/sim.out" >&2; echo "the simulator did not start" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
pids+=($!)
wait_for 5 has_text "$work/display" || { cat "$work/xvfb.out" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(tr -d '\n' <"$work/display")

# Starts the program with a home of its own; sets app_pid and main_window.
start_program() {
    local home=$1
    mkdir -p "$home/config"
    HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
        "$app" >"$home/app.out" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
    main_window=
    find_main() { main_window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Project1$' 2>/dev/null | head -n1); [[ -n $main_window ]]; }
    wait_for 10 find_main || { fail "no main window"; cat "$home/app.out" >&2; return 1; }
}

# Clicks Start Logging and waits for the file dialog; sets dialog_window.
open_file_dialog() {
    # With no window manager the window sits at the screen's corner; the
    # button is at 1920,5760 twips in the client area, below the menu bar.
    xdotool mousemove --window "$main_window" 184 430 click 1
    dialog_window=
    find_dialog() {
        dialog_window=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$main_window" | head -n1)
        [[ -n $dialog_window ]]
    }
    wait_for 5 find_dialog || { fail "no file dialog after Start Logging"; return 1; }
    # Keyboard input goes where the pointer and the focus are.
    xdotool mousemove --window "$dialog_window" 40 40
    xdotool windowfocus --sync "$dialog_window"
    sleep 0.3
}

# Sends SIGTERM and checks the exit status; the time it takes is bounded.
terminate() {
    kill -TERM "$app_pid"
    local status
    ended() { ! kill -0 "$app_pid" 2>/dev/null; }
    if ! wait_for 10 ended; then
        fail "still running 10 s after SIGTERM"
        kill -KILL "$app_pid"
    fi
    wait "$app_pid"
    status=$?
    ((status == 0)) || { fail "exit status $status after SIGTERM"; cat "$1/app.out" >&2; }
}

check_placement() {
    local conf=$1/config/Kestrin-3/Kestrin-3.conf
    [[ -f $conf ]] || { fail "no settings file at $conf"; return; }
    grep -qx '\[Settings\]' "$conf" || fail "no [Settings] section in $conf"
    local key value
    for key in MainLeft MainTop MainWidth MainHeight; do
        value=$(sed -n "s/^$key=//p" "$conf")
        [[ $value =~ ^-?[0-9]+$ ]] || fail "$key is '$value' in $conf"
    done
    # Unframed at the corner, at its design width of 15120 twips.
    [[ $(sed -n 's/^MainLeft=//p' "$conf") == 0 ]] || fail "MainLeft is not 0"
    [[ $(sed -n 's/^MainTop=//p' "$conf") == 0 ]] || fail "MainTop is not 0"
    [[ $(sed -n 's/^MainWidth=//p' "$conf") == 15120 ]] || fail "MainWidth is not 15120"
}

# --- 1: logging on, then SIGTERM -------------------------------------------
run1=$work/run1
log=$run1/logs/records.txt
mkdir -p "$run1/logs"
if start_program "$run1" && open_file_dialog; then
    xdotool type --delay 10 "$log"
    xdotool key Return
    wait_for 15 has_lines "$log" 3 || fail "the log did not reach 3 records"
    terminate "$run1"
    check_placement "$run1"

    lines=$(line_count "$log")
    crlf=$(grep -c $'\r$' "$log")
    ((lines >= 3)) || fail "only $lines records"
    ((crlf == lines)) || fail "$crlf of $lines lines end with CR LF"
    [[ $(tail -c1 "$log" | od -An -c | tr -d ' ') == '\n' ]] || fail "the last record is cut"
    # The stamp and 11 readings in print form.
    bad=$(tr -d '\r' <"$log" | awk -F, '
        NF != 12 { print NR ": " NF " fields"; next }
        { for (i = 2; i <= 12; ++i) if ($i !~ /^ *-?[0-9]*\.?[0-9]+ *$/) { print NR ": field " i " is [" $i "]"; next } }')
    [[ -z $bad ]] || fail "malformed records: $bad"
    echo "run 1: $lines records, all whole"
fi

# --- 2: SIGTERM while the file dialog is open -------------------------------
run2=$work/run2
if start_program "$run2" && open_file_dialog; then
    terminate "$run2"
    check_placement "$run2"
    [[ -z $(find "$run2/logs" -type f 2>/dev/null) ]] || fail "a log file appeared without a choice"
    echo "run 2: ended from the open dialog"
fi

((failures == 0)) || exit 1
echo "PASS"
