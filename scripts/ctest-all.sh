#!/bin/sh
# Runs ctest over build/ with one persistent wineserver for the Windows tests.
# Called by test.sh inside the display the windows will use.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A server started without this display would make every later window fail.
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
"$root/tests/wine/make-prefix.sh" "$WINEPREFIX" || exit 1
wineserver -p
# The first Wine process starts services.exe and friends, and the first one that
# touches the desktop starts explorer.exe; they inherit and hold their starter's
# output pipe. Start them here so that no test's pipe is kept open by them.
wine cmd /c exit </dev/null >/dev/null 2>&1
wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
ctest --test-dir "$root/build" --output-on-failure -j2 --timeout 600 "$@"
rc=$?
wineserver -k 2>/dev/null
exit $rc
