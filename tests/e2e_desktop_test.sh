#!/usr/bin/env bash
# The Linux updater with what a Linux desktop brings, end to end with the real
# program and the real waits: Vorlo started through a "#!" launcher script,
# a restarted Vorlo that lives on with output of its own, and the signals
# that ask a program to end (SIGTERM, SIGINT, SIGHUP), in the terminal and in
# the GTK window.
#   e2e_desktop_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
started=()  # processes this test starts that may outlive a step
cleanup() {
  for pid in "${started[@]}"; do kill -9 "$pid" 2>/dev/null; done
  [ -f "$root/vorlo.pid" ] && kill -9 "$(cat "$root/vorlo.pid")" 2>/dev/null
  stop_display
  rm -rf "$root"
}
trap cleanup EXIT

setup() { setup_release "$1"; }
installed() { cmp -s "$a/vorlo.exe" "$d/vorlo.exe" && echo 2 || echo 1; }

echo "== terminal: Vorlo started through a launcher script"
setup script
cat > "$a/vorlo.exe" <<'SCRIPT'
#!/bin/sh
# Vorlo's launcher: runs five seconds.
end=$(($(date +%s) + 5))
while [ "$(date +%s)" -lt "$end" ]; do sleep 0.2; done
SCRIPT
chmod 755 "$a/vorlo.exe"
"$a/vorlo.exe" &
started+=($!)
sleep 0.3
out=$(env -u DISPLAY "$t/update" 2>/dev/null </dev/null)
polls=$(printf '%s\n' "$out" | grep -c "^En cours d'execution : ${a}vorlo.exe$")
check "the running script is seen (2 s a poll)" yes "$([ "$polls" -ge 2 ] && echo yes || echo "no: $polls")"
check "and replaced only after it ended" 2 "$(installed)"

echo "== terminal: the restarted Vorlo is on its own"
setup restart
cat > "$d/vorlo.exe" <<SCRIPT
#!/bin/sh
# Vorlo as restarted: talks on both outputs and lives on.
echo \$\$ > "$root/vorlo.pid"
echo "Vorlo's own output"
echo "Vorlo's own error" >&2
sleep 20
SCRIPT
chmod 755 "$d/vorlo.exe"
size vorlo.exe
begin=$(date +%s)
out=$(env -u DISPLAY "$t/update" 2>"$t/stderr" </dev/null)
rc=$?
took=$(($(date +%s) - begin))
check "exit status" 0 "$rc"
check "the caller's capture returns with the run, not with Vorlo" yes \
  "$([ "$took" -lt 15 ] && echo yes || echo "no: $took s")"
for _ in $(seq 20); do [ -s "$root/vorlo.pid" ] && break; sleep 0.1; done
check "Vorlo lives on" yes "$(kill -0 "$(cat "$root/vorlo.pid" 2>/dev/null)" 2>/dev/null && echo yes || echo no)"
check "its output is not among the log lines" "" "$(printf '%s\n' "$out" | grep "Vorlo's own")"
check "nor on the updater's standard error" "" "$(grep "Vorlo's own" "$t/stderr")"
check "it is in a session of its own" yes \
  "$([ "$(ps -o sid= -p "$(cat "$root/vorlo.pid")" | tr -d ' ')" = "$(cat "$root/vorlo.pid")" ] && echo yes || echo no)"
kill -9 "$(cat "$root/vorlo.pid")" 2>/dev/null
rm -f "$root/vorlo.pid"

# signal_run WHEN NAME: the three signals sent to the updater in the
# terminal at the moment WHEN waits for (a function that returns once it has
# come); the update goes on to its end, with exit status 0.
signal_run() {
  env -u DISPLAY "$t/update" >"$t/stdout" 2>"$t/stderr" </dev/null &
  updater=$!
  started+=($updater)
  "$1"
  for sig in TERM INT HUP; do kill -s $sig $updater 2>/dev/null; sleep 0.2; done
  check "$2: still running after the signals" yes "$(alive $updater)"
  wait $updater
  rc=$?
  check "$2: exit status" 0 "$rc"
  check "$2: the update went on to its end" "Terminé ...." "$(tail -n 2 "$t/stdout" | head -n 1)"
  check "$2: vorlo.exe is version 2" 2 "$(installed)"
  check "$2: standard error says once that the update finishes first" 1 \
    "$(grep -c "^La mise à jour en cours se termine d'abord ; la fenêtre se ferme ensuite.$" "$t/stderr")"
}

echo "== terminal: signals during the wait"
setup signal_wait
"$a/vorlo.exe" --hold 6 &
started+=($!)
in_the_wait() { sleep 2; }
signal_run in_the_wait "during the wait"

echo "== terminal: signals during the exchange of a large file"
setup signal_exchange
head -c $((512 << 20)) /dev/urandom > "$d/big.bin" 2>/dev/null
size big.bin
printf '[LocalFiles]\r\nbig.bin\r\nvorlo.exe\r\n[end]\r\n' > "$d/current_release.txt"
in_the_exchange() {  # the temporary file of the copy is there
  for _ in $(seq 3000); do
    ls "$a"/.vorlo-??????.tmp >/dev/null 2>&1 && return
    sleep 0.01
  done
}
signal_run in_the_exchange "during the exchange"
check "during the exchange: the large file is whole" yes "$(cmp -s "$a/big.bin" "$d/big.bin" && echo yes || echo no)"
rm -f "$d/big.bin" "$a/big.bin"

echo "== window: a signal while the run goes on, and after a failure"
start_display || exit 1
setup window_signal
"$a/vorlo.exe" --hold 6 &
holder=$!
started+=($holder)
"$t/update" >/dev/null 2>&1 &
updater=$!
started+=($updater)
wid=$(wait_window 'Mise à jour')
check "the window appears" yes "$([ -n "$wid" ] && echo yes || echo no)"
kill -TERM $updater
sleep 1
check "SIGTERM is refused while the run goes on" yes "$(alive $updater)"
wait $holder
wait_gone $updater 20
wait $updater
check "the window closed itself at the end; exit status" 0 "$?"
check "vorlo.exe is version 2" 2 "$(installed)"

setup window_failure
reg delete 'HKCU\Software\Vorlo\Updates' /v FilesPath
"$t/update" >/dev/null 2>&1 &
updater=$!
started+=($updater)
box=$(wait_window 'VORLO Updater application')
press "$box" Return
wid=$(wait_window 'Mise à jour' 5)
check "after a failure the window stays open" yes "$([ -n "$wid" ] && kill -0 $updater 2>/dev/null && echo yes || echo no)"
kill -TERM $updater
wait_gone $updater 10
check "and SIGTERM closes it" no "$(alive $updater)"
wait $updater
check "exit status" 0 "$?"

finish
