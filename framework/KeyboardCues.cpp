#include "framework/KeyboardCues.h"

namespace {

// Set on a top-level window once the keyboard has moved the focus in it.
const wchar_t kCuesProp[] = L"PelFocusCuesShown";

HWND TopLevelOf(HWND hwnd)
{
    return hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
}

bool UserAlwaysShowsCues()
{
    BOOL always = FALSE;
    return ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0) && always;
}

// The focused control and the windows it is part of (the edit field of a combo box belongs to
// the box), up to the dialog that holds them: any of them may draw the cue.
void RepaintFocusedControl(HWND top)
{
    for (HWND hwnd = ::GetFocus(); hwnd && hwnd != top && ::IsChild(top, hwnd);
         hwnd = ::GetParent(hwnd)) {
        if (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)
            break;
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    }
}

} // namespace

bool AreFocusCuesShown(HWND control)
{
    if (!control)
        return false;
    if (::SendMessageW(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)
        return false;
    if (UserAlwaysShowsCues())
        return true;
    HWND top = TopLevelOf(control);
    return top && ::GetPropW(top, kCuesProp) != nullptr;
}

void ShowFocusCues(HWND anyWindow)
{
    HWND top = TopLevelOf(anyWindow);
    if (!top)
        return;
    ::SendMessageW(top, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (::GetPropW(top, kCuesProp))
        return;
    ::SetPropW(top, kCuesProp, reinterpret_cast<HANDLE>(1));
    RepaintFocusedControl(top);
}

void FollowUiStateUpdate(HWND control, WPARAM wParam)
{
    if (!(HIWORD(wParam) & UISF_HIDEFOCUS))
        return;
    HWND top = TopLevelOf(control);
    if (!top)
        return;
    if (LOWORD(wParam) == UIS_CLEAR)
        ::SetPropW(top, kCuesProp, reinterpret_cast<HANDLE>(1));
    else if (LOWORD(wParam) == UIS_SET)
        ::RemovePropW(top, kCuesProp);
}

bool IsFocusNavigationKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    const bool tab = msg.wParam == VK_TAB;
    const bool arrow = msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT || msg.wParam == VK_UP ||
                       msg.wParam == VK_DOWN;
    if (!tab && !arrow)
        return false;
    MSG copy = msg;
    auto code = static_cast<UINT>(::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam,
                                                 reinterpret_cast<LPARAM>(&copy)));
    if (code & DLGC_WANTMESSAGE)
        return false;
    return tab ? !(code & DLGC_WANTTAB) : !(code & DLGC_WANTARROWS);
}

void ForgetFocusCues(HWND topLevel)
{
    if (topLevel)
        ::RemovePropW(topLevel, kCuesProp);
}
