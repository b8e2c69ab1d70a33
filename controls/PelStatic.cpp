#include "controls/PelStatic.h"

#include "controls/BufferedPaint.h"
#include "controls/Dpi.h"
#include "framework/Handles.h"

CPelStatic::CPelStatic() = default;

CPelStatic::~CPelStatic() = default;

void CPelStatic::SetText(const std::wstring& text)
{
    m_strText = text;
    if (m_hWnd)
        SetWindowText(m_strText.c_str());
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
    if (m_bLink && m_bFocused) {
        RECT focus = {rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
        ::DrawFocusRect(item.hDC, &focus);
    }
}

void CPelStatic::DrawLabelText(HDC dc, const std::wstring& text, RECT* rect)
{
    ::SetBkMode(dc, TRANSPARENT);
    // Made and deleted for each drawing when the owner set no font; CFontHandle deletes it
    // after the selection scope below has put the previous font back.
    CFontHandle fallback;
    HFONT font = m_hFont;
    if (!font) {
        fallback.Reset(::CreateFontW(DpiScaleLinearX(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                     ANSI_CHARSET, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS,
                                     PROOF_QUALITY, 0, L"Arial"));
        font = fallback.Get();
    }
    CSelectObject selectFont(dc, font);
    ::SetTextColor(dc, m_crText);
    ::DrawTextW(dc, text.c_str(), -1, rect, m_nFormat);
}

LRESULT CPelStatic::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
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
