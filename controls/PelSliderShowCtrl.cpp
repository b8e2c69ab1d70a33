#include "controls/PelSliderShowCtrl.h"

#include "controls/ControlWindowClass.h"
#include "framework/Handles.h"

#include <algorithm>

bool CPelSliderShowCtrl::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    const wchar_t* className = PelControlWindowClass();
    if (!className)
        return false;
    return CreateEx(0, className, L"", style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

void CPelSliderShowCtrl::SetMargins(int left, int top, int right, int bottom)
{
    m_margins = RECT{left, top, right, bottom};
}

void CPelSliderShowCtrl::PreSubclassWindow()
{
    ::SetTimer(m_hWnd, kAnimationTimer, kAnimationPeriodMs, nullptr);
}

bool CPelSliderShowCtrl::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->role = ROLE_SYSTEM_GRAPHIC;
    facts->state = STATE_SYSTEM_READONLY;
    facts->defaultAction = kAccessibleActionJump;
    if (m_slides.empty()) {
        facts->name = std::wstring();
        return true;
    }
    // The picture the last paint showed still (or pushed out, during a transition).
    std::size_t shown = m_lastFrame.count > 0 ? m_lastFrame.draws[0].index : 0;
    if (shown >= m_slides.size()) // a list replaced since that paint
        shown = 0;
    const std::wstring& title = m_slides[shown].title;
    facts->name = !title.empty() ? title
                                 : std::to_wstring(shown + 1) + L" / " +
                                       std::to_wstring(m_slides.size());
    return true;
}

bool CPelSliderShowCtrl::DoAccessibleDefaultAction(long child)
{
    if (child != CHILDID_SELF)
        return false;
    if (HWND parent = ::GetParent(m_hWnd))
        ::PostMessageW(parent, WM_PEL_SLIDESHOW_CLICK, 0, 0);
    return true;
}

LRESULT CPelSliderShowCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        break;
    case WM_CREATE: {
        LRESULT result = CWnd::WindowProc(msg, wParam, lParam);
        if (result != -1)
            ::SetTimer(m_hWnd, kAnimationTimer, kAnimationPeriodMs, nullptr);
        return result;
    }
    case WM_TIMER:
        if (wParam != kAnimationTimer)
            break;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        ::UpdateWindow(m_hWnd);
        return 0;
    case WM_ERASEBKGND:
        // The paint fills every pixel from its buffer; erasing first would flicker.
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_NCHITTEST:
        // The whole window takes the mouse, also when it is a subclassed static control,
        // which would otherwise let clicks fall through to the parent.
        return HTCLIENT;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    case WM_LBUTTONDOWN:
        // Anywhere, on a picture or on the background: the parent opens the slide-show link.
        if (HWND parent = ::GetParent(m_hWnd))
            ::SendMessageW(parent, WM_PEL_SLIDESHOW_CLICK, 0, 0);
        return 0;
    case WM_DESTROY:
        ::KillTimer(m_hWnd, kAnimationTimer);
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

void CPelSliderShowCtrl::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (!dc.Get())
        return;
    ++m_paints;
    RECT client = {};
    GetClientRect(&client);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;

    // Drawn into a memory bitmap first, then copied in one go, so the moving pictures never
    // show a half-painted frame.
    CMemoryDC buffer(dc);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(dc, width, height));
    CMemoryDC source(dc);
    if (!buffer.Get() || !bitmap || !source.Get()) {
        // Without a buffer the background is still drawn, directly.
        CBrushHandle brush(::CreateSolidBrush(m_background));
        ::FillRect(dc, &client, brush.Get());
        return;
    }
    CSelectObject selectBitmap(buffer, bitmap.Get());
    CBrushHandle brush(::CreateSolidBrush(m_background));
    ::FillRect(buffer, &client, brush.Get());
    DrawSlides(buffer, source, client);
    ::BitBlt(dc, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
}

void CPelSliderShowCtrl::DrawSlides(HDC target, HDC source, const RECT& client)
{
    m_lastFrame = SlideFrame();
    if (m_slides.empty())
        return;
    int areaWidth = (client.right - client.left) - m_margins.left - m_margins.right;
    int areaHeight = (client.bottom - client.top) - m_margins.top - m_margins.bottom;
    std::vector<SlideSize> sizes;
    sizes.reserve(m_slides.size());
    for (const SlideRecord& slide : m_slides)
        sizes.push_back({slide.width, slide.height});
    // The process-wide origin is taken here, at the first paint that has slides to show.
    m_lastFrame = SlideFrameAt(SlideShowElapsedSeconds(), sizes.data(), sizes.size(), areaWidth,
                               areaHeight, m_displaySeconds, m_transitionSeconds);
    for (std::size_t d = 0; d < m_lastFrame.count; ++d) {
        const SlideDraw& draw = m_lastFrame.draws[d];
        const SlideRecord& slide = m_slides[draw.index];
        if (!slide.bitmap || slide.width <= 0 || slide.height <= 0)
            continue;
        CSelectObject selectSlide(source, slide.bitmap);
        // A bitmap that is selected into another DC cannot be selected here; skip it rather
        // than copy whatever the memory DC holds.
        if (::GetCurrentObject(source, OBJ_BITMAP) != slide.bitmap)
            continue;
        ::StretchBlt(target, draw.x, draw.y, slide.width, slide.height, source, 0, 0, slide.width,
                     slide.height, SRCCOPY);
    }
}
