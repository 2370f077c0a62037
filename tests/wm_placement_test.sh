#!/usr/bin/env bash
# Placement under a real window manager: the real program under Xvfb
# (1280 x 1024) with openbox, against the simulator.
#
#  - Closed from the maximized state, by SIGTERM or by the close box, the
#    settings file must hold the maximized frame: 0, 0, 19200, 15360 twips.
#    Several rounds, some with the machine kept busy, because the frame the
#    window manager draws changes at the same moment as the state.
#  - Closed in the normal state, it must hold the outer frame, title bar
#    included, as the X server has it.
#  - Help > About must sit centred over the main window, outer frames
#    compared, to within 2 pixels.
#
# The outer frame of a window is the ancestor the window manager put
# directly under the root window, read from the X server with xwininfo.
#
# Usage: wm_placement_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
# KESTRIN_WM_ROUNDS sets the number of maximized rounds (default 4, each
# with three closes).
set -u

rounds=${KESTRIN_WM_ROUNDS:-4}

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init xwininfo

start_simulator --conversion-ms 5
start_xvfb
start_wm

busy=()
start_load() {
    local i
    for i in 1 2 3; do
        (while :; do :; done) &
        busy+=($!)
        pids+=($!)
    done
}
stop_load() {
    local pid
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    busy=()
}

# Prints "x y width height" of the window's outer frame.
outer_frame() {
    local win=$1 info parent root
    root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    while :; do
        parent=$(xwininfo -tree -id "$win" 2>/dev/null | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
        [[ -n $parent ]] || return 1
        [[ $parent == "$root" ]] && break
        win=$parent
    done
    info=$(xwininfo -id "$win") || return 1
    awk '/Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
         /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } /Border width:/ { b = $NF }
         END { print x - b, y - b, w + 2 * b, h + 2 * b }' <<<"$info"
}

setting() { sed -n "s/^$1=//p" "$2/config/Kestrin-3/Kestrin-3.conf" 2>/dev/null; }
saved() { echo "$(setting MainLeft "$1") $(setting MainTop "$1") $(setting MainWidth "$1") $(setting MainHeight "$1")"; }

# Outer frame in pixels to twips at 96 dots an inch.
as_twips() { awk '{ print $1 * 15, $2 * 15, $3 * 15, $4 * 15 }' <<<"$1"; }

# True once the window manager has put the window into a frame of its own.
framed() { [[ $(outer_frame "$1") != "$(xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF } /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }')" ]]; }

frame_is() { [[ $(outer_frame "$1") == "$2" ]]; }

# Double-clicks the title bar: openbox toggles maximized.
toggle_maximized() {
    local x y w h
    read -r x y w h <<<"$(outer_frame "$main_window")"
    xdotool mousemove $((x + w / 2)) $((y + 6)) click --repeat 2 --delay 60 1
}

# Clicks the close box at the title bar's right end.
click_close_box() {
    local x y w h
    read -r x y w h <<<"$(outer_frame "$main_window")"
    xdotool mousemove $((x + w - 12)) $((y + 10)) click 1
}

ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_end() {
    wait_for 10 ended || { fail "$1: still running 10 s after the close"; kill -KILL "$app_pid"; }
    wait "$app_pid" 2>/dev/null
}

