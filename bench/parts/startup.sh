#!/usr/bin/env bash
# Start-up time of VaskSW.exe (to the tray icon, to the sheet) and its
# private memory, as medians of repeated runs.
set -euo pipefail
BUILD=${1:?usage: startup.sh <build dir>}
wine "$BUILD/bin/vask-bench-startup.exe" --runs "${VASK_BENCH_STARTUP_RUNS:-11}"
