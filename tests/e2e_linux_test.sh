#!/usr/bin/env bash
# The Linux updater end to end, as a user runs it, with the real waits: in
# the terminal (no display) and in the GTK window under Xvfb.
#   e2e_linux_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
trap 'stop_display; rm -rf "$root"' EXIT

# setup NAME: the worked example's installation: setup_release's, with an
# old.dll that the manifest deletes.
setup() {
  setup_release "$1"
  echo old > "$a/old.dll"
  printf '[LocalFiles]\r\nvorlo.exe\r\n[end]\r\n[DeleteLocalFiles]\r\nold.dll\r\n[end]\r\n' \
    > "$d/current_release.txt"
}

run_terminal() {  # runs the updater without a display; sets out, err, rc
  out=$(env -u DISPLAY "$t/update" 2>"$t/stderr" </dev/null)
  rc=$?
  err=$(cat "$t/stderr")
}

echo "== terminal: the worked example"
setup worked
run_terminal
check "exit status" 0 "$rc"
check "the log view's lines" "$(worked_example_lines "$a" "$d")" "$out"
check "update.log holds the same lines" "$(worked_example_lines "$a" "$d")" "$(log_texts "$t/update.log")"
check "the status lines" "status: La mise à jour est en cours ...
status: Attend que l'application VORLO se termine.........
status: 
status: l'application : ${a}vorlo.exe va demarrer..." "$err"
check "vorlo.exe is version 2" "$(cat "$d/vorlo.exe" | md5sum)" "$(cat "$a/vorlo.exe" | md5sum)"
check "version 1 kept as vorlo.exe.old" "$(md5sum < "$bin/vorlo-sim")" "$(md5sum < "$a/vorlo.exe.old")"
check "old.dll deleted" "no" "$([ -e "$a/old.dll" ] && echo yes || echo no)"
for _ in $(seq 20); do [ -s "$a/vorlo-sim.log" ] && break; sleep 0.1; done
check_contains "the stand-in started in the installation folder" "| ${a%/} |" "$(cat "$a/vorlo-sim.log" 2>/dev/null)"

echo "== terminal: Vorlo still runs for a few polls"
setup running
"$a/vorlo.exe" --hold 5 &
holder=$!
sleep 0.5
run_terminal
wait $holder
polls=$(printf '%s\n' "$out" | grep -c "^En cours d'execution : ${a}vorlo.exe$")
check "polled while it ran (2 s a poll)" yes "$([ "$polls" -ge 2 ] && echo yes || echo "no: $polls")"
check "then went on" "Terminé ...." "$(printf '%s\n' "$out" | tail -n 1)"

echo "== terminal: ExecPath missing"
setup noexec
reg delete 'HKCU\Software\Vorlo\Updates' /v ExecPath
run_terminal
check "exit status" 0 "$rc"
check "nothing logged" "" "$out"
check "no update.log" "no" "$([ -e "$t/update.log" ] && echo yes || echo no)"
check "the status line cut to 60 and the whole message" \
  "status: Erreur : Chemin non trouvé dans la base de registres (Exe...
message: Chemin non trouvé dans la base de registres (ExecPath) !" "$err"
check "nothing touched" "$(md5sum < "$bin/vorlo-sim")" "$(md5sum < "$a/vorlo.exe")"

echo "== terminal: no entry names VORLO.EXE"
setup notarget
printf '[LocalFiles]\n[end]\n' > "$d/current_release.txt"
run_terminal
check "the bare folder does not exist" "N'existe pas : $a" "$(printf '%s\n' "$out" | tail -n 1)"
check_contains "and is shown" "message: N'existe pas : $a" "$err"
check "the stand-in was not started" "no" "$([ -e "$a/vorlo-sim.log" ] && echo yes || echo no)"

echo "== terminal: empty installation folder, no match"
setup empty
reg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d '""'
printf '' > "$d/current_release.txt"
run_terminal
check "restarts nothing, reports nothing" 'Redémarre -> ""
Terminé ....' "$(printf '%s\n' "$out" | tail -n 2)"
check "no message" "" "$(printf '%s\n' "$err" | grep '^message:')"

echo "== terminal: launches refused"
setup denied
size vorlo.exe
chmod 0644 "$d/vorlo.exe"  # the copy keeps it: a program without its execute right
run_terminal
check "access denied: the log line" \
  "Ne peut démarrer l'application : ${a}vorlo.exe (5) >>The operating system denied access to the specified file." \
  "$(printf '%s\n' "$out" | tail -n 1)"
