#!/bin/sh
# Pictures of the control gallery at 96 and 144 dpi for docs/, and the GDI object count of the
# gallery process around 1000 full repaints (printed).
#   tools/gallery/make_gallery.sh [repaints]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
repaints=${1:-1000}
cmake --build "$root/build/windows" --target Gallery >/dev/null
export WINEPREFIX="$root/build/gallery/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
    set -e
    "$0/tests/wine/make-prefix.sh" "$WINEPREFIX"
    for dpi in 96 144; do
        wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
        extra=""
        [ $dpi = 96 ] && extra="--repaints $1"
        wine "$0/build/windows/tools/Gallery.exe" --png "$(winepath -w "$0/docs/gallery-$dpi.png")" $extra
    done
    wineserver -k' "$root" "$repaints"
