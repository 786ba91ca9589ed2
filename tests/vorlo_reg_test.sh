#!/usr/bin/env bash
# vorlo-reg as a user runs it, on a scratch hive: vorlo_reg_test.sh BIN_DIR
set -u
bin=$1
reg=$bin/vorlo-reg
probe=$bin/store_probe
export XDG_CONFIG_HOME=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME" "$work"' EXIT

. "$(dirname "$0")/e2e_lib.sh"

K='HKCU\Software\Vorlo\Updates'

out=$("$reg" add "$K" /v ExecPath /t REG_SZ /d '"/opt/vorlo/"' /f); rc=$?
check "add answers" "The operation completed successfully.|0" "$out|$rc"
check "the store reads what add wrote" "/opt/vorlo/" "$("$probe" '\Updates' ExecPath 256)"

"$reg" add 'HKEY_CURRENT_USER\Software\Vorlo\Updates\files' /v vorlo.exe /d 123456 /f >/dev/null
check "a size written as text reads as kind 20" "123456" "$("$probe" '\Updates\files' vorlo.exe 20)"

"$reg" add "$K" /v n /t REG_DWORD /d 0x10 /f >/dev/null
expected=$'\nHKEY_CURRENT_USER\\Software\\Vorlo\\Updates\n    ExecPath    REG_SZ    "/opt/vorlo/"\n    n    REG_DWORD    0x10\n\nHKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\files'
check "query lists values and sub-keys" "$expected" "$("$reg" query "$K")"
check "query /v, any case" $'\nHKEY_CURRENT_USER\\Software\\Vorlo\\Updates\n    ExecPath    REG_SZ    "/opt/vorlo/"' "$("$reg" query "$K" /v EXECPATH)"

out=$("$reg" query 'HKCU\Software\Nothing' 2>&1); rc=$?
check "query of a missing key" "ERROR: The system was unable to find the specified registry key or value.|1" "$out|$rc"
out=$("$reg" add 'HKLM\Software\Vorlo' /v x /d y /f 2>&1); rc=$?
check "another root is refused" "1" "$rc"
case $out in *"current user"*) check "and says why" ok ok ;; *) check "and says why" "current user" "$out" ;; esac
out=$("$reg" add "$K" /v a /ve /f 2>&1); rc=$?
check "syntax errors" $'ERROR: Invalid syntax.\nType "vorlo-reg ADD /?" for usage.|1' "$out|$rc"

# export, delete, import: the same hive again.
"$reg" export 'HKCU\Software\Vorlo' "$work/v.reg" >/dev/null
check "export writes UTF-16LE with a byte-order mark" "fffe5700" "$(head -c 4 "$work/v.reg" | od -An -tx1 | tr -d ' \n')"
before=$("$reg" query 'HKCU\Software\Vorlo' /s)
"$reg" delete 'HKCU\Software\Vorlo' </dev/null >/dev/null
check "delete without a terminal does not ask" "1" "$("$reg" query 'HKCU\Software\Vorlo' >/dev/null 2>&1; echo $?)"
"$reg" import "$work/v.reg" >/dev/null
check "import restores the tree" "$before" "$("$reg" query 'HKCU\Software\Vorlo' /s)"

# A file with a line Windows cannot read: the line is skipped and named, the
# rest is imported, as Windows does; with /strict nothing is.
printf 'Windows Registry Editor Version 5.00\n[HKCU\\Software\\Vorlo\\New]\n"a"=dword:1\n"b"=bogus\n' > "$work/bad.reg"
err=$("$reg" import "$work/bad.reg" /strict 2>&1 >/dev/null); rc=$?
check "/strict refuses a file with a skipped line" "1" "$rc"
check_contains "and names the line" "bad.reg, line 4 skipped: unknown data" "$err"
check "and nothing of it is applied" "1" "$("$reg" query 'HKCU\Software\Vorlo\New' >/dev/null 2>&1; echo $?)"
err=$("$reg" import "$work/bad.reg" 2>&1 >/dev/null); rc=$?
check "without /strict the rest is imported" "0|    a    REG_DWORD    0x1" \
  "$rc|$("$reg" query 'HKCU\Software\Vorlo\New' /v a | grep REG_)"
check "and the skipped line is named" "$work/bad.reg, line 4 skipped: unknown data (a text in quotes, dword:, hex: or - expected)" "$err"
out=$("$reg" import "$work/missing.reg" 2>&1); rc=$?
check "a missing file" "1" "$rc"

