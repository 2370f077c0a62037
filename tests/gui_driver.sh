# Shell functions that drive the real kestrin-3 on an X server of its own
# against the real simulator. Sourced by the tests that need the whole
# program: they call gui_program_args (or set app, sim and port), then
# gui_enter_namespaces (optional) and gui_init before anything else.
#
# Without a window manager the main window sits unframed at the screen's
# corner, so its controls are at fixed pixel places: twips / 15, below a
# menu bar of 22 pixels.

# The arguments every such test takes: KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT],
# the port being the one of the gateway host the program was built with.
gui_program_args() {
    app=${1:?path of kestrin-3}
    sim=${2:?path of onewire-gateway-sim}
    port=${3:-8031}
    gui_args=("$@")
}

# Re-runs the calling script in namespaces of its own ("-n" for the network,
# "-n -m" for the network and the mounts) when the system allows it: the
# port may be taken by a simulator someone started by hand, and mounts must
# not leak out. Sets KESTRIN_NETNS / KESTRIN_MNTNS in the re-run.
gui_enter_namespaces() {
    if [[ -z ${KESTRIN_NETNS:-} ]]; then
        if unshare "$@" true 2>/dev/null; then
            local mnt=
            [[ " $* " == *" -m "* ]] && mnt=1
            exec env KESTRIN_NETNS=1 KESTRIN_MNTNS=$mnt unshare "$@" bash "$0" "${gui_args[@]}"
        elif [[ " $* " == *" -m "* ]] && unshare -n true 2>/dev/null; then
            exec env KESTRIN_NETNS=1 KESTRIN_MNTNS= unshare -n bash "$0" "${gui_args[@]}"
        fi
    fi
    if [[ -n ${KESTRIN_NETNS:-} ]]; then
        ip link set lo up || { echo "cannot bring up the loopback device" >&2; exit 1; }
    fi
}

# Checks the tools named (exit 77 when one is missing), makes the work
# directory and the clean-up.
test_init() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
    done
    work=$(mktemp -d)
    pids=()
    failures=0
    trap gui_cleanup EXIT
}

# test_init for a test with an X server of its own; extra tool names may
# be given.
gui_init() { test_init Xvfb xdotool "$@"; }

gui_cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [[ -n ${gui_mounts:-} ]] && umount $gui_mounts 2>/dev/null
    rm -rf "$work"
}

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

# Starts the simulator on $port; extra arguments go to it.
start_simulator() {
    "$sim" --port "$port" "$@" >"$work/sim.out" 2>&1 &
    pids+=($!)
    wait_for 5 port_open || { cat "$work/sim.out" >&2; echo "the simulator did not start" >&2; exit 1; }
}

start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
    pids+=($!)
    wait_for 5 has_text "$work/display" || { cat "$work/xvfb.out" >&2; echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(tr -d '\n' <"$work/display")
}

# A window manager, as on a desktop: frames, placement, focus.
start_wm() {
    command -v openbox >/dev/null || { echo "SKIP: openbox is not installed" >&2; exit 77; }
    openbox --sm-disable >"$work/wm.out" 2>&1 &
    pids+=($!)
    sleep 0.5
}

# A session bus of the test's own with the AT-SPI bus on it, as a desktop
# session has for its screen reader: Qt programs started afterwards publish
# their accessibility tree there, and "${atspi[@]}" (tests/atspi_reader.py)
# reads it. After start_xvfb: the AT-SPI bus also names itself on the display.
start_accessibility() {
    local python=/usr/bin/python3
    [[ -x $python ]] || python=$(command -v python3) || { echo "SKIP: python3 is not installed" >&2; exit 77; }
    command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon is not installed" >&2; exit 77; }
    [[ -f /usr/share/dbus-1/services/org.a11y.Bus.service ]] ||
        { echo "SKIP: at-spi2-core is not installed" >&2; exit 77; }
    "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed" >&2; exit 77; }
    # The AT-SPI bus puts its socket in the runtime directory: one of the
    # test's own, not the desktop session's.
    mkdir -m 700 "$work/runtime"
    XDG_RUNTIME_DIR=$work/runtime dbus-daemon --session --nofork --print-address=3 3>"$work/session-bus" \
        >"$work/dbus.out" 2>&1 &
    pids+=($!)
    wait_for 5 has_text "$work/session-bus" || { cat "$work/dbus.out" >&2; echo "no session bus" >&2; exit 1; }
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/session-bus")
    export DBUS_SESSION_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    atspi=("$python" "$(dirname "${BASH_SOURCE[0]}")/atspi_reader.py")
    # Started before the program, which finds it already there.
    "${atspi[@]}" bus >"$work/a11y-bus" 2>"$work/a11y-bus.err" ||
        { cat "$work/a11y-bus.err" >&2; echo "the AT-SPI bus did not start" >&2; exit 1; }
}

