#!/usr/bin/env bash
# Delivers N random barcodes (default 10,000) end to end, from the simulated
# scanner through the polling thread into the keystroke receiver, and fails
# on any lost, duplicated, reordered or changed character. Called by
# `./vask.sh soak N` as   bench/run-soak.sh <build dir> N [seed]
# with DISPLAY and WINEPREFIX ready. Typing is paced by how fast the receiver
# handles its characters (about 1,500 a second), so 10,000 barcodes take
# about a quarter of an hour.
set -euo pipefail
BUILD=${1:?usage: bench/run-soak.sh <build dir> [count] [seed]}
COUNT=${2:-10000}
case "$BUILD" in /*) ;; *) BUILD=$PWD/$BUILD ;; esac
start=$(date +%s)
status=0
wine "$BUILD/bin/vask-soak.exe" "$COUNT" ${3:+"$3"} || status=$?
echo "soak: $(( $(date +%s) - start )) s wall time, exit $status"
exit $status
