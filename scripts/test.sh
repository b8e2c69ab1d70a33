#!/bin/sh
# Builds everything and runs every test: the native core under ASan/UBSan, a
# short fuzz run, and the Windows runners under Wine (windows under Xvfb).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" native fuzz windows
# One ctest run over all three trees, so that the output ends with one summary.
cat > "$root/build/CTestTestfile.cmake" <<EOT
subdirs("$root/build/native")
subdirs("$root/build/fuzz")
subdirs("$root/build/windows")
EOT
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$root/scripts/ctest-all.sh" "$@"
fi
exec "$root/scripts/ctest-all.sh" "$@"
