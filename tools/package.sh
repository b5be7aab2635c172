#!/usr/bin/env bash
# Builds the installer package BrontelVask-<version>.msi with wixl from
# installer/BrontelVask.wxs. Called by `./vask.sh package` with WINEPREFIX set
# (a helper program runs under Wine):
#   tools/package.sh <build dir> [--sdk PATH] [--program DIR] [--output FILE]
#     --sdk PATH     the scanner maker's VantuPlusSDK_Win32_API.dll; without it
#                    the package is a demonstration package with the simulator
#                    and vask-sim.exe, and its product name says so
#     --program DIR  the folder that holds VaskSW.exe (default: <build dir>/bin);
#                    the package's version is that program's
#     --output FILE  default: <build dir>/BrontelVask-<version>.msi
# Prints the package's path.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:?usage: tools/package.sh <build dir> [--sdk PATH] [--program DIR] [--output FILE]}
shift
BIN=$BUILD/bin
PROGRAM_DIR=$BIN
SDK=""
OUTPUT=""
while [ $# -gt 0 ]; do
    case "$1" in
        --sdk) SDK=${2:?--sdk needs the DLL\'s path}; shift 2 ;;
        --program) PROGRAM_DIR=${2:?--program needs a folder}; shift 2 ;;
        --output) OUTPUT=${2:?--output needs a file name}; shift 2 ;;
        *) echo "package: unknown option $1" >&2; exit 2 ;;
    esac
done
fail() { echo "package: $*" >&2; exit 1; }
for f in "$PROGRAM_DIR/VaskSW.exe" "$BIN/vask-package-files.exe" "$BIN/vask-setup-actions.dll"; do
    [ -f "$f" ] || fail "missing $f: build first"
done
if [ -n "$SDK" ]; then
    [ -f "$SDK" ] || fail "no file $SDK"
    DEMO=0
    NAME="Brontel Vask"
else
    for f in "$BIN/VantuPlusSDK_Win32_API.dll" "$BIN/vask-sim.exe"; do [ -f "$f" ] || fail "missing $f: build first"; done
    SDK=$BIN/VantuPlusSDK_Win32_API.dll
    DEMO=1
    NAME="Brontel Vask (demonstration with simulated scanner)"
fi

# The settings file and the version come from the program's own code.
STAGE=$(mktemp -d "$BUILD/package-stage.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT
VERSION=$(wine "$BIN/vask-package-files.exe" "$(winepath -w "$PROGRAM_DIR/VaskSW.exe")" "$(winepath -w "$STAGE")" \
          </dev/null 2>/dev/null | tr -d '\r') || fail "vask-package-files.exe failed"
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no version from $PROGRAM_DIR/VaskSW.exe ($VERSION)"
[ -s "$STAGE/ConfigSettings.xml" ] || fail "no settings file was written"

# One product code per version: installing the same version again repairs it.
# Windows Installer compares only the first three numbers of a version, so a
# newer release must raise one of them to count as an upgrade.
hash=$(printf 'Brontel Vask %s' "$VERSION" | md5sum | tr 'a-f' 'A-F')
PRODUCT_CODE="${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}"

OUTPUT=${OUTPUT:-$BUILD/BrontelVask-$VERSION.msi}
case "$OUTPUT" in /*) ;; *) OUTPUT=$PWD/$OUTPUT ;; esac
rm -f "$OUTPUT"
# wixl takes the files by names relative to the folder it runs in.
cp "$PROGRAM_DIR/VaskSW.exe" "$BIN/vask-setup-actions.dll" "$ROOT/res/VaskSW.ico" "$STAGE/"
cp "$SDK" "$STAGE/VantuPlusSDK_Win32_API.dll"
if [ "$DEMO" = 1 ]; then cp "$BIN/vask-sim.exe" "$STAGE/"; fi
(cd "$STAGE" && wixl -a x86 -o "$OUTPUT" \
     -D "Version=$VERSION" -D "ProductCode=$PRODUCT_CODE" -D "ProductName=$NAME" -D "Demo=$DEMO" \
     "$ROOT/installer/BrontelVask.wxs" 2> >(grep -v 'unimplemented' >&2)) \
    || fail "wixl failed"
# Permanent (16) and never overwritten (128): see installer/BrontelVask.wxs.
msibuild "$OUTPUT" -q "UPDATE \`Component\` SET \`Attributes\` = 144 WHERE \`Component\` = 'Settings'" \
    || fail "msibuild failed"
echo "$OUTPUT"
