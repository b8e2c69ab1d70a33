#!/bin/sh
# The demo: builds the installer, the demo product's packages and a download site, serves the
# site on 127.0.0.1, stages the installer with config\manifest.xml, language folders and
# slides beside it, and runs it under Wine.
#
#   scripts/demo.sh [--dpi N] [scenario ...]
#
# With a DISPLAY you click through the installer yourself (scenario "watch"). Without one it
# runs under Xvfb and drives the wizard like a person, saving a screenshot of each panel to
# build/demo/shots. Scenarios: install (default), silent, german, update, outdated,
# server-down, flaky; "all" runs every one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# Taken whole before parsing, for running again inside the virtual screen.
args="$*"
dpi=96
while [ $# -gt 0 ]; do
    case $1 in
    --dpi) dpi=$2; shift 2 ;;
    *) break ;;
    esac
done
scenarios=${*:-install}
[ "$scenarios" = all ] && scenarios="install german update silent outdated server-down flaky"
if [ -n "${DISPLAY:-}" ] && [ -z "${PEL_DEMO_HEADLESS:-}" ] && [ $# -eq 0 ]; then
    scenarios=watch
fi

if [ -z "${PEL_DEMO_HEADLESS:-}" ]; then
    "$root/scripts/deps.sh"
    if [ -z "${DISPLAY:-}" ]; then
        # No screen: run everything again inside a virtual one, driven by the demo driver.
        WINEPREFIX="$root/build/demo/wineprefix" wineserver -k 2>/dev/null || true
        # shellcheck disable=SC2086 # the arguments are words without blanks
        exec env PEL_DEMO_HEADLESS=1 xvfb-run -a -s '-screen 0 1280x1024x24' "$0" $args
    fi
fi
[ -f "$root/build/windows/build.ninja" ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target PelWebInstaller DemoDriver record_args demo_site ManifestCheck
win="$root/build/windows"
demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
export WINEPREFIX="$demo/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# site <folder> <stage> [make_site options]: a download site and a staged installer using it.
site() {
    python3 "$root/tools/payloads/make_site.py" --payloads "$win/tools/payloads" \
        --installer "$win/PelWebInstaller.exe" --out "$1" --port "$port" \
        --manifest-out "$2/config/manifest.xml" ${3:-} >/dev/null
    cp "$win/PelWebInstaller.exe" "$2/"
    cp -r "$root/sample/language" "$2/"
}
site "$demo/site" "$demo/app"
site "$demo/site-outdated" "$demo/app-outdated" "--min-web-installer 7.0.0.11"
# Nothing listens on this port.
mkdir -p "$demo/app-down"
cp -r "$demo/app/." "$demo/app-down/"
down=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -i "s#127.0.0.1:$port#127.0.0.1:$down#g" "$demo/app-down/config/manifest.xml"
echo "Installer staged in $demo/app ($(stat -c %s "$demo/app/PelWebInstaller.exe") bytes), site on port $port"

serve() {
    python3 "$root/tools/testserver/pel_test_server.py" --root "$1" --port "$port" \
        --log "$demo/server.log" --idle-exit 900 >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 50); do
        python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the download server did not start" >&2
    return 1
}
stop_serving() { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }

run() {
    # run <scenario>: the scenario against the right site, inside the display.
    case $1 in
    outdated)
        app="$demo/app-outdated"; serve "$demo/site-outdated"
        # A slow version document keeps the self-check window up long enough to be seen.
        python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/__control/set?path=/version.xml&delay=2500&times=1')" ;;
    server-down) app="$demo/app-down"; serve "$demo/site" ;;
    *) app="$demo/app"; serve "$demo/site" ;;
    esac
    rc=0
    wine "$win/tools/DemoDriver.exe" "$1" "$(winepath -w "$app/PelWebInstaller.exe")" \
        --shots "$(winepath -w "$demo/shots")" \
        --msi "$(winepath -w "$demo/site/msi/varo_pro_70.msi")" \
        --browser-log "$PEL_RECORD_ARGS_FILE" --server "http://127.0.0.1:$port" || rc=$?
    stop_serving
    return $rc
}

body() {
    "$root/tests/wine/make-prefix.sh" "$WINEPREFIX"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    # The vendor's last step: every payload's SHA-256 into the manifest and the version
    # document, so that the demo's downloads are all checked against them.
    wine "$win/tools/ManifestCheck.exe" "$(winepath -w "$demo/app/config/manifest.xml")" \
        --fill-hashes "$(winepath -w "$demo/site")" --version-doc "$(winepath -w "$demo/site/version.xml")" \
        >"$demo/fill-hashes.txt" 2>&1 || { echo "filling in the hashes failed:"; cat "$demo/fill-hashes.txt"; return 1; }
    echo "Hashes filled in: $(grep -c sha256 "$demo/app/config/manifest.xml") in the manifest"
    # Web addresses the installer opens go to a stand-in that writes them down, never to the
    # network.
    recorder=$(winepath -w "$win/tests/record_args.exe")
    for scheme in http https; do
        wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /d "\"$recorder\" \"%1\"" /f >/dev/null 2>&1
    done
    export PEL_RECORD_ARGS_FILE="$(winepath -w "$demo/browser.txt")"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p 2>/dev/null || true
    failed=""
    for s in $scenarios; do
        run "$s" || failed="$failed $s"
    done
    wineserver -k 2>/dev/null || true
    echo "Screenshots: $demo/shots"
    if [ -n "$failed" ]; then
        echo "DEMO FAILED:$failed"
        return 1
    fi
    echo "DEMO PASSED ($scenarios)"
}

body
