// The window class of custom controls that are created as plain child windows (progress bar,
// slide show): its window procedure is CWnd::StaticWindowProc, so CWnd::CreateEx attaches the
// control object at creation.
#pragma once

// Registers the class "PelControlWindow" in the program's module on first use and returns its
// name; null when registration failed. Any control may pass the name to CWnd::CreateEx.
// The class has no background brush (controls paint every pixel themselves) and the arrow
// cursor (a control that wants another answers WM_SETCURSOR).
const wchar_t* PelControlWindowClass();
