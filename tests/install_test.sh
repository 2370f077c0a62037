#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR with PREFIX /usr and checks what
# arrived: the exact file list, no RUNPATH into the build tree, the icon
# sizes, and the verdicts of desktop-file-validate, appstreamcli and man.
# Then `make install`'s tracked install and uninstall into another scratch
# tree under /usr/local, in which a folder that exists beforehand must stay.
#
# Usage: install_test.sh CMAKE BUILD_DIR GATEWAY_HOST WITH_LOGVIEW(0|1) [SITE_FILE]
# Exit status 77 (skipped) when one of the validators is missing.
set -u

cmake=${1:?cmake}
build=${2:?build folder}
host=${3:?gateway host}
with_logview=${4:?0 or 1}
site_file=${5:-}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

for tool in desktop-file-validate appstreamcli man readelf; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

stage=$work/stage
DESTDIR=$stage "$cmake" --install "$build" --prefix /usr >"$work/install.out" 2>&1 ||
    { cat "$work/install.out" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

# --- the file list --------------------------------------------------------
expected_for() {
    local prefix=$1 id program
    local windows=("org.kestrin3.logger kestrin-3")
    ((with_logview)) && windows+=("org.kestrin3.logview kestrin-logview")
    echo "$prefix/bin/onewire-gateway-sim"
    echo "$prefix/share/man/man1/onewire-gateway-sim.1.gz"
    echo "$prefix/share/man/man5/kestrin-site.5.gz"
    echo "$prefix/bin/kestrin-bridge"
    echo "$prefix/share/man/man1/kestrin-bridge.1.gz"
    echo "$prefix/lib/systemd/user/kestrin-bridge.service"
    echo "$prefix/share/doc/kestrin-3/README.md"
    echo "$prefix/share/doc/kestrin-3/LICENSE"
    echo "$prefix/share/doc/kestrin-3/site.example.ini"
    # The programs look for it there, whatever the prefix.
    [[ -n $site_file ]] && echo /etc/xdg/Kestrin-3/site.ini
    for window in "${windows[@]}"; do
        read -r id program <<<"$window"
        echo "$prefix/bin/$program"
        echo "$prefix/share/man/man1/$program.1.gz"
        echo "$prefix/share/applications/$id.desktop"
        echo "$prefix/share/metainfo/$id.metainfo.xml"
        echo "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
        for size in 16 24 32 48 64 128 256; do
            echo "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png"
        done
    done
}
tree_files() { (cd "$1" && find . ! -type d | sed 's|^\.||' | LC_ALL=C sort); }

expected_for /usr | LC_ALL=C sort >"$work/expected"
tree_files "$stage" >"$work/actual"
diff -u "$work/expected" "$work/actual" >&2 || fail "the installed files differ from the expected list (- expected, + installed)"

# --- the programs ---------------------------------------------------------
for program in "$stage"/usr/bin/*; do
    [[ -x $program ]] || fail "$program is not executable"
    paths=$(readelf -d "$program" | grep -E '\((RPATH|RUNPATH)\)')
    [[ -z $paths ]] || fail "$(basename "$program") carries a run path: $paths"
    ldd "$program" | grep -F -e "$build" -e "$source_dir" >&2 && fail "$(basename "$program") loads libraries from the build tree"
done

# --- icons: a PNG's width and height are bytes 16..23 of its header ---------
for png in "$stage"/usr/share/icons/hicolor/*x*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [[ "${width}x$height" == "$size" ]] || fail "$png is ${width}x$height"
done

# --- validators: any message at all counts --------------------------------
for desktop in "$stage"/usr/share/applications/*.desktop; do
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects $desktop"
    [[ -z $out ]] || fail "desktop-file-validate on $(basename "$desktop"): $out"
    echo "desktop-file-validate $(basename "$desktop"): ${out:-no messages}"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -f $stage/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "$(basename "$desktop") names icon $icon, which is not installed"
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [[ -x $stage/usr/bin/${exec_line%% *} ]] || fail "$(basename "$desktop") runs ${exec_line%% *}, which is not installed"
done
for metainfo in "$stage"/usr/share/metainfo/*.xml; do
    out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli rejects $metainfo: $out"
    issues=$(grep -E '^ *[EWIP]: ' <<<"$out")
    [[ -z $issues ]] || fail "appstreamcli on $(basename "$metainfo"): $issues"
    echo "appstreamcli $(basename "$metainfo"): $(tail -n1 <<<"$out")"
    id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
    [[ -f $stage/usr/share/applications/$id.desktop ]] || fail "$(basename "$metainfo"): no desktop file for $id"
done
if [[ -n $site_file ]]; then
    cmp -s "$site_file" "$stage/etc/xdg/Kestrin-3/site.ini" || fail "the installed site.ini is not $site_file"
fi
for page in "$stage"/usr/share/man/man[15]/*.gz; do
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man --warnings on $(basename "$page"): $warnings"
    echo "man --warnings $(basename "$page"): ${warnings:-no warnings}"
done
MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$stage/usr/share/man/man1/kestrin-3.1.gz" 2>/dev/null |
    grep -qF "sensors from the gateway at $host," || fail "kestrin-3(1) does not name the gateway host $host"

# --- make install / make uninstall ----------------------------------------
tracked=$work/tracked
mkdir -p "$tracked/usr/local/share/man"
DESTDIR=$tracked "$cmake" -DMODE=install -DBUILD_DIR="$build" -DPREFIX=/usr/local -DRECORD_DIR="$work/record" \
    -P "$source_dir/cmake/TrackedInstall.cmake" >"$work/tracked.out" 2>&1 || { cat "$work/tracked.out" >&2; fail "tracked install"; }
expected_for /usr/local | LC_ALL=C sort >"$work/expected-local"
tree_files "$tracked" >"$work/actual-local"
diff -u "$work/expected-local" "$work/actual-local" >&2 || fail "make install into /usr/local put other files"
"$cmake" -DMODE=uninstall -DBUILD_DIR="$build" -DRECORD_DIR="$work/record" \
    -P "$source_dir/cmake/TrackedInstall.cmake" >"$work/uninstall.out" 2>&1 || { cat "$work/uninstall.out" >&2; fail "uninstall"; }
left=$(cd "$tracked" && find . | LC_ALL=C sort | tr '\n' ' ')
[[ $left == ". ./usr ./usr/local ./usr/local/share ./usr/local/share/man " ]] || fail "after uninstall the tree holds: $left"
[[ ! -e $work/record/installed_files.txt ]] || fail "the install record outlives the uninstall"

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "PASS"