check_contains "and the message" "message: Ne peut démarrer l'application (Erreur de téléchargement): ${a}vorlo.exe" "$err"
setup badformat
printf 'not a program' > "$d/vorlo.exe"
chmod 0755 "$d/vorlo.exe"
reg add 'HKCU\Software\Vorlo\Updates\files' /v vorlo.exe /d 13
run_terminal
check "a bad format: the log line" \
  "Ne peut démarrer l'application : ${a}vorlo.exe (11) >>The .exe file is invalid (non-Microsoft Win32® .exe or error in .exe image)." \
  "$(printf '%s\n' "$out" | tail -n 1)"
check_contains "and the message" "message: Ne peut démarrer l'application : ${a}vorlo.exe" "$err"

echo "== terminal: a damaged language file"
setup badlang
reg add 'HKCU\Software\Vorlo\Lang' /v Lang_selected /d '"US"'
printf 'damaged' > "$t/update.ENU"
run_terminal
check "exit status" 0 "$rc"
check "no message: the file counts as absent" "" "$(printf '%s\n' "$err" | grep '^message:')"
check "the run happens, in French" "$(worked_example_lines "$a" "$d")" "$out"
setup badlang_en
reg add 'HKCU\Software\Vorlo\Lang' /v Lang_selected /d '"US"'
printf 'damaged' > "$t/update.ENU"
cp "$bin/update.ENU" "$t/update.EN"
run_terminal
check "beside a good update.EN: English to the end" "Destination folder: [$a]
Done." "$(printf '%s\n' "$out" | sed -n '1p;$p')"
check "vorlo.exe is version 2" "$(md5sum < "$d/vorlo.exe")" "$(md5sum < "$a/vorlo.exe")"

echo "== window: the run in GTK under Xvfb"
start_display || exit 1
setup window
"$a/vorlo.exe" --hold 8 &
holder=$!
"$t/update" >/dev/null 2>&1 &
updater=$!
wid=$(wait_window 'Mise à jour')
check "the window appears" yes "$([ -n "$wid" ] && echo yes || echo no)"
sleep 1
check "its screenshot shows something" yes "$(has_content "$wid" "$t/shot.png" && echo yes || echo no)"
press "$wid" alt+F4
sleep 1
check "Alt+F4 is refused while the run waits" yes "$(alive $updater)"
geometry "$wid"
xdotool mousemove $((X + WIDTH - 10)) $((Y - 10)) click 1  # the close box
sleep 1
check "so is the close box" yes "$(alive $updater)"
before=$HEIGHT
xdotool mousemove $((X + 30)) $((Y + 44)) click 1
sleep 1
geometry "$wid"
after=$HEIGHT
check "Details shows the log view" yes "$([ "$after" -gt "$before" ] && echo yes || echo "no: $before -> $after")"
wait $holder
wait_gone $updater 20
reap $updater
rc=$?
check "the window closed itself; exit status" 0 "$rc"
check "update.log after the window run" "$(worked_example_lines "$a" "$d" | tail -n 20)" \
  "$(log_texts "$t/update.log" | tail -n 20)"

echo "== window: in English"
setup english
reg add 'HKCU\Software\Vorlo\Lang' /v Lang_selected /d '"US"'
cp "$bin/update.ENU" "$t/"
"$t/update" >/dev/null 2>&1 &
updater=$!
wid=$(wait_window 'Updating')
check "the English window appears" yes "$([ -n "$wid" ] && echo yes || echo no)"
[ -n "$wid" ] && has_content "$wid" "$t/shot-en.png" >/dev/null
wait_gone $updater 20
reap $updater
check "exit status" 0 "$?"
check "English in update.log" "Destination folder: [$a]" "$(log_texts "$t/update.log" | head -n 1)"
check "to the end" "Done." "$(log_texts "$t/update.log" | tail -n 2 | head -n 1)"

echo "== window: a failure keeps the window open"
setup window_failure
reg delete 'HKCU\Software\Vorlo\Updates' /v FilesPath
"$t/update" >/dev/null 2>&1 &
updater=$!
box=$(wait_window 'VORLO Updater application')
check "the message box appears" yes "$([ -n "$box" ] && echo yes || echo no)"
press "$box" Return
sleep 1
wid=$(wait_window 'Mise à jour' 5)
check "the window stays open" yes "$([ -n "$wid" ] && kill -0 $updater 2>/dev/null && echo yes || echo no)"
press "$wid" alt+F4
wait_gone $updater 10
check "and closes when asked" no "$(alive $updater)"
reap $updater
check "exit status" 0 "$?"

finish
