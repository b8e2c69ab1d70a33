// The two ways the status and success panels reach outside the installer: opening a web
// address in the user's browser, and starting the installed product as the desktop user.
// Tests replace both, so that no browser or product starts while they drive the panels.
#pragma once

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
// a folder), with COM initialised on this thread around the start. Returns whether a start
// was attempted; failures of the start itself are silent.
bool LaunchInstalledProduct(const std::wstring& path);

// Tests: what OpenWebAddress and the start in LaunchInstalledProduct do instead of the shell
// (an empty function puts the real one back). The file check stays in place.
using ShellAction = std::function<void(const std::wstring&)>;
void SetWebAddressOpenerForTesting(ShellAction opener);
void SetProductLauncherForTesting(ShellAction launcher);
