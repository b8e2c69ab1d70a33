#include "panels/SettingPanel.h"

#include "config/InstallConfig.h"
#include "config/Region.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/RunOutcome.h"
#include "panels/InstallFolderRules.h"
#include "panels/PanelShell.h"
#include "framework/RunLog.h"

#include <shellapi.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

constexpr UINT kLabelBottomFormat = DT_SINGLELINE | DT_WORDBREAK | DT_BOTTOM;
constexpr UINT kLabelRightFormat = DT_SINGLELINE | DT_WORDBREAK | DT_VCENTER | DT_RIGHT;

CUIStrings& Strings()
{
    return TheInstallConfig().m_uiStrings;
}

std::wstring Text(const UIStringKey& key)
{
    return Strings().GetUIString(key);
}

void OpenUrlInShell(HWND, const std::wstring& url)
{
    // A link that cannot be opened is not worth a message; the user can retry.
    OpenWebAddress(url);
}

CSettingPanel::UrlOpener g_openUrl = &OpenUrlInShell;

// Item height of the language box and its list: dpiY x 24 / 96, computed in floating point
// and truncated, so that 120 dpi gives 30 and 144 dpi 36.
int LanguageItemHeight()
{
    return static_cast<int>(static_cast<double>(ScreenDpiY()) * 24.0 / 96.0);
}

void MoveControl(HWND hwnd, const RECT& rect)
{
    if (hwnd)
        ::MoveWindow(hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                     TRUE);
}

RECT RectAt(int x, int y, SIZE size)
{
    return RECT{x, y, x + size.cx, y + size.cy};
}

} // namespace

CSettingPanel::CSettingPanel() : CGuidePanel(IDD_SETTING_PANEL) {}

CSettingPanel::~CSettingPanel() = default;

void CSettingPanel::SetUrlOpenerForTesting(UrlOpener opener)
{
    g_openUrl = opener ? opener : &OpenUrlInShell;
}

BOOL CSettingPanel::OnInitDialog()
{
    CGuidePanel::OnInitDialog();
    RemoveFrameStyles();
    InitControls();
    FillLanguageList();
    SetFolderText(TheInstallConfig().m_strInstallFolder);
    // In the listed regions the user must tick the box; elsewhere it starts ticked.
    m_bLicenseAccepted = IsListedCountry() ? 0 : 1;
    UpdateAcceptState();
    UpdateToggleImage();
    return FALSE;
}

void CSettingPanel::InitControls()
{
    HMODULE module = GetImageModule();

    m_btnInstall.SubclassDlgItem(IDC_INSTALL_BUTTON, m_hWnd);
    m_btnInstall.SetButtonText(Text(IDS_INSTALL));

    m_btnLicense.SubclassDlgItem(IDC_LICENSE_CHECK, m_hWnd);

    struct LabelSetup
    {
        CPelStatic* label;
        UINT id;
        const UIStringKey* key;
        HFONT font;
        UINT format;
        bool link;
    };
    const LabelSetup labels[] = {
        {&m_stcLicenseText, IDC_LICENSE_TEXT, &IDS_ACCEPT_LICENSE_TERMS, TextFont(),
         kLabelBottomFormat, false},
        {&m_stcLicenseLink, IDC_LICENSE_LINK, &IDS_LINK_LICENSE_TERMS, LinkFont(),
         kLabelBottomFormat, true},
        {&m_stcSettings, IDC_SETTINGS_HEADING, &IDS_INSTALL_SETTINGS, TextFont(),
         kLabelBottomFormat | DT_RIGHT, false},
        {&m_stcLanguage, IDC_LANGUAGE_LABEL, &IDS_SELECT_LANG, TextFont(), kLabelRightFormat,
         true},
        {&m_stcFolder, IDC_FOLDER_LABEL, &IDS_INSTALL_FOLDER, TextFont(), kLabelRightFormat,
         true},
    };
    for (const LabelSetup& setup : labels) {
        setup.label->SubclassDlgItem(setup.id, m_hWnd);
        setup.label->SetTextFont(setup.font);
        setup.label->SetTextFormat(setup.format);
        setup.label->SetLink(setup.link);
        setup.label->SetText(Text(*setup.key));
    }

    m_btnToggle.SubclassDlgItem(IDC_SETTINGS_TOGGLE, m_hWnd);

    // The arrow picture comes from the same module as the panel's other pictures.
    m_cmbLanguage.SetResourceModule(module);
    m_cmbLanguage.SubclassDlgItem(IDC_LANGUAGE_COMBO, m_hWnd);
    m_cmbLanguage.SetReadOnly(true);
    m_cmbLanguage.SetFont(TextFont());
    m_cmbLanguage.SetListFont(TextFont());
    m_cmbLanguage.SetItemHeight(-1, LanguageItemHeight());

    m_edtFolder.SubclassDlgItem(IDC_FOLDER_EDIT, m_hWnd);
    m_btnBrowse.SubclassDlgItem(IDC_BROWSE_BUTTON, m_hWnd);

    // What screen readers call the controls: the check box reads the sentence beside it, the
    // toggle the heading it unfolds, each field its label, and "..." what it does.
    m_btnLicense.SetKind(CPelButton::Kind::CheckBox);
    m_btnLicense.SetAccessibleLabels({m_stcLicenseText.m_hWnd, m_stcLicenseLink.m_hWnd});
    m_btnToggle.SetKind(CPelButton::Kind::Toggle);
    m_btnToggle.SetAccessibleLabels({m_stcSettings.m_hWnd});
    m_cmbLanguage.SetAccessibleLabels({m_stcLanguage.m_hWnd});
    m_edtFolder.SetAccessibleLabels({m_stcFolder.m_hWnd});
    m_btnBrowse.SetAccessibleName(Text(IDS_BROWSE_DEST_FOLDER));
    ApplyPalette();
}

