#!/usr/bin/env bash
# Start-up time of VaskSW.exe (to the tray icon, to the sheet) and its
# memory, as medians of repeated runs. Wine does not fill in PrivateUsage, so
# the resident private memory (RssAnon) and the whole resident set (VmRSS) of
# the Wine process are read from /proc as well.
set -euo pipefail
BUILD=${1:?usage: startup.sh <build dir>}
BENCH=$BUILD/bin/vask-bench-startup.exe
EXE=$BUILD/bin/VaskSW.exe
# The program writes its settings debug line to standard output: keep only the figures.
wine "$BENCH" --runs "${VASK_BENCH_STARTUP_RUNS:-11}" | sed -E '/^[[:space:]]*$/d'

# The Wine process of one VaskSW.exe started here: its command line is the path given to wine.
program_pid() {
    local p
    for p in $(pgrep -f "VaskSW.exe" || true); do
        [ "$(tr '\0' ' ' < "/proc/$p/cmdline" 2>/dev/null | cut -d' ' -f1)" = "$EXE" ] && { echo "$p"; return; }
    done
}

memory_of() {  # sheet|tray: median RssAnon and VmRSS in KiB over 3 starts
    local kind=$1 anon=() rss=() i pid
    for i in 1 2 3; do
        wine "$BENCH" --settings "$kind"
        wine "$EXE" >/dev/null &
        local launcher=$!
        sleep 4
        pid=$(program_pid)
        if [ -n "$pid" ]; then
            anon+=("$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status")")
            rss+=("$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")")
            kill "$pid" 2>/dev/null || true
        fi
        wait "$launcher" 2>/dev/null || true
    done
    printf '%s\n' "${anon[@]}" | sort -n | sed -n 2p | xargs printf "%-44s median %8s KiB (3 runs)\n" "resident private memory (RssAnon), $kind"
    printf '%s\n' "${rss[@]}" | sort -n | sed -n 2p | xargs printf "%-44s median %8s KiB (3 runs)\n" "resident set (VmRSS), $kind"
}
memory_of sheet
memory_of tray
rm -f "$BUILD/bin/ConfigSettings.xml"
