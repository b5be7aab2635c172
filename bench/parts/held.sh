#!/usr/bin/env bash
# CPU of barcodes that must wait on the scanner (our own window in front,
# or typing paused with another program's window in front)
# against an idle connection, measured in turns in one run.
set -euo pipefail
BUILD=${1:?usage: held.sh <build dir>}
wine "$BUILD/bin/vask-bench-poll.exe" --latency 0 --sustained 0 --idle 0 \
     --held "${VASK_BENCH_HELD:-20000}" --rounds "${VASK_BENCH_HELD_ROUNDS:-5}" --phase "${VASK_BENCH_HELD_SECONDS:-10}"
