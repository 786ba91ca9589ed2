#!/usr/bin/env bash
# Windows faults under Wine, with the Windows updater in its window and its
# real waits:
#   - a read-only installed file is kept as its backup and replaced;
#   - a file another Windows program holds open (no write, no delete
#     sharing) for the whole run keeps its whole old content, and the run
#     goes on with the other files; one held for two seconds into the
#     exchange is installed once it is free; in a release that installs
#     whole, a file held for good puts back the files swapped before it;
#   - a full drive (a small tmpfs mapped as E:) holding the installation: the
#     old file stays whole and no temporary file is left behind;
#   - a file larger than 2 GiB, past every 32-bit size, is exchanged whole.
#   wine_faults_test.sh WIN_BIN_DIR
# Run through tests/wine-run --shell, which sets WINEPREFIX and WINE64. Needs
# root for the tmpfs; without it that case is skipped.
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
edrive=$root/edrive
holder=
cleanup() {
  [ -n "$holder" ] && kill -9 "$holder" 2>/dev/null
  stop_display
  mountpoint -q "$edrive" && umount "$edrive"
  [ -n "${KEEP:-}" ] || rm -rf "$root"
}
trap cleanup EXIT
start_display || exit 1

wreg() { "$WINE64" reg "$@" >/dev/null 2>&1; }
md5() { md5sum < "$1" | cut -c1-32; }

# install NAME APP DL: the updater in $root/NAME, the configuration naming
# the Windows folders APP and DL (Linux paths $a_dir and $d_dir, made here).
install() {
  t=$root/$1
  mkdir -p "$t" "$a_dir" "$d_dir"
  cp "$bin/update.exe" "$t/"
  a=$2
  d=$3
  wreg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"$a\"" /f
  wreg add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d "\"$d\"" /f
  wreg delete 'HKCU\Software\Vorlo\Updates\files' /f
  wreg delete 'HKCU\Software\Vorlo\Updates' /v WholeRelease /f
}
# release FILE...: the manifest lists the files, each with its recorded size.
release() {
  {
    printf '[LocalFiles]\r\n'
    for f in "$@"; do printf '%s\r\n' "$f"; done
    printf '[end]\r\n'
  } > "$d_dir/current_release.txt"
  for f in "$@"; do
    wreg add 'HKCU\Software\Vorlo\Updates\files' /v "$f" /d "$(stat -c %s "$d_dir/$f")" /f
  done
}
# run_updater SECONDS: runs the updater until it closes its window by itself
# (the run restarted vorlo.exe); sets status to its exit status, or to
# "open" when the window was still open after SECONDS.
run_updater() {
  "$WINE64" "$t/update.exe" >/dev/null 2>&1 &
  local updater=$!
  if wait_gone $updater "$1"; then
    reap $updater
    status=$?
  else
    status=open
    kill -9 $updater 2>/dev/null
    wait $updater 2>/dev/null
  fi
}
log() { log_texts "$t/update.log" | iconv -f CP1252 -t UTF-8; }
leftovers() { find "$1" -name '.vorlo-*.tmp' | wc -l; }

echo "== Wine: a read-only file, and a file held by another program for the whole run"
a_dir=$root/held/app/
d_dir=$root/held/dl/
install held "$(winpath "$a_dir")" "$(winpath "$d_dir")"
cp "$bin/vorlo-sim.exe" "$a_dir/vorlo.exe"
cp "$bin/vorlo-sim.exe" "$d_dir/vorlo.exe"
printf 'version 2' >> "$d_dir/vorlo.exe"
for f in ro.dll held.dll; do
  echo "$f 1" > "$a_dir/$f"
  echo "$f 2, larger" > "$d_dir/$f"
done
release vorlo.exe ro.dll held.dll
"$WINE64" cmd /c attrib +r "$(winpath "$a_dir")ro.dll" >/dev/null 2>&1
check "ro.dll is read-only for Windows" R \
  "$("$WINE64" cmd /c attrib "$(winpath "$a_dir")ro.dll" 2>/dev/null | tr -d '\r' | cut -c1-6 | tr -d ' A')"
