#include "panels/SuccessPanel.h"

#include "config/InstallConfig.h"
#include "config/UITextFormat.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "framework/Handles.h"
#include "panels/PanelShell.h"
#include "panels/PanelText.h"

#include <algorithm>

namespace {

std::wstring UIText(const UIStringKey& key)
{
    return TheInstallConfig().m_uiStrings.GetUIString(key);
}

void PlaceWindow(HWND window, int x, int y, int width, int height)
{
    ::SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Keeps a device context's state for the time of a drawing step.
class CSavedDC
{
public:
    explicit CSavedDC(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) {}
    ~CSavedDC()
    {
        if (m_saved)
            ::RestoreDC(m_dc, m_saved);
    }
    CSavedDC(const CSavedDC&) = delete;
    CSavedDC& operator=(const CSavedDC&) = delete;

private:
    HDC m_dc;
    int m_saved;
};

} // namespace

CSuccessPanel::CSuccessPanel() : CGuidePanel(IDD_SUCCESS_PANEL) {}

CSuccessPanel::~CSuccessPanel() = default;

BOOL CSuccessPanel::OnInitDialog()
{
    CGuidePanel::OnInitDialog();
    RemoveFrameStyles();
    m_startButton.SubclassDlgItem(IDC_START_NOW, m_hWnd);
    m_startButton.SetButtonText(UIText(IDS_START_NOW));
    if (m_launchCheck.SubclassDlgItem(IDC_LAUNCH_CHECK, m_hWnd))
        m_launchCheck.ShowWindow(SW_HIDE);
    if (m_launchLabel.SubclassDlgItem(IDC_LAUNCH_TEXT, m_hWnd)) {
        m_launchLabel.SetTextFont(TextFont());
        m_launchLabel.SetTextFormat(DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        m_launchLabel.ShowWindow(SW_HIDE);
    }
    // A screen reader reads the check box by the text beside it.
    m_launchCheck.SetKind(CPelButton::Kind::CheckBox);
    m_launchCheck.SetAccessibleLabels({m_launchLabel.m_hWnd});
    ApplyPalette();
    RECT client{};
    GetClientRect(&client);
    LayoutControls(client);
    return FALSE;
}

void CSuccessPanel::ApplyPalette()
{
    const COLORREF background = Palette().WindowBackground;
    m_launchCheck.SetColorsAndText(background, background, background, background,
                                   std::wstring());
    m_launchCheck.SetOutlineColor(Palette().ControlOutline);
    m_launchLabel.SetTextColor(Palette().LabelText);
    m_launchLabel.SetBackgroundColor(background);
    // New colours drop the check box's picture.
    UpdateLaunchImage();
}

void CSuccessPanel::UpdateLaunchImage()
{
    if (!m_launchCheck.m_hWnd)
        return;
    const int id = m_bLaunchTicked
                       ? PngResourceForScale(IDB_CHECK_TICKED_100, IDB_CHECK_TICKED_150,
                                             IDB_CHECK_TICKED_200)
                       : PngResourceForScale(IDB_CHECK_UNTICKED_100, IDB_CHECK_UNTICKED_150,
                                             IDB_CHECK_UNTICKED_200);
    // Cached for the whole process, so the button may keep the bitmap handle.
    std::shared_ptr<const CImageWrapper> image = LoadPngResource(id, GetImageModule());
    if (image && image->HasBitmap())
        m_launchCheck.SetButtonImage(*image);
    m_launchCheck.SetChecked(m_bLaunchTicked != 0);
    m_launchCheck.Invalidate();
}

std::wstring CSuccessPanel::ReadyText()
{
    return FormatUIText(UIText(IDS_PRODUCT_READY), {TheInstallConfig().m_manifest.shortName});
}

void CSuccessPanel::DrawContent(HDC dc)
{
    RECT client{};
    GetClientRect(&client);
    const int width = client.right - client.left;
    const int iconSize = DpiScaleX(64);
    const int iconTop = client.top + DpiScaleX(90);
    const int iconLeft = client.left + (width - iconSize) / 2;
    m_iconRect = RECT{iconLeft, iconTop, iconLeft + iconSize, iconTop + iconSize};

    HMODULE module = GetImageModule() ? GetImageModule() : ::GetModuleHandleW(nullptr);
    CIconHandle icon(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_PEL_MAIN),
                                                     IMAGE_ICON, iconSize, iconSize, 0)));
    if (icon)
        ::DrawIconEx(dc, iconLeft, iconTop, icon.Get(), iconSize, iconSize, 0, nullptr,
                     DI_NORMAL | DI_COMPAT);

    const std::wstring text = ReadyText();
    m_headingRect = RECT{};
    if (text.empty())
        return;
    CSavedDC saved(dc);
    ::SelectObject(dc, HeadingFont());
    ::SetTextColor(dc, Palette().StrongText);
    ::SetBkMode(dc, TRANSPARENT);
    SIZE measured{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &measured);
    // A heading wider than the panel is kept inside it, so that its end is replaced by an
    // ellipsis instead of being cut at both edges.
    const int textWidth = std::min<int>(measured.cx, width);
    RECT rect{};
    rect.left = client.left + (width - textWidth) / 2;
    rect.right = rect.left + textWidth;
    rect.top = iconTop + iconSize + measured.cy / 2;
    rect.bottom = rect.top + measured.cy;
    m_headingRect = rect;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_WORD_ELLIPSIS);
}