void CSettingPanel::ApplyPalette()
{
    const ThemePalette& palette = Palette();
    const COLORREF background = palette.WindowBackground;
    // New colours drop a button's picture: the check box and the toggle get theirs back.
    m_btnLicense.SetColorsAndText(background, background, background, background, L"");
    m_btnToggle.SetColorsAndText(background, background, background, background, L"");
    if (m_checkImage)
        m_btnLicense.SetButtonImage(*m_checkImage);
    if (m_toggleImage)
        m_btnToggle.SetButtonImage(*m_toggleImage);
    const COLORREF field = palette.FieldButtonBackground;
    m_btnBrowse.SetColorsAndText(field, field, field, field, L"...");
    for (CPelButton* button : {&m_btnLicense, &m_btnToggle, &m_btnBrowse})
        button->SetOutlineColor(palette.ControlOutline);

    struct LabelColour
    {
        CPelStatic* label;
        COLORREF colour;
    };
    const LabelColour labels[] = {
        {&m_stcLicenseText, palette.LabelText}, {&m_stcLicenseLink, palette.LinkText},
        {&m_stcSettings, palette.LabelText},    {&m_stcLanguage, palette.LabelText},
        {&m_stcFolder, palette.LabelText},
    };
    for (const LabelColour& entry : labels) {
        entry.label->SetTextColor(entry.colour);
        entry.label->SetBackgroundColor(background);
    }

    m_cmbLanguage.SetBackgroundColor(palette.FieldBackground);
    m_cmbLanguage.SetBorderColor(palette.FieldBorder);
    m_cmbLanguage.SetHotBorderColor(palette.FieldActiveBorder);
    m_cmbLanguage.SetTextColor(palette.FieldText);
    m_cmbLanguage.SetArrowBackgroundColor(palette.FieldButtonBackground);
    m_cmbLanguage.SetListColors(palette.ListBorder, palette.ListText, palette.ListSelectedText,
                                palette.ListBackground, palette.ListSelectedBackground);

    m_edtFolder.SetBackgroundColor(palette.FieldBackground);
    m_edtFolder.SetBorderColor(palette.FieldBorder);
    m_edtFolder.SetActiveBorderColor(palette.FieldActiveBorder);
    m_edtFolder.SetTextColor(palette.FieldText);
    m_edtFolder.SetDisabledTextColor(palette.DisabledText);
}

void CSettingPanel::FillLanguageList()
{
    const std::vector<LanguageEntry> languages = TheInstallConfig().GetLanguages();
    const int current = Strings().m_nLanguageId;
    const int height = LanguageItemHeight();
    int selected = 0;
    for (size_t i = 0; i < languages.size(); ++i) {
        int index = m_cmbLanguage.AddString(languages[i].displayName.c_str());
        if (index >= 0)
            m_cmbLanguage.SetItemHeight(index, height);
        // The last entry with the current id wins, as duplicates may be listed.
        if (languages[i].langId == current)
            selected = static_cast<int>(i);
    }
    m_cmbLanguage.SetCurSel(selected);
}

