#!/usr/bin/env bash
# The installer package under Wine's own msiexec, in a fresh Wine prefix of
# its own (never the build's test prefix): the package's tables
# (package_tables.sh), the versions and prepared settings files that the
# package command refuses, an administrator's prepared settings file
# installed byte for byte, silent install, the installed files, shortcut,
# Add/Remove entry and settings file, a barcode delivered by the installed
# program, an administrator's change saved into the shipped Admin section, an
# upgrade from another desktop (standing in for SYSTEM in session 0) that
# closes the running program in order, keeps two users' sections byte for
# byte and starts the program again on the user's desktop, a refused
# downgrade, a removal from another desktop that closes the running program
# through its user's close request, a failing removal that starts the copy it
# closed again, and one that keeps the user's Run value.
#   tests/installer/installer_test.sh <build dir>
# Needs DISPLAY (vask.sh test provides one).
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:?usage: installer_test.sh <build dir>}
WORK=$BUILD/installer-test
export WINEPREFIX=$WORK/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
LOG=$WORK/wine.log  # every Wine program's output: nothing of Wine holds the test runner's pipe
PROGRAM="$WINEPREFIX/drive_c/Program Files/Brontel Vask"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
failures=0

say() { printf '[installer] %s\n' "$*"; }
says() { grep -q -- "$2" <<<"$1"; }  # says TEXT PATTERN
check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then say "ok: $what"; else say "FAILED: $what"; failures=$((failures + 1)); fi
}
w() { wine "$@" </dev/null >>"$LOG" 2>&1; }
win_path() { winepath -w "$1" 2>/dev/null; }
driver() { wine "$BUILD/bin/vask-installer-driver.exe" "$@" </dev/null 2>>"$LOG" | tr -d '\r' | tee -a "$WORK/driver.out"; }
msiexec_timed() {  # msiexec_timed NAME ARGS...: runs msiexec, prints its seconds, returns its code
    local name=$1 start end code; shift
    start=$(date +%s%N)
    wine msiexec "$@" </dev/null >>"$LOG" 2>&1
    code=$?
    end=$(date +%s%N)
    say "$name took $(( (end - start) / 1000000 )) ms (exit $code)"
    return $code
}
msiexec_elsewhere() {  # msiexec_elsewhere NAME ARGS...: msiexec on a desktop of its own, where it
    # finds no window of the program, as SYSTEM in session 0 finds none; waits until msiexec has
    # ended (under Wine that desktop's explorer lives on while a process it started runs, the
    # copy that the installation starts again among them)
    local name=$1 start end seen=0; shift
    start=$(date +%s%N)
    wine explorer /desktop=Session0,640x480 msiexec "$@" </dev/null >>"$LOG" 2>&1 &
    # (The explorer may also return before its msiexec has ended.)
    for _ in $(seq 1 1200); do
        if ours_running msiexec.exe; then seen=1; elif [ "$seen" = 1 ]; then break; fi
        sleep 0.1
    done
    end=$(date +%s%N)
    say "$name (on a desktop of its own) took $(( (end - start) / 1000000 )) ms"
}
exit_code_of() {  # exit_code_of PID: waits up to 10 s for the background job to end; its code, or "none"
    for _ in $(seq 1 100); do
        kill -0 "$1" 2>/dev/null || { wait "$1"; echo $?; return; }
        sleep 0.1
    done
    echo none
}
log_lines() { tr -d '\r' <"$WINEPREFIX/drive_c/$1" | grep -a 'Brontel Vask: '; }
reg_value() {  # reg_value KEY NAME: the data of one value, or nothing
    wine reg query "$1" /v "$2" </dev/null 2>>"$LOG" | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
product_key() { wine reg query "$UNINSTALL" </dev/null 2>>"$LOG" | tr -d '\r' | grep -i '{' | while read -r key; do
    [ "$(reg_value "$key" DisplayName)" = "$1" ] && echo "$key"; done; }
sections() { sed -n 's/^\t<\([^/>]*\)>$/\1/p' "$PROGRAM/ConfigSettings.xml" | tr '\n' ' '; }
our_files() { (cd "$PROGRAM" 2>/dev/null && ls -1 | sort | tr '\n' ' '); }
file_version() { wine "$BUILD/bin/vask-package-files.exe" "$(win_path "$1")" 'C:\windows\temp' </dev/null 2>>"$LOG" | tr -d '\r'; }
ours_running() {  # ours_running NAME: a process of that name runs in this test's prefix
    local pid
    for pid in $(pgrep -x "$1"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
cleanup() {
    [ -n "${RUNNING_PID:-}" ] && kill "$RUNNING_PID" 2>/dev/null
    wineserver -k >/dev/null 2>&1
}
trap cleanup EXIT

for f in VaskSW.exe vask-installer-driver.exe vask-package-files.exe vask-setup-actions.dll keyrecv.exe vask-sim.exe; do
    [ -f "$BUILD/bin/$f" ] || { say "missing $BUILD/bin/$f"; exit 1; }
done
for f in next-version/VaskSW.exe fourth-version/VaskSW.exe; do
    [ -f "$BUILD/$f" ] || { say "missing $BUILD/$f"; exit 1; }
done

# ---- a fresh prefix with a virtual desktop, as the program's other tests use
rm -rf "$WORK"
mkdir -p "$WINEPREFIX"
: >"$LOG"
wineboot -i </dev/null >>"$LOG" 2>&1
w reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
w reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x900 /f
wineserver -k; wineserver -w

# ---- the packages: this version (N) and the same program stamped one minor version higher (N+1)
N_MSI=$("$ROOT/tools/package.sh" "$BUILD" --output "$WORK/BrontelVask-N.msi" 2>>"$LOG") || { say "package N failed"; exit 1; }
N1_MSI=$("$ROOT/tools/package.sh" "$BUILD" --program "$BUILD/next-version" --output "$WORK/BrontelVask-N1.msi" 2>>"$LOG") \
    || { say "package N+1 failed"; exit 1; }
N_VERSION=$(file_version "$BUILD/bin/VaskSW.exe")
N1_VERSION=$(file_version "$BUILD/next-version/VaskSW.exe")
say "packages: $N_VERSION ($(stat -c %s "$N_MSI") bytes), $N1_VERSION ($(stat -c %s "$N1_MSI") bytes)"
DEMO_NAME="Brontel Vask (demonstration with simulated scanner)"

# ---- the package's tables, as Windows Installer reads them
check "the package's tables (access list, shortcut, file versions, removal actions, Add/Remove)" \
    "$ROOT/tests/installer/package_tables.sh" "$N_MSI"

# ---- a fourth number that Windows Installer would not tell apart is refused
FOURTH=$("$ROOT/tools/package.sh" "$BUILD" --program "$BUILD/fourth-version" --output "$WORK/fourth.msi" 2>&1 >/dev/null)
say "  $FOURTH"
check "a package whose version differs from the release only in the fourth number is refused" [ ! -e "$WORK/fourth.msi" ]
check "  ... saying why" says "$FOURTH" 'compares only the first three numbers'


# ---- an administrator's prepared settings file: checked, then shipped byte for byte
prepared() { sed "s|<strip>[0-9]*</strip>|<strip>3</strip>|; s|<Company>[^<]*</Company>|<Company>Prepared</Company>|; $1" "$WINEPREFIX/drive_c/stage-default.xml" >"$WORK/$2"; }
mkdir -p "$WINEPREFIX/drive_c/stage"
wine "$BUILD/bin/vask-package-files.exe" "$(win_path "$BUILD/bin/VaskSW.exe")" 'C:\stage' </dev/null >>"$LOG" 2>&1
cp "$WINEPREFIX/drive_c/stage/ConfigSettings.xml" "$WINEPREFIX/drive_c/stage-default.xml"
prepared '' prepared.xml
prepared 's|<mode>|<Mode>|; s|</mode>|</Mode>|' misordered.xml
prepared '1a <!DOCTYPE Zantrovix [<!ENTITY x "y">]>' dtd.xml
refusal() { "$ROOT/tools/package.sh" "$BUILD" --settings "$WORK/$1" --output "$WORK/refused.msi" 2>&1 >/dev/null; }
MISORDERED=$(refusal misordered.xml)
DTD=$(refusal dtd.xml)
PREPARED_MSI=$("$ROOT/tools/package.sh" "$BUILD" --settings "$WORK/prepared.xml" --output "$WORK/prepared.msi" 2>>"$LOG")
say "  $MISORDERED"
say "  $DTD"
check "prepared files without the 19 Admin elements in order, or with a DTD, are refused" [ ! -e "$WORK/refused.msi" ]
check "  ... saying why" says "$MISORDERED" '<Mode> where <mode> belongs'
check "  ... saying why" says "$DTD" 'document type declaration'
check "  ... and a prepared file that holds them is taken" [ -n "$PREPARED_MSI" ]
MACHINE_RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
EVENT_SOURCE='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Brontel Vask'
msiexec_timed "install with a prepared settings file and AUTOSTART=1" /i "$(win_path "$PREPARED_MSI")" /qn AUTOSTART=1
check "the prepared settings file is installed byte for byte" cmp "$PROGRAM/ConfigSettings.xml" "$WORK/prepared.xml"
check "AUTOSTART=1 starts the program at every logon" \
    [ "$(reg_value "$MACHINE_RUN" 'Brontel Vask')" = '"C:\Program Files\Brontel Vask\VaskSW.exe" /logon' ]
check "the event source names the program as its message file" \
    [ "$(reg_value "$EVENT_SOURCE" EventMessageFile)" = 'C:\Program Files\Brontel Vask\VaskSW.exe' ]
msiexec_timed "remove it" /x "$(win_path "$PREPARED_MSI")" /qn
check "  ... and the removal takes the machine's Run value away" [ -z "$(reg_value "$MACHINE_RUN" 'Brontel Vask')" ]
rm -f "$PROGRAM/ConfigSettings.xml"

# ---- install N silently
msiexec_timed "install" /i "$(win_path "$N_MSI")" /qn /l*v 'C:\install.log'
check "silent install succeeds" [ $? -eq 0 ]
check "without AUTOSTART no machine Run value" [ -z "$(reg_value "$MACHINE_RUN" 'Brontel Vask')" ]
check "installed files" [ "$(our_files)" = "BrontelVask.adml BrontelVask.admx ConfigSettings.xml VantuPlusSDK_Win32_API.dll VaskSW.exe vask-sim.exe " ]
check "the policy template's texts" cmp -s "$PROGRAM/BrontelVask.adml" "$ROOT/installer/policy/en-US/BrontelVask.adml"
check "the installed program is the built one" cmp -s "$PROGRAM/VaskSW.exe" "$BUILD/bin/VaskSW.exe"
KEY=$(product_key "$DEMO_NAME")
check "Add/Remove entry named \"$DEMO_NAME\"" [ -n "$KEY" ]
check "Add/Remove version $N_VERSION" [ "$(reg_value "$KEY" DisplayVersion)" = "$N_VERSION" ]
check "Add/Remove publisher" [ "$(reg_value "$KEY" Publisher)" = "Brontel" ]
check "Add/Remove install folder" [ "$(reg_value "$KEY" InstallLocation)" = 'C:\Program Files\Brontel Vask\' ]
check "Add/Remove icon" [ "$(reg_value "$KEY" DisplayIcon)" = 'C:\Program Files\Brontel Vask\VaskSW.exe' ]

# The shipped settings file holds exactly what the program writes when an
# administrator starts it for the first time, with no settings file present.
mkdir -p "$WINEPREFIX/drive_c/first-start"
cp "$PROGRAM/VaskSW.exe" "$PROGRAM/VantuPlusSDK_Win32_API.dll" "$WINEPREFIX/drive_c/first-start/"
driver first-start 'C:\first-start' 'C:\first-start.xml' >/dev/null
check "settings file as the program's first start writes it" \
    cmp "$PROGRAM/ConfigSettings.xml" "$WINEPREFIX/drive_c/first-start.xml"
check "settings file holds only the Admin section" [ "$(sections)" = "Admin " ]

# ---- the installed program delivers a barcode; the administrator's change is saved into Admin
w "$PROGRAM/vask-sim.exe" add-serial demo --port com3 --device-id 4711
driver deliver demo 4006381333931 >/dev/null
check "shortcut starts the installed program in its folder, barcode delivered" [ $? -eq 0 ]
check "the shortcut names the installed program" grep -qx 'target: C:\\Program Files\\Brontel Vask\\VaskSW.exe' "$WORK/driver.out"
check "the administrator's scanner is saved into the shipped Admin section" \
    grep -q '<Admin>.*' "$PROGRAM/ConfigSettings.xml"
check "  ... and it holds the activated scanner" grep -q '<DeviceInfo>[^<]' "$PROGRAM/ConfigSettings.xml"
check "  ... still the one section" [ "$(sections)" = "Admin " ]

# ---- two users save; N+1, installed while the program runs, keeps the file byte for byte
(cd "$PROGRAM" && driver user-save ann >/dev/null && driver user-save bob >/dev/null)
check "two users' sections saved" [ "$(sections)" = "Admin ann bob " ]
cp "$PROGRAM/ConfigSettings.xml" "$WORK/settings-before-upgrade.xml"
(cd "$PROGRAM" && exec wine ./VaskSW.exe </dev/null >>"$LOG" 2>&1) &
RUNNING_PID=$!
driver about >/dev/null
# The upgrade runs on a desktop of its own, standing in for SYSTEM in session
# 0: the copy it closed must start again on the user's desktop, where the
# user (and this test's driver) finds it.
msiexec_elsewhere "upgrade" /i "$(win_path "$N1_MSI")" /qn /l*v 'C:\upgrade.log'
check "the older version's removal closed the running program in order (code 0)" [ "$(exit_code_of "$RUNNING_PID")" = 0 ]
RUNNING_PID=""
driver about >/dev/null
check "  ... and the newer program started again on the user's desktop, its About page showing its version" [ $? -eq 0 ]
UPGRADE_LOG=$(log_lines upgrade.log)
sed 's/^/[installer]   log: /' <<<"$UPGRADE_LOG"
check "  ... as the user of the session it ran in, says the upgrade's log" \
    says "$UPGRADE_LOG" 'Brontel Vask: started again: process [0-9]* in session [0-9]* as S-1-'
check "upgrade keeps the settings file byte for byte" cmp "$PROGRAM/ConfigSettings.xml" "$WORK/settings-before-upgrade.xml"
check "upgrade installs the newer program" cmp -s "$PROGRAM/VaskSW.exe" "$BUILD/next-version/VaskSW.exe"
KEY=$(product_key "$DEMO_NAME")
check "one Add/Remove entry, version $N1_VERSION" [ "$(echo "$KEY" | grep -c .):$(reg_value "$KEY" DisplayVersion)" = "1:$N1_VERSION" ]

# ---- the same version again repairs a missing file and leaves the settings alone
rm "$PROGRAM/VaskSW.exe"
msiexec_timed "repair" /i "$(win_path "$N1_MSI")" /qn
check "same-version install restores the program" cmp -s "$PROGRAM/VaskSW.exe" "$BUILD/next-version/VaskSW.exe"
check "  ... and leaves the settings file as it was" cmp "$PROGRAM/ConfigSettings.xml" "$WORK/settings-before-upgrade.xml"

# ---- N over N+1 is refused
msiexec_timed "downgrade" /i "$(win_path "$N_MSI")" /qn /l*v 'C:\downgrade.log'
check "the older package is refused" [ $? -ne 0 ]
check "  ... the newer program stays" cmp -s "$PROGRAM/VaskSW.exe" "$BUILD/next-version/VaskSW.exe"
check "  ... with its Add/Remove entry" [ "$(reg_value "$(product_key "$DEMO_NAME")" DisplayVersion)" = "$N1_VERSION" ]
check "  ... and the package says why" bash -c "msiinfo export '$N_MSI' LaunchCondition | grep -q 'A newer version of Brontel Vask is already installed'"

# ---- uninstall while the program (started again by the upgrade) runs, its
# sheet open, from msiexec on a desktop of its own: it finds no window of
# the program, as a removal by SYSTEM in session 0 finds none. The user's Run
# value goes.
w reg add "$RUN_KEY" /v "Brontel Vask" /d 'C:\Program Files\Brontel Vask\VaskSW.exe' /f
driver about >/dev/null
check "the newer program runs, its About page showing its version" [ $? -eq 0 ]
: >"$WORK/wait-exit.out"
(wine "$BUILD/bin/vask-installer-driver.exe" wait-exit </dev/null 2>>"$LOG" | tr -d '\r' >"$WORK/wait-exit.out") &
WAITER_PID=$!
for _ in $(seq 1 100); do grep -q watching "$WORK/wait-exit.out" && break; sleep 0.1; done
msiexec_elsewhere "removal" /x "$(win_path "$N1_MSI")" /qn /l*v 'C:\uninstall.log'
wait "$WAITER_PID"
check "the running program ended by its own orderly exit (code 0)" grep -qx 'exit code 0' "$WORK/wait-exit.out"
UNINSTALL_LOG=$(log_lines uninstall.log)
sed 's/^/[installer]   log: /' <<<"$UNINSTALL_LOG"
# (The Run value step comes below: this program, not started at logon,
# deletes the value itself as it ends.)
for step in 'found process [0-9]* in session' 'asked every copy to close' 'closed in order: process [0-9]*, exit code 0'; do
    check "  ... the removal's log says: $step" says "$UNINSTALL_LOG" "Brontel Vask: $step"
done
check "nothing of ours left but the settings file ($(our_files))" [ "$(our_files)" = "ConfigSettings.xml " ]
check "  ... which still holds every section" [ "$(sections)" = "Admin ann bob " ]
check "shortcut removed" bash -c "! find '$WINEPREFIX/drive_c' -iname 'Brontel Vask.lnk' | grep -q ."
check "Add/Remove entry removed" [ -z "$(product_key "$DEMO_NAME")" ]
check "the uninstalling user's Run value removed" [ -z "$(reg_value "$RUN_KEY" "Brontel Vask")" ]

# ---- installing again keeps the settings file that the removal left; this
# time from a copy of the package whose removal fails after the program's
# files are gone (a deferred action runs a program that fails: type 50, the
# program named by a property, plus 1024, deferred)
FAILING_MSI=$WORK/failing-removal.msi
cp "$N1_MSI" "$FAILING_MSI"
msibuild "$FAILING_MSI" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('FailingProgram', 'cmd.exe')" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailRemoval', 1074, 'FailingProgram', '/c exit 1')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailRemoval', 'REMOVE', 6590)" >>"$LOG" 2>&1
cp "$PROGRAM/ConfigSettings.xml" "$WORK/settings-after-removal.xml"
msiexec_timed "install again" /i "$(win_path "$FAILING_MSI")" /qn
check "a new install keeps the left settings file byte for byte" \
    cmp "$PROGRAM/ConfigSettings.xml" "$WORK/settings-after-removal.xml"

# ---- a removal that fails starts the copy it closed again
(cd "$PROGRAM" && exec wine ./VaskSW.exe </dev/null >>"$LOG" 2>&1) &
RUNNING_PID=$!
driver about >/dev/null
msiexec_timed "failing removal" /x "$(win_path "$FAILING_MSI")" /qn /l*v 'C:\failing-removal.log'
check "the removal fails" [ $? -ne 0 ]
check "  ... after closing the running program in order (code 0)" [ "$(exit_code_of "$RUNNING_PID")" = 0 ]
RUNNING_PID=""
driver about >/dev/null
check "  ... which then runs again" [ $? -eq 0 ]
sed 's/^/[installer]   log: /' <<<"$(log_lines failing-removal.log)"
w "$PROGRAM/VaskSW.exe" /exit /quiet
for _ in $(seq 1 100); do ours_running VaskSW.exe || break; sleep 0.1; done

# ---- a removal that fails keeps the installing user's Run value (no copy
# runs: a copy not started at logon deletes the value itself as it ends)
w reg add "$RUN_KEY" /v "Brontel Vask" /d 'C:\Program Files\Brontel Vask\VaskSW.exe' /f
msiexec_timed "failing removal" /x "$(win_path "$FAILING_MSI")" /qn
check "the removal fails" [ $? -ne 0 ]
check "  ... and the Run value stays" [ -n "$(reg_value "$RUN_KEY" "Brontel Vask")" ]
msiexec_timed "removal that succeeds" /x "$(win_path "$N1_MSI")" /qn /l*v 'C:\removal.log'
check "  ... until a removal succeeds" [ -z "$(reg_value "$RUN_KEY" "Brontel Vask")" ]
check "  ... whose log says so" grep -aq 'Brontel Vask: Run value removed' "$WINEPREFIX/drive_c/removal.log"

say "$failures failure(s)"
[ "$failures" -eq 0 ]
