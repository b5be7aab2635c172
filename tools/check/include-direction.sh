#!/bin/sh
# Fails when a folder of the program includes a header of a folder above it.
# The folders from the ground up; a folder may include its own headers and
# those of the folders listed before it. The simulator (sdksim/) sits on sdk/
# and win/ alone.
#   usage: include-direction.sh [SOURCE_DIR]
set -eu
root=${1:-$(dirname "$0")/../..}
cd "$root"

# rank FOLDER: its place in the order (empty for folders outside it).
rank() {
    case $1 in
        win|res) echo 0 ;;
        sdk) echo 1 ;;
        config) echo 2 ;;
        delivery) echo 3 ;;
        scanner) echo 4 ;;
        pages) echo 5 ;;
        app) echo 6 ;;
        *) echo "" ;;
    esac
}

bad=0
for folder in win res sdk config delivery scanner pages app sdksim; do
    [ -d "$folder" ] || continue
    if [ "$folder" = sdksim ]; then own=2; else own=$(rank "$folder"); fi
    for file in $(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' -o -name '*.in' \)); do
        for header in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
            case $header in */*) ;; *) continue ;; esac
            target=${header%%/*}
            [ "$target" = "$folder" ] && continue
            their=$(rank "$target")
            if [ -z "$their" ] || [ "$their" -ge "$own" ]; then
                echo "$file includes $header: $target/ is not below $folder/" >&2
                bad=1
            fi
        done
    done
done
[ "$bad" = 0 ] && echo "every folder includes only headers of the folders below it"
exit "$bad"
