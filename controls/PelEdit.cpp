#include "controls/PelEdit.h"

#include "controls/FocusCue.h"
#include "framework/KeyboardCues.h"

namespace {

// The outline and the margin bands live in the non-client area, which InvalidateRect does not
// reach: every state change that alters them repaints the frame as well.
void RedrawWithFrame(HWND hwnd)
{
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

} // namespace

CPelEdit::CPelEdit()
    : m_disabledTextColour(::GetSysColor(COLOR_GRAYTEXT)),
      m_backgroundBrush(::CreateSolidBrush(m_backgroundColour))
{
}

CPelEdit::~CPelEdit() = default;

void CPelEdit::SetBorderColor(COLORREF colour)
{
    m_borderColour = colour;
    if (m_hWnd)
        RedrawWithFrame(m_hWnd);
}

void CPelEdit::SetActiveBorderColor(COLORREF colour)
{
    m_activeBorderColour = colour;
    if (m_hWnd)
        RedrawWithFrame(m_hWnd);
}

void CPelEdit::SetBackgroundColor(COLORREF colour)
{
    m_backgroundColour = colour;
    m_backgroundBrush.Reset(::CreateSolidBrush(colour));
    if (m_hWnd)
        RedrawWithFrame(m_hWnd);
}

void CPelEdit::SetTextColor(COLORREF colour)
{
    m_textColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelEdit::SetDisabledTextColor(COLORREF colour)
{
    m_disabledTextColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelEdit::PreSubclassWindow()
{
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED);
    // A field that had neither border still needs its client area recomputed once, or the
    // text line is not centred until the first resize.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CPelEdit::TextLineHeight() const
{
    CClientDC dc(m_hWnd);
    if (!dc)
        return 0;
    auto font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    CSelectObject select(dc, font);
    TEXTMETRICW tm = {};
    if (!::GetTextMetricsW(dc, &tm))
        return 0;
    return tm.tmHeight + tm.tmExternalLeading;
}

LRESULT CPelEdit::OnNcCalcSize(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefWindowProc(WM_NCCALCSIZE, wParam, lParam);
    RECT* proposed = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                            : reinterpret_cast<RECT*>(lParam);
    int lineHeight = TextLineHeight();
    int height = proposed->bottom - proposed->top;
    // A field lower than one text line keeps its height rather than getting an inverted
    // client rectangle.
    int margin = height > lineHeight ? (height - lineHeight) / 2 : 0;
    if (proposed->right - proposed->left > 2) {
        proposed->left += 1;
        proposed->right -= 1;
    }
    proposed->top += margin;
    proposed->bottom -= margin;
    return result;
}

void CPelEdit::OnNcPaint()
{
    HDC dc = ::GetWindowDC(m_hWnd);
    if (!dc)
        return;
    RECT window = {};
    RECT client = {};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int clientHeight = client.bottom;
    int margin = (height - clientHeight) / 2;
    RECT above = {1, 0, width - 1, height - clientHeight - margin};
    RECT below = {1, clientHeight + margin, width - 1, height};
    ::FillRect(dc, &above, m_backgroundBrush.Get());
    ::FillRect(dc, &below, m_backgroundBrush.Get());

    bool lit = m_active && IsWindowEnabled() && !IsReadOnly();
    CBrushHandle outline(::CreateSolidBrush(lit ? m_activeBorderColour : m_borderColour));
    RECT all = {0, 0, width, height};
    if (outline)
        ::FrameRect(dc, &all, outline.Get());
    // Reached by the keyboard, the field shows its focus on the outline.
    if (ShowsFocusCue(m_hWnd))
        DrawFocusCue(dc, all);
    ::ReleaseDC(m_hWnd, dc);
}

HBRUSH CPelEdit::OnCtlColor(HDC dc) const
{
    ::SetBkMode(dc, TRANSPARENT);
    ::SetBkColor(dc, m_backgroundColour);
    bool grey = !IsWindowEnabled() || IsReadOnly();
    ::SetTextColor(dc, grey ? m_disabledTextColour : m_textColour);
    if (m_backgroundBrush)
        return m_backgroundBrush.Get();
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

bool CPelEdit::OnChildNotify(UINT msg, WPARAM wParam, LPARAM, LRESULT* result)
{
    // Read-only and disabled edits ask with WM_CTLCOLORSTATIC instead of WM_CTLCOLOREDIT.
    if (msg != WM_CTLCOLOREDIT && msg != WM_CTLCOLORSTATIC)
        return false;
    *result = reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam)));
    return true;
}

void CPelEdit::OnLButtonDown(WPARAM wParam, LPARAM lParam)
{
    ::SetCapture(m_hWnd);
    if (m_active || !IsWindowEnabled() || IsReadOnly()) {
        DefWindowProc(WM_LBUTTONDOWN, wParam, lParam);
    } else {
        ::SetFocus(m_hWnd);
        SetSel(0, -1);
        SendMessage(EM_SCROLLCARET);
    }
    m_active = true;
    RedrawWithFrame(m_hWnd);
    m_clicked = true;
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    m_textSnapshot = std::move(text);
}

void CPelEdit::OnRightButtonDown()
{
    if (m_active || !IsWindowEnabled() || IsReadOnly())
        SendMessage(EM_SETSEL, static_cast<WPARAM>(-1), 0xFFFF);
    else
        SetSel(0, -1);
    SendMessage(EM_SCROLLCARET);
    ::SetFocus(m_hWnd);
    m_active = true;
    RedrawWithFrame(m_hWnd);
}

bool CPelEdit::OnControlKey(WPARAM key)
{
    switch (key) {
    case 'A':
        SetSel(0, -1);
        SendMessage(EM_SCROLLCARET);
        return true;
    case 'C':
        SendMessage(WM_COPY);
        return true;
    case 'V':
        if (m_pasteAllowed)
            SendMessage(WM_PASTE);
        return true; // consumed either way, so nothing else pastes behind our back
    case 'X':
        SendMessage(WM_CUT);
        return true;
    default:
        return false;
    }
}

bool CPelEdit::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd != m_hWnd)
        return false;
    switch (msg->message) {
    case WM_RBUTTONDOWN:
        OnRightButtonDown();
        return true;
    case WM_RBUTTONUP:
        // The context menu comes from the button-up (WM_CONTEXTMENU); consuming only the
        // button-down would still open it.
        return true;
    case WM_KEYDOWN:
        if (::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_SHIFT) >= 0)
            return OnControlKey(msg->wParam);
        return false;
    default:
        return false;
    }
}

