#!/usr/bin/env bash
# vorlo-release and the staging call under Wine, with the Windows updater in
# its window: a release made from two builds (sub-folders, a new folder, a
# name with an accent, dropped files) is staged by Vorlo's call and installed
# exactly; a damaged file with its size intact is reported by check.
#   wine_release_test.sh WIN_BIN_DIR
# Run through tests/wine-run --shell, which sets WINEPREFIX and WINE64.
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
trap 'stop_display; rm -rf "$root"' EXIT
start_display || exit 1

wine_run() { "$WINE64" "$@" 2>/dev/null | tr -d '\r'; }

t=$root
old=$t/build1
new=$t/build2
mkdir -p "$old/lib" "$new/lib" "$new/help/fr" "$t/app"
cp "$bin/vorlo-sim.exe" "$old/vorlo.exe"
cp "$bin/vorlo-sim.exe" "$new/vorlo.exe"
printf 'build 2' >> "$new/vorlo.exe"
echo "engine 1" > "$old/lib/engine.dll"
echo "engine 2, larger" > "$new/lib/engine.dll"
echo "same" > "$old/lib/same.dll"
cp "$old/lib/same.dll" "$new/lib/same.dll"
echo "obsolete" > "$old/obsolete.dll"
echo "nouveau" > "$new/help/fr/guide été.pdf"

echo "== Wine: make and check"
out=$(wine_run "$bin/vorlo-release.exe" make "$(winpath "$old")" "$(winpath "$new")" "$(winpath "$t/dl")")
check "made: exit status 0" 0 "${PIPESTATUS[0]}"
check_contains "three files" "3 files" "$out"
report=$(wine_run "$bin/vorlo-release.exe" check "$(winpath "$t/dl")")
check_contains "check: the restart" "restart        vorlo.exe" "$report"
check_contains "check: the new folder's file" 'add            help\fr\guide été.pdf' "$report"

echo "== Wine: Vorlo stages the update, the updater installs it"
cp -a "$old/." "$t/app"
cp "$bin/update.exe" "$bin/update.ENU" "$t/app/"
staged=$(wine_run "$bin/vorlo-stage.exe" "$(winpath "$t/app")" "$(winpath "$t/dl")")
check "staged" "The updater is started; Vorlo exits now." "$staged"
for _ in $(seq 600); do grep -q 'Termin' "$t/app/update.log" 2>/dev/null && break; sleep 0.1; done
check_contains "the run ends" "Terminé ...." "$(iconv -f CP1252 -t UTF-8 "$t/app/update.log" 2>/dev/null)"
for _ in $(seq 100); do [ -s "$t/app/vorlo-sim.log" ] && break; sleep 0.1; done
check "the installation is the new build" "" \
  "$(diff -r -x '*.old' -x vorlo-sim.log -x 'update.*' "$t/app" "$new" 2>&1)"

echo "== Wine: a file damaged at the right size is refused through its SHA-256"
cp -a "$new/." "$t/build3"
echo "engine 3, larger" > "$t/build3/lib/engine.dll"
printf 'build 3' >> "$t/build3/vorlo.exe"
# File by file: the damaged file alone is left out.
wine_run "$bin/vorlo-release.exe" make "$(winpath "$new")" "$(winpath "$t/build3")" \
  "$(winpath "$t/dl3")" --per-file >/dev/null
echo "engine X, larger" > "$t/dl3/lib/engine.dll"
rm -f "$t/app/update.log"
wine_run "$bin/vorlo-stage.exe" "$(winpath "$t/app")" "$(winpath "$t/dl3")" >/dev/null
# The mismatch is shown in a message box first, as a size mismatch is.
box=$(wait_window 'VORLO Updater application' 60)
check "a message box says so" yes "$([ -n "$box" ] && echo yes || echo no)"
[ -n "$box" ] && press "$box" Return
for _ in $(seq 600); do grep -q 'Termin' "$t/app/update.log" 2>/dev/null && break; sleep 0.1; done
log=$(iconv -f CP1252 -t UTF-8 "$t/app/update.log" 2>/dev/null)
check_contains "the updater refuses it" "Le contenu (SHA-256 $(sha256sum < "$t/build3/lib/engine.dll" | cut -c1-64)/$(sha256sum < "$t/dl3/lib/engine.dll" | cut -c1-64))" "$log"
check "and keeps the installed file" "engine 2, larger" "$(cat "$t/app/lib/engine.dll")"

echo "== Wine: a download damaged in size is reported"
truncate -s 2 "$t/dl/lib/engine.dll"
report=$(wine_run "$bin/vorlo-release.exe" check "$(winpath "$t/dl")" --json)
check_contains "the mismatch, as JSON" '"action":"size-mismatch","path":"lib\\engine.dll","size":2,"recorded":17' "$report"

finish
