#include "controls/PelButton.h"

#include "controls/BufferedPaint.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "framework/Handles.h"

#include <windowsx.h>

CPelButton::CPelButton() : m_blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA} {}

CPelButton::~CPelButton() = default;

void CPelButton::SetColorsAndText(COLORREF normal, COLORREF hover, COLORREF pressed,
                                  COLORREF border, const std::wstring& caption)
{
    m_crNormal = normal;
    m_crHover = hover;
    m_crPressed = pressed;
    m_crBorder = border;
    m_strCaption = caption;
    m_hImage = nullptr;
    m_nFrameCount = 0;
}

void CPelButton::SetButtonImage(const CImageWrapper& image)
{
    // A picture that did not decode has no bitmap: it counts as no picture at all, so the
    // frame arithmetic never runs on a 0 x 0 image.
    m_hImage = image.Bitmap();
    m_nImageWidth = image.Width();
    m_nImageHeight = image.Height();
    m_nFrameCount = m_hImage ? 1 : 0;
    m_bFramesHorizontal = true;
}

void CPelButton::PreSubclassWindow()
{
    // The button type lives in the low bits of the style: replace it rather than OR into it,
    // or a default push button (BS_DEFPUSHBUTTON) would become an unrelated type.
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
}

bool CPelButton::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd != m_hWnd)
        return false;
    if (msg->message == WM_LBUTTONDBLCLK)
        msg->message = WM_LBUTTONDOWN; // a quick second click is another click
    if (msg->message == WM_LBUTTONDOWN)
        ::SetFocus(m_hWnd);
    return false;
}

void CPelButton::OnLButtonDown()
{
    m_click.Press(m_hWnd);
    Invalidate(FALSE);
}

void CPelButton::OnLButtonUp(LPARAM lParam)
{
    m_click.Release(m_hWnd, lParam);
    Invalidate(TRUE);
}

void CPelButton::OnCaptureChanged(HWND newCapture)
{
    if (m_click.CaptureChanged(m_hWnd, newCapture))
        Invalidate(FALSE);
}

LRESULT CPelButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(lParam);
        break;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(reinterpret_cast<HWND>(lParam));
        break;
    case WM_MOUSEMOVE:
        if (!m_bTracking)
            m_bTracking = TrackMouse(TME_HOVER | TME_LEAVE, 1);
        break;
    case WM_MOUSEHOVER:
        m_bTracking = true;
        m_bHover = true;
        Invalidate(FALSE);
        return 0;
    case WM_MOUSELEAVE:
        m_bTracking = false;
        m_bHover = false;
        Invalidate(FALSE);
        return 0;
    case WM_ERASEBKGND:
        return TRUE; // the item drawing covers everything
    }
    return CButton::WindowProc(msg, wParam, lParam);
}

bool CPelButton::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (msg != WM_DRAWITEM)
        return false;
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CPelButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    DrawDoubleBuffered(item.hDC, item.rcItem,
                       [this](HDC dc, int width, int height) { DrawContent(dc, width, height); });
}

void CPelButton::DrawContent(HDC dc, int width, int height)
{
    RECT rc = {0, 0, width, height};
    {
        CBrushHandle normal(::CreateSolidBrush(m_crNormal));
        ::FillRect(dc, &rc, normal.Get());
    }
    if (m_bHover || m_click.IsPressed()) {
        CBrushHandle fill(::CreateSolidBrush(m_click.IsPressed() ? m_crPressed : m_crHover));
        CPenHandle pen(::CreatePen(PS_SOLID, 1, m_crBorder));
        CSelectObject selectBrush(dc, fill.Get());
        CSelectObject selectPen(dc, pen.Get());
        ::Rectangle(dc, 0, 0, width, height);
    }
    if (m_hImage && m_nFrameCount > 0) {
        int frameWidth = m_bFramesHorizontal ? m_nImageWidth / m_nFrameCount : m_nImageWidth;
        int frameHeight = m_bFramesHorizontal ? m_nImageHeight : m_nImageHeight / m_nFrameCount;
        CMemoryDC imageDC(dc);
        if (imageDC.Get() && frameWidth > 0 && frameHeight > 0) {
            CSelectObject selectImage(imageDC, m_hImage);
            ::AlphaBlend(dc, (width - frameWidth) / 2, (height - frameHeight) / 2, frameWidth,
                         frameHeight, imageDC, 0, 0, frameWidth, frameHeight, m_blend);
        }
    }
    if (!m_strCaption.empty()) {
        CSelectObject selectFont(dc, ButtonFont());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, Palette().StrongText);
        ::DrawTextW(dc, m_strCaption.c_str(), static_cast<int>(m_strCaption.size()), &rc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_WORD_ELLIPSIS);
    }
}
