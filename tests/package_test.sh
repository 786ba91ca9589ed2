#!/usr/bin/env bash
# The Debian package: made from the build with CPack, unpacked into a scratch
# root, its dependencies declared, and its programs run on the demo release
# (vorlo-release makes the download, vorlo-reg writes the configuration, the
# installed updater installs it).
#   package_test.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
bin=$build/bin
. "$src/tests/e2e_lib.sh"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "== the package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$root/pkg" >"$root/cpack.log" 2>&1
check "cpack: exit status 0" 0 "$?"
deb=$(ls "$root"/pkg/*.deb 2>/dev/null | head -n 1)
check "a .deb is made" yes "$([ -f "$deb" ] && echo yes || echo no)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libgtk-3-0 libsqlite3-0 libssl3; do
  check_contains "it depends on $lib" "$lib" "$depends"
done
dpkg-deb -x "$deb" "$root/sys"
for f in usr/bin/vorlo-reg usr/bin/vorlo-release usr/lib/vorlo-update/update \
         usr/lib/vorlo-update/update.ENU usr/share/doc/vorlo-update/releasing.md; do
  check "installed: $f" yes "$([ -f "$root/sys/$f" ] && echo yes || echo no)"
done
sys=$root/sys/usr

echo "== the installed programs on the demo release"
t=$root/demo
a=$t/install/
mkdir -p "$t/install" "$t/build2"
cp "$src"/examples/demo/install/* "$t/install/"
cp "$bin/vorlo-sim" "$t/install/vorlo.exe"
cp "$src"/examples/demo/build2/* "$t/build2/"
cp "$bin/vorlo-sim" "$t/build2/vorlo.exe"
printf '\n# release 2\n' >> "$t/build2/vorlo.exe"
for dir in install build2; do cp "$sys/lib/vorlo-update/update" "$sys/lib/vorlo-update/update.ENU" "$t/$dir/"; done
"$sys/bin/vorlo-release" make "$t/install" "$t/build2" "$t/download" >/dev/null
check "vorlo-release make" 0 "$?"
export XDG_CONFIG_HOME=$t/config
"$sys/bin/vorlo-reg" import "$t/download/sizes.reg" >/dev/null
check "vorlo-reg import" 0 "$?"
"$sys/bin/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v ExecPath /d "\"$a\"" /f >/dev/null
"$sys/bin/vorlo-reg" add 'HKCU\Software\Vorlo\Updates' /v FilesPath /d "\"$t/download/\"" /f >/dev/null
out=$(env -u DISPLAY timeout 120 "$t/install/update" 2>/dev/null </dev/null)
check "update: exit status 0" 0 "$?"
check "the run ends" "Terminé ...." "$(printf '%s\n' "$out" | tail -n 1)"
for _ in $(seq 50); do [ -s "$t/install/vorlo-sim.log" ] && break; sleep 0.1; done
check "the installation is release 2" "" \
  "$(diff -r -x '*.old' -x vorlo-sim.log -x update.log "$t/install" "$t/build2" 2>&1)"

finish
