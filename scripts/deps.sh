#!/bin/sh
# Installs what the build, the tests and the demo need on Debian 12, only what is missing.
set -eu
need=""
for pkg in cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest \
           g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine \
           xvfb xauth wixl msitools python3 openssl osslsigncode curl; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need="$need $pkg"
done
if [ -n "$need" ]; then
    echo "Installing:$need"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages and not root: run as root or install them:$need" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # wine on amd64 wants the i386 architecture only for 32-bit programs; ours are 64-bit.
    apt-get install -y -qq --no-install-recommends $need >/dev/null
fi