void CSuccessPanel::LayoutControls(const RECT& client)
{
    if (!m_startButton.m_hWnd)
        return;
    const int width = client.right - client.left;
    const int buttonWidth = DpiScaleX(300);
    const int buttonHeight = DpiScaleY(34);
    PlaceWindow(m_startButton, client.left + (width - buttonWidth) / 2,
                client.top + DpiScaleX(240), buttonWidth, buttonHeight);

    const int checkLeft = client.left + DpiScaleY(30);
    const int checkTop = client.bottom - DpiScaleY(20) - DpiScaleY(20);
    const int checkWidth = DpiScaleX(20);
    if (m_launchCheck.m_hWnd)
        PlaceWindow(m_launchCheck, checkLeft, checkTop, checkWidth, DpiScaleY(20));
    const int labelLeft = checkLeft + checkWidth + DpiScaleX(4);
    if (m_launchLabel.m_hWnd)
        PlaceWindow(m_launchLabel, labelLeft, checkTop, client.right - labelLeft, DpiScaleY(20));
}

void CSuccessPanel::OnShowPanel() { ApplyTexts(); }

void CSuccessPanel::ApplyTexts()
{
    if (m_startButton.m_hWnd) {
        m_startButton.SetButtonText(UIText(IDS_START_NOW));
        m_startButton.Invalidate();
    }
    if (m_launchLabel.m_hWnd) {
        m_launchLabel.SetText(
            FormatUIText(UIText(IDS_LAUNCH_APP), {TheInstallConfig().m_manifest.fullName}));
        m_launchLabel.Invalidate();
    }
    if (!m_hWnd)
        return;
    RECT client{};
    GetClientRect(&client);
    LayoutControls(client);
    Invalidate(); // the heading is part of the background
}

bool CSuccessPanel::OpenHomePageOnce()
{
    IPanelHost* host = GetHost();
    const bool installedBefore =
        host ? host->RunFlags().m_bProductInstalled != 0 : TheInstallConfig().IsProductInstalled();
    if (installedBefore || m_bHomePageOpened)
        return false;
    const std::wstring url = TheInstallConfig().m_strHomePageUrl;
    if (url.empty())
        return false;
    OpenWebAddress(url);
    m_bHomePageOpened = 1;
    return true;
}

bool CSuccessPanel::CanClose()
{
    OpenHomePageOnce();
    return true;
}

void CSuccessPanel::OnStartNow()
{
    OpenHomePageOnce();
    // A second click restarts the half second; the page is not opened again.
    ::SetTimer(m_hWnd, TIMER_LAUNCH, kLaunchDelayMs, nullptr);
}

void CSuccessPanel::OnLaunchCheck()
{
    m_bLaunchTicked = !m_bLaunchTicked;
    UpdateLaunchImage();
}

void CSuccessPanel::OnLaunchTimer()
{
    ::KillTimer(m_hWnd, TIMER_LAUNCH);
    StartProductAfterInstall(m_hWnd);
    const HWND mainWindow = GetParent();
    if (mainWindow)
        ::DestroyWindow(mainWindow);
}

LRESULT CSuccessPanel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        // Start Now has the id IDOK: it is taken here, before the dialog base would turn
        // its click into OnOK.
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_START_NOW) {
            OnStartNow();
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_LAUNCH_CHECK) {
            OnLaunchCheck();
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == TIMER_LAUNCH) {
            OnLaunchTimer();
            return 0;
        }
        return 0; // other timers are ignored
    }
    return CGuidePanel::WindowProc(msg, wParam, lParam);
}
