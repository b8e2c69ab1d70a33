#!/bin/sh
# Configures and builds the given presets (default: native, fuzz and windows).
set -eu
cd "$(dirname "$0")/.."
presets=${*:-"native fuzz windows"}
for p in $presets; do
    [ -f "build/$p/build.ninja" ] || cmake --preset "$p" >/dev/null
    cmake --build --preset "$p"
done
