#!/usr/bin/env bash
# A build for a site file of four sensors, made the way the README tells a
# user to make one, in a build folder of its own:
#  1. `make configure SITE=` with a file that has a bad ROM id must fail
#     with the reader's file:line: message;
#  2. with the file put right, kestrin-3 and the simulator are built, the
#     simulator is started with `--site` (its bus holds the site's sensors,
#     each serving a value of its own), and logging is switched on through
#     the file dialog: every record carries four readings, in the site's order;
#     the site build's viewer heads its CSV and names its legend's entries
#     (read over AT-SPI) after the site file;
#  3. the Debian package says which site it is for, carries the file as a
#     conffile at /etc/xdg/Kestrin-3/site.ini, and lintian accepts it;
#  4. an edit of the site file reaches the next build by itself;
#  5. a plain `make configure` in that folder goes back to the built-in table.
#
# Usage: site_build_test.sh SOURCE_DIR [PORT]
# Set KESTRIN_SCREENSHOT=FILE.png to keep a picture of the running window.
set -u

source_dir=$(cd "${1:?source folder}" && pwd)
port=${2:-8031}
gui_args=("$@")

source "$source_dir/tests/gui_driver.sh"
gui_enter_namespaces -n
gui_init make cmake cpack dpkg-deb lintian python3

# Compiles are most of the time taken. With ccache, paths are made relative
# to / so that the scratch folder's name does not keep a run from using the
# last run's objects; Release leaves out debug information, which would name
# the folder too.
cmake_args=
if command -v ccache >/dev/null; then
    cmake_args=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=/
fi
build=$work/build
site=$work/lab-e2e.ini
# As from a shell: a `make test SITE=...` around this test would hand its
# variables down through MAKEFLAGS.
configure() {
    env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL \
        make -C "$source_dir" --no-print-directory configure BUILD="$build" BUILD_TYPE=Release CMAKE_ARGS="$cmake_args" "$@"
}

# Sensor n is served ${served[n-1]}, logged as ${printed[n-1]} (C.UTF-8).
rom_ids=(40000000B491CF28 9C000000B4A89828 EC00000027A23328 B900000027CA8F28)
served=(11.5 -12.25 30 4.0625)
printed=(" 11.5" "-12.25" " 30" " 4.0625")
write_site() {
    cat >"$site" <<EOF
# A site of four sensors, not in the order of the built-in table.
[gateway]
host = 127.0.0.1:$port   ; the simulator

[bridge]
site = e2e-lab

[sensor.1]
rom = $1
name = Freezer 2
[sensor.2]
rom = ${rom_ids[1]}
[sensor.3]
rom = ${rom_ids[2]}
name = "Cold room #3"
[sensor.4]
rom = ${rom_ids[3]}
EOF
}

# --- 1. a bad file stops the configure step --------------------------------
write_site 41000000B491CF28
if configure SITE="$site" >"$work/bad.out" 2>&1; then
    fail "configure accepted a site file with a bad ROM id"
fi
expected="$site:9: rom 41000000B491CF28: CRC-8 41 does not match 40, computed from the other digits"
grep -qxF "$expected" "$work/bad.out" || { fail "configure did not say: $expected"; cat "$work/bad.out" >&2; }
[[ -e $build/site/builtsite.cpp ]] && fail "a table was written from the bad file"

# --- 2. the site build against the simulator ---------------------------------
write_site "${rom_ids[0]}"
configure SITE="$site" >"$work/configure.out" 2>&1 || { cat "$work/configure.out" >&2; echo "configure failed" >&2; exit 1; }
cmake --build "$build" --target kestrin-3 onewire-gateway-sim kestrin-logview kestrin-bridge kestrin_install_data \
    >"$work/build.out" 2>&1 || { tail -n 40 "$work/build.out" >&2; echo "the build failed" >&2; exit 1; }

app=$build/src/app/kestrin-3
sim=$build/tools/gateway-sim/onewire-gateway-sim
sim_args=(--site "$site" --conversion-ms 5)
for i in "${!rom_ids[@]}"; do sim_args+=(--reading "${rom_ids[i]}=${served[i]}"); done
start_simulator "${sim_args[@]}"
start_xvfb
run=$work/run
if start_logging "$run"; then
    [[ -n ${KESTRIN_SCREENSHOT:-} ]] && import -window root "$KESTRIN_SCREENSHOT"
    terminate "$run"