void CSettingPanel::UpdateAcceptState()
{
    const int ticked = IDB_CHECK_TICKED_100;
    const int unticked = IDB_CHECK_UNTICKED_100;
    int id = m_bLicenseAccepted
                 ? PngResourceForScale(ticked, ticked + 2, ticked + 3)
                 : PngResourceForScale(unticked, unticked + 2, unticked + 3);
    m_checkImage = LoadPngResource(id, GetImageModule());
    if (m_btnLicense.m_hWnd) {
        if (m_checkImage)
            m_btnLicense.SetButtonImage(*m_checkImage);
        m_btnLicense.SetChecked(m_bLicenseAccepted != 0);
        m_btnLicense.Invalidate(FALSE);
    }
    // SetButtonEnabled repaints only when the state changes.
    if (m_btnInstall.m_hWnd)
        m_btnInstall.SetButtonEnabled(m_bLicenseAccepted != 0);
}

void CSettingPanel::UpdateToggleImage()
{
    const int unfolded = IDB_TOGGLE_UNFOLDED_100;
    const int folded = IDB_TOGGLE_FOLDED_100;
    int id = m_bSettingsFolded ? PngResourceForScale(folded, folded + 2, folded + 3)
                               : PngResourceForScale(unfolded, unfolded + 2, unfolded + 3);
    m_toggleImage = LoadPngResource(id, GetImageModule());
    if (m_btnToggle.m_hWnd) {
        if (m_toggleImage)
            m_btnToggle.SetButtonImage(*m_toggleImage);
        m_btnToggle.SetExpanded(m_bSettingsFolded == 0);
        m_btnToggle.Invalidate(FALSE);
    }
}

SIZE CSettingPanel::GetPanelSize()
{
    SIZE size = CGuidePanel::GetPanelSize();
    if (m_bSettingsFolded)
        size.cy -= DpiScaleY(120);
    return size;
}

void CSettingPanel::OnShowPanel()
{
    ApplyTexts();
}

void CSettingPanel::SetLabelText(CPelStatic& label, const std::wstring& text)
{
    if (!label.m_hWnd)
        return;
    label.SetText(text);
    label.Invalidate(FALSE);
}

void CSettingPanel::ApplyTexts()
{
    if (!m_hWnd)
        return;
    if (m_btnInstall.m_hWnd) {
        m_btnInstall.SetButtonText(Text(IDS_INSTALL));
        m_btnInstall.Invalidate(FALSE);
    }
    SetLabelText(m_stcLicenseText, Text(IDS_ACCEPT_LICENSE_TERMS));
    SetLabelText(m_stcLicenseLink, Text(IDS_LINK_LICENSE_TERMS));
    SetLabelText(m_stcSettings, Text(IDS_INSTALL_SETTINGS));
    SetLabelText(m_stcLanguage, Text(IDS_SELECT_LANG));
    SetLabelText(m_stcFolder, Text(IDS_INSTALL_FOLDER));
    m_btnBrowse.SetAccessibleName(Text(IDS_BROWSE_DEST_FOLDER));
    // Texts of another language have other widths.
    RECT client{};
    GetClientRect(&client);
    LayoutControls(client);
}

HICON CSettingPanel::ProductIcon(int size)
{
    if (!m_icon || m_nIconSize != size) {
        HMODULE module = GetImageModule() ? GetImageModule() : ::GetModuleHandleW(nullptr);
        m_icon.Reset(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_PEL_MAIN),
                                                     IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        m_nIconSize = size;
    }
    return m_icon.Get();
}

void CSettingPanel::DrawContent(HDC dc)
{
    RECT client{};
    GetClientRect(&client);
    const int width = client.right - client.left;
    const int iconSize = DpiScaleX(64);
    const int iconTop = client.top + DpiScaleX(48);
    if (HICON icon = ProductIcon(iconSize))
        ::DrawIconEx(dc, client.left + (width - iconSize) / 2, iconTop, icon, iconSize, iconSize,
                     0, nullptr, DI_NORMAL | DI_COMPAT);

    const std::wstring& name = TheInstallConfig().m_manifest.fullName;
    if (!name.empty()) {
        CSelectObject font(dc, HeadingFont());
        SIZE text{};
        ::GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &text);
        RECT rect{};
        rect.left = client.left + (width - text.cx) / 2;
        rect.right = rect.left + text.cx;
        rect.top = iconTop + iconSize + text.cy / 2;
        rect.bottom = rect.top + text.cy;
        int oldMode = ::SetBkMode(dc, TRANSPARENT);
        COLORREF oldColor = ::SetTextColor(dc, Palette().StrongText);
        ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &rect,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_WORD_ELLIPSIS);
        ::SetTextColor(dc, oldColor);
        ::SetBkMode(dc, oldMode);
    }

    if (m_ptSeparator.x != 0 || m_ptSeparator.y != 0) {
        CPenHandle pen(::CreatePen(PS_SOLID, 1, Palette().Separator));
        if (pen) {
            CSelectObject selectPen(dc, pen.Get());
            ::MoveToEx(dc, m_ptSeparator.x, m_ptSeparator.y, nullptr);
            ::LineTo(dc, client.right, m_ptSeparator.y);
        }
    }
}

