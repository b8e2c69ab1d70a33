// A shown top-level framework window that hosts controls as real child windows for the
// control tests: it records the notifications its children send or post, and offers a
// message pump that pre-translates like the framework's modal loop.
#pragma once

#include "GdiTestSupport.h"

#include "CaptureTestSupport.h"
#include "framework/Wnd.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace testing_support {

struct RecordedCommand
{
    int id;
    int code;
    HWND from;
};

class CControlHost : public CWnd
{
public:
    std::vector<RecordedCommand> commands;

    // A topmost popup at (x, y) of the given client size, shown and on screen.
    bool Create(int x = 40, int y = 40, int width = 420, int height = 320)
    {
        static const wchar_t kClass[] = L"PelControlTestHost";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        ::RegisterClassW(&wc); // fails harmlessly once registered
        if (!CreateEx(WS_EX_TOPMOST, kClass, L"control host", WS_POPUP | WS_VISIBLE, x, y,
                      width, height, nullptr, nullptr))
            return false;
        ::SetForegroundWindow(m_hWnd);
        ::UpdateWindow(m_hWnd);
        PumpMessages(20);
        return true;
    }

    ~CControlHost() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

    // A child of a system class (BUTTON, STATIC) for a control object to subclass.
    HWND AddChild(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
                  int width, int height)
    {
        return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    }

    int CountCommands(int id, int code) const
    {
        int n = 0;
        for (const RecordedCommand& c : commands)
            if (c.id == id && c.code == code)
                ++n;
        return n;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND && lParam)
            commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

// Dispatches this thread's messages for about the given time, offering each to the objects
// from its window up to top first, as the framework's modal loop does.
inline void PumpPreTranslated(HWND top, DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (CWnd::WalkPreTranslateTree(top, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(1);
    } while (::GetTickCount() - start < milliseconds);
}

// Whether two colours differ by at most tolerance in each channel (anti-aliasing and
// colour conversion may move a value by one).
inline bool NearColour(COLORREF a, COLORREF b, int tolerance = 2)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The bounding box of the pixels of rect that are not near the colour; empty when none.
inline RECT BoxOfOtherPixels(const CapturedImage& image, const RECT& rect, COLORREF colour,
                             int tolerance = 24)
{
    RECT box = {rect.right, rect.bottom, rect.left, rect.top};
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (!NearColour(image.Pixel(x, y), colour, tolerance)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.left >= box.right)
        box = RECT{0, 0, 0, 0};
    return box;
}

// Live GDI objects of this process (see GdiTestSupport.h).
inline int CountGdiObjects()
{
    return CountLiveGdiObjects();
}

} // namespace testing_support
