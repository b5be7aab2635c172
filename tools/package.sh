#!/usr/bin/env bash
# Builds the installer package BrontelVask-<version>.msi with wixl from
# installer/BrontelVask.wxs, then adds with msibuild what wixl cannot write.
# Called by `./vask.sh package` with WINEPREFIX set (a helper program runs
# under Wine):
#   tools/package.sh <build dir> [--sdk PATH] [--program DIR] [--settings FILE] [--output FILE]
#                    [--sign FILE [--timestamp URL]]
#     --sdk PATH       the scanner maker's VantuPlusSDK_Win32_API.dll; without it
#                      the package is a demonstration package with the simulator
#                      and vask-sim.exe, and its product name says so
#     --program DIR    the folder that holds VaskSW.exe (default: <build dir>/bin);
#                      the package's version is that program's
#     --settings FILE  an administrator's prepared ConfigSettings.xml, shipped
#                      byte for byte once the program's own load has read it
#                      (well-formed, no DTD, an Admin section with the 19
#                      setting elements in order); default: the file that an
#                      administrator's first start writes
#     --output FILE    default: <build dir>/BrontelVask-<version>.msi
#     --sign FILE      a PKCS#12 file (.pfx) with the code-signing certificate and
#                      its key; its password, if it has one, in the environment
#                      variable VASK_SIGN_PASSWORD. Our program files are signed
#                      (Authenticode, SHA-256) as copies in the staging folder
#                      before they go into the package, then the package itself
#                      is signed; build/bin is never changed
#     --timestamp URL  with --sign: an RFC 3161 time stamp server, so that the
#                      signatures stay valid after the certificate expires
# Prints the package's path.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:?usage: tools/package.sh <build dir> [--sdk PATH] [--program DIR] [--settings FILE] [--output FILE]}
shift
BUILD=$(cd "$BUILD" && pwd)
BIN=$BUILD/bin
PROGRAM_DIR=$BIN
SDK=""
SETTINGS=""
OUTPUT=""
SIGN=""
TIMESTAMP=""
while [ $# -gt 0 ]; do
    case "$1" in
        --sdk) SDK=${2:?--sdk needs the DLL\'s path}; shift 2 ;;
        --program) PROGRAM_DIR=${2:?--program needs a folder}; shift 2 ;;
        --settings) SETTINGS=${2:?--settings needs a file}; shift 2 ;;
        --output) OUTPUT=${2:?--output needs a file name}; shift 2 ;;
        --sign) SIGN=${2:?--sign needs a PKCS#12 file}; shift 2 ;;
        --timestamp) TIMESTAMP=${2:?--timestamp needs a URL}; shift 2 ;;
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
[ -z "$SETTINGS" ] || [ -f "$SETTINGS" ] || fail "no settings file $SETTINGS"
if [ -n "$SIGN" ]; then
    [ -f "$SIGN" ] || fail "no certificate file $SIGN"
    command -v osslsigncode >/dev/null || fail "osslsigncode is missing (Debian package osslsigncode)"
else
    [ -z "$TIMESTAMP" ] || fail "--timestamp needs --sign"
fi