fi
n=0
while IFS= read -r line; do
    n=$((n + 1))
    line=${line%$'\r'}
    body=${line#*, }
    body=${body//' , '/$'\x1f'}
    IFS=$'\x1f' read -r -a fields <<<"$body"
    ((${#fields[@]} == 4)) || { fail "record $n has ${#fields[@]} readings: [$line]"; continue; }
    for i in "${!fields[@]}"; do
        got=${fields[i]%"${fields[i]##*[! ]}"}
        [[ $got == "${printed[i]}" ]] || fail "record $n, sensor $((i + 1)): [$got], expected [${printed[i]}]"
    done
done <"${log:-/dev/null}"
((n >= 3)) || fail "only $n records"
echo "$n records of 4 readings each, in the site's order"

# The site build's viewer names the columns after the site file.
viewer=$build/src/logview/kestrin-logview
LC_ALL=C.UTF-8 "$viewer" --csv --names --site "$site" "${log:-/dev/null}" -o "$work/names.csv" 2>"$work/names.err" ||
    { cat "$work/names.err" >&2; fail "kestrin-logview --csv --names"; }
header=$(head -n1 "$work/names.csv" | tr -d '\r')
[[ $header == 'time,"Freezer 2",sensor2,"Cold room #3",sensor4' ]] || fail "the CSV header is [$header]"
row=$(sed -n 2p "$work/names.csv" | tr -d '\r')
[[ ${row#*,} == "11.5,-12.25,30,4.0625" ]] || fail "the CSV's first row is [$row]"
echo "kestrin-logview --csv --names: $header"

# Its window's legend names the lines after the site file, as a screen
# reader reads them over AT-SPI.
start_accessibility
program_locale=C.UTF-8
if start_viewer "$work/viewer" --site "$site" "${log:-/dev/null}"; then
    legend=
    legend_read() {
        legend=$("${atspi[@]}" focusable --app kestrin-logview | awk -F'\t' '$1 == "check box" { print $2 }' | paste -sd '|')
        [[ -n $legend ]]
    }
    wait_for 10 legend_read || fail "no legend entries on the accessibility bus"
    [[ $legend == "1 Freezer 2|Sensor 2|3 Cold room #3|Sensor 4" ]] || fail "the viewer's legend reads [$legend]"
    echo "kestrin-logview's legend: $legend"
    kill "$viewer_pid"
    wait "$viewer_pid" 2>/dev/null
fi

# --- 3. the package ----------------------------------------------------------
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.out" 2>&1 ||
    { cat "$work/cpack.out" >&2; fail "cpack"; }
deb=$(ls "$work"/out/kestrin-3_1.0.0+e2e-lab_*.deb 2>/dev/null)
if [[ -f $deb ]]; then
    [[ $(dpkg-deb -f "$deb" Version) == 1.0.0+e2e-lab ]] || fail "Version is $(dpkg-deb -f "$deb" Version)"
    dpkg-deb -f "$deb" Description | grep -qF "127.0.0.1:$port" || fail "the description does not name the site's gateway"
    dpkg-deb -e "$deb" "$work/control"
    [[ $(cat "$work/control/conffiles" 2>/dev/null) == /etc/xdg/Kestrin-3/site.ini ]] ||
        fail "conffiles: $(cat "$work/control/conffiles" 2>&1)"
    dpkg-deb -x "$deb" "$work/root"
    cmp -s "$site" "$work/root/etc/xdg/Kestrin-3/site.ini" || fail "the package's site.ini is not the site file"
    zcat "$work/root/usr/share/man/man1/kestrin-3.1.gz" | grep -qF "127.0.0.1:$port" ||
        fail "kestrin-3(1) does not name the site's gateway"
    lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1 ||
        { grep -v 'running with root privileges' "$work/lintian.out" >&2; fail "lintian"; }
    echo "package $(basename "$deb") with conffile /etc/xdg/Kestrin-3/site.ini"
else
    ls "$work/out" >&2
    fail "no kestrin-3_1.0.0+e2e-lab_*.deb"
fi

# --- 4. an edited site file configures again -----------------------------------
sed -i "s/${rom_ids[3]}/E6000000B4E6AC28/" "$site"
cmake --build "$build" --target kestrin-3 >"$work/rebuild.out" 2>&1 || { tail -n 20 "$work/rebuild.out" >&2; fail "rebuild"; }
grep -q 'Re-running CMake' "$work/rebuild.out" || fail "the edit did not configure again"
grep -qF '"E6000000B4E6AC28"' "$build/site/builtsite.cpp" || fail "the edit did not reach the table"

# --- 5. without SITE, the built-in table again ---------------------------------
configure >"$work/plain.out" 2>&1 || { cat "$work/plain.out" >&2; fail "plain configure"; }
commands=$build/compile_commands.json
grep -qF "$source_dir/src/app/builtsite.cpp" "$commands" || fail "a plain configure does not build the built-in table"
grep -qF "$build/site/builtsite.cpp" "$commands" && fail "a plain configure still builds the site's table"

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "PASS"
