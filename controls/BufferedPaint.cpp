#include "controls/BufferedPaint.h"

#include "framework/Handles.h"

void DrawDoubleBuffered(HDC target, const RECT& rc, const std::function<void(HDC, int, int)>& draw)
{
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return;
    CMemoryDC memDC(target);
    CBitmapHandle buffer(::CreateCompatibleBitmap(target, width, height));
    if (!memDC.Get() || !buffer) {
        int saved = ::SaveDC(target);
        ::SetViewportOrgEx(target, rc.left, rc.top, nullptr);
        draw(target, width, height);
        ::RestoreDC(target, saved);
        return;
    }
    CSelectObject selectBuffer(memDC, buffer.Get());
    draw(memDC, width, height);
    ::BitBlt(target, rc.left, rc.top, width, height, memDC, 0, 0, SRCCOPY);
}
