#!/usr/bin/env bash
# What each program is linked from: the viewer and the bridge read logs
# through the record format and the log reading library, and never pull in
# the polling cycle, the sensor table with its built-in gateway host, the
# browser or the windows; the viewer no platform stand-in either (the bridge
# takes the termination watcher). The logger and the viewer share the record
# format library.
#
# Usage: layering_test.sh BUILD_DIR
set -u
build=${1:?build folder}
command -v ninja >/dev/null && [[ -f $build/build.ninja ]] || { echo "SKIP: not a Ninja build" >&2; exit 77; }
failures=0
libraries() { ninja -C "$build" -t commands "$1" 2>/dev/null | tail -n1 | tr ' ' '\n' | sed -n 's|.*/\(lib[a-z_]*\)\.a$|\1|p' | sort -u; }
forbidden=(libkestrin_acquisition libkestrin_platform_gui libkestrin_browser_core libkestrin_browser_gui
           libkestrin_main_window)
check() {
    local target=$1 shared=$2 linked lib
    local forbidden=("${forbidden[@]}" "${@:3}")
    linked=$(libraries "$target")
    [[ -n $linked ]] || { echo "SKIP: $target is not in this build" >&2; return; }
    for lib in "${forbidden[@]}"; do
        grep -qx "$lib" <<<"$linked" && { echo "FAIL: $target links $lib" >&2; failures=$((failures + 1)); }
    done
    grep -qx "$shared" <<<"$linked" || { echo "FAIL: $target does not link $shared" >&2; failures=$((failures + 1)); }
    echo "$target: $(tr '\n' ' ' <<<"$linked")"
}
check kestrin-logview libkestrin_record libkestrin_platform_core
check kestrin-bridge libkestrin_record
linked=$(libraries kestrin-3)
grep -qx libkestrin_record <<<"$linked" || { echo "FAIL: kestrin-3 does not link libkestrin_record" >&2; failures=$((failures + 1)); }
((failures == 0)) && echo PASS
