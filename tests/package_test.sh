#!/usr/bin/env bash
# Builds the Debian package the way `make package` does (cpack, into a
# scratch folder) and checks it: lintian must report no error and no warning
# that is not overridden, the dependencies must come from dpkg-shlibdeps, the
# control fields and the copyright file must be there.
#
# Usage: package_test.sh BUILD_DIR VERSION
# Exit status 77 (skipped) when cpack, dpkg-deb or lintian is missing.
set -u

build=$(cd "${1:?build folder}" && pwd)
version=${2:?version}

for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.out" 2>&1 ||
    { cat "$work/cpack.out" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(ls "$work"/out/kestrin-3_"$version"_*.deb 2>/dev/null)
[[ -f $deb ]] || { ls -R "$work/out" >&2; echo "FAIL: no kestrin-3_${version}_*.deb" >&2; exit 1; }

# lintian's exit status: 0 unless a tag at or above --fail-on is left.
lintian --fail-on error,warning --display-info --show-overrides "$deb" >"$work/lintian.out" 2>&1
status=$?
grep -v 'running with root privileges' "$work/lintian.out"
((status == 0)) || fail "lintian exit status $status"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kestrin-3 ]] || fail "Package is $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version is $(field Version)"
for name in Section Priority Maintainer Description; do
    [[ -n $(field "$name") ]] || fail "no $name field"
done
depends=$(field Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libcurl4 libgumbo1 libcpp-httplib libmosquitto1 libqt6httpserver6 libqt6dbus6; do
    [[ $depends == *"$library"* ]] || fail "Depends does not name $library"
done

dpkg-deb -x "$deb" "$work/root"
copyright=$work/root/usr/share/doc/kestrin-3/copyright
if [[ -f $copyright ]]; then
    head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file is not in the machine-readable format"
    for licence in MIT LGPL-3 curl Apache-2.0; do
        grep -q "^License: $licence\$" "$copyright" || fail "the copyright file has no License: $licence paragraph"
    done
else
    fail "no copyright file"
fi
# A site's version with a hyphen (1.0.0+lab-a) makes the changelog Debian's own.
changelog=changelog.gz
[[ $version == *-* ]] && changelog=changelog.Debian.gz
for path in usr/bin/kestrin-3 usr/bin/onewire-gateway-sim usr/share/lintian/overrides/kestrin-3 \
    usr/share/doc/kestrin-3/$changelog usr/share/applications/org.kestrin3.logger.desktop; do
    [[ -e $work/root/$path ]] || fail "the package lacks /$path"
done

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "PASS"