# Starts the program with a home of its own, under the locale in
# $program_locale (C.UTF-8 unless set); sets app_pid and main_window.
# Now and then a connection to Xvfb is refused while it is still cleaning up
# after a killed client; such a start is tried again (x_retries counts them).
x_retries=0
start_program() {
    local home=$1 attempt
    mkdir -p "$home/config"
    for attempt in 1 2 3; do
        HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb \
            LANG=${program_locale:-C.UTF-8} LC_ALL=${program_locale:-C.UTF-8} \
            "$app" >"$home/app.out" 2>&1 &
        app_pid=$!
        pids+=("$app_pid")
        main_window=
        find_main() {
            main_window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Project1$' 2>/dev/null | head -n1)
            [[ -n $main_window ]] || ! kill -0 "$app_pid" 2>/dev/null
        }
        wait_for 10 find_main
        [[ -n $main_window ]] && return 0
        if ! kill -0 "$app_pid" 2>/dev/null && grep -q 'could not connect to display' "$home/app.out"; then
            wait "$app_pid" 2>/dev/null
            x_retries=$((x_retries + 1))
            sleep 0.5
            continue
        fi
        break
    done
    fail "no main window"
    cat "$home/app.out" >&2
    return 1
}

# Clicks Start Logging and waits for the file dialog; sets dialog_window.
open_file_dialog() {
    # btnFileWrite is at 1920,5760 twips, 1690 x 730.
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

# Starts the program with its home in $1 and switches logging on through the
# file dialog into $1/logs/records.txt (set in $log); waits for 3 records.
start_logging() {
    log=$1/logs/records.txt
    mkdir -p "$1/logs"
    start_program "$1" && open_file_dialog || return 1
    choose_file "$log"
    wait_for 15 has_lines "$log" 3 || { fail "the log did not reach 3 records"; return 1; }
}

# Types a path into the open file dialog's name field and confirms it.
choose_file() {
    # The field may still offer the name picked before.
    xdotool key ctrl+a
    xdotool type --delay 5 "$1"
    xdotool key Return
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

# Reads what txtRecNum shows: a double click selects its digits, which makes
# the program the owner of the X primary selection, and xclip asks it for
# them. Prints the number (0 while the field is still empty); fails when the
# selection cannot be read or is no number.
read_counter() {
    # txtRecNum is at 3840,6240 twips, 850 x 300; its digits sit at the left.
    xdotool mousemove --window "$main_window" 262 438 click --repeat 2 --delay 30 1
    local text
    text=$(timeout 2 xclip -o -selection primary 2>/dev/null) || text=
    if [[ -z $text ]]; then
        # Nothing selected: the field was still empty.
        echo 0
        return 0
    fi
    [[ $text =~ ^[0-9]+$ ]] || return 1
    echo "$text"
}

# Checks that every line of the log is a whole record: CR LF at its end, the
# time stamp, then 11 readings in print form. $2 names the situation.
check_records() {
    local log=$1 what=$2
    local lines crlf bad
    lines=$(line_count "$log")
    crlf=$(grep -c $'\r$' "$log")
    ((crlf == lines)) || fail "$what: $crlf of $lines lines end with CR LF"
    if [[ -s $log && $(tail -c1 "$log" | od -An -c | tr -d ' ') != '\n' ]]; then
        fail "$what: the last record is cut"
    fi
    bad=$(tr -d '\r' <"$log" | awk -F, '
        NF != 12 { print NR ": " NF " fields"; next }
        $1 !~ /^[0-9A-Za-z][^ ]*( [^ ]+)* [0-9][0-9]?:[0-9][0-9]:[0-9][0-9]( ?[AaPp][Mm])?$/ { print NR ": time stamp [" $1 "]"; next }
        { for (i = 2; i <= 12; ++i) if ($i !~ /^ *-?[0-9]*\.?[0-9]+ *$/) { print NR ": field " i " is [" $i "]"; next } }' | head -n5)
    [[ -z $bad ]] || fail "$what: malformed records: $bad"
}

# Starts kestrin-logview ($viewer) with a home of its own ($1) on the other
# arguments, under $program_locale (C.UTF-8 unless set); sets viewer_pid
# and viewer_window once its window shows a log's record count.
start_viewer() {
    local home=$1
    shift
    mkdir -p "$home/config"
    HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb \
        LANG=${program_locale:-C.UTF-8} LC_ALL=${program_locale:-C.UTF-8} \
        "$viewer" "$@" >"$home/viewer.out" 2>&1 &
    viewer_pid=$!
    pids+=("$viewer_pid")
    viewer_window=
    find_viewer() {
        viewer_window=$(xdotool search --onlyvisible --pid "$viewer_pid" --name 'records\) - Kestrin-3 Log Viewer' 2>/dev/null | head -n1)
        [[ -n $viewer_window ]] || ! kill -0 "$viewer_pid" 2>/dev/null
    }
    wait_for 15 find_viewer
    [[ -n $viewer_window ]] && return 0
    fail "no viewer window"
    cat "$home/viewer.out" >&2
    return 1
}

# A dark desktop theme in the folder DIR, handed over as Plasma's Breeze
# Dark hands it to Qt programs (kdeglobals); a program started with
# XDG_CONFIG_HOME=DIR, XDG_CURRENT_DESKTOP=KDE and KDE_SESSION_VERSION=5
# takes its palette.
write_dark_theme() {
    mkdir -p "$1"
    cat >"$1/kdeglobals" <<'INI'
[Colors:View]
BackgroundNormal=35,38,41
ForegroundNormal=239,240,241
[Colors:Window]
BackgroundNormal=49,54,59
ForegroundNormal=239,240,241
[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=239,240,241
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
INI
}
