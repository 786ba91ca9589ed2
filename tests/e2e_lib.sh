# Shared by the end-to-end tests: checks, a demo-like installation, and a
# virtual display with a window manager.

fails=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
    fails=$((fails + 1))
  else
    printf 'ok   %s\n' "$1"
  fi
}
check_contains() {  # check_contains NAME NEEDLE HAYSTACK
  case $3 in
    *"$2"*) printf 'ok   %s\n' "$1" ;;
    *) printf 'FAIL %s\n  missing: %q\n  in: %q\n' "$1" "$2" "$3"; fails=$((fails + 1)) ;;
  esac
}
finish() {
  echo "$fails failed"
  [ "$fails" -eq 0 ]
}

# The log lines of update.log without their time stamps.
log_texts() {
  awk '{ sub(/\r$/, ""); i = index($0, " : "); print (i ? substr($0, i + 3) : $0) }' "$1"
}

# The worked example's 23 lines for installation folder $1 and download
# folder $2 (each with its trailing separator).
worked_example_lines() {
  local a=$1 d=$2
  cat <<LINES
Chemin de destination: [$a]
Chemin de source : [$d]
N'est pas/plus en cours d'execution : ${a}vorlo.exe
Application "${a}vorlo.exe" terminée
N'est pas/plus en cours d'execution : ${a}Vorlo.exe
Application "${a}Vorlo.exe" terminée
Début de section ->[LocalFiles]
Ajouté : ${d}vorlo.exe
Fin de section ->[end]
Renomme : ${a}vorlo.exe en ${a}vorlo.exe.old
Renommé...
Copie le fichier : ${d}vorlo.exe en ${a}vorlo.exe
Fichier copié !
Echanges fichiers terminé
Début de section ->[DeleteLocalFiles]
Ajouté : ${a}old.dll
Fin de section ->[end]
Effacé : ${a}old.dll
Effacement fichiers terminé
Redémarre -> "${a}vorlo.exe"
l'application : ${a}vorlo.exe va demarrer
Terminé ....

LINES
}

# The Linux scripts' installation. They set bin (the built programs) and root
# (their scratch folder) first.
#
# setup_release NAME: below $root/NAME, a fresh installation (vorlo.exe at
# version 1), a download (vorlo.exe at version 2, its recorded size, and a
# manifest that installs it) and a configuration of their own
# (XDG_CONFIG_HOME). Sets t, a and d (each folder with its separator).
setup_release() {
  t=$root/$1
  a=$t/app/
  d=$t/dl/
  mkdir -p "$a" "$d" "$t/config"
  cp "$bin/update" "$t/update"
  cp "$bin/vorlo-sim" "$a/vorlo.exe"
  cp "$bin/vorlo-sim" "$d/vorlo.exe"
  printf '\n# version 2\n' >> "$d/vorlo.exe"
  printf '[LocalFiles]\r\nvorlo.exe\r\n[end]\r\n' > "$d/current_release.txt"
  export XDG_CONFIG_HOME=$t/config
  reg add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"$a\""
  reg add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d "\"$d\""
  size vorlo.exe
}
# winpath PATH: the Linux path as Wine's Z: drive names it.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
# reg ARGS: vorlo-reg, forced and quiet.
reg() { "$bin/vorlo-reg" "$@" /f >/dev/null; }
# size NAME: records the size of the downloaded NAME, as the downloader does.
size() { reg add 'HKCU\Software\Vorlo\Updates\files' /v "$1" /d "$(stat -c %s "$d/$1")"; }

# start_display: an X server of our own with a window manager; sets DISPLAY.
start_display() {
  local n
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    if [ -e /tmp/.X11-unix/X$n ]; then
      export DISPLAY=:$n
      openbox >/dev/null 2>&1 &
      wm_pid=$!
      sleep 1
      return 0
    fi
    kill $xvfb_pid 2>/dev/null
  done
  echo "no display could be started"
  return 1
}
stop_display() {
  [ -n "${wm_pid:-}" ] && kill $wm_pid 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill $xvfb_pid 2>/dev/null
  wait 2>/dev/null
}

# wait_window NAME [SECONDS]: the id of the first visible window whose title
# matches, or nothing.
wait_window() {
  local i id
  for i in $(seq $((${2:-20} * 5))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
# window_gone ID [SECONDS]: true once the window is no longer mapped.
window_gone() {
  local i
  for i in $(seq $((${2:-20} * 5))); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.2
  done
  return 1
}
# geometry ID: sets X, Y (the client area's absolute corner), WIDTH, HEIGHT.
geometry() {
  local info
  info=$(xwininfo -id "$1" 2>/dev/null)
  X=$(printf '%s\n' "$info" | sed -n 's/.*Absolute upper-left X: *//p')
  Y=$(printf '%s\n' "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
  WIDTH=$(printf '%s\n' "$info" | sed -n 's/.*Width: *//p')
  HEIGHT=$(printf '%s\n' "$info" | sed -n 's/.*Height: *//p')
}
# press ID KEYS: real key presses (not sent events, which toolkits ignore)
# to the window, once it has the focus.
press() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  xdotool key "$2"
}
# alive PID: yes while the process runs, else no.
alive() {
  if kill -0 "$1" 2>/dev/null; then echo yes; else echo no; fi
}
# wait_gone PID [SECONDS]: waits until the process has ended by itself (a
# window that closes itself at the end of its run, or when asked).
wait_gone() {
  local i
  for i in $(seq $((${2:-20} * 5))); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.2
  done
  return 1
}
# reap PID: ends the process if it still runs and returns its exit status.
reap() {
  kill "$1" 2>/dev/null
  wait "$1"
}
# A screenshot of the window holds more than one colour.
has_content() {
  import -window "$1" "$2" 2>/dev/null && [ "$(convert "$2" -format '%k' info:)" -gt 2 ]
}
