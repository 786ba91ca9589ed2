#!/usr/bin/env bash
# The Windows updater end to end under Wine and Xvfb, with the real waits and
# the real registry (written with Wine's reg).
#   e2e_wine_test.sh WIN_BIN_DIR
# Run through tests/wine-run --shell, which sets WINEPREFIX and WINE64.
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
trap 'stop_display; rm -rf "$root"' EXIT
start_display || exit 1

wreg() { "$WINE64" reg "$@" >/dev/null 2>&1; }

setup() {
  t=$root/$1
  mkdir -p "$t/app" "$t/dl"
  a=$(winpath "$t/app/")
  d=$(winpath "$t/dl/")
  cp "$bin/update.exe" "$bin/update.ENU" "$t/"
  cp "$bin/vorlo-sim.exe" "$t/app/vorlo.exe"
  echo old > "$t/app/old.dll"
  cp "$bin/vorlo-sim.exe" "$t/dl/vorlo.exe"
  printf 'version 2' >> "$t/dl/vorlo.exe"
  printf '[LocalFiles]\r\nvorlo.exe\r\n[end]\r\n[DeleteLocalFiles]\r\nold.dll\r\n[end]\r\n' \
    > "$t/dl/current_release.txt"
  wreg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"$a\"" /f
  wreg add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d "\"$d\"" /f
  wreg add 'HKCU\Software\Vorlo\Updates\files' /v vorlo.exe /d "$(stat -c %s "$t/dl/vorlo.exe")" /f
  wreg delete 'HKCU\Software\Vorlo\Lang' /f
}

echo "== Wine: the worked example"
setup worked
"$WINE64" "$t/update.exe" >/dev/null 2>&1 &
updater=$!
wid=$(wait_window 'Mise à jour' 60)
check "the window appears" yes "$([ -n "$wid" ] && echo yes || echo no)"
sleep 1
[ -n "$wid" ] && check "its screenshot shows something" yes "$(has_content "$wid" "$t/shot.png" && echo yes || echo no)"
[ -n "$wid" ] && press "$wid" alt+F4
sleep 1
check "Alt+F4 is refused while the run works" yes "$(alive $updater)"
wait_gone $updater 30
reap $updater
check "the window closed itself; exit status" 0 "$?"
check "update.log" "$(worked_example_lines "$a" "$d")" "$(log_texts "$t/update.log" | iconv -f CP1252 -t UTF-8)"
check "vorlo.exe is version 2" "$(md5sum < "$t/dl/vorlo.exe")" "$(md5sum < "$t/app/vorlo.exe")"
check "version 1 kept" "$(md5sum < "$bin/vorlo-sim.exe")" "$(md5sum < "$t/app/vorlo.exe.old")"
check "old.dll deleted" no "$([ -e "$t/app/old.dll" ] && echo yes || echo no)"
for _ in $(seq 50); do [ -s "$t/app/vorlo-sim.log" ] && break; sleep 0.2; done
check_contains "the stand-in started in the installation folder" "| ${a%\\} |" "$(cat "$t/app/vorlo-sim.log" 2>/dev/null)"

echo "== Wine: English with Lang_selected \"US\""
setup english
wreg add 'HKCU\Software\Vorlo\Lang' /v Lang_selected /d '"US"' /f
wreg delete 'HKCU\Software\Vorlo\Updates' /v ExecPath /f
"$WINE64" "$t/update.exe" >/dev/null 2>&1 &
updater=$!
box=$(wait_window 'VORLO Updater application' 60)
check "the message box appears" yes "$([ -n "$box" ] && echo yes || echo no)"
check "the window's caption is English" yes "$(wait_window 'Updating' 5 >/dev/null && echo yes || echo no)"
[ -n "$box" ] && has_content "$box" "$t/box.png" >/dev/null
[ -n "$box" ] && press "$box" Return
sleep 1
wid=$(wait_window 'Updating' 5)
check "the window stays open after the failure" yes "$([ -n "$wid" ] && kill -0 $updater 2>/dev/null && echo yes || echo no)"
[ -n "$wid" ] && press "$wid" alt+F4
wait_gone $updater 10
check "and closes when asked" no "$(alive $updater)"
reap $updater
check "exit status" 0 "$?"

finish
