// The click cycle both custom buttons share: a press takes the mouse capture, a release inside
// the button posts BN_CLICKED to the parent, and a capture taken away ends the press unseen.
#pragma once

#include <windows.h>

class CButtonClickCycle
{
public:
    // Left button down on the button.
    void Press(HWND button);
    // Left button up (point in client coordinates): ends the press, and posts the click
    // notification to the parent when the point lies inside the client area.
    void Release(HWND button, LPARAM point);
    // WM_CAPTURECHANGED: true when a held press was lost (another window, a menu or a message
    // box took the capture), so that it neither stays drawn nor counts later.
    bool CaptureChanged(HWND button, HWND newCapture);
    // Forgets any press, giving the capture back when the button still holds it.
    void Reset(HWND button);
    // Posts the click notification (BN_CLICKED) to the button's parent, as a completed
    // click does; a screen reader's default action clicks this way too.
    static void PostClicked(HWND button);

    bool IsPressed() const { return m_bPressed; }
    bool IsCaptured() const { return m_bCaptured; }

private:
    bool m_bPressed = false;
    bool m_bCaptured = false;
};
