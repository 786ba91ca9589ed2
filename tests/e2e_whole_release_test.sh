#!/usr/bin/env bash
# A release of five files end to end on Linux, with the real updater and its
# real waits, file by file and installing whole:
#   - one file cannot be staged (a real full tmpfs; needs root, skipped
#     otherwise) or cannot be swapped (its rename refused, through strace):
#     file by file the others go in; whole, the installation is byte for byte
#     the previous release, the failure is shown, no temporary file is left;
#   - the updater killed (SIGKILL) at each call of the swap phase that changes
#     a name, then vorlo-stage --recover: the installation is byte for byte
#     the previous release or the new one, never a mix; then a run installs
#     the new release.
#   e2e_whole_release_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
mounted=
trap '[ -n "$mounted" ] && umount "$mounted"; rm -rf "$root"' EXIT

files="vorlo.exe a.dll b.dll c.dll d.dll"

# setup NAME MODE: the updater in the installation folder (where Vorlo's
# installation keeps it, and the journal beside it), release 1 installed,
# release 2 downloaded with its sizes; d.dll is new with release 2, and
# release 2 drops gone.txt. MODE: whole or per-file.
setup() {
  t=$root/$1
  a=$t/app/
  d=$t/dl/
  mkdir -p "$a" "$d" "$t/config"
  [ -n "${3:-}" ] && { mount -t tmpfs -o "size=$3" tmpfs "$a" || return 1; mounted=$a; }
  export XDG_CONFIG_HOME=$t/config
  cp "$bin/update" "$a/update"
  cp "$bin/vorlo-sim" "$a/vorlo.exe"
  cp "$bin/vorlo-sim" "$d/vorlo.exe"
  printf '\n# version 2\n' >> "$d/vorlo.exe"
  for f in a.dll b.dll c.dll; do echo "$f 1" > "$a/$f"; done
  for f in a.dll b.dll d.dll; do echo "$f 2, larger" > "$d/$f"; done
  # c.dll grows much: the file a full disk has no room for.
  head -c 600000 /dev/urandom > "$d/c.dll"
  echo dropped > "$a/gone.txt"
  {
    printf '[LocalFiles]\r\n'
    for f in $files; do printf '%s\r\n' "$f"; done
    printf '[end]\r\n[DeleteLocalFiles]\r\ngone.txt\r\n[end]\r\n'
  } > "$d/current_release.txt"
  reg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"$a\""
  reg add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d "\"$d\""
  for f in $files; do size "$f"; done
  if [ "$2" = whole ]; then
    reg add 'HKCU\Software\Vorlo\Updates' /v WholeRelease /t REG_DWORD /d 1
  fi
  previous=$(release_of "$a")
  new=$(new_of "$d")
}
# new_of DOWNLOAD: the new release, each file with the digest of its content.
new_of() {
  (cd "$1" && for f in $files; do printf '%s %s\n' "$f" "$(md5sum < "$f" | cut -c1-32)"; done)
}
# release_of FOLDER: each file of the release with the digest of its content,
# "-" where it is absent, and gone.txt.
release_of() {
  (cd "$1" && for f in $files gone.txt; do
    if [ -f "$f" ]; then printf '%s %s\n' "$f" "$(md5sum < "$f" | cut -c1-32)"
    elif [ "$f" != d.dll ] && [ "$f" != gone.txt ]; then printf '%s -\n' "$f"; fi
  done)
}
staged_left() { find "$a" -maxdepth 1 -name '.vorlo-??????.tmp' | wc -l; }
run() {  # run [PROGRAM...]: the updater without a display; sets out, err, rc
  out=$(env -u DISPLAY timeout 180 "$@" "$a/update" 2>"$t/stderr" </dev/null)
  rc=$?
  err=$(cat "$t/stderr")
}
# The new release in place, gone.txt deleted.
new_release() { printf '%s\n' "$new"; }

# one_left_out MODE: what a run leaves when c.dll could not go in: file by
# file the others are installed; whole, release 1 byte for byte and no
# journal. Either way c.dll keeps release 1 and no temporary file is left.
one_left_out() {
  check "$1: ends, exit status 0" 0 "$rc"
  check "$1: c.dll keeps release 1" "c.dll 1" "$(cat "$a/c.dll")"
  check "$1: no temporary file is left" 0 "$(staged_left)"
  if [ "$1" = per-file ]; then
    check "$1: the others are installed" "a.dll 2, larger|d.dll 2, larger" \
      "$(cat "$a/a.dll")|$(cat "$a/d.dll")"
  else
    check "$1: the installation is release 1, byte for byte" "$previous" "$(release_of "$a")"
    check "$1: no journal is left" no "$([ -e "$a/update.journal" ] && echo yes || echo no)"
  fi
}

can_inject=no
strace -f -qq -o /dev/null -e trace=getpid -e inject=getpid:error=EPERM true 2>/dev/null &&
  can_inject=yes

echo "== one file of five cannot be staged: a full disk"
if [ "$(id -u)" -ne 0 ]; then
  echo "skip: mounting a tmpfs needs root"