"$WINE64" "$bin/hold-file.exe" "$(winpath "$a_dir")held.dll" 600 "$(winpath "$root")\\held.ready" \
  >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do [ -e "$root/held.ready" ] && break; sleep 0.1; done
check "held.dll is held" yes "$([ -e "$root/held.ready" ] && echo yes || echo no)"
run_updater 120
check "the run ends and restarts Vorlo" 0 "$status"
check "vorlo.exe is version 2" "$(md5 "$d_dir/vorlo.exe")" "$(md5 "$a_dir/vorlo.exe")"
check "the read-only file is replaced" "ro.dll 2, larger" "$(cat "$a_dir/ro.dll")"
check "and kept as its backup" "ro.dll 1" "$(cat "$a_dir/ro.dll.old" 2>/dev/null)"
check "the held file keeps its whole old content" "held.dll 1" "$(cat "$a_dir/held.dll")"
# Its backup is a second name of the same file, which the holder keeps
# from being removed again; it holds the same old content.
check "its backup name, if any, is the old content" "held.dll 1" \
  "$(cat "$a_dir/held.dll.old" 2>/dev/null || echo "held.dll 1")"
check_contains "its copy failed" "Ne peut copier :${d}held.dll" "$(log)"
check "no temporary file is left" 0 "$(leftovers "$a_dir")"
kill -9 "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
holder=

echo "== Wine: a file held by another program for two seconds into the exchange"
a_dir=$root/moment/app/
d_dir=$root/moment/dl/
install moment "$(winpath "$a_dir")" "$(winpath "$d_dir")"
cp "$bin/vorlo-sim.exe" "$a_dir/vorlo.exe"
cp "$bin/vorlo-sim.exe" "$d_dir/vorlo.exe"
echo "busy.dll 1" > "$a_dir/busy.dll"
echo "busy.dll 2, larger" > "$d_dir/busy.dll"
release vorlo.exe busy.dll
# The exchange starts after the waits and the pause, 9 seconds in.
"$WINE64" "$bin/hold-file.exe" "$(winpath "$a_dir")busy.dll" 11 "$(winpath "$root")\\moment.ready" \
  >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do [ -e "$root/moment.ready" ] && break; sleep 0.1; done
run_updater 120
check "the run ends and restarts Vorlo" 0 "$status"
check "the file is installed once it is free" "busy.dll 2, larger" "$(cat "$a_dir/busy.dll")"
check "and its old content kept as its backup" "busy.dll 1" "$(cat "$a_dir/busy.dll.old" 2>/dev/null)"
wait "$holder" 2>/dev/null
holder=

echo "== Wine: a whole release with a file held for good is put back"
a_dir=$root/whole/app/
d_dir=$root/whole/dl/
install whole "$(winpath "$a_dir")" "$(winpath "$d_dir")"
wreg add 'HKCU\Software\Vorlo\Updates' /v WholeRelease /t REG_DWORD /d 1 /f
cp "$bin/vorlo-sim.exe" "$a_dir/vorlo.exe"
cp "$bin/vorlo-sim.exe" "$d_dir/vorlo.exe"
printf 'version 2' >> "$d_dir/vorlo.exe"
for f in a.dll held.dll z.dll; do
  echo "$f 1" > "$a_dir/$f"
  echo "$f 2, larger" > "$d_dir/$f"
done
release vorlo.exe a.dll held.dll z.dll
before=$(cd "$a_dir" && md5sum vorlo.exe a.dll held.dll z.dll)
"$WINE64" "$bin/hold-file.exe" "$(winpath "$a_dir")held.dll" 600 "$(winpath "$root")\\whole.ready" \
  >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do [ -e "$root/whole.ready" ] && break; sleep 0.1; done
started=$(date +%s)
"$WINE64" "$t/update.exe" >/dev/null 2>&1 &
updater=$!
box=$(wait_window 'VORLO Updater application' 90)
elapsed=$(( $(date +%s) - started ))
check "the failure is shown in a message box" yes "$([ -n "$box" ] && echo yes || echo no)"
# 9 seconds of waits, then about 10 of tries of the held file.
check "within the bound of the tries" yes "$([ "$elapsed" -lt 45 ] && echo yes || echo no)"
check "the installation is the previous release" "$before" \
  "$(cd "$a_dir" && md5sum vorlo.exe a.dll held.dll z.dll)"
