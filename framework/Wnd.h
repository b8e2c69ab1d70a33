// Window base class: holds an HWND and routes its messages to one virtual WindowProc.
#pragma once

#include <windows.h>

class CWnd
{
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to a window by this framework, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Creates a window of a class whose window procedure is StaticWindowProc; the object is
    // attached at WM_NCCREATE, so it sees WM_NCCREATE and WM_CREATE already.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                  int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                  HINSTANCE instance = nullptr);

    // Attaches the object to an existing window and routes its messages through WindowProc;
    // default processing then goes to the window's original procedure.
    bool SubclassWindow(HWND hwnd);
    // Puts the original procedure back and detaches; returns the window.
    HWND UnsubclassWindow();
    // Subclasses the dialog item with the given id of parent.
    bool SubclassDlgItem(UINT id, HWND parent);

    // Called by SubclassWindow once the object is attached and its WindowProc receives the
    // window's messages; controls adjust their style here (owner-draw bits, borders).
    virtual void PreSubclassWindow() {}

    // Notifications a child sends its parent (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
    // WM_MEASUREITEM, WM_DELETEITEM, WM_COMPAREITEM, WM_CTLCOLOR*) are offered to the child's
    // object first when the parent is a window of this framework. Return true with *result
    // to consume the message; false lets the parent handle it as usual.
    virtual bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // The message map: a switch over the messages the class handles; everything else goes to
    // the base class, and so in the end to DefWindowProc. Overrides must let WM_NCDESTROY
    // reach the base: the original procedure of a subclassed control frees its data there.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Default processing: the original procedure of a subclassed window, else DefWindowProcW.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // A chance to handle a queued message before it is translated and dispatched (modal loops
    // of this framework ask the dialog that runs them); true when handled.
    virtual bool PreTranslateMessage(MSG* msg);

    // Offers a queued message to the objects of its window and of each ancestor up to and
    // including stop (or stop alone when the message is not for one of its descendants);
    // true as soon as one handles it. Modal loops call this with their dialog.
    static bool WalkPreTranslateTree(HWND stop, MSG* msg);

    // Asks for WM_MOUSELEAVE (or WM_NCMOUSELEAVE with TME_NONCLIENT, and hover messages with
    // TME_HOVER) for this window; true when the request was taken.
    bool TrackMouse(DWORD flags = TME_LEAVE, DWORD hoverTime = HOVER_DEFAULT);

    // Window procedure of classes registered for CWnd objects.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Thin helpers.
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL SetWindowText(const wchar_t* text) { return ::SetWindowTextW(m_hWnd, text); }
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const
    {
        return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    }
    // Changes the style bits; with a non-zero swpFlags the frame is recalculated
    // (SWP_FRAMECHANGED is added).
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }

protected:
    // Called after the window's last message (WM_NCDESTROY), once m_hWnd is null again.
    virtual void PostNcDestroy() {}

private:
    bool Attach(HWND hwnd);
    void Detach();

    WNDPROC m_pfnSuper = nullptr; // original procedure of a subclassed window
};
