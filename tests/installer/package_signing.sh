#!/usr/bin/env bash
# The package command's --sign, with a throw-away self-signed code-signing
# certificate in a .pfx file with a password (VASK_SIGN_PASSWORD): in the
# demonstration package and in a package with a maker's DLL (--sdk), every
# program file of ours (installed files and the custom action DLL in the
# Binary table) and the .msi itself verify against that certificate; no file
# named VantuPlusSDK_Win32_API.dll is signed, and it ships byte for byte; a
# signed file with one byte changed is rejected; build/bin is left as it was;
# a wrong password fails the build and leaves no package.
#   tests/installer/package_signing.sh <build dir>
# Needs WINEPREFIX (the package command runs a helper under Wine): vask.sh
# test and vask.sh env provide it.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:?usage: package_signing.sh <build dir>}
BUILD=$(cd "$BUILD" && pwd)
SDK_NAME=VantuPlusSDK_Win32_API.dll
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEARCH=win32 WINEDEBUG=-all
WORK=$(mktemp -d "$BUILD/package-signing.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failures=0

say() { printf '[signing] %s\n' "$*"; }
check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then say "ok: $what"; else say "FAILED: $what"; failures=$((failures + 1)); fi
}
# verifies FILE: an Authenticode signature that chains to the test certificate
# alone (not to the machine's trusted roots) and matches the file's contents.
verifies() {
    osslsigncode verify -CAfile "$WORK/cert.pem" -in "$1" >"$WORK/verify.log" 2>&1 && return 0
    say "  $(basename "$1"): $(grep -E 'MISMATCH|verification: failed|No signature|error' "$WORK/verify.log" | head -2 | tr '\n' ' ')"
    return 1
}
not() { ! "$@"; }
# unsigned FILE: osslsigncode finds no signature in FILE (not merely fails to read it).
unsigned() {
    rm -f "$WORK/signature.der"  # osslsigncode never overwrites its output
    ! osslsigncode extract-signature -in "$1" -out "$WORK/signature.der" >"$WORK/extract.log" 2>&1 \
        && grep -q 'No signature found' "$WORK/extract.log"
}

# ---- a throw-away code-signing certificate, exported with a password
PASSWORD=$(openssl rand -hex 16)
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Brontel Vask test signer" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
        -addext "basicConstraints=critical,CA:FALSE" \
        -keyout "$WORK/key.pem" -out "$WORK/cert.pem" >"$WORK/openssl.log" 2>&1 \
    && PASSWORD=$PASSWORD openssl pkcs12 -export -inkey "$WORK/key.pem" -in "$WORK/cert.pem" \
        -out "$WORK/signer.pfx" -passout env:PASSWORD >>"$WORK/openssl.log" 2>&1 \
    || { say "could not make the test certificate: $(cat "$WORK/openssl.log")"; exit 1; }
rm -f "$WORK/key.pem"

bin_sums() { (cd "$BUILD/bin" && sha256sum -- *.exe *.dll); }
BIN_BEFORE=$(bin_sums)

# package NAME [OPTIONS...]: a signed package in $WORK/NAME.msi, its files
# (installed ones and Binary table streams) in $WORK/NAME/.
package() {
    local name=$1 stream; shift
    VASK_SIGN_PASSWORD=$PASSWORD "$ROOT/tools/package.sh" "$BUILD" --sign "$WORK/signer.pfx" \
        --output "$WORK/$name.msi" "$@" >"$WORK/$name.out" 2>&1 \
        || { say "package $name failed: $(cat "$WORK/$name.out")"; return 1; }
    mkdir -p "$WORK/$name/binary"
    msiextract -C "$WORK/$name" "$WORK/$name.msi" >/dev/null || { say "msiextract failed on $name.msi"; return 1; }
    for stream in $(msiinfo streams "$WORK/$name.msi" | tr -d '\r' | grep '^Binary\.'); do
        msiinfo extract "$WORK/$name.msi" "$stream" >"$WORK/$name/binary/${stream#Binary.}"
    done
}

