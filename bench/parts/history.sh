#!/usr/bin/env bash
# What the barcode history adds per barcode on the polling thread (history
# on and off side by side), and VaskSW.exe's memory after many barcodes.
set -euo pipefail
BUILD=${1:?usage: history.sh <build dir>}
wine "$BUILD/bin/vask-bench-history.exe" --handovers "${VASK_BENCH_HANDOVERS:-20000}" \
     --deliveries "${VASK_BENCH_DELIVERIES:-1000}" --memory "${VASK_BENCH_HISTORY_MEMORY:-10000}" | sed -E '/^[[:space:]]*$/d'
rm -f "$BUILD/bin/ConfigSettings.xml"
