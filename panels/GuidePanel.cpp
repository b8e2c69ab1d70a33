#include "panels/GuidePanel.h"

#include "controls/Dpi.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "framework/Handles.h"
#include "res/resource.h"

CGuidePanel::CGuidePanel(UINT templateId) : CDialog(templateId) {}

CGuidePanel::~CGuidePanel() = default;

void CGuidePanel::DrawContent(HDC) {}

void CGuidePanel::LayoutControls(const RECT&) {}

SIZE CGuidePanel::GetPanelSize()
{
    // The default size is fixed once per process from the screen DPI (ThemeConstants).
    const ScaledConstants& constants = ThemeConstants();
    return SIZE{constants.panelWidth, constants.panelHeight};
}

void CGuidePanel::OnShowPanel() {}

void CGuidePanel::ApplyTexts() {}

bool CGuidePanel::CanClose() { return true; }

int CGuidePanel::DefaultButtonId() const { return 0; }

bool CGuidePanel::PressDefaultButton()
{
    const int id = DefaultButtonId();
    HWND button = id && m_hWnd ? GetDlgItem(id) : nullptr;
    if (!button || !::IsWindowVisible(button) || !::IsWindowEnabled(button))
        return false;
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

// The background and the panel's own drawing read the palette as they paint.
void CGuidePanel::ApplyPalette() {}

BOOL CGuidePanel::OnInitDialog()
{
    CDialog::OnInitDialog();
    RemoveFrameStyles();
    return TRUE;
}

void CGuidePanel::RemoveFrameStyles()
{
    // A panel lies flat inside the main window's client area: no caption, menu or border of
    // its own, whatever its template says.
    ModifyStyle(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    ModifyStyleEx(WS_EX_DLGMODALFRAME, 0, SWP_FRAMECHANGED);
}

IPanelHost* CGuidePanel::GetHost() const
{
    if (!m_hWnd)
        return nullptr;
    HWND parent = GetParent();
    if (!parent)
        return nullptr;
    return dynamic_cast<IPanelHost*>(CWnd::FromHandle(parent));
}

bool CGuidePanel::GoToNextPanel()
{
    IPanelHost* host = GetHost();
    if (!host)
        return false;
    int next = host->CurrentPanel() + 1;
    if (!host->HasPanel(next))
        return false;
    return host->SwitchToPanel(next);
}

void CGuidePanel::MeasureText(const std::wstring& text, HFONT font, SIZE* size)
{
    if (!size || !m_hWnd)
        return;
    CClientDC dc(m_hWnd);
    if (!dc.Get())
        return;
    CSelectObject selectFont(dc, font);
    SIZE measured{};
    if (!::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &measured))
        return;
    if (measured.cx > 0) {
        size->cx = measured.cx;
        if (measured.cy > size->cy)
            size->cy = measured.cy;
    }
}

void CGuidePanel::DrawPanelLogo(HDC dc, const RECT& client)
{
    int id = PngResourceForScale(IDB_PANEL_LOGO_100, IDB_PANEL_LOGO_150, IDB_PANEL_LOGO_200);
    std::shared_ptr<const CImageWrapper> logo = LoadPngResource(id, m_hImageModule);
    // A logo that cannot be loaded is left out; the rest of the panel still paints.
    if (!logo || !logo->HasBitmap() || logo->Width() <= 0 || logo->Height() <= 0)
        return;
    CMemoryDC source(dc);
    if (!source.Get())
        return;
    CSelectObject selectLogo(source, logo->Bitmap());
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, client.right - logo->Width(), client.top, logo->Width(), logo->Height(),
                 source, 0, 0, logo->Width(), logo->Height(), blend);
}

bool CGuidePanel::PaintBackground(HDC target)
{
    RECT client{};
    GetClientRect(&client);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return true; // nothing to paint, and nothing for the default erase either

    CMemoryDC buffer(target);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!buffer.Get() || !bitmap)
        return false;
    {
        CSelectObject selectBitmap(buffer, bitmap.Get());
        CBrushHandle background(::CreateSolidBrush(Palette().WindowBackground));
        if (background)
            ::FillRect(buffer, &client, background.Get());
        DrawPanelLogo(buffer, client);
        DrawContent(buffer);
        ::BitBlt(target, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
    }
    return true;
}

LRESULT CGuidePanel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND:
        if (PaintBackground(reinterpret_cast<HDC>(wParam)))
            return 0;
        break;
    case WM_SIZE: {
        LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
        RECT client{};
        GetClientRect(&client);
        LayoutControls(client);
        return result;
    }
    case WM_SYSCOLORCHANGE:
        ApplyPalette();
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
