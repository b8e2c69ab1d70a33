// The caption buttons of the dialog frame (Close, Maximize, Restore, Minimize): one record
// per button and the pure geometry and state rules on a list of them. No window is needed
// here, so the rules are tested without one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CPelDialog;

// Ids equal the button's position in the list.
enum CaptionButtonId
{
    kCaptionClose = 0,
    kCaptionMaximize = 1,
    kCaptionRestore = 2,
    kCaptionMinimize = 3,
};

// One caption button, copied by value into the dialog's list.
struct CaptionButton
{
    CPelDialog* owner = nullptr;
    int id = 0;
    // Premultiplied-alpha bitmap from the image cache; shared, never deleted here.
    HBITMAP image = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    int frameCount = 1;
    bool framesHorizontal = true;
    COLORREF normalColour = 0;
    COLORREF hoverColour = 0;
    COLORREF pressedColour = 0;
    std::wstring name;
    bool visible = false;
    RECT buttonRect = {}; // window coordinates
    RECT imageRect = {};  // one image frame, centred in buttonRect
    bool hover = false;
    bool pressed = false;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    bool hot = false;
    bool disabled = false;
};

// Size of one frame of the button's image; 0 x 0 without image or with no frames, so a
// broken frame count never divides by zero.
SIZE CaptionButtonFrameSize(const CaptionButton& button);

// Places the image rect: one frame centred in the button rect (integer halves).
void CentreCaptionButtonImage(CaptionButton& button);

// Moves a button (both rects by the same offset) so its top-left corner is at (x, y).
void MoveCaptionButton(CaptionButton& button, int x, int y);

// Places the buttons right-aligned in the paint rectangle deflated by (insetX, insetY):
// Close at the right edge, Maximize left of it, Restore's left edge and Minimize's right
// edge left of both. An emptied button counts zero width.
void LayoutCaptionButtons(std::vector<CaptionButton>& buttons, const RECT& paint, int insetX,
                          int insetY);

// The id of the first visible, enabled button whose rect holds the window-relative point;
// -1 for none. Empty rects never hold a point.
int HitTestCaptionButtons(const std::vector<CaptionButton>& buttons, POINT windowPoint);

// Hover and pressed off on every button, hot off on every visible one.
void ClearCaptionButtonStates(std::vector<CaptionButton>& buttons);

// The first visible hot button, or null.
const CaptionButton* HotCaptionButton(const std::vector<CaptionButton>& buttons);

// The background a button is filled with: pressed, else hover colour for an enabled
// button, the normal colour otherwise.
COLORREF CaptionButtonBackground(const CaptionButton& button);

// The constant alpha the image is blended with: 50 when disabled, else the blend's own.
BYTE CaptionButtonAlpha(const CaptionButton& button);
