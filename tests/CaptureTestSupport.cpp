#include "CaptureTestSupport.h"

namespace testing_support {

COLORREF CapturedImage::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0xFFFFFFFF;
    DWORD p = m_pixels[static_cast<size_t>(y) * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int CapturedImage::CountColour(const RECT& rect, COLORREF colour) const
{
    int count = 0;
    for (int y = rect.top > 0 ? rect.top : 0; y < rect.bottom && y < m_height; ++y)
        for (int x = rect.left > 0 ? rect.left : 0; x < rect.right && x < m_width; ++x)
            if (Pixel(x, y) == colour)
                ++count;
    return count;
}

bool CapturedImage::AllColour(const RECT& rect, COLORREF colour) const
{
    for (int y = rect.top > 0 ? rect.top : 0; y < rect.bottom && y < m_height; ++y)
        for (int x = rect.left > 0 ? rect.left : 0; x < rect.right && x < m_width; ++x)
            if (Pixel(x, y) != colour)
                return false;
    return true;
}

CapturedImage CaptureDc(HDC dc, int width, int height)
{
    CapturedImage image;
    if (!dc || width <= 0 || height <= 0)
        return image;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib)
        return image;
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, dib);
    BOOL copied = ::BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::GdiFlush();
    if (copied) {
        image.m_width = width;
        image.m_height = height;
        const auto* p = static_cast<const DWORD*>(bits);
        image.m_pixels.assign(p, p + static_cast<size_t>(width) * height);
        for (DWORD& px : image.m_pixels)
            px &= 0x00FFFFFF;
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(dib);
    return image;
}

CapturedImage CaptureClient(HWND hwnd)
{
    RECT rc = {};
    ::GetClientRect(hwnd, &rc);
    HDC dc = ::GetDC(hwnd);
    CapturedImage image = CaptureDc(dc, rc.right, rc.bottom);
    ::ReleaseDC(hwnd, dc);
    return image;
}

CapturedImage CaptureWindow(HWND hwnd)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    HDC dc = ::GetWindowDC(hwnd);
    CapturedImage image = CaptureDc(dc, rc.right - rc.left, rc.bottom - rc.top);
    ::ReleaseDC(hwnd, dc);
    return image;
}

void PumpMessages(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (milliseconds)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < milliseconds);
}

LPARAM ScreenPointOfWindow(HWND hwnd, int x, int y)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return MAKELPARAM(rc.left + x, rc.top + y);
}

} // namespace testing_support
