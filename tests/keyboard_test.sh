#!/usr/bin/env bash
# Logging switched on and off from the keyboard alone, as someone without a
# mouse does it: the real program under Xvfb with a window manager, keys
# sent with xdotool, the pointer never moved or pressed. Where the focus is
# after each key is read from the accessibility tree, as a screen reader
# would announce it. Tab reaches Start Logging, Space opens the file
# dialog, the name is typed, Return confirms; records arrive. Space on the
# same button stops them. File > Exit from its access keys ends the program.
#
# Usage: keyboard_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
set -u

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init import

shots=${KESTRIN_SCREENSHOT_DIR:-$work}
start_simulator --conversion-ms 20
start_xvfb
start_wm
start_accessibility

run=$work/run
log=$run/logs/records.txt
mkdir -p "$run/logs"
start_program "$run" || exit 1
"${atspi[@]}" wait --window Project1 || { fail "the main window is not on the accessibility bus"; exit 1; }
# Raised and given the focus through the window manager, not by a click.
xdotool windowactivate --sync "$main_window"

# The focused control's role and name, as a screen reader announces it.
focus_on() { [[ $("${atspi[@]}" focused | cut -f1,2) == "$1" ]]; }
expect_focus() {
    wait_for 3 focus_on "$1" || fail "$2: the focus is on [$("${atspi[@]}" focused | cut -f1,2)], not [$1]"
}
key() {
    xdotool key --delay 100 "$@"
    sleep 0.2
}

expect_focus $'text\tPage' "at start"
key Tab
[[ $("${atspi[@]}" focused | cut -f1) == "combo box" ]] || fail "the first Tab does not reach the address box"
key Tab
expect_focus $'push button\tStart Logging' "after two Tabs"
key space
"${atspi[@]}" wait --window Open || { fail "Space on Start Logging opened no file dialog"; exit 1; }
expect_focus $'text\tFile name:' "in the file dialog"
# The field may still offer the name picked before.
key ctrl+a
xdotool type --delay 5 "$log"
key Return
wait_for 15 has_lines "$log" 3 || { fail "the log did not reach 3 records"; exit 1; }
expect_focus $'push button\tStop Logging' "back from the file dialog"
IFS=$'\t' read -r file_shown < <("${atspi[@]}" text --role text "Log file")
[[ $file_shown == "$log" ]] || fail "the Log file field says [$file_shown]"
import -window "$main_window" "$shots/keyboard-logging.png"

key space
# Once the caption is back, logging is off: not one record more.
expect_focus $'push button\tStart Logging' "after stopping"
stopped=$(line_count "$log")
sleep 2
(($(line_count "$log") == stopped)) || fail "records went on after Stop Logging: $stopped, then $(line_count "$log")"
import -window "$main_window" "$shots/keyboard-stopped.png"
check_records "$log" "keyboard logging"

# File > Exit by its access keys; the program ends as it should.
key alt+f x
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
if wait_for 10 ended; then
    wait "$app_pid"
    status=$?
    ((status == 0)) || fail "exit status $status after File > Exit"
else
    fail "still running 10 s after File > Exit"
fi

echo "$stopped records while logging was on, none after"
((failures == 0)) || exit 1
echo "PASS"