void CSettingPanel::LayoutControls(const RECT& client)
{
    if (!m_btnInstall.m_hWnd)
        return;
    const int width = client.right - client.left;
    const SIZE button{DpiScaleX(300), DpiScaleY(34)};
    RECT install = RectAt(client.left + (width - button.cx) / 2, client.top + DpiScaleX(174), button);
    MoveControl(m_btnInstall, install);

    int licenceBottom = 0;
    LayoutLicenceRow(client, install.bottom + DpiScaleX(16), &licenceBottom);
    LayoutSettingsRows(client, licenceBottom + DpiScaleY(28));
    Invalidate(TRUE);
}

void CSettingPanel::LayoutLicenceRow(const RECT& client, int top, int* bottom)
{
    const int width = client.right - client.left;
    const int gap = DpiScaleX(4);
    const SIZE check{DpiScaleX(16), DpiScaleY(16)};
    const std::wstring terms = Text(IDS_ACCEPT_LICENSE_TERMS);
    SIZE text{DpiScaleX(138), DpiScaleY(16)};
    MeasureText(terms, TextFont(), &text);
    SIZE link{DpiScaleX(138), DpiScaleY(16)};
    MeasureText(Text(IDS_LINK_LICENSE_TERMS), LinkFont(), &link);

    // The group [check box, gap, first label, gap, second label] is centred.
    RECT box = RectAt(client.left + (width - link.cx - text.cx - gap - check.cx) / 2, top, check);
    RECT textRect{};
    RECT linkRect{};
    // Languages that put the link before the verb show it first.
    if (SentenceStartsWith(Text(IDS_ACCEPT_LICENSE_SENTENCE), terms)) {
        textRect = RectAt(box.right + gap, top, text);
        ::OffsetRect(&textRect, 0, DpiScaleY(-1));
        linkRect = RECT{textRect.right + DpiScaleX(4), textRect.top, client.right, textRect.bottom};
    } else {
        linkRect = RectAt(box.right + gap, top, link);
        ::OffsetRect(&linkRect, 0, DpiScaleY(-1));
        textRect = RECT{linkRect.right + DpiScaleX(4), linkRect.top,
                        linkRect.right + DpiScaleX(4) + text.cx, linkRect.bottom};
    }
    MoveControl(m_btnLicense, box);
    MoveControl(m_stcLicenseText, textRect);
    MoveControl(m_stcLicenseLink, linkRect);
    // The row ends below its lowest part, so a tall font never runs into the next row.
    *bottom = std::max({box.bottom, textRect.bottom, linkRect.bottom});
}

void CSettingPanel::LayoutSettingsRows(const RECT& client, int toggleTop)
{
    const int width = client.right - client.left;
    const int gap = DpiScaleX(4);
    const SIZE toggle{DpiScaleX(16), DpiScaleY(16)};
    SIZE heading{DpiScaleX(110), DpiScaleY(14)};
    MeasureText(Text(IDS_INSTALL_SETTINGS), LinkFont(), &heading);
    // Heading and toggle are centred together; the heading's text is right-aligned.
    RECT toggleRect =
        RectAt(client.right - (width - heading.cx - gap - toggle.cx) / 2 - toggle.cx, toggleTop, toggle);
    MoveControl(m_btnToggle, toggleRect);
    MoveControl(m_stcSettings,
                RECT{client.left, toggleTop, toggleRect.left - gap, toggleTop + heading.cy});
    m_ptSeparator = POINT{client.left, toggleRect.bottom + DpiScaleY(15)};

    SIZE language{DpiScaleX(144), DpiScaleY(30)};
    MeasureText(Text(IDS_SELECT_LANG), LinkFont(), &language);
    RECT languageRect =
        RectAt(client.left + DpiScaleX(68), toggleRect.bottom + DpiScaleY(38), language);
    RECT combo{languageRect.right + gap, languageRect.top, client.right - DpiScaleX(68),
               languageRect.bottom};
    MoveControl(m_stcLanguage, languageRect);
    MoveControl(m_cmbLanguage, combo);

    RECT row = combo;
    ::OffsetRect(&row, 0, (combo.bottom - combo.top) + DpiScaleY(14));
    RECT edit{row.left, row.top, row.right - DpiScaleY(24), row.bottom};
    RECT browse{edit.right, row.top, edit.right + DpiScaleY(24), row.bottom};
    SIZE folder{DpiScaleX(144), DpiScaleY(30)};
    MeasureText(Text(IDS_INSTALL_FOLDER), LinkFont(), &folder);
    RECT folderRect{edit.left - gap - folder.cx, row.top, edit.left - gap, row.bottom};
    MoveControl(m_edtFolder, edit);
    MoveControl(m_btnBrowse, browse);
    MoveControl(m_stcFolder, folderRect);
}

