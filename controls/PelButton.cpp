#include "controls/PelButton.h"

#include "controls/BufferedPaint.h"
#include "controls/FocusCue.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "framework/Handles.h"
#include "framework/KeyboardCues.h"

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

void CPelButton::SetChecked(bool checked)
{
    if (m_bChecked == checked)
        return;
    m_bChecked = checked;
    if (m_hWnd && m_kind == Kind::CheckBox)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_STATECHANGE);
}

void CPelButton::SetExpanded(bool expanded)
{
    if (m_bExpanded == expanded)
        return;
    m_bExpanded = expanded;
    if (m_hWnd && m_kind == Kind::Toggle)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_STATECHANGE);
}

bool CPelButton::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    std::wstring name = m_strAccessibleName;
    if (name.empty())
        name = AccessibleLabelText();
    facts->name = name.empty() ? m_strCaption : name;
    switch (m_kind) {
    case Kind::CheckBox:
        facts->role = ROLE_SYSTEM_CHECKBUTTON;
        facts->state = m_bChecked ? STATE_SYSTEM_CHECKED : 0;
        facts->defaultAction = m_bChecked ? kAccessibleActionUncheck : kAccessibleActionCheck;
        break;
    case Kind::Toggle:
        facts->role = ROLE_SYSTEM_PUSHBUTTON;
        facts->state = m_bExpanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        facts->defaultAction = m_bExpanded ? kAccessibleActionCollapse : kAccessibleActionExpand;
        break;
    case Kind::PushButton:
        facts->role = ROLE_SYSTEM_PUSHBUTTON;
        facts->defaultAction = kAccessibleActionPress;
        break;
    }
    return true;
}

bool CPelButton::DoAccessibleDefaultAction(long child)
{
    if (child != CHILDID_SELF)
        return false;
    if (IsWindowEnabled())
        CButtonClickCycle::PostClicked(m_hWnd);
    return true;
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
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        break;
    case BM_SETCHECK:
        if (m_kind != Kind::CheckBox)
            break;
        SetChecked(wParam == BST_CHECKED);
        return 0;
    case BM_GETCHECK:
        if (m_kind != Kind::CheckBox)
            break;
        return m_bChecked ? BST_CHECKED : BST_UNCHECKED;
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
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && TakesEnter()) {
            ::PostMessageW(GetParent(), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(m_hWnd), BN_CLICKED),
                           reinterpret_cast<LPARAM>(m_hWnd));
            return 0;
        }
        break; // Space: the system button clicks on its release
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
        if (msg == WM_UPDATEUISTATE)
            FollowUiStateUpdate(m_hWnd, wParam);
        // The focus cue comes and goes with the focus and the UI state.
        LRESULT result = CButton::WindowProc(msg, wParam, lParam);
        Invalidate(FALSE);
        return result;
    }
    }
    return CButton::WindowProc(msg, wParam, lParam);
}

LRESULT CPelButton::OnGetDlgCode(WPARAM wParam, LPARAM lParam)
{
    LRESULT code = CButton::WindowProc(WM_GETDLGCODE, wParam, lParam);
    // A focused push button takes Enter for itself; a check box leaves it to the dialog.
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && TakesEnter())
        code |= DLGC_WANTMESSAGE;
    return code;
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
    // Over the picture, which may reach the edges.
    if (m_crOutline != CLR_NONE) {
        CBrushHandle outline(::CreateSolidBrush(m_crOutline));
        ::FrameRect(dc, &rc, outline.Get());
    }
    if (!m_strCaption.empty()) {
        CSelectObject selectFont(dc, ButtonFont());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, Palette().ButtonText);
        ::DrawTextW(dc, m_strCaption.c_str(), static_cast<int>(m_strCaption.size()), &rc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_WORD_ELLIPSIS);
    }
    if (ShowsFocusCue(m_hWnd)) {
        // Along the edge, where a picture has at most its soft rim; inside an outline, so
        // that the two stay apart.
        RECT cue = rc;
        if (m_crOutline != CLR_NONE)
            ::InflateRect(&cue, -2, -2);
        DrawFocusCue(dc, cue);
    }
}
