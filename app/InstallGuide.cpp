#include "app/InstallGuide.h"

#include "config/InstallConfig.h"
#include "controls/Dpi.h"
#include "engine/RunOutcome.h"
#include "panels/SettingPanel.h"
#include "panels/StatusPanel.h"
#include "panels/SuccessPanel.h"
#include "res/resource.h"

namespace {

std::shared_ptr<CGuidePanel> MakeWizardPanel(int index)
{
    switch (index) {
    case PANEL_SETTINGS:
        return std::make_shared<CSettingPanel>();
    case PANEL_STATUS:
        return std::make_shared<CStatusPanel>();
    case PANEL_SUCCESS:
        return std::make_shared<CSuccessPanel>();
    }
    return nullptr;
}

constexpr int kPanelIndices[] = {PANEL_SETTINGS, PANEL_STATUS, PANEL_SUCCESS};

} // namespace

CInstallGuide::CInstallGuide() : CInstallGuide(PanelRunFlags()) {}

CInstallGuide::CInstallGuide(const PanelRunFlags& flags)
    : CPelDialog(IDD_INSTALL_GUIDE), m_flags(flags), m_panelFactory(&MakeWizardPanel)
{
}

CInstallGuide::~CInstallGuide()
{
    // The panels' windows must go while their objects still live.
    if (m_hWnd)
        DestroyWindow();
}

CGuidePanel* CInstallGuide::GetPanel(int index) const
{
    auto found = m_panels.find(index);
    return found == m_panels.end() ? nullptr : found->second.get();
}

BOOL CInstallGuide::OnInitDialog()
{
    CPelDialog::OnInitDialog();
    SetWindowIcons();
    SetWindowText(TheInstallConfig().m_manifest.fullName.c_str());
    CreatePanels();
    // An existing installation, or an unattended run, goes straight to downloading and
    // installing with the settings the install model holds.
    bool skipSettings = m_flags.m_bProductInstalled || m_flags.m_bSilent;
    // A fresh unattended install gets its folder as Install would make it.
    if (m_flags.m_bSilent && !m_flags.m_bProductInstalled)
        PrepareInstallFolderWithoutPanel();
    SwitchToPanel(skipSettings ? PANEL_STATUS : PANEL_SETTINGS);
    FitToPanel();
    if (m_flags.m_bSilent)
        HideForSilentRun();
    return TRUE;
}

void CInstallGuide::SetWindowIcons()
{
    HINSTANCE module = m_hIconModule ? m_hIconModule : ::GetModuleHandleW(nullptr);
    // Each size is loaded from the icon's own images, so the small one is not a shrunken
    // big one. The handles are ours and live as long as the dialog object.
    m_bigIcon.Reset(static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDI_PEL_MAIN), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    m_smallIcon.Reset(static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDI_PEL_MAIN), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    if (m_bigIcon)
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
    if (m_smallIcon)
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
}

void CInstallGuide::CreatePanels()
{
    for (int index : kPanelIndices) {
        std::shared_ptr<CGuidePanel> panel = m_panelFactory ? m_panelFactory(index) : nullptr;
        // A panel whose window cannot be made is left out; switching to it then fails
        // instead of showing an empty client area.
        if (!panel || !panel->Create(m_hWnd))
            continue;
        panel->ShowWindow(SW_HIDE);
        m_panels[index] = std::move(panel);
    }
    // Panels made after the dialog's first size still need the whole client area.
    RECT client{};
    GetClientRect(&client);
    OnClientAreaSized(client);
}

void CInstallGuide::HideForSilentRun()
{
    // The modal run must not show the window, and no taskbar button may appear for it.
    KeepHidden();
    ShowWindow(SW_HIDE);
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW, SWP_FRAMECHANGED);
}

bool CInstallGuide::SwitchToPanel(int index)
{
    // A missing panel leaves everything as it was, the caption included: the caption must
    // go on matching the panel that stays shown.
    CGuidePanel* panel = GetPanel(index);
    if (!panel)
        return false;
    // The caption shows icon and product name only while the status panel is shown.
    SetTitleVisible(index == PANEL_STATUS);
    if (index != m_nCurrentPanel) {
        if (CGuidePanel* current = GetPanel(m_nCurrentPanel))
            current->ShowWindow(SW_HIDE);
    }
    m_nCurrentPanel = index;
    FitToPanel();
    panel->OnShowPanel();
    panel->ShowWindow(SW_SHOW);
    FocusPanel(*panel);
    Invalidate(TRUE);
    ::UpdateWindow(m_hWnd);
    return true;
}

void CInstallGuide::FitToPanel()
{
    if (!m_hWnd)
        return;
    SIZE size{0, 0};
    if (CGuidePanel* panel = GetPanel(m_nCurrentPanel))
        size = panel->GetPanelSize();
    // The panel size is the outer height; the one-pixel side borders are added to the width.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx + 2 * DpiScaleX(1), size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CInstallGuide::OnClientAreaSized(const RECT& client)
{
    for (auto& entry : m_panels) {
        CGuidePanel* panel = entry.second.get();
        if (panel && panel->IsWindow())
            ::MoveWindow(panel->m_hWnd, client.left, client.top, client.right - client.left,
                         client.bottom - client.top, TRUE);
    }
}

void CInstallGuide::CentreOnWorkArea()
{
    m_bCentred = true;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    RECT window{};
    GetWindowRect(&window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = work.left + ((work.right - work.left) - width) / 2;
    int y = work.top + ((work.bottom - work.top) - height) / 2;
    // A window larger than the work area keeps its caption reachable.
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CInstallGuide::FocusPanel(CGuidePanel& panel)
{
    // The focus goes with the shown panel, to its first tab stop, as it goes with the pages of
    // a property sheet; a panel without one leaves it on the main window, where Esc and
    // Alt+F4 still reach the dialog. A window not yet shown gets its first focus from the
    // dialog manager, and a focus elsewhere (another program, a message box) stays there.
    HWND focus = ::GetFocus();
    if (!IsWindowVisible() || (focus && focus != m_hWnd && !::IsChild(m_hWnd, focus)))
        return;
    HWND first = ::GetNextDlgTabItem(panel.m_hWnd, nullptr, FALSE);
    if (first && ::IsChild(panel.m_hWnd, first))
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    else
        ::SetFocus(m_hWnd);
}

void CInstallGuide::OnOK()
{
    if (CGuidePanel* panel = GetPanel(m_nCurrentPanel))
        panel->PressDefaultButton();
}

void CInstallGuide::OnCancel()
{
    OnCloseRequest();
}

void CInstallGuide::OnCloseRequest()
{
    // Each panel decides for itself whether the window may close now.
    CGuidePanel* panel = GetPanel(m_nCurrentPanel);
    if (panel && !panel->CanClose())
        return;
    // The run ends as cancelled; the Cancel command is this request itself, so EndDialog is
    // called here directly.
    EndDialog(IDCANCEL);
}

LRESULT CInstallGuide::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        OnCloseRequest();
        return 0;
    case DM_GETDEFID:
        // No default id here: Enter then comes as IDOK, and OnOK asks the shown panel.
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && !m_bCentred && !m_flags.m_bSilent)
            CentreOnWorkArea();
        break;
    }
    return CPelDialog::WindowProc(msg, wParam, lParam);
}

DWORD OutcomeAfterMainDialog(bool opened, bool reported, DWORD reportedCode)
{
    if (!opened)
        return RunOutcomeFailed;
    return reported ? reportedCode : static_cast<DWORD>(RunOutcomeCancelled);
}
