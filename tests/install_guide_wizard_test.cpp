// The main dialog with the real wizard panels from the installer's templates: the first
// panel and its caption, folding the settings area, and closing through the panel's question.
#include "app/InstallGuide.h"

#include "config/InstallConfig.h"
#include "config/Region.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/RunOutcome.h"
#include "panels/SettingPanel.h"
#include "panels/StatusPanel.h"
#include "panels/SuccessPanel.h"
#include "res/resource.h"
#include "CaptureTestSupport.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using testing_support::CGuideTemplate;
using testing_support::CModalScript;
using testing_support::InstallerModule;

namespace {

constexpr wchar_t kShortName[] = L"VARO Guide Test";

// The application's main dialog with the real panels, all resources from the installer.
class CWizardGuide : public CInstallGuide
{
public:
    explicit CWizardGuide(const PanelRunFlags& flags) : CInstallGuide(flags)
    {
        InitModalIndirect(m_template.Get());
        SetImageModule(InstallerModule());
        SetIconModule(InstallerModule());
        SetPanelFactory([](int index) -> std::shared_ptr<CGuidePanel> {
            std::shared_ptr<CGuidePanel> panel;
            switch (index) {
            case PANEL_SETTINGS: panel = std::make_shared<CSettingPanel>(); break;
            case PANEL_STATUS: panel = std::make_shared<CStatusPanel>(); break;
            case PANEL_SUCCESS: panel = std::make_shared<CSuccessPanel>(); break;
            default: return nullptr;
            }
            panel->SetResourceInstance(InstallerModule());
            panel->SetImageModule(InstallerModule());
            return panel;
        });
    }
    ~CWizardGuide() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

private:
    CGuideTemplate m_template;
};

class InstallGuideWizardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, InstallerModule());
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        CreateSharedFonts();
        CInstallConfig& config = TheInstallConfig();
        m_savedManifest = config.m_manifest;
        m_savedLanguages = config.m_languages;
        config.m_manifest.shortName = kShortName;
        config.m_manifest.fullName = L"VARO Pro 7 Guide Test";
        config.m_languages = {{L"English", 1033}, {L"Deutsch", 1031}};
        SetListedCountryForTesting(0);
        ResetRunOutcomeForTesting();
        ::SetCursorPos(1200, 1000);
    }
    void TearDown() override
    {
        CInstallConfig& config = TheInstallConfig();
        config.m_manifest = m_savedManifest;
        config.m_languages = m_savedLanguages;
        SetListedCountryForTesting(-1);
        ResetRunOutcomeForTesting();
        DeleteSharedFonts();
        ResetScreenDpiForTesting();
    }

    testing_support::CShellRecorder m_shell; // no link or program leaves the test

private:
    ManifestInfo m_savedManifest;
    std::vector<LanguageEntry> m_savedLanguages;
};

TEST_F(InstallGuideWizardTest, FreshRunShowsTheSettingsPanelWithoutCaptionTitle)
{
    PanelRunFlags flags;
    CWizardGuide guide(flags);
    ASSERT_TRUE(guide.Create(nullptr));
    ASSERT_EQ(guide.CurrentPanel(), PANEL_SETTINGS);
    ASSERT_NE(dynamic_cast<CSettingPanel*>(guide.GetPanel(PANEL_SETTINGS)), nullptr);
    EXPECT_NE(dynamic_cast<CStatusPanel*>(guide.GetPanel(PANEL_STATUS)), nullptr);
    EXPECT_NE(dynamic_cast<CSuccessPanel*>(guide.GetPanel(PANEL_SUCCESS)), nullptr);
    EXPECT_FALSE(guide.IsTitleVisible());
    wchar_t title[64] = {};
    ::GetWindowTextW(guide.m_hWnd, title, 64);
    EXPECT_STREQ(title, L"VARO Pro 7 Guide Test");

    SIZE size = guide.GetPanel(PANEL_SETTINGS)->GetPanelSize();
    RECT rect{};
    guide.GetWindowRect(&rect);
    EXPECT_EQ(rect.right - rect.left, size.cx + 2 * DpiScaleX(1));
    EXPECT_EQ(rect.bottom - rect.top, size.cy);
}

