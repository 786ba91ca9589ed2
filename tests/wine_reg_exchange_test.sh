#!/usr/bin/env bash
# Windows' own reg tool (under Wine) and vorlo-reg read each other's .reg files,
# and the store on each system reads what the other's tool wrote.
#   wine_reg_exchange_test.sh WIN_BIN_DIR LINUX_BIN_DIR
# Run through tests/wine-run --shell, which sets WINEPREFIX and WINE64.
set -u
win=$1
linux=$2
if [ ! -x "$linux/vorlo-reg" ] || [ ! -x "$linux/store_probe" ]; then
  echo "skipped: no Linux build at $linux"
  exit 77
fi
export XDG_CONFIG_HOME=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME" "$work"' EXIT

. "$(dirname "$0")/e2e_lib.sh"
wreg() { "$WINE64" reg "$@" 2>&1 | tr -d '\r'; }
wprobe() { "$WINE64" "$win/store_probe.exe" "$@" 2>&1 | tr -d '\r'; }

# wine64 reg add, then the Windows store.
wreg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /t REG_SZ /d '"/opt/vorlo/"' /f >/dev/null
check "wine reg add, then a kind-256 read" "/opt/vorlo/" "$(wprobe '\Updates' ExecPath 256)"

# vorlo-reg export -> wine reg import -> the Windows store.
"$linux/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d '"C:\Dl\é\"' /f >/dev/null
"$linux/vorlo-reg" add 'HKCU\Software\Vorlo\Updates\files' /v vorlo.exe /d 1234567 /f >/dev/null
"$linux/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v n /t REG_DWORD /d 16 /f >/dev/null
"$linux/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v q /t REG_QWORD /d 0x1122334455 /f >/dev/null
"$linux/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v b /t REG_BINARY /d 00ff7f /f >/dev/null
"$linux/vorlo-reg" export 'HKCU\Software\Vorlo' "$work/from-linux.reg" /y >/dev/null
wreg import "$(winpath "$work/from-linux.reg")" >/dev/null
check "text from vorlo-reg in the Windows store" 'C:\Dl\é\' "$(wprobe '\Updates' FilesPath 256)"
check "size from vorlo-reg in the Windows store" "1234567" "$(wprobe '\Updates\files' vorlo.exe 20)"
check "dword as Windows shows it" "    n    REG_DWORD    0x10" "$(wreg query 'HKCU\Software\Vorlo\Updates' /v n | grep REG_)"
# Wine's reg shows no REG_QWORD data: ask the registry through vorlo-reg.exe.
check "qword in the Windows registry" "    q    REG_QWORD    0x1122334455" "$("$WINE64" "$win/vorlo-reg.exe" query 'HKCU\Software\Vorlo\Updates' /v q | tr -d '\r' | grep REG_)"
check "binary as Windows shows it" "    b    REG_BINARY    00FF7F" "$(wreg query 'HKCU\Software\Vorlo\Updates' /v b | grep REG_)"

# wine reg export -> vorlo-reg import -> the Linux store.
wreg add 'HKCU\Software\Vorlo\Lang' /v Lang_selected /d '"US"' /f >/dev/null
wreg add 'HKCU\Software\Vorlo\Updates\files' /v 'guide fr.pdf' /d 42 /f >/dev/null
wreg export 'HKCU\Software\Vorlo' "$(winpath "$work/from-wine.reg")" /y >/dev/null
rm -rf "$XDG_CONFIG_HOME"/vorlo
out=$("$linux/vorlo-reg" import "$work/from-wine.reg"); rc=$?
check "vorlo-reg imports what Windows exported" "0" "$rc"
check "the Linux store reads the language" "US" "$("$linux/store_probe" '\Lang' Lang_selected 256)"
check "and a size with a blank in its name" "42" "$("$linux/store_probe" '\Updates\files' 'guide fr.pdf' 20)"
check "and the folder with its accent" 'C:\Dl\é\' "$("$linux/store_probe" '\Updates' FilesPath 256)"
check "and the binary value" "    b    REG_BINARY    00FF7F" "$("$linux/vorlo-reg" query 'HKCU\Software\Vorlo\Updates' /v b | grep REG_)"

# The same .reg files imported by Windows' reg and by vorlo-reg give the same
# values: Windows' result, exported and read into a fresh hive, against
# vorlo-reg's own; skipped lines included.
listing() {  # the values and keys of HKCU\Software\Vorlo in the Linux hive, sorted
  "$linux/vorlo-reg" query 'HKCU\Software\Vorlo' /s | tr -d '\r' | grep -v '^$' | sort
}
for fixture in "$(dirname "$0")"/reg-files/*.reg; do
  name=$(basename "$fixture")
  cp "$fixture" "$work/$name"
  wreg delete 'HKCU\Software\Vorlo' /f >/dev/null
  wreg import "$(winpath "$work/$name")" >/dev/null
  wreg export 'HKCU\Software\Vorlo' "$(winpath "$work/windows-$name")" /y >/dev/null
  rm -rf "$XDG_CONFIG_HOME"/vorlo
  "$linux/vorlo-reg" import "$work/windows-$name" >/dev/null 2>&1
  windows=$(listing)
  rm -rf "$XDG_CONFIG_HOME"/vorlo
  "$linux/vorlo-reg" import "$work/$name" >/dev/null 2>&1
  ours=$(listing)
  check "$name: vorlo-reg imports what Windows' reg imports" "$windows" "$ours"
done

finish
