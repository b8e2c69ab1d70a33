#!/bin/sh
# Start-up benchmark: the installer from process creation to its settings panel on the screen,
# against a minimal dialog program of the same window size (tools/bench/MinimalDialog.cpp), under
# Wine on a virtual X screen. Builds the three programs, stages the installer as it is deployed
# (config\manifest.xml and language\ beside it), and runs StartupBench in its own Wine prefix with
# a persistent wineserver; StartupBench makes a warm-up run of each program first.
#
# Usage: tools/bench/startup_bench.sh [BUILD_DIR] (a windows-preset tree; default build/windows)
# Environment: RUNS (default 15), WARMUPS (default 1).
set -eu

src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/windows}" && pwd)
runs=${RUNS:-15}
warmups=${WARMUPS:-1}
work=$src/build/bench-startup
stage=$work/stage

cmake --build "$build" -j2 --target PelWebInstaller StartupBench MinimalDialog >/dev/null

rm -rf "$stage"
mkdir -p "$stage"
cp "$build/PelWebInstaller.exe" "$build/tools/MinimalDialog.exe" "$stage/"
cp -r "$src/sample/config" "$src/sample/language" "$stage/"

export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
"$src/tests/wine/make-prefix.sh" "$WINEPREFIX"
# A wineserver that started without a display would keep the X screen from these programs.
wineserver -k 2>/dev/null || true
wineserver -w

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
out=$work/startup_bench.txt
export BENCH_EXE="$build/tools/StartupBench.exe" BENCH_OUT="$out"
export BENCH_INSTALLER="$(winpath "$stage/PelWebInstaller.exe")"
export BENCH_MINIMAL="$(winpath "$stage/MinimalDialog.exe")"
export BENCH_RUNS="$runs" BENCH_WARMUPS="$warmups"

echo "running StartupBench ($runs runs, $warmups warm-up) ..." >&2
# The output goes through a file: Wine's helper processes inherit the program's handles and
# may outlive it.
rc=0
xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
    wineserver -p
    wine "$BENCH_EXE" "$BENCH_INSTALLER" "$BENCH_MINIMAL" "$BENCH_RUNS" "$BENCH_WARMUPS" \
        >"$BENCH_OUT" 2>&1 </dev/null
    rc=$?
    wineserver -k
    wineserver -w
    exit $rc' || rc=$?
tr -d '\r' < "$out"
exit $rc
