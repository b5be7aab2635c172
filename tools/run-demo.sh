#!/usr/bin/env bash
# Runs Brontel Vask under Wine with the simulated scanner SDK and one ready
# virtual serial scanner, "demo" on COM3.
#   - On the user's own display: starts VaskSW.exe and says how to scan.
#   - Without one (vask.sh started Xvfb and set VASK_OWN_DISPLAY=1): a short
#     scripted demo finds and activates the scanner, scans sample barcodes
#     into Wine's notepad, prints what arrived and saves pictures.
# Called by `./vask.sh run` as: tools/run-demo.sh <build dir>, with DISPLAY
# and WINEPREFIX already set.
set -euo pipefail
BUILD=${1:?usage: tools/run-demo.sh <build dir>}
BIN=$BUILD/bin
for f in VaskSW.exe vask-sim.exe VantuPlusSDK_Win32_API.dll vask-demo-driver.exe; do
    [ -f "$BIN/$f" ] || { echo "missing $BIN/$f: build first" >&2; exit 1; }
done
say() { printf '[demo] %s\n' "$*"; }
sim() { wine "$BIN/vask-sim.exe" "$@"; }

sim reset >/dev/null
sim add-serial demo --port com3 --device-id 4711 >/dev/null
say "virtual scanner ready: $(sim status demo | tr -d '\r')"

if [ -n "${VASK_OWN_DISPLAY:-}" ]; then
    PICTURES=$BUILD/demo-screenshots
    rm -rf "$PICTURES"
    mkdir -p "$PICTURES"
    say "no display of your own: running the scripted demo on $DISPLAY"
    status=0
    wine "$BIN/vask-demo-driver.exe" demo --screenshots "Z:$(echo "$PICTURES" | tr / '\\')" | tr -d '\r' || status=$?
    for bmp in "$PICTURES"/*.bmp; do
        [ -e "$bmp" ] || continue
        /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    say "pictures: $(ls "$PICTURES" 2>/dev/null | tr '\n' ' ')in $PICTURES"
    exit $status
fi

cat <<TEXT
[demo] Brontel Vask starts now on display $DISPLAY; its icon is in the
[demo] notification area (right-click it for About, Open and Exit).
[demo] On the sheet's Connections page press "Find Scanners", then
[demo] "Activate". Then put the keyboard focus into any window (for example
[demo] Wine's notepad: WINEPREFIX=$WINEPREFIX wine notepad) and scan, from
[demo] another terminal:
[demo]   WINEPREFIX=$WINEPREFIX WINEDEBUG=-all wine $BIN/vask-sim.exe scan demo 4006381333931 ABC-12345
[demo] Each barcode is typed where the focus is, followed by Enter.
[demo] "vask-sim.exe help" lists more (faults, unplugging, Bluetooth scanners).
[demo] The demo ends when you choose Exit in the tray menu.
TEXT
wine "$BIN/VaskSW.exe"
