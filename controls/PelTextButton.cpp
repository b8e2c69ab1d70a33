#include "controls/PelTextButton.h"

#include "controls/Dpi.h"
#include "controls/FocusCue.h"
#include "controls/Palette.h"
#include "framework/KeyboardCues.h"
#include "framework/RunLog.h"

#include <d2d1.h>
#include <dwrite.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace {

D2D1_COLOR_F ToD2DColor(COLORREF color)
{
    ColorComponents c = ColorRefComponents(color);
    return D2D1_COLOR_F{c.r, c.g, c.b, c.a};
}

// Height of the text block as DirectWrite lays it out, including ink that overhangs the
// layout box above or below, so that the block is centred by what is really drawn.
float MeasuredBlockHeight(IDWriteTextLayout* layout)
{
    DWRITE_TEXT_METRICS metrics = {};
    DWRITE_OVERHANG_METRICS overhang = {};
    if (FAILED(layout->GetMetrics(&metrics)) || FAILED(layout->GetOverhangMetrics(&overhang)))
        return 0.0f;
    float above = std::max(0.0f, overhang.top + metrics.top);
    float below =
        std::max(0.0f, overhang.bottom + metrics.layoutHeight - metrics.top - metrics.height);
    return std::ceil(above + metrics.height + below);
}

} // namespace

CPelTextButton::CPelTextButton()
    : m_fRadiusX(static_cast<float>(ThemeConstants().buttonRadiusX)),
      m_fRadiusY(static_cast<float>(ThemeConstants().buttonRadiusY))
{
    TakeThemeColors();
}

void CPelTextButton::TakeThemeColors()
{
    const ThemePalette& p = Palette();
    SetColors(p.WindowBackground, p.AccentDisabled, p.Accent, p.AccentHover, p.AccentDown);
    SetTextColors(p.AccentDisabledText, p.AccentText, p.AccentText, p.AccentText);
    m_crOutline = p.ControlOutline;
}

CPelTextButton::~CPelTextButton()
{
    ReleaseDeviceResources();
}

void CPelTextButton::SetButtonText(const std::wstring& text)
{
    const bool changed = text != m_strText;
    m_strText = text;
    if (!m_hWnd)
        return;
    if (AccessibleWindowText(m_hWnd) != m_strText)
        SetWindowText(m_strText.c_str());
    if (changed)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_NAMECHANGE);
}

bool CPelTextButton::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->role = ROLE_SYSTEM_PUSHBUTTON;
    facts->name = m_strText;
    // The owner's flag greys the button even while the window itself is enabled.
    if (!m_bEnabled)
        facts->state = STATE_SYSTEM_UNAVAILABLE;
    facts->defaultAction = kAccessibleActionPress;
    return true;
}

bool CPelTextButton::DoAccessibleDefaultAction(long child)
{
    if (child != CHILDID_SELF)
        return false;
    // A greyed button ignores this as it ignores the mouse.
    if (m_bEnabled && IsWindowEnabled())
        CButtonClickCycle::PostClicked(m_hWnd);
    return true;
}

void CPelTextButton::SetButtonEnabled(bool enabled)
{
    m_bHover = false;
    m_bTracking = false;
    m_click.Reset(m_hWnd);
    // The window is disabled as well, so that it leaves the tab order, takes no key and
    // reports itself disabled; the look stays the button's own.
    if (m_hWnd && (::IsWindowEnabled(m_hWnd) != FALSE) != enabled)
        ::EnableWindow(m_hWnd, enabled ? TRUE : FALSE);
    if (m_bEnabled == enabled)
        return;
    m_bEnabled = enabled;
    if (m_hWnd) {
        Redraw();
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_STATECHANGE);
    }
}

void CPelTextButton::SetColors(COLORREF background, COLORREF disabled, COLORREF normal,
                               COLORREF hover, COLORREF pressed)
{
    m_crBackground = background;
    m_crDisabled = disabled;
    m_crNormal = normal;
    m_crHover = hover;
    m_crPressed = pressed;
}

void CPelTextButton::SetTextColors(COLORREF disabled, COLORREF normal, COLORREF hover,
                                   COLORREF pressed)
{
    m_crDisabledText = disabled;
    m_crNormalText = normal;
    m_crHoverText = hover;
    m_crPressedText = pressed;
}