void CSettingPanel::OnInstall()
{
    // A click that arrives while the panel is hidden (another panel current) does nothing.
    if (!IsWindowVisible())
        return;
    if (!ValidateInstallFolder())
        return;
    GoToNextPanel();
}

void CSettingPanel::OnToggleFold()
{
    m_bSettingsFolded = m_bSettingsFolded ? 0 : 1;
    // The folded rows lie outside the lowered window: hidden, they leave the tab order too.
    const int show = m_bSettingsFolded ? SW_HIDE : SW_SHOW;
    for (CWnd* row : std::initializer_list<CWnd*>{&m_stcLanguage, &m_cmbLanguage, &m_stcFolder,
                                                  &m_edtFolder, &m_btnBrowse})
        if (row->m_hWnd)
            row->ShowWindow(show);
    if (IPanelHost* host = GetHost())
        host->FitToPanel();
    UpdateToggleImage();
}

void CSettingPanel::OnLanguageChange()
{
    const std::vector<LanguageEntry> languages = TheInstallConfig().GetLanguages();
    int selected = m_cmbLanguage.GetCurSel();
    // No selection (CB_ERR) or a list that no longer matches changes nothing.
    if (selected < 0 || static_cast<size_t>(selected) >= languages.size())
        return;
    // A choice may be reported twice (the end of the selection and its change).
    const int chosen = languages[static_cast<size_t>(selected)].langId;
    if (chosen == Strings().m_nLanguageId)
        return;
    Strings().m_nLanguageId = chosen;
    ApplyTexts();
}

void CSettingPanel::OnLicenseLink()
{
    g_openUrl(m_hWnd, Strings().GetLink(IDS_RLINK_TERMS));
}

bool CSettingPanel::CanClose()
{
    const std::wstring text = Text(IDS_MESSAGE_CANCELNOTICE);
    const std::wstring& caption = TheInstallConfig().m_manifest.shortName;
    if (RunMessageBox(m_hWnd, text, caption, MB_YESNO | MB_ICONEXCLAMATION, IDNO) != IDYES)
        return false;
    ReportRunOutcome(RunOutcomeCancelled);
    return true;
}

bool CSettingPanel::OnCommand(WPARAM wParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    switch (id) {
    case IDC_INSTALL_BUTTON:
        if (code != BN_CLICKED)
            return false;
        OnInstall();
        return true;
    case IDC_LICENSE_CHECK:
        if (code != BN_CLICKED)
            return false;
        m_bLicenseAccepted = m_bLicenseAccepted ? 0 : 1;
        UpdateAcceptState();
        return true;
    case IDC_SETTINGS_TOGGLE:
        if (code != BN_CLICKED)
            return false;
        OnToggleFold();
        return true;
    case IDC_SETTINGS_HEADING:
        if (code != STN_CLICKED)
            return false;
        OnToggleFold();
        return true;
    case IDC_LANGUAGE_COMBO:
        // A change while the list is closed (arrow keys, the wheel) is a choice too; in the
        // open list it only moves the highlight until the list closes on the item.
        if (code != CBN_SELENDOK && !(code == CBN_SELCHANGE && !m_cmbLanguage.GetDroppedState()))
            return false;
        OnLanguageChange();
        return true;
    case IDC_BROWSE_BUTTON:
        if (code != BN_CLICKED)
            return false;
        OnBrowse();
        return true;
    case IDC_LICENSE_LINK:
        if (code != STN_CLICKED)
            return false;
        OnLicenseLink();
        return true;
    }
    return false;
}

LRESULT CSettingPanel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND && OnCommand(wParam))
        return 0;
    return CGuidePanel::WindowProc(msg, wParam, lParam);
}