bool CPelEdit::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->role = ROLE_SYSTEM_TEXT;
    facts->name = AccessibleLabelText();
    facts->value = AccessibleWindowText(m_hWnd);
    if (IsReadOnly())
        facts->state = STATE_SYSTEM_READONLY;
    return true;
}

LRESULT CPelEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        return DefWindowProc(msg, wParam, lParam);
    case WM_NCCALCSIZE:
        return OnNcCalcSize(wParam, lParam);
    case WM_NCPAINT:
        DefWindowProc(msg, wParam, lParam);
        OnNcPaint();
        return 0;
    case WM_CHAR: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (wParam == VK_RETURN) {
            SendMessage(EM_SETSEL, 0xFFFF, 0xFFFF);
            SendMessage(EM_SCROLLCARET);
        }
        return result;
    }
    case WM_LBUTTONDOWN:
        OnLButtonDown(wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        ::ReleaseCapture();
        return DefWindowProc(msg, wParam, lParam);
    case WM_KILLFOCUS:
        m_active = false;
        RedrawWithFrame(m_hWnd);
        return DefWindowProc(msg, wParam, lParam);
    case WM_SETFOCUS:
    case WM_UPDATEUISTATE: {
        if (msg == WM_UPDATEUISTATE)
            FollowUiStateUpdate(m_hWnd, wParam);
        // The focus cue lies on the outline, in the frame.
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        RedrawWithFrame(m_hWnd);
        return result;
    }
    case WM_PASTE:
        // Ctrl+V, the context menu and the middle button paste through this message.
        if (!m_pasteAllowed)
            return 0;
        return DefWindowProc(msg, wParam, lParam);
    case WM_KEYDOWN:
        // Shift+Insert pastes inside the system's edit control, past WM_PASTE.
        if (wParam == VK_INSERT && !m_pasteAllowed && ::GetKeyState(VK_SHIFT) < 0 &&
            ::GetKeyState(VK_CONTROL) >= 0)
            return 0;
        return DefWindowProc(msg, wParam, lParam);
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
        return TRUE;
    case WM_SETFONT: {
        // The text line's height decides the margins: recompute them for the new font.
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return result;
    }
    case WM_ENABLE: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        RedrawWithFrame(m_hWnd);
        return result;
    }
    default:
        return CEdit::WindowProc(msg, wParam, lParam);
    }
}
