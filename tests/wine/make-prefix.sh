#!/bin/sh
# Makes a Wine prefix for the tests: 64-bit, no Mono/Gecko prompts, Tahoma
# registered for DirectWrite, unmanaged windows (no window manager under Xvfb).
# Safe to call concurrently: the first caller builds, the others wait.
set -eu
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.pel-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf; do
    [ -f "$f" ] && cp "$f" "$fonts/"
done
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
wine reg add "$key" /v "Tahoma (TrueType)" /t REG_SZ /d tahoma.ttf /f >/dev/null 2>&1
wine reg add "$key" /v "Tahoma Bold (TrueType)" /t REG_SZ /d tahomabd.ttf /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
# Keyboard cues as Windows has them by default: focus rectangles hidden until the keyboard is
# used (Wine's own default shows them always). Wine's mask with the cues bit (0x20) cleared.
wine reg add 'HKCU\Control Panel\Desktop' /v UserPreferencesMask /t REG_BINARY /d 1000028012000000 /f >/dev/null 2>&1
# Links the installer opens (licence, home page, slide show) must never leave this machine:
# web addresses open a program that does nothing. Tests and the demo that want to see which
# address was opened point these keys at a recording program themselves.
for scheme in http https; do
    wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /d \
        '"C:\windows\system32\rundll32.exe" user32.dll,GetDesktopWindow "%1"' /f >/dev/null 2>&1
done
touch "$prefix/.pel-ready"
