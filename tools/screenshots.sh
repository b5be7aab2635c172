#!/usr/bin/env bash
# Turns the pictures that the layout tests saved (BMP, in the folder named by
# VASK_SCREENSHOT_DIR during `vask.sh test`) into the README's PNG
# screenshots in docs/screenshots/.
#   tools/screenshots.sh <picture folder> <docs/screenshots folder>
set -euo pipefail
FROM=${1:?usage: tools/screenshots.sh <picture folder> <target folder>}
TO=${2:?usage: tools/screenshots.sh <picture folder> <target folder>}
mkdir -p "$TO"
count=0
for bmp in "$FROM"/*.bmp; do
    [ -e "$bmp" ] || continue
    # -strip: no time stamps in the file, so unchanged pictures stay unchanged.
    /usr/bin/convert "$bmp" -strip "$TO/$(basename "${bmp%.bmp}").png"
    count=$((count + 1))
done
echo "[vask] $count screenshots written to $TO" >&2
