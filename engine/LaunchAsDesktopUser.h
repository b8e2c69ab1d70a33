// Starts a program as the signed-in user normally runs it (the status and success panels
// start the product with it, the self-validation an installed product). The installer runs
// elevated, and a program it starts itself would inherit that; the desktop
// shell runs it instead, in the shell's own unelevated context.
#pragma once

#include <windows.h>

#include <string>

// Starts the file at path (no arguments, the shell's default folder, the
// default verb, SW_SHOWNORMAL). The calling thread has initialised COM.
// Nothing is reported: when the desktop shell cannot be reached (no desktop
// window, an interface missing), nothing starts and the caller carries on.
void LaunchAsDesktopUser(const std::wstring& path);

// The desktop window's active shell view in the requested interface; the
// caller releases *view. A failure code and a null *view when there is none.
HRESULT FindDesktopFolderView(REFIID iid, void** view);
