#!/bin/sh
# winsyntaxcheck.sh CXX INCLUDE_DIRS SOURCE...
# Checks each Windows-only source with the MinGW-w64 cross compiler.
# INCLUDE_DIRS is a ';'-separated list. Exits 77 (skip) without the compiler.
cxx=$1
includes=$2
shift 2

if [ -z "$cxx" ] || ! command -v "$cxx" >/dev/null 2>&1; then
    echo "MinGW-w64 cross compiler not found; skipping"
    exit 77
fi
if [ $# -eq 0 ]; then
    echo "no *_win.cpp sources to check" >&2
    exit 1
fi

set -- "$@" --
flags="-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
    -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -DQT_NO_KEYWORDS -DQT_USE_QSTRINGBUILDER -DQT_NO_VERSION_TAGGING"

# Only the project's and Qt's own headers: the host's system headers and
# Qt's Linux mkspec would shadow the cross compiler's.
incflags=
oldifs=$IFS
IFS=';'
for dir in $includes; do
    case "$dir" in
        ""|/usr/include|*/mkspecs/*) ;;
        *) case " $incflags " in *" -I$dir "*) ;; *) incflags="$incflags -I$dir" ;; esac ;;
    esac
done
IFS=$oldifs

failed=0
while [ "$1" != "--" ]; do
    # shellcheck disable=SC2086
    if "$cxx" $flags $incflags "$1"; then
        echo "ok: $1"
    else
        echo "FAILED: $1"
        failed=1
    fi
    shift
done
exit $failed
