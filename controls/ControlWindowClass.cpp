#include "controls/ControlWindowClass.h"

#include "framework/Wnd.h"

#include <windows.h>

namespace {

const wchar_t kClassName[] = L"PelControlWindow";

bool RegisterOnce()
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW existing = {};
    // Another part of the program (or an earlier call) may have registered it already.
    if (::GetClassInfoW(instance, kClassName, &existing))
        return existing.lpfnWndProc == &CWnd::StaticWindowProc;
    WNDCLASSW wc = {};
    // No CS_DBLCLKS: every press of a quick double click arrives as WM_LBUTTONDOWN.
    wc.lpfnWndProc = &CWnd::StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return ::RegisterClassW(&wc) != 0;
}

} // namespace

const wchar_t* PelControlWindowClass()
{
    // A function-local static is initialised once even if two threads ask at the same time.
    static const bool registered = RegisterOnce();
    return registered ? kClassName : nullptr;
}
