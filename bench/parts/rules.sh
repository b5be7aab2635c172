#!/usr/bin/env bash
# Shaping a barcode by rules: 10 rules over a 256-byte barcode, timed one
# barcode at a time. A native program, built optimised and without the
# sanitizers in <build dir>/native-bench.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:?usage: rules.sh <build dir>}
BENCH=$BUILD/native-bench
if [ ! -f "$BENCH/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BENCH" -DCMAKE_BUILD_TYPE=Release -DVASK_NATIVE_SANITIZERS=OFF >/dev/null
fi
cmake --build "$BENCH" -j "${VASK_JOBS:-$(nproc)}" --target vask-bench-rules -- --no-print-directory >/dev/null
"$BENCH/bench/rules/vask-bench-rules" --runs "${VASK_BENCH_RULES_RUNS:-20000}"
