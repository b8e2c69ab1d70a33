// Starts a program as the signed-in user normally runs it (the status and success panels
// start the product with it, the self-validation an installed product). The installer runs
// elevated, and a program it starts itself would inherit that; the desktop
// shell runs it instead, in the shell's own unelevated context.
#pragma once

#include <windows.h>

#include <string>

// Starts the file at path (no arguments, the shell's default folder, the
// default verb, SW_SHOWNORMAL). The calling thread has initialised COM.
// False when the desktop shell cannot be reached (no desktop window, an
// interface missing: a service, a run as SYSTEM) or reports that it could
// not start the file; nothing has started then.
bool LaunchAsDesktopUser(const std::wstring& path);

// Has the desktop shell open a web address ("open" verb, SW_SHOWNORMAL): the
// shell hands it to the user's default browser, which runs as the signed-in
// user and unelevated, like a link clicked on the desktop. The calling thread
// has initialised COM; the caller decides which addresses may be opened.
// False when the desktop shell cannot be reached (no shell running: a service,
// Server Core) or reports that it could not open the address; the address is
// then not opened at all, since any other way would start the browser with
// this process's elevated rights.
bool OpenAsDesktopUser(const std::wstring& address);

// The desktop window's active shell view in the requested interface; the
// caller releases *view. A failure code and a null *view when there is none.
HRESULT FindDesktopFolderView(REFIID iid, void** view);
