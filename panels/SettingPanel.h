// The first wizard panel: product icon and name, the Install button, the licence acceptance
// line with its link, and a foldable settings area with the language and destination folder.
// Install checks (and creates) the folder, stores it in the install model and moves on to the
// status panel.
#pragma once

#include "controls/Images.h"
#include "controls/PelButton.h"
#include "controls/PelComboBox.h"
#include "controls/PelEdit.h"
#include "controls/PelStatic.h"
#include "controls/PelTextButton.h"
#include "framework/Handles.h"
#include "panels/GuidePanel.h"
#include "res/resource.h"

#include <shlobj.h>

#include <memory>
#include <string>

class CSettingPanel : public CGuidePanel
{
public:
    CSettingPanel();
    ~CSettingPanel() override;

    void DrawContent(HDC dc) override;
    void LayoutControls(const RECT& client) override;
    SIZE GetPanelSize() override;
    void OnShowPanel() override;
    void ApplyTexts() override;
    bool CanClose() override;
    void ApplyPalette() override;
    // Install.
    int DefaultButtonId() const override { return IDC_INSTALL_BUTTON; }

    // Checks the folder text, creating missing folders, and stores it in the install model;
    // on failure the user is warned and the edit shows the model's folder again.
    bool ValidateInstallFolder();
    // Shows the licence state on the check box and the Install button.
    void UpdateAcceptState();
    // Shows the fold state on the toggle.
    void UpdateToggleImage();

    // State, for tests.
    bool IsLicenseAccepted() const { return m_bLicenseAccepted != 0; }
    bool IsSettingsFolded() const { return m_bSettingsFolded != 0; }
    POINT SeparatorPoint() const { return m_ptSeparator; }
    // The pictures the check box and the toggle show now (null before initialisation).
    const CImageWrapper* CheckImage() const { return m_checkImage.get(); }
    const CImageWrapper* ToggleImage() const { return m_toggleImage.get(); }
    CPelTextButton& InstallButton() { return m_btnInstall; }
    CPelButton& LicenseCheck() { return m_btnLicense; }
    CPelStatic& LicenseText() { return m_stcLicenseText; }
    CPelStatic& LicenseLink() { return m_stcLicenseLink; }
    CPelStatic& SettingsHeading() { return m_stcSettings; }
    CPelButton& SettingsToggle() { return m_btnToggle; }
    CPelStatic& LanguageLabel() { return m_stcLanguage; }
    CPelComboBox& LanguageCombo() { return m_cmbLanguage; }
    CPelStatic& FolderLabel() { return m_stcFolder; }
    CPelEdit& FolderEdit() { return m_edtFolder; }
    CPelButton& BrowseButton() { return m_btnBrowse; }

    // How links open: OpenWebAddress (the desktop shell) unless a test replaces it.
    using UrlOpener = void (*)(HWND owner, const std::wstring& url);
    static void SetUrlOpenerForTesting(UrlOpener opener);
    // How the folder browser runs: SHBrowseForFolderW unless a test replaces it. Returns
    // true with the chosen folder's file-system path.
    using FolderBrowser = bool (*)(BROWSEINFOW& info, std::wstring* chosen);
    static void SetFolderBrowserForTesting(FolderBrowser browser);
    // The browser's callback: selects the start folder, enables OK only for file-system folders.
    static int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;

private:
    void InitControls();
    void FillLanguageList();
    bool OnCommand(WPARAM wParam);
    void OnInstall();
    void OnBrowse();
    void OnToggleFold();
    void OnLanguageChange();
    void OnLicenseLink();
    // Warns that path is unavailable and shows the model's folder in the edit again.
    void RefuseFolder(const std::wstring& path);
    std::wstring FolderText() const;
    void SetFolderText(const std::wstring& text);
    void SetLabelText(CPelStatic& label, const std::wstring& text);
    void LayoutLicenceRow(const RECT& client, int top, int* bottom);
    void LayoutSettingsRows(const RECT& client, int top);
    HICON ProductIcon(int size);

    CPelTextButton m_btnInstall;
    CPelButton m_btnLicense;
    CPelStatic m_stcLicenseText;
    CPelStatic m_stcLicenseLink;
    CPelStatic m_stcSettings;
    CPelButton m_btnToggle;
    CPelStatic m_stcLanguage;
    CPelComboBox m_cmbLanguage;
    CPelStatic m_stcFolder;
    CPelEdit m_edtFolder;
    CPelButton m_btnBrowse;

    int m_bLicenseAccepted = 0;
    int m_bSettingsFolded = 0;
    POINT m_ptSeparator = {0, 0};

    std::shared_ptr<const CImageWrapper> m_checkImage;
    std::shared_ptr<const CImageWrapper> m_toggleImage;
    CIconHandle m_icon;
    int m_nIconSize = 0;
};

// What Install does with the folder, for a run that skips the settings panel (an unattended
// fresh install): the install model's folder is checked and created as Install would, so the
// package gets it as its destination and the registered program path names a real file.
// False, with the reason in the run log, when the folder cannot be had.
bool PrepareInstallFolderWithoutPanel();