# --- 1: closed from maximized -----------------------------------------------
# Three ways to close each round:
#  settled: the close comes as soon as the X server shows the maximized
#           frame, by SIGTERM or the close box, every other round with the
#           machine busy;
#  frozen:  the program is stopped while the window manager maximizes it and
#           gets SIGTERM as it resumes, so the close is handled before the
#           program has seen what the window manager did;
#  racing:  SIGTERM a few hundredths of a second after the double click,
#           with the machine busy; the close may come before, during or
#           after the maximize, so either whole frame is right, a mixture
#           of the two is not.
full="0 0 1280 1024"
want_full=$(as_twips "$full")
wrong=0
total=0
for ((round = 1; round <= rounds; ++round)); do
    for mode in settled frozen racing; do
        run=$work/$mode$round
        loaded=0
        how=SIGTERM
        case $mode in
        settled)
            ((round % 2 == 0)) && loaded=1
            ((round % 3 == 0)) && how="close box"
            ;;
        racing) loaded=1 ;;
        esac
        what="$mode $round ($how$( ((loaded)) && echo ", busy"))"
        start_program "$run" || continue
        wait_for 5 framed "$main_window" || fail "$what: not framed"
        sleep 0.5
        normal=$(as_twips "$(outer_frame "$main_window")")
        ((loaded)) && start_load
        [[ $mode == frozen ]] && kill -STOP "$app_pid"
        toggle_maximized
        if [[ $mode == racing ]]; then
            sleep "$(printf '0.%02d' $((6 + 2 * (round % 4))))"
        elif ! wait_for 5 frame_is "$main_window" "$full"; then
            fail "$what: not maximized, frame $(outer_frame "$main_window")"
            stop_load
            kill -KILL "$app_pid"
            wait_end "$what"
            continue
        fi
        if [[ $how == SIGTERM ]]; then
            kill -TERM "$app_pid"
            [[ $mode == frozen ]] && kill -CONT "$app_pid"
        else
            click_close_box
        fi
        wait_end "$what"
        stop_load
        got=$(saved "$run")
        total=$((total + 1))
        if [[ $got == "$want_full" || ($mode == racing && $got == "$normal") ]]; then
            echo "$what: saved $got"
        else
            fail "$what: saved $got, want $want_full${normal:+$([[ $mode == racing ]] && echo " or $normal")}"
            wrong=$((wrong + 1))
        fi
    done
done
echo "maximized closes: $wrong of $total saved the wrong bounds"

# --- 2: closed in the normal state ------------------------------------------
run=$work/normal
if start_program "$run"; then
    sleep 1
    frame=$(outer_frame "$main_window")
    read -r _ _ _ fh <<<"$frame"
    client_h=$(xwininfo -id "$main_window" | awk '/^ *Height:/ { print $NF }')
    ((fh > client_h)) || fail "normal: the frame $frame has no title bar (client height $client_h)"
    kill -TERM "$app_pid"
    wait_end normal
    got=$(saved "$run")
    want=$(as_twips "$frame")
    [[ $got == "$want" ]] || fail "normal: saved $got, the outer frame is $want"
    echo "normal close: outer frame $frame px, saved $got"
fi

# --- 3: the About dialog centred over the main window -----------------------
run=$work/about
if start_program "$run"; then
    sleep 1
    xdotool windowfocus --sync "$main_window"
    xdotool key --window "$main_window" alt+h
    sleep 0.3
    xdotool key a
    about=
    find_about() {
        about=$(xdotool search --onlyvisible --pid "$app_pid" --name '^About ' 2>/dev/null | grep -vx "$main_window" | head -n1)
        [[ -n $about ]]
    }
    if wait_for 5 find_about; then
        # Once the window manager has framed and placed it.
        sleep 1
        read -r mx my mw mh <<<"$(outer_frame "$main_window")"
        read -r ax ay aw ah <<<"$(outer_frame "$about")"
        dx=$(((2 * ax + aw) - (2 * mx + mw)))
        dy=$(((2 * ay + ah) - (2 * my + mh)))
        # Twice the offset of the centres, in pixels.
        echo "About: main frame $mx $my $mw $mh, dialog frame $ax $ay $aw $ah, centre off by $((dx / 2)),$((dy / 2)) px"
        ((dx >= -4 && dx <= 4 && dy >= -4 && dy <= 4)) ||
            fail "About: centre off by $((dx / 2)),$((dy / 2)) px"
    else
        fail "no About dialog after Help > About"
    fi
    kill -TERM "$app_pid"
    wait_end about
fi

((failures == 0)) || exit 1
echo "PASS"
