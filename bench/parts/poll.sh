#!/usr/bin/env bash
# The polling thread end to end (simulated scanner -> keystroke receiver):
# latency, sustained delivery (and, alternating with it, one SendInput call
# per character of the same text into the same receiver) and idle CPU.
set -euo pipefail
BUILD=${1:?usage: poll.sh <build dir>}
wine "$BUILD/bin/vask-bench-poll.exe" --latency "${VASK_BENCH_LATENCY:-200}" \
     --sustained "${VASK_BENCH_SUSTAINED:-1000}" --length 20 --idle "${VASK_BENCH_IDLE_SECONDS:-20}" \
     --against "${VASK_BENCH_AGAINST_ROUNDS:-3}"
