#!/usr/bin/env bash
# What the Linux updater does when things go wrong, end to end with the real
# program and the real waits: hostile entries and files that are no files,
# a folder name that is not UTF-8, a kill in the middle of the exchange
# (SIGKILL at a chosen system call, through strace), and a full disk (a
# small tmpfs; needs root, skipped otherwise).
#   e2e_safety_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
mounted=
trap '[ -n "$mounted" ] && umount "$mounted"; rm -rf "$root"' EXIT

setup() { setup_release "$1"; }
version() {  # version FILE: 1, 2 or "neither"
  if cmp -s "$1" "$bin/vorlo-sim"; then echo 1
  elif cmp -s "$1" "$d/vorlo.exe"; then echo 2
  else echo neither; fi
}
staged_left() { find "$a" -maxdepth 1 -name '.vorlo-??????.tmp' | wc -l; }

run() {  # run [PROGRAM...]: the updater without a display; sets out, err, rc
  out=$(env -u DISPLAY timeout 120 "$@" "$t/update" 2>"$t/stderr" </dev/null)
  rc=$?
  err=$(cat "$t/stderr")
}

echo "== hostile entries and files that are no files"
setup hostile
mkfifo "$d/pipe.dll" "$t/update.log"
cp "$bin/vorlo-sim" "$d/suid.bin"
chmod 4755 "$d/suid.bin"
size suid.bin
printf '[LocalFiles]\r\nvorlo.exe\r\npipe.dll\r\nsuid.bin\r\n\\\\etc\\passwd\r\n[end]\r\n[DeleteLocalFiles]\r\nkeep.dll\0junk\r\n[end]\r\n' \
  > "$d/current_release.txt"
echo kept > "$a/keep.dll"
# The folder without its final separator: taken as that folder.
reg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"${a%/}\""
run
check "ends, exit status 0" 0 "$rc"
check_contains "a named pipe is no file" "Erreur fichier non trouvé ->${d}pipe.dll" "$out"
check_contains "an absolute entry is refused" "Entrée refusée, elle sort de son dossier : ${d}/etc/passwd" "$out"
check_contains "so is one with a NUL" "Entrée refusée, elle sort de son dossier : ${a}keep.dll�junk" "$out"
check "keep.dll is not deleted" kept "$(cat "$a/keep.dll")"
check "vorlo.exe is version 2" 2 "$(version "$a/vorlo.exe")"
check "the installed file is not set-user-ID" 755 "$(stat -c %a "$a/suid.bin")"
check "update.log, a named pipe, stays one" yes "$([ -p "$t/update.log" ] && echo yes || echo no)"
check "the run ends as usual" "Terminé ...." "$(printf '%s\n' "$out" | tail -n 1)"

echo "== the manifest is a named pipe"
setup pipe_manifest
rm "$d/current_release.txt"
mkfifo "$d/current_release.txt"
run
check "ends, exit status 0" 0 "$rc"
check_contains "the manifest counts as missing" "message: The specified file was not found" "$err"
check "nothing installed" 1 "$(version "$a/vorlo.exe")"

echo "== the updater in a folder whose name is not UTF-8"
setup latin1
mkdir "$t/caf$(printf '\351')"
mv "$t/update" "$t/caf$(printf '\351')/update"
out=$(env -u DISPLAY timeout 120 "$t/caf$(printf '\351')/update" 2>/dev/null </dev/null)
check "update.log is written beside it" "$(worked_example_lines "$a" "$d" | sed -n '1,2p')" \
  "$(log_texts "$t/caf$(printf '\351')/update.log" | sed -n '1,2p')"
check "to the end" "Terminé ...." "$(log_texts "$t/caf$(printf '\351')/update.log" | tail -n 2 | head -n 1)"

# kill_at NAME CALLS: the updater killed (SIGKILL) on entering the first of
# these system calls; then a run to the end.
kill_at() {
  setup "$1"
  run strace -f -qq -o /dev/null -e trace="$2" -e inject="$2":signal=KILL
  check "$1: killed" 137 "$rc"
  check "$1: vorlo.exe is whole, at version 1" 1 "$(version "$a/vorlo.exe")"
  run
  check "$1: the next run installs version 2" 2 "$(version "$a/vorlo.exe")"
  check "$1: version 1 kept as backup" 1 "$(version "$a/vorlo.exe.old")"
  check "$1: nothing of the killed run is left" 0 "$(staged_left)"
}
if strace -f -qq -o /dev/null -e trace=getpid -e inject=getpid:error=EPERM true 2>/dev/null; then
  echo "== killed in the middle of the exchange"
  kill_at at_backup link,linkat
  kill_at at_move rename,renameat,renameat2
else
  echo "skip: strace cannot inject here"
fi

echo "== a full disk"
setup full
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=3m tmpfs "$a" 2>/dev/null; then
  mounted=$a
  cp "$bin/vorlo-sim" "$a/vorlo.exe"  # about 2 MB: no room for a second copy
  run
  check "ends, exit status 0" 0 "$rc"
  check_contains "the copy cannot be made" "Ne peut copier :${d}vorlo.exe" "$out"
  check_contains "and version 1 stays in place" "Remis en place : ${a}vorlo.exe.old en ${a}vorlo.exe" "$out"
  check "vorlo.exe is whole, at version 1" 1 "$(version "$a/vorlo.exe")"
  check "no backup name is left" no "$([ -e "$a/vorlo.exe.old" ] && echo yes || echo no)"
  check "no temporary file is left" 0 "$(staged_left)"
  check "and Vorlo is started again" "Terminé ...." "$(printf '%s\n' "$out" | tail -n 1)"
  umount "$a" && mounted=
else
  echo "skip: no tmpfs here (needs root)"
fi

finish
