#include "framework/Wnd.h"

namespace {

// The object attached to a window. A window property works the same for windows we create,
// dialogs and subclassed controls, and leaves GWLP_USERDATA/DWLP_USER to their owners.
const wchar_t kObjectProp[] = L"PelWndObject";

// The original procedure of a subclassed window. Kept beside the object so that a window
// whose object detached while someone else had subclassed it after us still reaches it.
const wchar_t kSuperProp[] = L"PelWndSuper";

WNDPROC SuperOf(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kSuperProp));
}

} // namespace

CWnd::~CWnd()
{
    // The window may outlive the object (a control the object only subclassed): give it its
    // own procedure back so no message reaches a destroyed object.
    if (m_hWnd)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kObjectProp)) : nullptr;
}

bool CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandle(hwnd))
        return false;
    if (!::SetPropW(hwnd, kObjectProp, this))
        return false;
    m_hWnd = hwnd;
    return true;
}

void CWnd::Detach()
{
    if (m_hWnd)
        ::RemovePropW(m_hWnd, kObjectProp);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName,
                    DWORD style, int x, int y, int width, int height, HWND parent,
                    HMENU menuOrId, HINSTANCE instance)
{
    if (m_hWnd)
        return false;
    if (!instance)
        instance = ::GetModuleHandleW(nullptr);
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                  parent, menuOrId, instance, this);
    return hwnd != nullptr && hwnd == m_hWnd;
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    if (!Attach(hwnd))
        return false;
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
    // Subclassing a window that already runs StaticWindowProc would make default processing
    // call itself for ever.
    if (!old || old == &StaticWindowProc) {
        if (old)
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        Detach();
        return false;
    }
    m_pfnSuper = old;
    ::SetPropW(hwnd, kSuperProp, reinterpret_cast<HANDLE>(old));
    PreSubclassWindow();
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, HWND parent)
{
    HWND item = ::GetDlgItem(parent, static_cast<int>(id));
    return item && SubclassWindow(item);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return false;
}

bool CWnd::WalkPreTranslateTree(HWND stop, MSG* msg)
{
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (CWnd* wnd = FromHandle(hwnd)) {
            if (wnd->PreTranslateMessage(msg))
                return true;
        }
        if (hwnd == stop)
            return false;
    }
    CWnd* top = FromHandle(stop);
    return top && top->PreTranslateMessage(msg);
}

bool CWnd::TrackMouse(DWORD flags, DWORD hoverTime)
{
    TRACKMOUSEEVENT tme = {sizeof(tme), flags, m_hWnd, hoverTime};
    return ::TrackMouseEvent(&tme) != FALSE;
}

namespace {

bool ChangeStyle(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags)
{
    auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return false;
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       swpFlags | SWP_FRAMECHANGED | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
                           SWP_NOACTIVATE);
    return true;
}

// The child a notification comes from, for the messages that are reflected to it.
HWND NotifyingChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam); // null for menus and accelerators
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
        if (wParam == 0)
            return nullptr; // menu items
        return reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
    case WM_DELETEITEM:
        return reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
    case WM_COMPAREITEM:
        return reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem;
    case WM_MEASUREITEM:
        return wParam ? ::GetDlgItem(parent, static_cast<int>(wParam)) : nullptr;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORDLG:
        return reinterpret_cast<HWND>(lParam);
    default:
        return nullptr;
    }
}

} // namespace

bool CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    return ChangeStyle(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

bool CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    return ChangeStyle(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    if (m_pfnSuper) {
        // Only take ourselves out when nobody subclassed the window after us; otherwise
        // StaticWindowProc stays in the chain and passes everything to kSuperProp's procedure.
        auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
        if (current == &StaticWindowProc) {
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
            ::RemovePropW(hwnd, kSuperProp);
        }
    }
    Detach();
    return hwnd;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

bool CWnd::PreTranslateMessage(MSG*)
{
    return false;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandle(hwnd);
    if (!wnd && msg == WM_NCCREATE) {
        // Windows created by CreateEx carry their object in the creation parameters.
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        wnd = static_cast<CWnd*>(cs->lpCreateParams);
        if (wnd && !wnd->Attach(hwnd))
            wnd = nullptr;
    }
    if (!wnd) {
        WNDPROC super = SuperOf(hwnd);
        if (msg == WM_NCDESTROY)
            ::RemovePropW(hwnd, kSuperProp);
        return super ? ::CallWindowProcW(super, hwnd, msg, wParam, lParam)
                     : ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND child = NotifyingChild(hwnd, msg, wParam, lParam);
    if (child && child != hwnd) {
        LRESULT reflected = 0;
        CWnd* childWnd = FromHandle(child);
        if (childWnd && childWnd->OnChildNotify(msg, wParam, lParam, &reflected))
            return reflected;
    }

    LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // Last message: the window is gone, the object lives on without it.
        ::RemovePropW(hwnd, kSuperProp);
        wnd->Detach();
        wnd->PostNcDestroy();
    }
    return result;
}
