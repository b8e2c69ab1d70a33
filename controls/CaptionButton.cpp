#include "controls/CaptionButton.h"

namespace {

int Width(const RECT& r) { return r.right - r.left; }

// Moves the button so that its right edge lies on x and its top on y.
void PlaceRightTop(CaptionButton& button, int right, int top)
{
    MoveCaptionButton(button, right - Width(button.buttonRect), top);
}

} // namespace

SIZE CaptionButtonFrameSize(const CaptionButton& button)
{
    if (!button.image || button.frameCount < 1 || button.imageWidth <= 0 ||
        button.imageHeight <= 0)
        return SIZE{0, 0};
    if (button.framesHorizontal)
        return SIZE{button.imageWidth / button.frameCount, button.imageHeight};
    return SIZE{button.imageWidth, button.imageHeight / button.frameCount};
}

void CentreCaptionButtonImage(CaptionButton& button)
{
    SIZE frame = CaptionButtonFrameSize(button);
    const RECT& b = button.buttonRect;
    int left = b.left + (Width(b) - frame.cx) / 2;
    int top = b.top + ((b.bottom - b.top) - frame.cy) / 2;
    button.imageRect = RECT{left, top, left + frame.cx, top + frame.cy};
}

void MoveCaptionButton(CaptionButton& button, int x, int y)
{
    int dx = x - button.buttonRect.left;
    int dy = y - button.buttonRect.top;
    ::OffsetRect(&button.buttonRect, dx, dy);
    ::OffsetRect(&button.imageRect, dx, dy);
}

void LayoutCaptionButtons(std::vector<CaptionButton>& buttons, const RECT& paint, int insetX,
                          int insetY)
{
    if (buttons.size() <= kCaptionMinimize)
        return;
    RECT inner = paint;
    ::InflateRect(&inner, -insetX, -insetY);
    CaptionButton& close = buttons[kCaptionClose];
    CaptionButton& maximize = buttons[kCaptionMaximize];
    CaptionButton& restore = buttons[kCaptionRestore];
    CaptionButton& minimize = buttons[kCaptionMinimize];
    int closeWidth = Width(close.buttonRect);
    int maximizeWidth = Width(maximize.buttonRect);
    PlaceRightTop(close, inner.right, inner.top);
    PlaceRightTop(maximize, inner.right - closeWidth, inner.top);
    // Restore takes Maximize's place: its left edge, not its right, is set.
    MoveCaptionButton(restore, inner.right - closeWidth - maximizeWidth, inner.top);
    PlaceRightTop(minimize, inner.right - closeWidth - maximizeWidth, inner.top);
}

int HitTestCaptionButtons(const std::vector<CaptionButton>& buttons, POINT windowPoint)
{
    for (const CaptionButton& b : buttons) {
        if (b.visible && !b.disabled && ::PtInRect(&b.buttonRect, windowPoint))
            return b.id;
    }
    return -1;
}

void ClearCaptionButtonStates(std::vector<CaptionButton>& buttons)
{
    for (CaptionButton& b : buttons) {
        b.hover = false;
        b.pressed = false;
        if (b.visible)
            b.hot = false;
    }
}

const CaptionButton* HotCaptionButton(const std::vector<CaptionButton>& buttons)
{
    for (const CaptionButton& b : buttons) {
        if (b.visible && b.hot)
            return &b;
    }
    return nullptr;
}

COLORREF CaptionButtonBackground(const CaptionButton& button)
{
    if (button.disabled)
        return button.normalColour;
    if (button.pressed)
        return button.pressedColour;
    if (button.hover)
        return button.hoverColour;
    return button.normalColour;
}

BYTE CaptionButtonAlpha(const CaptionButton& button)
{
    return button.disabled ? BYTE{50} : button.blend.SourceConstantAlpha;
}
