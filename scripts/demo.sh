#!/bin/sh
# The demo: builds the installer and runs it under Wine with the sample
# manifest beside it, showing start-up, the single instance and shut-down.
# With a DISPLAY you close the window yourself; without one it runs under Xvfb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
[ -f "$root/build/windows/build.ninja" ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target PelWebInstaller DemoDriver
win="$root/build/windows"
stage="$root/build/demo/app"
rm -rf "$root/build/demo"
mkdir -p "$stage/config"
cp "$win/PelWebInstaller.exe" "$stage/"
cp "$root/sample/config/manifest.xml" "$stage/config/"
export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "Installer staged in $stage ($(stat -c %s "$stage/PelWebInstaller.exe") bytes)"
if [ -n "${DISPLAY:-}" ]; then
    "$root/tests/wine/make-prefix.sh" "$WINEPREFIX"
    exec wine "$win/tools/DemoDriver.exe" "$(winepath -w "$stage/PelWebInstaller.exe")" --interactive
fi
wineserver -k 2>/dev/null || true
exec xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
    "$0/tests/wine/make-prefix.sh" "$WINEPREFIX" && wine "$1/tools/DemoDriver.exe" "$(winepath -w "$2/PelWebInstaller.exe")"
    rc=$?; wineserver -k 2>/dev/null; exit $rc' "$root" "$win" "$stage"
