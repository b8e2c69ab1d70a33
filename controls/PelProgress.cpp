#include "controls/PelProgress.h"

#include "controls/ControlWindowClass.h"
#include "controls/Dpi.h"
#include "controls/ProgressGeometry.h"

#include <d2d1.h>

namespace {

// COLORREF is 0x00BBGGRR: red in the low byte.
D2D1_COLOR_F ToColorF(COLORREF colour)
{
    return D2D1_COLOR_F{GetRValue(colour) / 255.0f, GetGValue(colour) / 255.0f,
                        GetBValue(colour) / 255.0f, 1.0f};
}

bool FillRounded(ID2D1RenderTarget* target, const D2D1_ROUNDED_RECT& shape, COLORREF colour)
{
    ComPtr<ID2D1SolidColorBrush> brush;
    if (FAILED(target->CreateSolidColorBrush(ToColorF(colour), brush.Receive())))
        return false;
    target->FillRoundedRectangle(shape, brush.Get());
    return true;
}

} // namespace

CPelProgress::CPelProgress()
    : m_radiusX(ThemeConstants().barRadiusX), m_radiusY(ThemeConstants().barRadiusY)
{
}

// Defined here, where the Direct2D interfaces are complete, so that the members can release
// the render target and the factory.
CPelProgress::~CPelProgress() = default;

bool CPelProgress::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    const wchar_t* className = PelControlWindowClass();
    if (!className)
        return false;
    return CreateEx(0, className, L"", style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

void CPelProgress::SetPos(int position)
{
    const std::wstring before = PercentValue();
    m_position = position;
    if (m_hWnd && PercentValue() != before)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_VALUECHANGE);
}

void CPelProgress::SetMaximum(int maximum)
{
    const std::wstring before = PercentValue();
    m_maximum = maximum;
    if (m_hWnd && PercentValue() != before)
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_VALUECHANGE);
}

std::wstring CPelProgress::PercentValue() const
{
    long long percent = 0;
    if (m_maximum > 0 && m_position > 0)
        percent = static_cast<long long>(m_position) * 100 / m_maximum;
    return std::to_wstring(percent > 100 ? 100 : percent) + L"%";
}

bool CPelProgress::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->role = ROLE_SYSTEM_PROGRESSBAR;
    facts->name = AccessibleLabelText();
    facts->value = PercentValue();
    facts->state = STATE_SYSTEM_READONLY;
    return true;
}

LRESULT CPelProgress::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        // Painting covers every pixel; erasing first would only flicker.
        return 1;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

void CPelProgress::ReleaseDeviceObjects()
{
    m_target.Reset();
    m_factory.Reset();
}

bool CPelProgress::EnsureRenderTarget()
{
    if (m_target)
        return true;
    m_factory.Reset();
    if (FAILED(::D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory),
                                   nullptr, m_factory.ReceiveVoid())))
        return false;
    // 96 x 96 dpi makes one Direct2D unit one device pixel: every length here is already in
    // device pixels (scaled by the owner), and a target at the system DPI would scale them
    // a second time on a high-DPI screen.
    D2D1_RENDER_TARGET_PROPERTIES props = {};
    props.type = D2D1_RENDER_TARGET_TYPE_DEFAULT;
    props.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    props.pixelFormat.alphaMode = D2D1_ALPHA_MODE_IGNORE;
    props.dpiX = 96.0f;
    props.dpiY = 96.0f;
    props.usage = D2D1_RENDER_TARGET_USAGE_NONE;
    props.minLevel = D2D1_FEATURE_LEVEL_DEFAULT;
    if (FAILED(m_factory->CreateDCRenderTarget(&props, m_target.Receive()))) {
        m_target.Reset();
        return false;
    }
    ++m_creations;
    return true;
}

void CPelProgress::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (!dc.Get())
        return;
    RECT client = {};
    GetClientRect(&client);
    Draw(dc, client);
}

void CPelProgress::Draw(HDC dc, const RECT& client)
{
    // Failures to create the Direct2D objects leave the bar undrawn; the next paint retries.
    if (!EnsureRenderTarget())
        return;
    if (FAILED(m_target->BindDC(dc, &client)))
        return;
    m_target->BeginDraw();
    m_target->SetTransform(D2D1_MATRIX_3X2_F{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f});

    ComPtr<ID2D1SolidColorBrush> background;
    if (SUCCEEDED(m_target->CreateSolidColorBrush(ToColorF(m_background), background.Receive())))
        m_target->FillRectangle(D2D1_RECT_F{static_cast<float>(client.left),
                                            static_cast<float>(client.top),
                                            static_cast<float>(client.right),
                                            static_cast<float>(client.bottom)},
                                background.Get());

    ProgressGeometry g = ComputeProgressGeometry(
        static_cast<float>(client.left), static_cast<float>(client.top),
        static_cast<float>(client.right - client.left), static_cast<float>(client.bottom - client.top),
        static_cast<float>(m_trackRect.right - m_trackRect.left),
        static_cast<float>(m_trackRect.bottom - m_trackRect.top), m_radiusX, m_radiusY, m_position,
        m_maximum);
    D2D1_ROUNDED_RECT track = {D2D1_RECT_F{g.left, g.top, g.right, g.bottom}, g.radiusX, g.radiusY};
    FillRounded(m_target.Get(), track, m_track);

    if (g.hasFill) {
        // The whole rounded track in the fill colour, cut at the position by an axis-aligned
        // clip: the same pixels as the intersection of the fill rectangle with the rounded
        // track, without the geometry combination that not every Direct2D implements.
        m_target->PushAxisAlignedClip(D2D1_RECT_F{g.left, g.top, g.fillRight, g.bottom},
                                      D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
        FillRounded(m_target.Get(), track, m_fill);
        m_target->PopAxisAlignedClip();
    }
    ComPtr<ID2D1SolidColorBrush> outline;
    if (m_outline != CLR_NONE &&
        SUCCEEDED(m_target->CreateSolidColorBrush(ToColorF(m_outline), outline.Receive()))) {
        // The line is centred on its path: half a pixel inside the track keeps it within.
        D2D1_ROUNDED_RECT edge = {D2D1_RECT_F{g.left + 0.5f, g.top + 0.5f, g.right - 0.5f,
                                              g.bottom - 0.5f},
                                  g.radiusX > 0.5f ? g.radiusX - 0.5f : 0.0f,
                                  g.radiusY > 0.5f ? g.radiusY - 0.5f : 0.0f};
        m_target->DrawRoundedRectangle(edge, outline.Get(), 1.0f);
    }

    HRESULT hr = m_target->EndDraw();
    if (m_failNextEndDraw != 0) {
        hr = static_cast<HRESULT>(m_failNextEndDraw);
        m_failNextEndDraw = 0;
    }
    m_lastEndDraw = hr;
    // A lost device: the next paint starts again from a new factory and target.
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET))
        ReleaseDeviceObjects();
}
