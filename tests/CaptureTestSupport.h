// Reading drawn pixels back from real windows (under Xvfb), and pumping their messages.
#pragma once

#include <windows.h>

#include <vector>

namespace testing_support {

// A top-down 32-bpp copy of what a window shows.
class CapturedImage
{
public:
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_pixels.empty(); }
    // The colour at (x, y) as a COLORREF (0x00BBGGRR); 0xFFFFFFFF outside the image.
    COLORREF Pixel(int x, int y) const;
    // How many pixels of rect (clipped to the image) have exactly this colour.
    int CountColour(const RECT& rect, COLORREF colour) const;
    // True when every pixel of rect (clipped to the image) has this colour.
    bool AllColour(const RECT& rect, COLORREF colour) const;

private:
    friend CapturedImage CaptureDc(HDC, int, int);
    int m_width = 0;
    int m_height = 0;
    std::vector<DWORD> m_pixels; // 0x00RRGGBB as the DIB holds them
};

// Copies width x height from a DC's origin into a DIB section.
CapturedImage CaptureDc(HDC dc, int width, int height);

// The client area (GetDC) or the whole window with its frame (GetWindowDC). The window must be
// visible, on top and fully on the screen: Wine's PrintWindow cannot be used.
CapturedImage CaptureClient(HWND hwnd);
CapturedImage CaptureWindow(HWND hwnd);

// Dispatches this thread's messages for about the given time (at least once).
void PumpMessages(DWORD milliseconds = 0);

// Dispatches messages until pred() holds or the time is up; returns pred().
template <typename Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return pred();
        PumpMessages(10);
    }
    return true;
}

// Mouse positions as window messages take them.
inline LPARAM ClientPoint(int x, int y) { return MAKELPARAM(x, y); }
// A screen point for non-client messages, from window-relative coordinates.
LPARAM ScreenPointOfWindow(HWND hwnd, int x, int y);

} // namespace testing_support
