#include "controls/PelStatic.h"

#include "controls/BufferedPaint.h"
#include "controls/Dpi.h"
#include "controls/FocusCue.h"
#include "framework/Handles.h"
#include "framework/KeyboardCues.h"

CPelStatic::CPelStatic() = default;

CPelStatic::~CPelStatic() = default;

void CPelStatic::SetText(const std::wstring& text)
{
    const bool changed = text != m_strText;
    m_strText = text;
    if (!m_hWnd)
        return;
    SetWindowText(m_strText.c_str());
    // The status texts change while the user listens; a label's new language is news too.
    if (changed)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_NAMECHANGE);
}

bool CPelStatic::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->name = m_strText;
    // Only a link that reports its clicks (SS_NOTIFY) acts as one.
    if (m_bLink && (GetStyle() & SS_NOTIFY)) {
        facts->role = ROLE_SYSTEM_LINK;
        facts->state = STATE_SYSTEM_LINKED;
        facts->defaultAction = kAccessibleActionJump;
    } else {
        facts->role = ROLE_SYSTEM_STATICTEXT;
        facts->state = STATE_SYSTEM_READONLY;
    }
    return true;
}

bool CPelStatic::DoAccessibleDefaultAction(long child)
{
    if (child != CHILDID_SELF || !m_bLink || !(GetStyle() & SS_NOTIFY))
        return false;
    // Posted, as a click's notification is: the caller does not wait for what it opens.
    ::PostMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), STN_CLICKED),
                   reinterpret_cast<LPARAM>(m_hWnd));
    return true;
}

void CPelStatic::PreSubclassWindow()
{
    // The static type is a number in the low bits of the style, not a flag: OR-ing
    // SS_OWNERDRAW (0x0D) into a right-aligned item (SS_RIGHT, 2) would make it an etched
    // frame (0x0F). Replace the type; alignment comes from the text format anyway.
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW);
}

bool CPelStatic::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (msg != WM_DRAWITEM)
        return false;
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CPelStatic::DrawItem(const DRAWITEMSTRUCT& item)
{
    const RECT& rc = item.rcItem;
    DrawDoubleBuffered(item.hDC, rc, [this](HDC dc, int width, int height) {
        RECT local = {0, 0, width, height};
        CBrushHandle background(::CreateSolidBrush(m_crBackground));
        ::FillRect(dc, &local, background.Get());
        if (!m_strText.empty())
            DrawLabelText(dc, m_strText, &local);
    });
    if (m_bLink && ShowsFocusCue(m_hWnd))
        DrawFocusCue(item.hDC, FocusCueRect(item.hDC, rc));
}

RECT CPelStatic::FocusCueRect(HDC dc, const RECT& rc)
{
    RECT inset = {rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
    if (m_strText.empty())
        return inset;
    // The text's own box as the label's format places it, one pixel wider on each side: a
    // link may be much wider than its words.
    CFontHandle fallback;
    HFONT font = TextFontOrFallback(&fallback);
    // Measured at the top left; the alignment is applied below, the same for every system.
    RECT text = rc;
    {
        CSelectObject selectFont(dc, font);
        const UINT measure = m_nFormat & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM);
        ::DrawTextW(dc, m_strText.c_str(), -1, &text, measure | DT_CALCRECT);
    }
    const int width = text.right - text.left;
    const int height = text.bottom - text.top;
    if (width <= 0 || height <= 0)
        return inset;
    int left = rc.left;
    if (m_nFormat & DT_CENTER)
        left = rc.left + ((rc.right - rc.left) - width) / 2;
    else if (m_nFormat & DT_RIGHT)
        left = rc.right - width;
    int top = rc.top;
    if ((m_nFormat & DT_SINGLELINE) && (m_nFormat & DT_VCENTER))
        top = rc.top + ((rc.bottom - rc.top) - height) / 2;
    else if ((m_nFormat & DT_SINGLELINE) && (m_nFormat & DT_BOTTOM))
        top = rc.bottom - height;
    RECT cue = {left - 1, top, left + width + 1, top + height};
    RECT inside = {};
    return ::IntersectRect(&inside, &cue, &rc) ? inside : inset;
}

HFONT CPelStatic::TextFontOrFallback(CFontHandle* fallback) const
{
    if (m_hFont)
        return m_hFont;
    fallback->Reset(::CreateFontW(DpiScaleLinearX(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  ANSI_CHARSET, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS,
                                  PROOF_QUALITY, 0, L"Arial"));
    return fallback->Get();
}

void CPelStatic::DrawLabelText(HDC dc, const std::wstring& text, RECT* rect)
{
    ::SetBkMode(dc, TRANSPARENT);
    // Made and deleted for each drawing when the owner set no font; CFontHandle deletes it
    // after the selection scope below has put the previous font back.
    CFontHandle fallback;
    HFONT font = TextFontOrFallback(&fallback);
    CSelectObject selectFont(dc, font);
    ::SetTextColor(dc, m_crText);
    ::DrawTextW(dc, text.c_str(), -1, rect, m_nFormat);
}

LRESULT CPelStatic::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        break;
    case WM_GETDLGCODE: {
        // A focused link takes Enter for itself and opens, as a link control does.
        LRESULT code = CStatic::WindowProc(msg, wParam, lParam);
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (m_bLink && (GetStyle() & SS_NOTIFY) && key && key->message == WM_KEYDOWN &&
            key->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (m_bLink && (GetStyle() & SS_NOTIFY) && wParam == VK_RETURN) {
            ::SendMessageW(GetParent(), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(m_hWnd), STN_CLICKED),
                           reinterpret_cast<LPARAM>(m_hWnd));
            return 0;
        }
        break;
    case WM_UPDATEUISTATE: {
        FollowUiStateUpdate(m_hWnd, wParam);
        LRESULT result = CStatic::WindowProc(msg, wParam, lParam);
        if (m_bLink)
            Invalidate(FALSE);
        return result;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        if (m_bLink)
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        break;
    case WM_MOUSELEAVE:
    case WM_LBUTTONUP:
        if (m_bLink)
            SendMessage(STM_SETIMAGE, IMAGE_CURSOR,
                        reinterpret_cast<LPARAM>(::LoadCursorW(nullptr, IDC_ARROW)));
        break;
    case WM_SETFOCUS: {
        LRESULT result = CStatic::WindowProc(msg, wParam, lParam);
        if (!m_bFocused) {
            ::SetFocus(m_hWnd);
            m_bFocused = true;
            Invalidate(FALSE);
        }
        return result;
    }
    case WM_KILLFOCUS: {
        LRESULT result = CStatic::WindowProc(msg, wParam, lParam);
        if (m_bFocused) {
            m_bFocused = false;
            Invalidate(TRUE);
        }
        return result;
    }
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
