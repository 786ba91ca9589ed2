#!/usr/bin/env bash
# vorlo-release end to end, with the real updater: two real-looking builds
# (sub-folders, a name with an accent and a blank, dropped files, a file name
# used in two folders), a refused release and the mended one, its check, and
# the run that installs it: afterwards the installation is the new build.
#   e2e_release_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_lib.sh"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
t=$root
a=$t/app/
d=$t/dl/
old=$t/build1
new=$t/build2
export XDG_CONFIG_HOME=$t/config

mkdir -p "$old/lib" "$old/help" "$new/lib" "$new/help/fr" "$new/plugins/a" "$new/plugins/b"
cp "$bin/vorlo-sim" "$old/vorlo.exe"
cp "$bin/vorlo-sim" "$new/vorlo.exe"
printf '\n# build 2\n' >> "$new/vorlo.exe"
echo "engine 1" > "$old/lib/engine.dll"
echo "engine 2, larger" > "$new/lib/engine.dll"
echo "the same guide" > "$old/help/guide.pdf"
cp "$old/help/guide.pdf" "$new/help/guide.pdf"
echo "obsolete" > "$old/obsolete.dll"
echo "legacy" > "$old/lib/legacy.dll"
echo "nouveau" > "$new/help/fr/guide été.pdf"
echo "new" > "$new/lib/new.dll"
echo "a=1" > "$new/plugins/a/config.ini"
echo "b=22" > "$new/plugins/b/config.ini"

echo "== a file name in two folders with two sizes is refused"
out=$("$bin/vorlo-release" make "$old" "$new" "$d" 2>&1)
check "refused: exit status 1" 1 "$?"
check_contains "names both files" "plugins/a/config.ini (4 bytes), plugins/b/config.ini (5 bytes)" "$out"
check "nothing written" no "$([ -e "$d" ] && echo yes || echo no)"

echo "== the mended release"
echo "a=1" > "$new/plugins/b/config.ini"
out=$("$bin/vorlo-release" make "$old" "$new" "$d")
check "made: exit status 0" 0 "$?"
check_contains "the unchanged guide is not shipped" "wrote $d: 6 files" "$out"
check "the manifest" "$(printf '%s\r\n' '[LocalFiles]' vorlo.exe 'help\fr\guide été.pdf' \
  'lib\engine.dll' 'lib\new.dll' 'plugins\a\config.ini' 'plugins\b\config.ini' '[end]' \
  '[DeleteLocalFiles]' 'lib\legacy.dll' obsolete.dll '[end]')" "$(cat "$d/current_release.txt")"

report=$("$bin/vorlo-release" check "$d")
check "check: exit status 0" 0 "$?"
check_contains "check: the restart" "restart        vorlo.exe" "$report"

echo "== sizes.reg imports with vorlo-reg"
XDG_CONFIG_HOME=$t/side "$bin/vorlo-reg" import "$d/sizes.reg" >/dev/null
check "imported" "    engine.dll    REG_SZ    17" \
  "$(XDG_CONFIG_HOME=$t/side "$bin/vorlo-reg" query 'HKCU\Software\Vorlo\Updates\files' /v engine.dll | grep engine)"

echo "== Vorlo stages the update, the updater installs it"
mkdir -p "$a"
cp -a "$old/." "$a"
cp "$bin/update" "$a/update"
staged=$(env -u DISPLAY "$bin/vorlo-stage" "$a" "$d" 2>&1)
check "staged: exit status 0" 0 "$?"
check "staged" "The updater is started; Vorlo exits now." "$staged"
for _ in $(seq 300); do grep -q 'Terminé \.\.\.\.' "$a/update.log" 2>/dev/null && break; sleep 0.1; done
run=$(log_texts "$a/update.log")
check "the run ends" "Terminé ...." "$(printf '%s\n' "$run" | tail -n 1)"
for _ in $(seq 50); do [ -s "$a/vorlo-sim.log" ] && break; sleep 0.1; done
check "the installation is the new build" "" \
  "$(diff -r -x '*.old' -x vorlo-sim.log -x update -x update.log "${a%/}" "$new" 2>&1)"
# What check announced is what the run did.
while read -r action path; do
  case $action in
    add) check_contains "added as announced: $path" "Ajouté : $d$path" "$run" ;;
    delete) check_contains "deleted as announced: $path" "Effacé : $a$path" "$run" ;;
    restart) check_contains "restarted as announced" "Redémarre -> \"$a$path\"" "$run" ;;
  esac
done < <(printf '%s\n' "$report" | sed -E 's/ \([0-9]+ bytes\)$//')

echo "== a download cut short is reported before it ships"
truncate -s 3 "$d/lib/new.dll"
report=$("$bin/vorlo-release" check "$d" --json)
check "check: exit status 1" 1 "$?"
check_contains "the mismatch, as JSON" \
  '{"action":"size-mismatch","path":"lib/new.dll","size":3,"recorded":4}' "$report"

# stage_run DOWNLOAD: Vorlo stages the update and the updater runs it; sets run.
stage_run() {
  rm -f "$a/update.log"
  env -u DISPLAY "$bin/vorlo-stage" "$a" "$1" >/dev/null
  for _ in $(seq 300); do grep -q 'Terminé \.\.\.\.' "$a/update.log" 2>/dev/null && break; sleep 0.1; done
  run=$(log_texts "$a/update.log")
}

echo "== a file damaged at the right size is refused through its SHA-256"
cp -a "$new/." "$t/build3"
echo "NEW" > "$t/build3/lib/new.dll"
printf '\n# build 3\n' >> "$t/build3/vorlo.exe"
# File by file: the damaged file alone is left out.
"$bin/vorlo-release" make "$new" "$t/build3" "$t/dl3" --per-file >/dev/null
printf 'BAD\n' > "$t/dl3/lib/new.dll"
report=$("$bin/vorlo-release" check "$t/dl3")
check "check: exit status 1" 1 "$?"
check_contains "check: the content mismatch" "content mismatch lib/new.dll" "$report"
stage_run "$t/dl3/"
check_contains "the updater refuses it" "Le contenu (SHA-256 $(printf 'NEW\n' | sha256sum | cut -c1-64)/$(printf 'BAD\n' | sha256sum | cut -c1-64)) du fichier (${t}/dl3/lib/new.dll) ne correspond pas" "$run"
check "and keeps the installed file" "new" "$(cat "$a/lib/new.dll")"

echo "== a release without SHA-256 behaves as before"
rm -rf "$t/dl3"
"$bin/vorlo-release" make "$new" "$t/build3" "$t/dl3" --no-sha256 >/dev/null
check "no SHA-256 in sizes.reg" "" "$(iconv -f UTF-16 -t UTF-8 "$t/dl3/sizes.reg" | grep -i sha256)"
printf 'BAD\n' > "$t/dl3/lib/new.dll"
stage_run "$t/dl3/"
check "the damaged file of the right size is installed, as before" "BAD" "$(cat "$a/lib/new.dll")"

finish
