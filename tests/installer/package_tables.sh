#!/usr/bin/env bash
# The installer package's tables, read with msiinfo, against what Windows
# Installer does with them on Windows (where Wine's msiexec differs: access
# lists, sessions, advertised shortcuts, file versioning):
#   tests/installer/package_tables.sh PACKAGE.msi
# Prints each fault; exit code 0 when there is none.
set -uo pipefail
MSI=${1:?usage: package_tables.sh PACKAGE.msi}
faults=0
fault() { printf 'package tables: %s\n' "$*"; faults=$((faults + 1)); }
# rows TABLE: the table's rows without the three header lines, tab-separated.
rows() { msiinfo export "$MSI" "$1" 2>/dev/null | tr -d '\r' | tail -n +4; }
field() { awk -F'\t' -v key="$2" -v column="$3" '$1 == key { print $column }' <<<"$1"; }

# The Users group, by its SID, with the program's own entry on the settings file.
locks=$(rows MsiLockPermissionsEx)
[ "$(awk -F'\t' '$2 == "ConfigSettings.xml" && $3 == "File" && $4 ~ /\(A;OICI;0x1301bf;;;S-1-5-32-545\)/' <<<"$locks" | wc -l)" = 1 ] \
    || fault "no MsiLockPermissionsEx row gives S-1-5-32-545 modify (0x1301bf, OICI) on ConfigSettings.xml"

# The event log's source, with the program as its message file.
source_key='SYSTEM\CurrentControlSet\Services\EventLog\Application\Brontel Vask'
registry=$(rows Registry)
key=$source_key awk -F'\t' '$2 == 2 && $3 == ENVIRON["key"] && $4 == "EventMessageFile" && $5 == "#%[INSTALLDIR]VaskSW.exe"' \
    <<<"$registry" | grep -q . || fault "no EventMessageFile of the event source names [INSTALLDIR]VaskSW.exe"
key=$source_key awk -F'\t' '$2 == 2 && $3 == ENVIRON["key"] && $4 == "TypesSupported" && $5 == "#7"' \
    <<<"$registry" | grep -q . || fault "the event source supports no error, warning and information events"

grep -q 'AUTOSTART' <<<"$(field "$(rows Property)" SecureCustomProperties 2)" || fault "AUTOSTART is not a secure property"
# AUTOSTART=1 alone makes the machine's Run value, which starts the program with /logon.
[ "$(field "$(rows Component)" AutoStart 5)" = "AUTOSTART = 1" ] || fault "the AutoStart component is not conditioned on AUTOSTART = 1"
key='Software\Microsoft\Windows\CurrentVersion\Run' awk -F'\t' '$2 == 2 && $3 == ENVIRON["key"] && $4 == "Brontel Vask" && $5 == "\"[INSTALLDIR]VaskSW.exe\" /logon" && $6 == "AutoStart"' \
    <<<"$registry" | grep -q . || fault "no machine Run value starts [INSTALLDIR]VaskSW.exe /logon"

# A shortcut whose target names a feature is advertised.
features=$(rows Feature | cut -f1)
while IFS=$'\t' read -r shortcut _ _ _ target _; do
    [ -n "$shortcut" ] || continue
    grep -qxF "$target" <<<"$features" && fault "shortcut $shortcut is advertised (target: feature $target)"
done < <(rows Shortcut)

# Every program file carries its version and language.
while IFS=$'\t' read -r file _ name _ version language _; do
    case "$name" in *.exe|*.dll|*\|*.exe|*\|*.dll) ;; *) continue ;; esac
    [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ && -n "$language" ]] || fault "file $file has no version or language"
done < <(rows File)

# The removal's actions: closing deferred without impersonation, the Run
# value at commit as the user, both on the program component's removal.
actions=$(rows CustomAction)
sequence=$(rows InstallExecuteSequence)
type_of() { field "$actions" "$1" 2; }
has_bits() { local type; type=$(type_of "$1"); [ -n "$type" ] && [ $(( type & $2 )) -eq "$3" ]; }
has_bits CloseRunningPrograms $((0x400 | 0x200 | 0x800)) $((0x400 | 0x800)) \
    || fault "CloseRunningPrograms is not deferred without impersonation (type $(type_of CloseRunningPrograms))"
has_bits RemoveRunValue $((0x400 | 0x200 | 0x800)) $((0x400 | 0x200)) \
    || fault "RemoveRunValue is not a commit action as the user (type $(type_of RemoveRunValue))"
for action in CloseRunningPrograms RemoveRunValue; do
    condition=$(field "$sequence" "$action" 2)
    number=$(field "$sequence" "$action" 3)
    [[ "$condition" == '$Program=2'* && "$condition" != *REMOVE* ]] \
        || fault "$action runs on \"$condition\", not on the program component's removal"
    [ -n "$number" ] && [ "$number" -gt "$(field "$sequence" InstallInitialize 3)" ] \
        && [ "$number" -lt "$(field "$sequence" RemoveFiles 3)" ] \
        || fault "$action is not scheduled in the script before RemoveFiles (sequence ${number:-none})"
done
[[ "$(field "$sequence" RemoveRunValue 2)" == *"NOT UPGRADINGPRODUCTCODE"* ]] \
    || fault "RemoveRunValue also runs when an upgrade removes the older version"
# The closed copies start again from the system's context (another session's
# user token is SYSTEM's to take): at commit after an upgrade, and at the
# rollback of a removal, which must be scheduled before the closing it undoes.
has_bits StartClosedCopies $((0x400 | 0x300 | 0x800)) $((0x400 | 0x200 | 0x800)) \
    || fault "StartClosedCopies is not a commit action in the system's context (type $(type_of StartClosedCopies))"
has_bits StartClosedCopiesOnRollback $((0x400 | 0x300 | 0x800)) $((0x400 | 0x100 | 0x800)) \
    || fault "StartClosedCopiesOnRollback is not a rollback action in the system's context (type $(type_of StartClosedCopiesOnRollback))"
[ "$(field "$sequence" StartClosedCopiesOnRollback 3)" -lt "$(field "$sequence" CloseRunningPrograms 3)" ] \
    || fault "StartClosedCopiesOnRollback is scheduled after the closing it undoes"
[ "$(field "$sequence" NoteRunningCopies 3)" -lt "$(field "$sequence" RemoveExistingProducts 3)" ] \
    || fault "NoteRunningCopies runs after the older version is gone"

[ "$(field "$(rows Property)" ARPNOMODIFY 2)" = 1 ] || fault "ARPNOMODIFY is not set"

[ "$faults" -eq 0 ]