void CPelTextButton::SetCornerRadius(float radiusX, float radiusY)
{
    m_fRadiusX = radiusX;
    m_fRadiusY = radiusY;
}

COLORREF CPelTextButton::StateColor() const
{
    if (!m_bEnabled)
        return m_crDisabled;
    if (m_bHover)
        return m_crHover;
    return m_click.IsPressed() ? m_crPressed : m_crNormal;
}

COLORREF CPelTextButton::StateTextColor() const
{
    if (!m_bEnabled)
        return m_crDisabledText;
    if (m_bHover)
        return m_crHoverText;
    return m_click.IsPressed() ? m_crPressedText : m_crNormalText;
}

// Makes whatever device object is missing, so that one that failed before is tried again
// by the next paint instead of leaving the button blank for good.
bool CPelTextButton::CreateDeviceResources()
{
    if (!m_factory &&
        FAILED(::D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory),
                                   nullptr, m_factory.ReceiveVoid()))) {
        m_factory.Reset();
        TraceLine(L"Failed to cread Direct2D Factory");
        return false;
    }
    if (!m_renderTarget) {
        D2D1_RENDER_TARGET_PROPERTIES props = {
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE},
            0.0f,
            0.0f,
            D2D1_RENDER_TARGET_USAGE_NONE,
            D2D1_FEATURE_LEVEL_DEFAULT};
        if (FAILED(m_factory->CreateDCRenderTarget(&props, m_renderTarget.Receive()))) {
            m_renderTarget.Reset();
            TraceLine(L"Failed to cread Direct2D Render Target");
            return false;
        }
    }
    if (!m_writeFactory &&
        FAILED(::DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                     reinterpret_cast<IUnknown**>(m_writeFactory.Receive())))) {
        m_writeFactory.Reset();
        TraceLine(L"Failed to cread Direct2D Write Factory");
        return false;
    }
    if (!m_textFormat) {
        float size = static_cast<float>(ScreenDpiY() * 14 / 96);
        if (FAILED(m_writeFactory->CreateTextFormat(
                L"Tahoma", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                DWRITE_FONT_STRETCH_NORMAL, size, L"", m_textFormat.Receive()))) {
            m_textFormat.Reset();
            return false;
        }
        m_textFormat->SetWordWrapping(DWRITE_WORD_WRAPPING_WHOLE_WORD);
    }
    return true;
}

void CPelTextButton::ReleaseDeviceResources()
{
    m_renderTarget.Reset();
    m_factory.Reset();
    m_writeFactory.Reset();
    m_textFormat.Reset();
}

void CPelTextButton::OnEndDraw(HRESULT hr)
{
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET))
        ReleaseDeviceResources();
}

