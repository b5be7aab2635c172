#!/usr/bin/env bash
# Typing throughput of KeySender::TypeBarcode against one SendInput call.
set -euo pipefail
BUILD=${1:?usage: typing.sh <build dir>}
wine "$BUILD/bin/vask-bench-typing.exe" --chars "${VASK_BENCH_TYPING_CHARS:-1000}" \
     --runs "${VASK_BENCH_TYPING_RUNS:-15}"
