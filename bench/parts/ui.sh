#!/usr/bin/env bash
# The user-interface thread under load against the real program: Type Again
# of 500 barcodes of 256 bytes (the slowest probe while it types) and
# WM_ENDSESSION with a stuck SDK call.
set -euo pipefail
BUILD=${1:?usage: ui.sh <build dir>}
wine "$BUILD/bin/vask-bench-ui.exe" --typeagain "${VASK_BENCH_TYPEAGAIN:-500}" \
     --endsession "${VASK_BENCH_ENDSESSION_RUNS:-5}"
rm -f "$BUILD/bin/ConfigSettings.xml"
