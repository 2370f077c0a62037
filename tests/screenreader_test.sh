#!/usr/bin/env bash
# The real program as a screen reader meets it: its accessibility tree read
# over AT-SPI on a private session bus, the way Orca reads it, under Xvfb
# with a window manager, against a simulator that serves known readings.
# - Every control a keyboard user can reach, in the main window, the About
#   box, a message box and the file dialog, has a name; the labelled fields
#   are named by their labels and tied to them.
# - The temperature field's text is the reading served for the sensor that
#   the Sensor Number field shows, in the locale's form.
# - A listener on the temperature field hears each new reading, in the
#   order the sensors are read.
#
# Usage: screenreader_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
set -u

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init

program_locale=${LC_ALL:-C.UTF-8}
locale -a 2>/dev/null | grep -qix "${program_locale/UTF-8/utf8}" ||
    { echo "the locale $program_locale is not installed (scripts/bootstrap.sh makes it)" >&2; exit 1; }
case $program_locale in
de_DE.* | fr_FR.*) shown_separator=, ;;
C.* | en_*) shown_separator=. ;;
*) echo "SKIP: no expectations for $program_locale" >&2; exit 77 ;;
esac

rom_ids=(9C000000B4A89828 06000000A4EC7428 B900000027CA8F28 E6000000B4E6AC28 6E00000027CD1E28
         40000000B491CF28 A1000000180B0528 47000000A4F3AD28 88000000B4A59328 EC00000027A23328
         EE000000B4913B28)
served=(21.5 -0.25 0.5 19 -0.0625 125 -55 0.0625 22.0625 -0.5 -10.125)
shown=()
for v in "${served[@]}"; do shown+=("${v//./$shown_separator}"); done

# Slow enough that the number and the temperature can be read between two reads.
sim_args=(--conversion-ms 150)
for i in "${!rom_ids[@]}"; do sim_args+=(--reading "${rom_ids[i]}=${served[i]}"); done
start_simulator "${sim_args[@]}"
start_xvfb
start_wm
start_accessibility

run=$work/run
start_program "$run" || exit 1
"${atspi[@]}" wait --window Project1 || { fail "the main window is not on the accessibility bus"; exit 1; }

# Nothing a keyboard user can reach goes unnamed. $1 is the window's title.
check_names() {
    local unnamed
    unnamed=$("${atspi[@]}" focusable --unnamed --window "$1") ||
        fail "$1: focusable controls without a name: $(tr '\n' ';' <<<"$unnamed")"
}

check_names Project1
"${atspi[@]}" focusable --window Project1 >"$work/focusable"
for control in "text	Sensor Number" "text	Temperature" "text	Records Written" "text	Log file" \
    "text	Address" "text	Page" "push button	Start Logging" "push button	Stop Program"; do
    grep -qF "$control	" "$work/focusable" || fail "no focusable control [$control]"
done
for field in "Sensor Number" Temperature "Records Written"; do
    label=$("${atspi[@]}" relation --role text "$field" labelled-by)
    [[ $label == "$field" ]] || fail "the $field field is labelled by [$label]"
done
"${atspi[@]}" dump --window Project1 >"$work/tree"
grep -qP '^ *status bar\tStatus bar\t' "$work/tree" || fail "no status bar in the tree"

# The temperature beside the number of the sensor it came from, read
# between two reads (the number read again has not moved).
matched=0
for _ in $(seq 10); do
    IFS=$'\t' read -r before temperature after < <("${atspi[@]}" text --role text "Sensor Number" Temperature "Sensor Number")
    if [[ -n $before && $before == "$after" && $before =~ ^[0-9]+$ ]]; then
        want=${shown[before - 1]}
        [[ $temperature == "$want" ]] && matched=$((matched + 1)) ||
            fail "sensor $before: the Temperature field says [$temperature], served [$want]"
    fi
    sleep 0.2
done
((matched >= 3)) || fail "only $matched readings could be compared"

# What a screen reader following the field hears for 3 s: a text change
# for every read (about 6 a second), each a served reading, sensor after
# sensor.
"${atspi[@]}" listen --role text Temperature --seconds 3 >"$work/heard" 2>"$work/listen.err" ||
    { cat "$work/listen.err" >&2; fail "the listener failed"; }
mapfile -t heard < <(awk -F'\t' '$2 == "insert" { print $3 }' "$work/heard")
((${#heard[@]} >= 12)) || fail "heard ${#heard[@]} new readings in 3 s: $(tr '\n' ' ' <"$work/heard")"
previous=
for text in "${heard[@]}"; do
    index=-1
    for i in "${!shown[@]}"; do [[ ${shown[i]} == "$text" ]] && index=$i; done
    ((index >= 0)) || { fail "heard [$text], which was never served"; continue; }
    [[ -z $previous ]] || ((index == (previous + 1) % ${#shown[@]})) ||
        fail "heard sensor $((index + 1)) after sensor $((previous + 1))"
    previous=$index
done

# The dialogs, opened from the keyboard.
xdotool windowactivate --sync "$main_window"
sleep 0.3
xdotool key --delay 150 alt+h a
if "${atspi[@]}" wait --window "About Project1"; then
    check_names "About Project1"
    "${atspi[@]}" focusable --window "About Project1" | grep -qP '^image\tApplication icon\t' ||
        fail "the About box's icon is not named"
    [[ -n ${KESTRIN_SCREENSHOT_DIR:-} ]] && import -window root "$KESTRIN_SCREENSHOT_DIR/screenreader-about.png"
    xdotool key Escape
else
    fail "Alt+H, A opened no About box"
fi
sleep 0.3
xdotool key --delay 150 alt+f n
if "${atspi[@]}" wait --window Kestrin-3; then
    check_names Kestrin-3
    xdotool key Return
else
    fail "Alt+F, N showed no message box"
fi
sleep 0.3
# Start Logging is the second Tab stop after the page view, which has the focus.
xdotool key --delay 150 Tab Tab space
if "${atspi[@]}" wait --window Open; then
    check_names Open
    "${atspi[@]}" focused | grep -qP '^text\tFile name:' || fail "the file dialog's focus is not on its file name"
    xdotool key Escape
else
    fail "Tab, Tab, Space opened no file dialog"
fi

terminate "$run"
echo "$program_locale: heard ${#heard[@]} readings in 3 s, compared $matched"
((failures == 0)) || exit 1
echo "PASS"
