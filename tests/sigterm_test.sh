#!/usr/bin/env bash
# The real program against the real simulator on an X server of its own:
# logging is switched on through the GUI (Start Logging, a path typed into
# the file dialog), then the process gets SIGTERM. It must exit with status
# 0, leave only whole records in the log, at least as many as txtRecNum
# showed just before, and leave its placement in the settings file. A second
# run gets SIGTERM while the file dialog is open.
#
# Usage: sigterm_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
# PORT is the one in the gateway host the program was built with.
# Exit status 77 (skipped) when Xvfb or xdotool is missing. Without xclip
# the counter is not compared.
set -u


source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init

start_simulator --conversion-ms 5
start_xvfb

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
    choose_file "$log"
    wait_for 15 has_lines "$log" 3 || fail "the log did not reach 3 records"
    counted=
    if command -v xclip >/dev/null; then
        counted=$(read_counter) || { fail "txtRecNum could not be read"; counted=; }
    fi
    terminate "$run1"
    check_placement "$run1"

    lines=$(line_count "$log")
    ((lines >= 3)) || fail "only $lines records"
    check_records "$log" "run 1"
    if [[ -n $counted ]]; then
        ((counted >= 3 && lines >= counted)) || fail "txtRecNum showed $counted, the file holds $lines"
    fi
    echo "run 1: $lines records, all whole${counted:+, txtRecNum showed $counted before SIGTERM}"
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
