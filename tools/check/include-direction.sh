#!/bin/sh
# Fails when a folder of the program includes a header of a folder above it,
# or when two files of one folder use each other (A.h or A.cpp includes B.h
# and B.h or B.cpp includes A.h).
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
# Within a folder: the pairs of files (by name without extension) that
# include each other's headers.
for folder in win res sdk config delivery scanner pages app sdksim; do
    [ -d "$folder" ] || continue
    pairs=$(for file in $(find "$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \)); do
        from=$(basename "$file"); from=${from%.*}
        sed -n "s|^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$folder/\([^\"/]*\)\.h\".*|$from \1|p" "$file"
    done | awk '$1 != $2' | sort -u)
    circles=$(printf '%s\n' "$pairs" | awk 'NF == 2 { seen[$1 " " $2] = 1 }
        END { for (p in seen) { split(p, f, " "); if (f[1] < f[2] && ((f[2] " " f[1]) in seen)) print f[1] " and " f[2] } }')
    if [ -n "$circles" ]; then
        printf '%s\n' "$circles" | sed "s|^|$folder/: |; s|\$| include each other's headers|" >&2
        bad=1
    fi
done
[ "$bad" = 0 ] && echo "every folder includes only headers of the folders below it, and no two files of one folder use each other"
exit "$bad"
