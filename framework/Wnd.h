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

    // The message map: a switch over the messages the class handles; everything else goes to
    // the base class, and so in the end to DefWindowProc. Overrides must let WM_NCDESTROY
    // reach the base: the original procedure of a subclassed control frees its data there.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Default processing: the original procedure of a subclassed window, else DefWindowProcW.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // A chance to handle a queued message before it is translated and dispatched (modal loops
    // of this framework ask the dialog that runs them); true when handled.
    virtual bool PreTranslateMessage(MSG* msg);

    // Window procedure of classes registered for CWnd objects.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Thin helpers.
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL SetWindowText(const wchar_t* text) { return ::SetWindowTextW(m_hWnd, text); }
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
