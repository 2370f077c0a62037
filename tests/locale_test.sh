#!/usr/bin/env bash
# The real program under the locale of this process's LANG and LC_ALL (CTest
# runs it once per locale), against a simulator that serves known readings:
# decimals, negatives, values below 1. Logging is switched on through the
# file dialog. Every record must hold exactly what was served, in the
# locale's print form with ASCII digits; the time stamp must have the
# locale's shape with ASCII digits and no direction marks; and the window
# must show the readings, not 0.
#
# Usage: locale_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
set -u


source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n
gui_init xclip

program_locale=${LC_ALL:-C.UTF-8}
locale -a 2>/dev/null | grep -qix "${program_locale/UTF-8/utf8}" ||
    { echo "the locale $program_locale is not installed (scripts/bootstrap.sh makes it)" >&2; exit 1; }

rom_ids=(9C000000B4A89828 06000000A4EC7428 B900000027CA8F28 E6000000B4E6AC28 6E00000027CD1E28
         40000000B491CF28 A1000000180B0528 47000000A4F3AD28 88000000B4A59328 EC00000027A23328
         EE000000B4913B28)
served=(21.5 -0.25 0.5 19 -0.0625 125 -55 0.0625 22.0625 -0.5 -10.125)
printed=(" 21.5" "-.25" " .5" " 19" "-.0625" " 125" "-55" " .0625" " 22.0625" "-.5" "-10.125")

# The locale's decimal separator in the file, the shape of its time stamp
# (with today's date), and how the window writes digits and separator.
today_us=$(date +%-m/%-d/%Y) today_eu=$(date +%d/%m/%Y)
separator=. shown_separator=. arabic_digits=
case $program_locale in
C.UTF-8) stamp="^$(date +%-d) [A-Z][a-z]{2} $(date +%Y) [0-9]{2}:[0-9]{2}:[0-9]{2}\$" ;;
en_US.UTF-8) stamp="^$today_us [0-9]{1,2}:[0-9]{2}:[0-9]{2} (AM|PM)\$" ;;
en_GB.UTF-8) stamp="^$today_eu [0-9]{2}:[0-9]{2}:[0-9]{2}\$" ;;
de_DE.UTF-8) stamp="^$(date +%d.%m.%Y) [0-9]{2}:[0-9]{2}:[0-9]{2}\$" separator=, shown_separator=, ;;
fr_FR.UTF-8) stamp="^$today_eu [0-9]{2}:[0-9]{2}:[0-9]{2}\$" separator=, shown_separator=, ;;
ja_JP.UTF-8) stamp="^$(date +%Y/%m/%d) [0-9]{1,2}時[0-9]{2}分[0-9]{2}秒\$" ;;
ar_EG.UTF-8) stamp="^$(date +%-d/%-m/%Y) [0-9]{1,2}:[0-9]{2}:[0-9]{2} (ص|م)\$" shown_separator=٫ arabic_digits=1 ;;
*) echo "SKIP: no expectations for $program_locale" >&2; exit 77 ;;
esac

# A served value as the window shows its magnitude.
window_form() {
    local text=${1#-} out= i c
    text=${text//./$shown_separator}
    if [[ -n $arabic_digits ]]; then
        local digits=(٠ ١ ٢ ٣ ٤ ٥ ٦ ٧ ٨ ٩)
        for ((i = 0; i < ${#text}; ++i)); do
            c=${text:i:1}
            [[ $c == [0-9] ]] && out+=${digits[c]} || out+=$c
        done
        text=$out
    fi
    printf '%s' "$text"
}

# Slow enough that a reading stays in the window while it is selected.
sim_args=(--conversion-ms 150)
for i in "${!rom_ids[@]}"; do sim_args+=(--reading "${rom_ids[i]}=${served[i]}"); done
start_simulator "${sim_args[@]}"
start_xvfb

run=$work/run
start_logging "$run" || exit 1

# The temperature box: a drag across it selects its text, and xclip reads
# it. Readings change with every read, so a few samples are taken; a decimal
# reading must show up, and nothing that was never served.
decimals=()
for v in "${served[@]}"; do [[ $v == *.* ]] && decimals+=("$(window_form "$v")"); done
seen_decimal=0 samples=()
for _ in $(seq 12); do
    # txtTemperature is at 360,3360 twips, 1090 x 610: x 24 to 96.
    xdotool mousemove --window "$main_window" 26 266 mousedown 1 mousemove --window "$main_window" 95 266 mouseup 1
    text=$(timeout 2 xclip -o -selection primary 2>/dev/null) || text=
    text=${text#$'\u061c'}
    text=${text#-}
    samples+=("[$text]")
    for d in "${decimals[@]}"; do [[ $text == "$d" ]] && seen_decimal=1; done
    [[ $text == 0 || $text == ٠ ]] && fail "the window showed 0, which was never served"
    sleep 0.2
done
((seen_decimal)) || fail "the window never showed a served decimal reading: ${samples[*]}"
[[ -n ${KESTRIN_SCREENSHOT:-} ]] && import -window root "$KESTRIN_SCREENSHOT"
terminate "$run"

# Every record, byte for byte.
n=0
while IFS= read -r line; do
    n=$((n + 1))
    [[ $line == *$'\r' ]] || { fail "record $n has no CR LF"; continue; }
    line=${line%$'\r'}
    stamp_text=${line%%, *}
    [[ $stamp_text =~ $stamp ]] || fail "record $n: time stamp [$stamp_text] does not match $stamp"
    [[ $stamp_text == *[$'\u200e\u200f\u061c']* ]] && fail "record $n: direction marks in the time stamp"
    body=${line#"$stamp_text, "}
    body=${body//' , '/$'\x1f'}
    IFS=$'\x1f' read -r -a fields <<<"$body"
    ((${#fields[@]} == 11)) || { fail "record $n has ${#fields[@]} readings: [$line]"; continue; }
    for i in "${!fields[@]}"; do
        got=${fields[i]%"${fields[i]##*[! ]}"}
        want=${printed[i]//./$separator}
        [[ $got == "$want" ]] || fail "record $n, sensor $((i + 1)): logged [$got], served ${served[i]}, expected [$want]"
    done
done <"$log"
((n >= 3)) || fail "only $n records"
echo "$program_locale: $n records checked, window samples ${samples[*]}"

((failures == 0)) || exit 1
echo "PASS"