void CPelTextButton::Paint()
{
    CPaintDC dc(m_hWnd);
    if (!dc.Get() || !CreateDeviceResources())
        return;
    RECT client;
    GetClientRect(&client);
    if (FAILED(m_renderTarget->BindDC(dc, &client)))
        return;
    float width = static_cast<float>(client.right - client.left);
    float height = static_cast<float>(client.bottom - client.top);

    m_renderTarget->BeginDraw();
    ComPtr<ID2D1SolidColorBrush> brush;
    D2D1_COLOR_F background = ToD2DColor(m_crBackground);
    if (SUCCEEDED(m_renderTarget->CreateSolidColorBrush(&background, nullptr, brush.Receive()))) {
        D2D1_RECT_F area = {0.0f, 0.0f, width, height};
        m_renderTarget->FillRectangle(&area, brush.Get());

        D2D1_ROUNDED_RECT shape = {area, 0.0f, 0.0f};
        GetShapeRadii(width, height, &shape.radiusX, &shape.radiusY);
        brush->SetColor(ToD2DColor(StateColor()));
        m_renderTarget->FillRoundedRectangle(&shape, brush.Get());
        if (m_crOutline != CLR_NONE) {
            // One pixel wide along the inside of the edge (the line is centred on its path);
            // a disabled button's outline is grey like its text.
            D2D1_ROUNDED_RECT edge = {{0.5f, 0.5f, width - 0.5f, height - 0.5f},
                                      std::max(0.0f, shape.radiusX - 0.5f),
                                      std::max(0.0f, shape.radiusY - 0.5f)};
            brush->SetColor(ToD2DColor(m_bEnabled ? m_crOutline : m_crDisabledText));
            m_renderTarget->DrawRoundedRectangle(&edge, brush.Get(), 1.0f, nullptr);
        }

        ComPtr<IDWriteTextLayout> layout;
        if (!m_strText.empty() &&
            SUCCEEDED(m_writeFactory->CreateTextLayout(
                m_strText.c_str(), static_cast<UINT32>(m_strText.size()), m_textFormat.Get(),
                width, height, layout.Receive()))) {
            layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
            int blockHeight = static_cast<int>(MeasuredBlockHeight(layout.Get()));
            int clientHeight = client.bottom - client.top;
            D2D1_POINT_2F origin = {0.0f, static_cast<float>((clientHeight - blockHeight) / 2)};
            brush->SetColor(ToD2DColor(StateTextColor()));
            m_renderTarget->DrawTextLayout(origin, layout.Get(), brush.Get(),
                                           D2D1_DRAW_TEXT_OPTIONS_NONE);
        }
    }
    // The brush belongs to the target: let it go before a lost target is dropped.
    brush.Reset();
    OnEndDraw(m_renderTarget->EndDraw(nullptr, nullptr));
    if (m_bEnabled && ShowsFocusCue(m_hWnd)) {
        // Inset as the system's push buttons have it, clear of the rounded corners.
        RECT cue = client;
        ::InflateRect(&cue, -3, -3);
        DrawFocusCue(dc, cue, Palette().AccentFocusCue);
    }
}

void CPelTextButton::Redraw()
{
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool CPelTextButton::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd != m_hWnd)
        return false;
    if (msg->message == WM_LBUTTONDBLCLK)
        msg->message = WM_LBUTTONDOWN; // a quick second click is another click
    if (!m_bEnabled && (msg->message == WM_LBUTTONDOWN || msg->message == WM_LBUTTONUP))
        return true;
    return false;
}

void CPelTextButton::OnLButtonDown()
{
    m_click.Press(m_hWnd);
    Invalidate(FALSE);
}

void CPelTextButton::OnLButtonUp(LPARAM lParam)
{
    m_click.Release(m_hWnd, lParam);
    Invalidate(FALSE);
}

void CPelTextButton::OnMouseMove()
{
    if (!m_bTracking && TrackMouse(TME_LEAVE)) {
        m_bTracking = true;
        m_bHover = true;
        Redraw();
    }
}

LRESULT CPelTextButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Also here, not only in pre-translation: a sent message or a message loop that does
        // not pre-translate must not click a disabled button either.
        if (!m_bEnabled)
            return 0;
        OnLButtonDown();
        break;
    case WM_LBUTTONUP:
        if (!m_bEnabled)
            return 0;
        OnLButtonUp(lParam);
        break;
    case WM_MOUSEMOVE:
        if (!m_bEnabled)
            return 0;
        OnMouseMove();
        break;
    case WM_MOUSELEAVE:
        m_bTracking = false;
        m_bHover = false;
        Redraw();
        return 0;
    case WM_SYSCOLORCHANGE:
        // The palette has been assigned again (a high-contrast switch, for one).
        TakeThemeColors();
        Invalidate(FALSE);
        break;
    case WM_CAPTURECHANGED:
        // Capture taken away while held: the press cannot end in a release we see.
        m_click.CaptureChanged(m_hWnd, reinterpret_cast<HWND>(lParam));
        result = CButton::WindowProc(msg, wParam, lParam);
        Invalidate(FALSE);
        return result;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_UPDATEUISTATE:
        if (msg == WM_UPDATEUISTATE)
            FollowUiStateUpdate(m_hWnd, wParam);
        // The system button draws its own face straight into a DC for these; paint ours
        // over it again (with the focus cue as the focus and the UI state now have it).
        result = CButton::WindowProc(msg, wParam, lParam);
        Invalidate(FALSE);
        return result;
    }
    result = CButton::WindowProc(msg, wParam, lParam);
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_LBUTTONUP)
        Invalidate(FALSE);
    return result;
}
