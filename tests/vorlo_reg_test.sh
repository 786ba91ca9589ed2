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

# A bad file changes nothing.
printf 'Windows Registry Editor Version 5.00\n[HKCU\\Software\\Vorlo\\New]\n"a"=dword:1\n"b"=bogus\n' > "$work/bad.reg"
out=$("$reg" import "$work/bad.reg" 2>&1); rc=$?
check "a bad file is refused" "1" "$rc"
check "and nothing of it is applied" "1" "$("$reg" query 'HKCU\Software\Vorlo\New' >/dev/null 2>&1; echo $?)"

# At a terminal, a destructive command asks first.
if command -v script >/dev/null; then
  printf 'n\n' | script -qec "$reg delete 'HKCU\\Software\\Vorlo\\Updates' /v n" /dev/null >/dev/null 2>&1
  check "answering no at the terminal keeps the value" "0" "$("$reg" query "$K" /v n >/dev/null 2>&1; echo $?)"
  printf 'yes\n' | script -qec "$reg delete 'HKCU\\Software\\Vorlo\\Updates' /v n" /dev/null >/dev/null 2>&1
  check "answering yes deletes it" "1" "$("$reg" query "$K" /v n >/dev/null 2>&1; echo $?)"
fi

finish