check_contains "each swapped file is put back" \
  "Remis en place : ${a}a.dll.old en ${a}a.dll" "$(log)"
check "no temporary file is left" 0 "$(leftovers "$a_dir")"
[ -n "$box" ] && press "$box" Return
sleep 1
wid=$(wait_window 'Mise à jour' 5)
check "the window stays open after the failure" yes \
  "$([ -n "$wid" ] && kill -0 $updater 2>/dev/null && echo yes || echo no)"
[ -n "$wid" ] && press "$wid" alt+F4
wait_gone $updater 10
reap $updater
kill -9 "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
holder=

echo "== Wine: a full drive holds the installation"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: mounting a tmpfs needs root"
else
  mkdir -p "$edrive"
  sim_kib=$(( ($(stat -c %s "$bin/vorlo-sim.exe") + 1023) / 1024 ))
  # Room for vorlo.exe twice (the new one, and the old one as its backup)
  # and the old data file, not for its new copy.
  mount -t tmpfs -o size=$((2 * sim_kib + 1024 + 512))k tmpfs "$edrive"
  ln -sfn "$edrive" "$WINEPREFIX/dosdevices/e:"
  a_dir=$edrive/app/
  d_dir=$root/full/dl/
  install full 'E:\app\' "$(winpath "$d_dir")"
  cp "$bin/vorlo-sim.exe" "$a_dir/vorlo.exe"
  cp "$bin/vorlo-sim.exe" "$d_dir/vorlo.exe"
  printf 'version 2' >> "$d_dir/vorlo.exe"
  head -c 1000000 /dev/urandom > "$a_dir/data.bin"
  head -c 2000000 /dev/urandom > "$d_dir/data.bin"
  old_data=$(md5 "$a_dir/data.bin")
  release vorlo.exe data.bin
  run_updater 120
  check "the run ends and restarts Vorlo" 0 "$status"
  check "vorlo.exe is version 2" "$(md5 "$d_dir/vorlo.exe")" "$(md5 "$a_dir/vorlo.exe")"
  check "the old data file stays whole" "$old_data" "$(md5 "$a_dir/data.bin")"
  check "and has no second name" no "$([ -e "$a_dir/data.bin.old" ] && echo yes || echo no)"
  check_contains "its copy failed" "Ne peut copier :${d}data.bin" "$(log)"
  check "no temporary file is left" 0 "$(leftovers "$a_dir")"
  rm -f "$WINEPREFIX/dosdevices/e:"
  umount "$edrive"
fi

echo "== Wine: a file larger than 2 GiB"
a_dir=$root/large/app/
d_dir=$root/large/dl/
install large "$(winpath "$a_dir")" "$(winpath "$d_dir")"
cp "$bin/vorlo-sim.exe" "$a_dir/vorlo.exe"
cp "$bin/vorlo-sim.exe" "$d_dir/vorlo.exe"
echo "small old pack" > "$a_dir/pack.bin"
# 2 GiB and a page and a byte, with marks at its start, across the 2 GiB and
# 4 GiB-of-pieces boundaries and at its end; the rest is a hole the copy
# writes out.
size=$(( (1 << 31) + 4097 ))
truncate -s $size "$d_dir/pack.bin"
for at in 0 $(( (1 << 31) - 3 )) $(( size - 5 )); do
  printf 'mark' | dd of="$d_dir/pack.bin" bs=1 seek=$at conv=notrunc status=none
done
release vorlo.exe pack.bin
run_updater 300
check "the run ends and restarts Vorlo" 0 "$status"
check "the installed file has the whole size" $size "$(stat -c %s "$a_dir/pack.bin")"
check "and the same bytes" yes "$(cmp -s "$d_dir/pack.bin" "$a_dir/pack.bin" && echo yes || echo no)"
check "the old one is its backup" "small old pack" "$(cat "$a_dir/pack.bin.old" 2>/dev/null)"
rm -rf "$root/large"

finish
