#!/usr/bin/env bash
# Runs one Windows program under Wine in the build's private prefix.
# vask.sh exports VASK_WINEPREFIX; without it the prefix beside the build is used.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${VASK_WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