else
  for mode in per-file whole; do
    # Room for release 1, the updater's log and the small new files, not
    # for the new c.dll.
    sim_kib=$(( ($(stat -c %s "$bin/vorlo-sim") + 1023) / 1024 ))
    upd_kib=$(( ($(stat -c %s "$bin/update") + 1023) / 1024 ))
    setup "full-$mode" $mode "$((2 * sim_kib + upd_kib + 300))k" || { echo "FAIL no tmpfs"; fails=$((fails + 1)); continue; }
    run
    one_left_out $mode
    if [ $mode = per-file ]; then
      check_contains "$mode: its copy failed" "Ne peut copier :${d}c.dll" "$out"
    else
      check_contains "$mode: the failure names the file and why" \
        "message: La version n'est pas installée, rien n'a été changé : ${a}c.dll (ne peut être copié : disque plein ou écriture refusée)" "$err"
      check_contains "$mode: and stays in the status line" "status: Erreur : La version" "$err"
      check "$mode: Vorlo is not started" no "$([ -e "$a/vorlo-sim.log" ] && echo yes || echo no)"
    fi
    umount "$a" && mounted=
  done
fi

echo "== one file of five cannot be swapped: its rename refused"
if [ $can_inject = no ]; then
  echo "skip: strace cannot inject here"
else
  # The renames of a run: the journal's (whole only), then one a file.
  for mode in per-file whole; do
    setup "swap-$mode" $mode
    n=4
    [ $mode = whole ] && n=5
    run strace -f -qq -o /dev/null -e trace=rename -e inject=rename:error=EACCES:when=$n
    one_left_out $mode
    if [ $mode = whole ]; then
      check_contains "$mode: each file swapped is put back" \
        "Remis en place : ${a}b.dll.old en ${a}b.dll" "$out"
      check_contains "$mode: the failure names the file" \
        "message: La version n'est pas installée, la version précédente est remise en place : ${a}c.dll" "$err"
      check "$mode: gone.txt is not deleted" dropped "$(cat "$a/gone.txt")"
    fi
  done
fi

echo "== killed at each call of the swap phase, then recovered"
if [ $can_inject = no ]; then
  echo "skip: strace cannot inject here"
else
  calls=link,rename,unlink,unlinkat,renameat2
  setup trace whole
  run strace -f -qq -o "$t/trace" -e trace=$calls
  check "the traced run installs release 2" "$(new_release)" "$(release_of "$a")"
  # Each call from the journal's writing to its removal, as NAME:ORDINAL:PATH
  # (the name the call changes: a rename's target, else its first path).
  # Only the updater's exchange links and renames, so a kill at its k-th
  # link or rename is the same call in every run; the configuration's own
  # files are unlinked by its threads in no set order, so a kill at an
  # unlink is aimed with strace -P at its path (which strace matches on a
  # call's first path only), k counting the unlinks of that path.
  points=$(awk -v journal="${a}update.journal" '
    { sub(/^[0-9]+ +/, "") }
    /^(link|rename|unlink|unlinkat|renameat2)\(/ {
      name = substr($0, 1, index($0, "(") - 1)
      split($0, q, "\"")
      path = (name == "rename" || name == "renameat2") ? q[4] : q[2]
      key = (name == "unlink" || name == "unlinkat") ? path : ""
      count[name, key]++
      if (!started && name == "rename" && path == journal) started = 1
      if (started) print name ":" count[name, key] ":" path
      if (started && name == "unlink" && path == journal) exit
    }' "$t/trace")
  check "the swap phase changes names" 12 "$(echo "$points" | wc -l)"
  first=
  for point in $points; do
    name=${point%%:*}
    rest=${point#*:}
    k=${rest%%:*}
    target=${rest#*:}
    p="$name:$k:${target##*/}"
    setup "kill-$name-$k-${target##*/}" whole
    target=$a${target#"$root/trace/app/"}
    aim=()
    case $name in unlink | unlinkat) aim=(-P "$target") ;; esac
    run strace -f -qq -o /dev/null "${aim[@]}" -e trace="$name" \
      -e inject="$name":signal=KILL:when="$k"
    check "killed at $p" 137 "$rc"
    recovered=$(cd "$root" && "$bin/vorlo-stage" --recover "$a" 2>&1)
    check "at $p: --recover answers 0" 0 "$?"
    state=$(release_of "$a")
    if [ "$state" = "$(new_release)" ]; then
      printf 'ok   at %s: the new release (%s)\n' "$p" "$(printf '%s' "$recovered" | tail -n 1)"
    else
      check "at $p: the previous release, byte for byte" "$previous" "$state"
    fi
    if [ -n "$(printf '%s' "$recovered" | grep -v '^No interrupted update')" ]; then
      check "at $p: no temporary file is left" 0 "$(staged_left)"
    else
      # Killed before the journal was written: nothing was touched, and the
      # next run removes the staged files.
      [ -z "$first" ] && first=$t
    fi
    check "at $p: no journal is left" no "$([ -e "$a/update.journal" ] && echo yes || echo no)"
  done
  # The first interrupted installation: a run removes what the killed run
  # staged and installs the new release.
  [ -n "$first" ] && {
    t=$first
    a=$t/app/
    d=$t/dl/
    export XDG_CONFIG_HOME=$t/config
    new=$(new_of "$d")
    run
    check "after the recovery a run leaves no temporary file" 0 "$(staged_left)"
    check "after the recovery a run installs release 2" "$(new_release)" "$(release_of "$a")"
    check "and restarts Vorlo" "Terminé ...." "$(printf '%s\n' "$out" | tail -n 1)"
  }
fi

finish