# The settings file and the version come from the program's own code.
STAGE=$(mktemp -d "$BUILD/package-stage.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT
package_files() { wine "$BIN/vask-package-files.exe" "$@" </dev/null 2>"$STAGE/package-files.err" | tr -d '\r'; }
VERSION=$(package_files "$(winepath -w "$PROGRAM_DIR/VaskSW.exe")" "$(winepath -w "$STAGE")" \
          ${SETTINGS:+"$(winepath -w "$SETTINGS")"}) \
    || fail "$(tr -d '\r' <"$STAGE/package-files.err" | grep -m1 'vask-package-files' || echo 'vask-package-files.exe failed')"
[[ "$VERSION" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || fail "no version from $PROGRAM_DIR/VaskSW.exe ($VERSION)"
[ -s "$STAGE/ConfigSettings.xml" ] || fail "no settings file was written"

# Windows Installer compares only the first three numbers of a version: a
# package that differs from an installed one only in the fourth is neither
# an upgrade nor the same product to it. So one product code per three
# numbers (installing the same release again repairs it), and a fourth
# number other than 0 only for the first release of its three numbers.
THREE="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]}"
FOURTH=${BASH_REMATCH[4]}
if [ "$FOURTH" != 0 ] && ! grep -qx "$VERSION" "$ROOT/installer/first-releases"; then
    first=$(grep -m1 "^${THREE//./\\.}\.[0-9]*$" "$ROOT/installer/first-releases" || true)
    next="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1)).0"
    if [ -n "$first" ]; then
        fail "version $VERSION: $THREE was released as $first, and Windows Installer compares only the first three numbers, so $VERSION would not replace it; raise the third number ($next)"
    fi
    fail "version $VERSION: a release's fourth number is 0 ($THREE.0), since Windows Installer compares only the first three numbers"
fi
hash=$(printf 'Brontel Vask %s' "$THREE" | md5sum | tr 'a-f' 'A-F')
PRODUCT_CODE="${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}"

OUTPUT=${OUTPUT:-$BUILD/BrontelVask-$VERSION.msi}
case "$OUTPUT" in /*) ;; *) OUTPUT=$PWD/$OUTPUT ;; esac
rm -f "$OUTPUT"
# wixl takes the files by names relative to the folder it runs in.
cp "$PROGRAM_DIR/VaskSW.exe" "$BIN/vask-setup-actions.dll" "$ROOT/res/VaskSW.ico" "$STAGE/"
cp "$SDK" "$STAGE/VantuPlusSDK_Win32_API.dll"
cp "$ROOT/installer/policy/BrontelVask.admx" "$ROOT/installer/policy/en-US/BrontelVask.adml" "$STAGE/"
PE_FILES=(VaskSW.exe VantuPlusSDK_Win32_API.dll)
if [ "$DEMO" = 1 ]; then cp "$BIN/vask-sim.exe" "$STAGE/"; PE_FILES+=(vask-sim.exe); fi

# sign FILE DESCRIPTION: signs FILE in place with SHA-256 Authenticode (the
# description is what Windows shows as the program's name when it asks).
sign() {
    local file=$1 args=(sign -pkcs12 "$SIGN" -h sha256 -n "$2")
    [ -z "$TIMESTAMP" ] || args+=(-ts "$TIMESTAMP")
    # The password goes through a pipe, never on a command line that any
    # user of the machine can read.
    if [ -n "${VASK_SIGN_PASSWORD:-}" ]; then
        printf '%s' "$VASK_SIGN_PASSWORD" | osslsigncode "${args[@]}" -readpass - -in "$file" -out "$file.signed"
    else
        osslsigncode "${args[@]}" -in "$file" -out "$file.signed" </dev/null
    fi >"$STAGE/sign.log" 2>&1 || {
        echo "package: signing $(basename "$file") failed: $(grep -v -e '^Failed$' -e '^$' "$STAGE/sign.log" | head -3 | tr '\n' ' ')" >&2
        rm -f "$file.signed"
        return 1
    }
    mv -f "$file.signed" "$file"
}
if [ -n "$SIGN" ]; then
    # Every program file that the package ships (the custom action DLL goes
    # into its Binary table), as the copies here: build/bin stays unsigned.
    # Never a file named VantuPlusSDK_Win32_API.dll: with --sdk that is the
    # scanner maker's DLL, whose signature is the maker's to give; the
    # demonstration package's simulator of that name is ours, but one rule by
    # name leaves no case where we sign the maker's file.
    shopt -s nullglob
    for file in "$STAGE"/*.exe "$STAGE"/*.dll; do
        [ "$(basename "$file")" = VantuPlusSDK_Win32_API.dll ] && continue
        sign "$file" "Brontel Vask" || exit 1
    done
    shopt -u nullglob
fi
(cd "$STAGE" && wixl -a x86 -o "$OUTPUT" \
     -D "Version=$VERSION" -D "ProductCode=$PRODUCT_CODE" -D "ProductName=$NAME" -D "Demo=$DEMO" \
     "$ROOT/installer/BrontelVask.wxs") 2>"$STAGE/wixl.err" \
    || fail "wixl failed: $(cat "$STAGE/wixl.err")"
# wixl's messages, each known and explained, or the build fails:
# (none is known yet: every message is one to read)
if [ -s "$STAGE/wixl.err" ]; then
    fail "wixl said what this script does not know: $(cat "$STAGE/wixl.err")"
fi

msi() { msibuild "$OUTPUT" -q "$1" || fail "msibuild failed: $1"; }
# Permanent (16) and never overwritten (128): see installer/BrontelVask.wxs.
msi "UPDATE \`Component\` SET \`Attributes\` = 144 WHERE \`Component\` = 'Settings'"
# wixl writes every shortcut advertised (Target: the feature). A plain
# shortcut to the installed program: starting it never checks the feature,
# so a deleted settings file never starts a repair that needs the package.
msi "UPDATE \`Shortcut\` SET \`Target\` = '[#VaskSW.exe]' WHERE \`Shortcut\` = 'StartMenuShortcut'"
# Versioned files: a repair or upgrade replaces a program file by version,
# not as unversioned user data.
# Full names: a bare name would be looked for beside vask-package-files.exe first.
pe_paths=()
for file in "${PE_FILES[@]}"; do pe_paths+=("$(winepath -w "$STAGE/$file")"); done
mapfile -t versions < <(wine "$BIN/vask-package-files.exe" --file-versions "${pe_paths[@]}" </dev/null 2>/dev/null | tr -d '\r')
for i in "${!PE_FILES[@]}"; do
    read -r file_version language <<<"${versions[$i]:-}"
    [ -n "${file_version:-}" ] || fail "${PE_FILES[$i]} has no version record"
    msi "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$language' WHERE \`FileName\` = '${PE_FILES[$i]}'"
done
# The machine's Run value only when the package is installed with AUTOSTART=1
# (wixl has no component conditions).
msi "UPDATE \`Component\` SET \`Condition\` = 'AUTOSTART = 1' WHERE \`Component\` = 'AutoStart'"
# A public property that reaches the installation's server side when given
# on the command line of an installation with a user interface.
secure=$(msiinfo export "$OUTPUT" Property | tr -d '\r' | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')
msi "UPDATE \`Property\` SET \`Value\` = 'AUTOSTART${secure:+;$secure}' WHERE \`Property\` = 'SecureCustomProperties'"
# The event source's message file as REG_EXPAND_SZ ("#%"), as the event log
# documents it; wixl writes only plain strings and doubles a leading '#'.
msi "UPDATE \`Registry\` SET \`Value\` = '#%[INSTALLDIR]VaskSW.exe' WHERE \`Name\` = 'EventMessageFile'"
# wixl has no attribute for these custom action types (the numbers are
# Windows Installer's: 1 a DLL in the Binary table, 64 the result ignored,
# 1024 deferred, 512 commit, 256 rollback, 2048 no impersonation).
msi "UPDATE \`CustomAction\` SET \`Type\` = 3137 WHERE \`Action\` = 'CloseRunningPrograms'"
msi "UPDATE \`CustomAction\` SET \`Type\` = 1601 WHERE \`Action\` = 'RemoveRunValue'"
msi "UPDATE \`CustomAction\` SET \`Type\` = 3649 WHERE \`Action\` = 'StartClosedCopies'"
msi "UPDATE \`CustomAction\` SET \`Type\` = 3393 WHERE \`Action\` = 'StartClosedCopiesOnRollback'"
# The local Users group (by SID, whatever its name in this Windows'
# language) gets the modify right on the settings file as it is installed:
# the entry that the program adds at an elevated start (mask 0x1301BF,
# object and container inherit), so that users save from the first start.
# Not protected: the folder's inherited entries apply as before.
{
    printf 'MsiLockPermissionsEx\tLockObject\tTable\tSDDLText\tCondition\n'
    printf 's72\ts72\ts32\tl0\tS255\n'
    printf 'MsiLockPermissionsEx\tMsiLockPermissionsEx\n'
    printf 'SettingsUsersModify\tConfigSettings.xml\tFile\t%s\t\n' 'D:(A;OICI;0x1301bf;;;S-1-5-32-545)'
} >"$STAGE/MsiLockPermissionsEx.idt"
(cd "$STAGE" && msibuild "$OUTPUT" -i MsiLockPermissionsEx.idt) || fail "msibuild failed: MsiLockPermissionsEx"
# The package itself last: any change after this would break its signature.
# No unsigned package is left where a signed one was asked for.
if [ -n "$SIGN" ]; then
    sign "$OUTPUT" "$NAME" || { rm -f "$OUTPUT"; exit 1; }
fi
echo "$OUTPUT"
