#!/usr/bin/env bash
# LoadSettings and SaveSettings on a settings file with 100 users' sections.
set -euo pipefail
BUILD=${1:?usage: settings.sh <build dir>}
wine "$BUILD/bin/settings_bench.exe" --runs "${VASK_BENCH_SETTINGS_RUNS:-31}" --users 100