# A text with a line break goes out and comes back whole.
"$reg" add "$K" /v twolines /d "$(printf 'one\ntwo')" /f >/dev/null
"$reg" export "$K" "$work/lines.reg" /y >/dev/null
"$reg" delete "$K" /v twolines /f >/dev/null
"$reg" import "$work/lines.reg" >/dev/null
check "a line break survives export and import" "$(printf '    twolines    REG_SZ    one\ntwo')" \
  "$("$reg" query "$K" /v twolines | sed -n '3,4p')"

# The files of the fixtures: REGEDIT4 in Windows-1252, version 5 in UTF-16.
fixtures=$(dirname "$0")/reg-files
"$reg" delete 'HKCU\Software\Vorlo' /f >/dev/null
err=$("$reg" import "$fixtures/regedit4-ansi.reg" 2>&1 >/dev/null)
check "REGEDIT4: Windows-1252 text" '"C:\Téléchargements\"' "$("$probe" '\Updates' FilesPath 256 | sed 's/^/"/; s/$/"/')"
check "REGEDIT4: hex(2) data is 8-bit text, widened" '    Expand    REG_EXPAND_SZ    %TEMP%\vorlé' "$("$reg" query "$K" /v Expand | grep REG_)"
check "REGEDIT4: a continued hex(7) with a comment and a blank line" '    Multi    REG_MULTI_SZ    one\0two' "$("$reg" query "$K" /v Multi | grep REG_)"
check "REGEDIT4: the two skipped lines, named" "2" "$(printf '%s\n' "$err" | grep -c 'skipped')"
check "REGEDIT4: a deleted key" "1" "$("$reg" query 'HKCU\Software\Vorlo\Old' >/dev/null 2>&1; echo $?)"
"$reg" import "$fixtures/v5-utf16.reg" >/dev/null 2>&1
check "version 5: UTF-16 text" '"/opt/vorlö/"' "$("$probe" '\Updates' ExecPath 256 | sed 's/^/"/; s/$/"/')"
check "version 5: a qword" '    Q    REG_QWORD    0x1122334455667788' "$("$reg" query "$K" /v Q | grep REG_)"

# The command lines as reg takes them.
"$reg" add 'HKCU\Software\Vorlo\Bare' /f >/dev/null
check "add KEY alone sets an empty default value" '    (Default)    REG_SZ    ' "$("$reg" query 'HKCU\Software\Vorlo\Bare' /ve | grep REG_)"
"$reg" add "$K" /v none /t REG_NONE /d text /f >/dev/null
check "REG_NONE /d stores the text" '    none    REG_NONE    74006500780074000000' "$("$reg" query "$K" /v none | grep REG_)"
check "/reg:64 is taken" "0" "$("$reg" query "$K" /v Q /reg:64 >/dev/null 2>&1; echo $?)"
check "/reg:32 with /reg:64 is not" "1" "$("$reg" query "$K" /v Q /reg:32 /reg:64 >/dev/null 2>&1; echo $?)"
check "an option twice is not" "1" "$("$reg" add "$K" /v x /d 1 /d 2 /f >/dev/null 2>&1; echo $?)"
check "an unknown option is not" "1" "$("$reg" add "$K" /v x /a /f >/dev/null 2>&1; echo $?)"
check "export wants its options last" "1" "$("$reg" export /y "$K" "$work/x.reg" >/dev/null 2>&1; echo $?)"
for cmd in add query delete export import; do
  check "$cmd /? is help" "0" "$("$reg" $cmd /? >/dev/null 2>&1; echo $?)"
done

# At a terminal, a destructive command asks first.
"$reg" add "$K" /v n /t REG_DWORD /d 16 /f >/dev/null
if command -v script >/dev/null; then
  printf 'n\n' | script -qec "$reg delete 'HKCU\\Software\\Vorlo\\Updates' /v n" /dev/null >/dev/null 2>&1
  check "answering no at the terminal keeps the value" "0" "$("$reg" query "$K" /v n >/dev/null 2>&1; echo $?)"
  printf 'yes\n' | script -qec "$reg delete 'HKCU\\Software\\Vorlo\\Updates' /v n" /dev/null >/dev/null 2>&1
  check "answering yes deletes it" "1" "$("$reg" query "$K" /v n >/dev/null 2>&1; echo $?)"
fi

finish