TEST_F(InstallGuideWizardTest, InstalledProductStartsOnTheStatusPanelWithCaptionTitle)
{
    PanelRunFlags flags;
    flags.m_bProductInstalled = 1;
    CWizardGuide guide(flags);
    ASSERT_TRUE(guide.Create(nullptr));
    EXPECT_EQ(guide.CurrentPanel(), PANEL_STATUS);
    EXPECT_TRUE(guide.IsTitleVisible());
    EXPECT_TRUE(::GetWindowLongW(guide.GetPanel(PANEL_STATUS)->m_hWnd, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongW(guide.GetPanel(PANEL_SETTINGS)->m_hWnd, GWL_STYLE) & WS_VISIBLE);
    // Ended long before the status panel's start timer would look for running programs.
    guide.DestroyWindow();
}

TEST_F(InstallGuideWizardTest, FoldingTheSettingsShrinksFromTheBottomAndUnfoldingGrows)
{
    PanelRunFlags flags;
    CWizardGuide guide(flags);
    ASSERT_TRUE(guide.Create(nullptr));
    ::SetWindowPos(guide.m_hWnd, nullptr, 60, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT unfolded{};
    guide.GetWindowRect(&unfolded);
    auto* settings = static_cast<CSettingPanel*>(guide.GetPanel(PANEL_SETTINGS));
    HWND toggle = settings->GetDlgItem(IDC_SETTINGS_TOGGLE);
    ASSERT_NE(toggle, nullptr);

    settings->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_TOGGLE, BN_CLICKED),
                          reinterpret_cast<LPARAM>(toggle));
    ASSERT_TRUE(settings->IsSettingsFolded());
    RECT folded{};
    guide.GetWindowRect(&folded);
    EXPECT_EQ(folded.left, 60);
    EXPECT_EQ(folded.top, 40);
    EXPECT_EQ(folded.right, unfolded.right);
    EXPECT_EQ(folded.bottom - folded.top, (unfolded.bottom - unfolded.top) - DpiScaleY(120));
    // The panel still covers the whole (smaller) client area.
    RECT client{}, panel{};
    guide.GetClientRect(&client);
    settings->GetClientRect(&panel);
    EXPECT_EQ(panel.bottom, client.bottom);
    EXPECT_EQ(panel.right, client.right);

    settings->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_TOGGLE, BN_CLICKED),
                          reinterpret_cast<LPARAM>(toggle));
    RECT again{};
    guide.GetWindowRect(&again);
    EXPECT_TRUE(::EqualRect(&again, &unfolded));
}

TEST_F(InstallGuideWizardTest, CaptionCloseOnTheSettingsPanelAsksAndNoKeepsTheWindow)
{
    PanelRunFlags flags;
    CWizardGuide guide(flags);
    testing_support::CBoxWatcher boxes(kShortName, {IDNO, IDYES});
    CModalScript script;
    script.WaitWhile([&] { return testing_support::MessageBoxOpen(guide.m_hWnd); });
    bool keptAfterNo = false;
    bool reportedAfterNo = true;
    INT_PTR result = script.Run(guide, {
        [&] { guide.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); },
        [&] {
            // Runs once the question has been answered and has gone.
            keptAfterNo = guide.IsWindow() && guide.IsWindowVisible();
            reportedAfterNo = IsRunOutcomeReported();
            guide.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    });
    boxes.Stop();
    EXPECT_FALSE(script.TimedOut());
    ASSERT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Box(0).owner, boxes.Box(1).owner);
    EXPECT_EQ(boxes.Box(0).buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(keptAfterNo);
    EXPECT_FALSE(reportedAfterNo);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(OutcomeAfterMainDialog(true, IsRunOutcomeReported(), GetRunOutcome()), 1602u);
}

} // namespace