# signed_as_it_should NAME EXPECTED...: every .exe and .dll of the package,
# and each program stream of its Binary table, is signed and verifies,
# except a file named VantuPlusSDK_Win32_API.dll, which carries no signature
# of ours; EXPECTED names files that must be among those signed.
signed_as_it_should() {
    local name=$1 file base signed="" ok=0; shift
    while IFS= read -r -d '' file; do
        base=$(basename "$file")
        case "$base" in
            *.[eE][xX][eE]|*.[dD][lL][lL]) ;;
            *) [ "$(head -c 2 "$file")" = MZ ] || continue ;;  # a Binary table stream that is a program
        esac
        if [ "$base" = "$SDK_NAME" ]; then
            unsigned "$file" || { say "  $name: $base is signed (or unreadable): $(head -c 200 "$WORK/extract.log")"; ok=1; }
        else
            verifies "$file" || ok=1
            signed+=" $base"
        fi
    done < <(find "$WORK/$name" -type f -print0)
    for file in "$@"; do
        [[ " $signed " == *" $file "* ]] || { say "  $name: no signed $file in the package (signed:$signed)"; ok=1; }
    done
    return $ok
}

installed() { find "$WORK/$1" -path "$WORK/$1/binary" -prune -o -type f -name "$2" -print -quit; }

# ---- the demonstration package: VaskSW.exe, vask-sim.exe, the custom
# action DLL (Binary stream SetupActions), and our simulator under the SDK's name
if package demo; then
    check "demonstration package: our program files verify, the SDK-named DLL is unsigned" \
        signed_as_it_should demo VaskSW.exe vask-sim.exe SetupActions
    check "demonstration package: the simulator DLL ships byte for byte" \
        cmp -s "$(installed demo "$SDK_NAME")" "$BUILD/bin/$SDK_NAME"
    check "demonstration package: the .msi verifies" verifies "$WORK/demo.msi"

    # One byte changed in the middle of a signed program (its code, not the
    # signature at the end) breaks its signature.
    exe=$(installed demo VaskSW.exe)
    cp "$exe" "$WORK/changed.exe"
    at=$(( $(stat -c %s "$exe") / 2 ))
    byte=$(od -An -tu1 -j "$at" -N1 "$exe" | tr -d ' ')
    printf "\\$(printf '%03o' $(( byte ^ 0xFF )))" | dd of="$WORK/changed.exe" bs=1 seek="$at" conv=notrunc status=none
    check "a signed VaskSW.exe with one byte changed is made" not cmp -s "$exe" "$WORK/changed.exe"
    check "a signed VaskSW.exe with one byte changed is rejected" not verifies "$WORK/changed.exe"
else
    failures=$((failures + 1))
fi

# ---- with a maker's DLL (--sdk): that file is never signed, and ships as given
mkdir -p "$WORK/maker"
cp "$BUILD/bin/$SDK_NAME" "$WORK/maker/$SDK_NAME"
if package maker --sdk "$WORK/maker/$SDK_NAME"; then
    check "package with --sdk: our program files verify, the maker's DLL is unsigned" \
        signed_as_it_should maker VaskSW.exe SetupActions
    check "package with --sdk: the .msi verifies" verifies "$WORK/maker.msi"
    check "package with --sdk: the maker's DLL ships byte for byte" \
        cmp -s "$(installed maker "$SDK_NAME")" "$WORK/maker/$SDK_NAME"
    check "package with --sdk: the given DLL is left as it was" cmp -s "$WORK/maker/$SDK_NAME" "$BUILD/bin/$SDK_NAME"
else
    failures=$((failures + 1))
fi

check "build/bin is left unsigned and unchanged" [ "$(bin_sums)" = "$BIN_BEFORE" ]

# ---- a wrong password: the build fails, says why, and leaves no package
wrong=$(VASK_SIGN_PASSWORD=not-$PASSWORD "$ROOT/tools/package.sh" "$BUILD" --sign "$WORK/signer.pfx" \
            --output "$WORK/wrong.msi" 2>&1 >/dev/null)
status=$?
check "a wrong password fails the package command" [ "$status" -ne 0 ]
check "the failure names the signing (said: ${wrong:0:200})" grep -q 'signing .* failed' <<<"$wrong"
check "a wrong password leaves no package" [ ! -e "$WORK/wrong.msi" ]

[ "$failures" -eq 0 ] && say "all passed" || say "$failures failed"
[ "$failures" -eq 0 ]
