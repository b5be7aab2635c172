#!/usr/bin/env bash
# Prints the performance figures. Called by `./vask.sh bench` as
#   bench/run-bench.sh <build dir> [part names...]
# with DISPLAY and WINEPREFIX ready. Runs every executable part script in
# bench/parts/ in name order (or only the parts named), each as
#   bench/parts/<name>.sh <build dir>
# To add a benchmark, drop a part script there that prints its own figures.
set -uo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${1:?usage: bench/run-bench.sh <build dir> [part names...]}
shift
case "$BUILD" in /*) ;; *) BUILD=$PWD/$BUILD ;; esac

selected() {
    [ $# -le 1 ] && return 0
    local name=$1 wanted
    shift
    for wanted in "$@"; do [ "$wanted" = "$name" ] && return 0; done
    return 1
}

status=0
for part in "$HERE"/parts/*.sh; do
    [ -x "$part" ] || continue
    name=$(basename "$part" .sh)
    selected "$name" "$@" || continue
    echo "=== bench: $name ==="
    if ! "$part" "$BUILD"; then
        echo "=== bench: $name FAILED ==="
        status=1
    fi
    echo
done
exit $status
