#include "controls/ButtonClickCycle.h"

#include <windowsx.h>

void CButtonClickCycle::Press(HWND button)
{
    if (!m_bCaptured) {
        ::SetCapture(button);
        m_bCaptured = true;
        m_bPressed = true;
    }
}

void CButtonClickCycle::Release(HWND button, LPARAM point)
{
    if (m_bCaptured) {
        // Cleared first: the WM_CAPTURECHANGED that ReleaseCapture sends is then ours.
        m_bCaptured = false;
        ::ReleaseCapture();
    }
    if (!m_bPressed)
        return;
    m_bPressed = false;
    RECT client;
    ::GetClientRect(button, &client);
    POINT pt = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    if (::PtInRect(&client, pt))
        PostClicked(button);
}

void CButtonClickCycle::PostClicked(HWND button)
{
    int id = ::GetDlgCtrlID(button);
    ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

bool CButtonClickCycle::CaptureChanged(HWND button, HWND newCapture)
{
    if (!m_bCaptured || newCapture == button)
        return false;
    m_bCaptured = false;
    m_bPressed = false;
    return true;
}

void CButtonClickCycle::Reset(HWND button)
{
    m_bPressed = false;
    if (m_bCaptured) {
        m_bCaptured = false;
        if (button && ::GetCapture() == button)
            ::ReleaseCapture();
    }
}
