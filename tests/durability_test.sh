#!/usr/bin/env bash
# Durability of the log with the real program against the real simulator:
#  1. logging on to one file, appended to by round after round, each round
#     ended by SIGKILL at a random moment: only whole records, none lost,
#     at least as many as txtRecNum showed just before the kill;
#  2. the same ended by SIGTERM: exit status 0 and the counted records kept;
#  3. a full disk (a small tmpfs) while logging: whole records only, exactly
#     the counted ones, and logging resumes once space comes back.
#
# Usage: durability_test.sh KESTRIN_3 ONEWIRE_GATEWAY_SIM [PORT]
# PORT is the one in the gateway host the program was built with.
# KESTRIN_KILL_ROUNDS (default 50) and KESTRIN_TERM_ROUNDS (default 5) set
# the number of rounds. Exit status 77 (skipped) when Xvfb, xdotool or
# xclip is missing.
set -u

kill_rounds=${KESTRIN_KILL_ROUNDS:-50}
term_rounds=${KESTRIN_TERM_ROUNDS:-5}

source "$(dirname "${BASH_SOURCE[0]}")/gui_driver.sh"
gui_program_args "$@"
gui_enter_namespaces -n -m
gui_init xclip

# Records come fast, so a kill often lands while one is being written.
start_simulator --conversion-ms 1
start_xvfb

# A random pause of 0.2 to 1.5 s.
random_pause() { sleep "$(awk -v ms=$((RANDOM % 1301 + 200)) 'BEGIN { printf "%.3f", ms / 1000 }')"; }

# Starts the program on the shared home and switches logging on to $1.
start_logging() {
    start_program "$home" || return 1
    open_file_dialog || { kill -KILL "$app_pid"; wait "$app_pid" 2>/dev/null; return 1; }
    choose_file "$1"
}

home=$work/home
log=$work/logs/kill.log
before=$work/before.log
mkdir -p "$work/logs"
: >"$before"

# Checks a round's log against the copy taken before the round: whole
# records, nothing lost or changed, and at least the counted ones added.
# $1 names the round, $2 is the counter read before the end.
check_round() {
    local what=$1 counted=$2
    local old new size
    old=$(line_count "$before")
    new=$(line_count "$log")
    check_records "$log" "$what"
    ((new >= old)) || fail "$what: $new lines after, $old before"
    size=$(stat -c %s "$before")
    cmp -s -n "$size" "$before" "$log" || fail "$what: the earlier records changed"
    ((new - old >= counted)) || fail "$what: txtRecNum showed $counted, the file gained $((new - old))"
    cp "$log" "$before"
    checked=$new
}

# --- 1: SIGKILL at random moments -------------------------------------------
survived=0
counted_total=0
checked=0
unread=0
for ((round = 1; round <= kill_rounds; ++round)); do
    start_logging "$log" || continue
    random_pause
    if ! counted=$(read_counter); then
        unread=$((unread + 1))
        counted=0
    fi
    kill -0 "$app_pid" 2>/dev/null || { fail "kill round $round: the program was not running"; cat "$home/app.out" >&2; }
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    status=$?
    ((status == 128 + 9)) || fail "kill round $round: exit status $status, not death by SIGKILL"
    ((status == 128 + 9)) && survived=$((survived + 1))
    counted_total=$((counted_total + counted))
    check_round "kill round $round" "$counted"
done
((survived == kill_rounds)) || fail "$survived of $kill_rounds kill rounds ran"
((unread == 0)) || fail "txtRecNum could not be read in $unread kill rounds"
((counted_total > 0)) || fail "txtRecNum never showed a record before a kill"
((x_retries == 0)) || echo "note: $x_retries starts were refused by the X server and tried again"
echo "SIGKILL: $survived kills survived, $checked lines checked, nothing lost; $counted_total records counted before the kills, all in the file"

# --- 2: SIGTERM --------------------------------------------------------------
ended=0
for ((round = 1; round <= term_rounds; ++round)); do
    start_logging "$log" || continue
    random_pause
    counted=$(read_counter) || { fail "term round $round: txtRecNum could not be read"; counted=0; }
    failed_before=$failures
    terminate "$home"
    ((failures == failed_before)) && ended=$((ended + 1))
    check_round "term round $round" "$counted"
done
((ended == term_rounds)) || fail "$ended of $term_rounds SIGTERM rounds ended cleanly"
echo "SIGTERM: $ended clean ends, $checked lines checked, the counted records all in the file"

# --- 3: a full disk ----------------------------------------------------------
small=$work/small
file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }
# True once the file has not grown for 1.5 s.
stopped_growing() {
    local size
    size=$(file_size "$1")
    sleep 1.5
    [[ $(file_size "$1") == "$size" ]]
}
if [[ -z ${KESTRIN_MNTNS:-} ]]; then
    echo "SKIP part 3: no mount namespace of our own, so no small file system to fill"
elif ! { mkdir -p "$small" && mount -t tmpfs -o size=64k,mode=0755 tmpfs "$small"; }; then
    echo "SKIP part 3: a tmpfs cannot be mounted here"
else
    gui_mounts=$small
    full=$small/full.log
    # Most of the space goes to a filler, so the log fills it in seconds.
    head -c $((52 * 1024)) /dev/zero >"$small/filler" 2>/dev/null
    home=$work/home-full
    if start_logging "$full"; then
        wait_for 10 has_lines "$full" 1 || fail "full disk: logging did not start"
        wait_for 30 stopped_growing "$full" || fail "full disk: the log never stopped growing"
        kill -0 "$app_pid" 2>/dev/null || fail "full disk: the program ended"
        check_records "$full" "full disk"
        low=$(line_count "$full")
        counted=$(read_counter) || { fail "full disk: txtRecNum could not be read"; counted=-1; }
        high=$(line_count "$full")
        ((low <= counted && counted <= high)) ||
            fail "full disk: txtRecNum shows $counted, the file holds $low to $high records"
        echo "full disk: $high records, $(file_size "$full") bytes, $(df --output=avail -B1 "$small" | tail -n1 | tr -d ' ') bytes free, txtRecNum $counted"

        rm -f "$small/filler"
        wait_for 10 has_lines "$full" $((high + 3)) || fail "full disk: logging did not resume when space came back"
        resumed=$(read_counter) || { fail "after the full disk: txtRecNum could not be read"; resumed=-1; }
        terminate "$home"
        check_records "$full" "after the full disk"
        after=$(line_count "$full")
        ((resumed > counted && after >= resumed)) ||
            fail "after the full disk: txtRecNum showed $resumed (before $counted), the file holds $after"
        echo "space back: $after records, all whole"
    fi
fi

((failures == 0)) || exit 1
echo "PASS"
