#include "controls/FocusCue.h"

#include "controls/Palette.h"
#include "framework/KeyboardCues.h"

bool ShowsFocusCue(HWND control)
{
    return control && ::GetFocus() == control && AreFocusCuesShown(control);
}

void DrawFocusCue(HDC dc, const RECT& rect)
{
    DrawFocusCue(dc, rect, Palette().FocusCue);
}

void DrawFocusCue(HDC dc, const RECT& rect, COLORREF colour)
{
    const int right = rect.right - 1;
    const int bottom = rect.bottom - 1;
    if (right < rect.left || bottom < rect.top)
        return;
    // The dots keep one phase all the way round, as the system's focus rectangle does.
    auto dot = [&](int x, int y) {
        if (((x - rect.left) + (y - rect.top)) % 2 == 0)
            ::SetPixelV(dc, x, y, colour);
    };
    for (int x = rect.left; x <= right; ++x) {
        dot(x, rect.top);
        dot(x, bottom);
    }
    for (int y = rect.top + 1; y < bottom; ++y) {
        dot(rect.left, y);
        dot(right, y);
    }
}
