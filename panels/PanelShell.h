// The two ways the status and success panels reach outside the installer: opening a web
// address in the user's browser, and starting the installed product as the desktop user.
// Tests replace both, so that no browser or product starts while they drive the panels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Opens an http or https address (IsWebAddress) in the user's browser as the desktop user:
// the desktop shell opens it ("open", SW_SHOWNORMAL), with COM initialised on this thread
// around the call. Anything else (a file: address, a program, another scheme) is not opened,
// and neither is any address when no desktop shell can be reached (no shell running): false,
// and a line in the debugger output. A link that cannot be opened changes nothing in the
// installation.
bool OpenWebAddress(const std::wstring& url);

// Starts the product program at path as the desktop user when it is an existing file (not
// a folder), with COM initialised on this thread around the start. Returns whether it
// started: false for a missing program or a folder, and when the desktop shell cannot be
// reached or does not start it.
bool LaunchInstalledProduct(const std::wstring& path);

// Starts the installed product (the install folder's program the manifest names) after the
// installation, and logs the start. When it cannot be started the user is told so in a
// message box owned by owner (IDS_ERR_LAUNCH_FAILED, the full product name); a quiet run
// only logs it. The installation stays a success either way. Returns whether it started.
bool StartProductAfterInstall(HWND owner);

// Tests: what OpenWebAddress and the start in LaunchInstalledProduct do instead of the shell
// (an empty function puts the real one back). The file check stays in place.
using ShellAction = std::function<void(const std::wstring&)>;
void SetWebAddressOpenerForTesting(ShellAction opener);
void SetProductLauncherForTesting(ShellAction launcher);
