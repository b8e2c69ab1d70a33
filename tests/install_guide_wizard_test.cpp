// The main dialog with the real wizard panels from the installer's templates: the first
// panel and its caption, folding the settings area, and closing through the panel's question.
#include "app/InstallGuide.h"

#include "config/InstallConfig.h"
#include "config/Region.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/RunOutcome.h"
#include "framework/KeyboardCues.h"
#include "panels/SettingPanel.h"
#include "panels/StatusPanel.h"
#include "panels/SuccessPanel.h"
#include "res/resource.h"
#include "CaptureTestSupport.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"
#include "tools/demo/InstallerDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using testing_support::CapturedImage;
using testing_support::CaptureWindow;
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
        SetHighContrastQueryForTesting(nullptr);
        InitThemePalette();
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

bool HighContrastOn() { return true; }

// How many pixels of two pictures of the same size differ (all of them when the sizes do).
int DifferingPixels(const testing_support::CapturedImage& a,
                    const testing_support::CapturedImage& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return a.Width() * a.Height() + 1;
    int count = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            count += a.Pixel(x, y) != b.Pixel(x, y);
    return count;
}

// A control's rectangle in the coordinates of the main window's picture (frame included).
RECT InWindow(HWND control, HWND window)
{
    RECT rect{};
    RECT outer{};
    ::GetWindowRect(control, &rect);
    ::GetWindowRect(window, &outer);
    ::OffsetRect(&rect, -outer.left, -outer.top);
    return rect;
}

// The middle of a rectangle's top edge, and a point just inside its left edge.
POINT TopMiddle(const RECT& r) { return POINT{(r.left + r.right) / 2, r.top}; }
POINT InsideLeft(const RECT& r) { return POINT{r.left + 3, (r.top + r.bottom) / 2}; }

// With PEL_HC_SCREENSHOTS set, the high-contrast test saves each panel to docs/screenshots
// in the colours of Windows' "High Contrast Black" theme, put in place for its time and
// restored afterwards (Wine's defaults have a link colour close to white).
class CScreenshots
{
public:
    CScreenshots() : m_on(std::getenv("PEL_HC_SCREENSHOTS") != nullptr)
    {
        if (!m_on)
            return;
        for (int i = 0; i < kCount; ++i)
            m_saved[i] = ::GetSysColor(kElements[i]);
        const COLORREF black[kCount] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(26, 235, 255),
                                        RGB(0, 0, 0),     RGB(255, 255, 0),   RGB(63, 242, 63),
                                        RGB(0, 0, 0),     RGB(255, 255, 255)};
        ::SetSysColors(kCount, kElements, black);
    }
    ~CScreenshots()
    {
        if (m_on)
            ::SetSysColors(kCount, kElements, m_saved);
    }
    CScreenshots(const CScreenshots&) = delete;
    CScreenshots& operator=(const CScreenshots&) = delete;

    void Save(HWND window, const wchar_t* name) const
    {
        if (!m_on)
            return;
        EXPECT_TRUE(driver::SaveWindowPng(
            window, testing_support::WinePath(PEL_SOURCE_DIR "/docs/screenshots/") + name));
    }

private:
    static constexpr int kCount = 8;
    static constexpr INT kElements[kCount] = {COLOR_WINDOW,  COLOR_WINDOWTEXT, COLOR_HIGHLIGHT,
                                              COLOR_HIGHLIGHTTEXT, COLOR_HOTLIGHT, COLOR_GRAYTEXT,
                                              COLOR_BTNFACE, COLOR_BTNTEXT};
    bool m_on;
    COLORREF m_saved[kCount] = {};
};

// Wine cannot turn high contrast on (SPI_SETHIGHCONTRAST fails there), so the palette's
// question is answered by the test; the window is told as Windows tells it, with
// WM_SETTINGCHANGE. It follows the switch while it runs, in the system's colours with every
// control outlined, and back again to exactly the pixels it had.
TEST_F(InstallGuideWizardTest, HighContrastSwitchRedrawsInSystemColoursAndBack)
{
    CScreenshots screenshots;
    CWizardGuide guide(PanelRunFlags{});
    ASSERT_TRUE(guide.Create(nullptr));
    guide.ShowWindow(SW_SHOW);
    auto* settings = static_cast<CSettingPanel*>(guide.GetPanel(PANEL_SETTINGS));
    ASSERT_FALSE(settings->IsSettingsFolded());
    testing_support::PumpMessages(100);
    const CapturedImage normal = CaptureWindow(guide);
    const COLORREF normalBackground = Palette().WindowBackground;

    auto settingChange = [&](HighContrastQuery query) {
        SetHighContrastQueryForTesting(query);
        guide.SendMessage(WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        testing_support::PumpMessages(100);
    };
    settingChange(&HighContrastOn);
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    CapturedImage shot = CaptureWindow(guide);
    screenshots.Save(guide, L"hc-settings.png");
    const RECT all{0, 0, shot.Width(), shot.Height()};
    EXPECT_EQ(0, shot.CountColour(all, normalBackground));
    EXPECT_EQ(text, shot.Pixel(0, shot.Height() / 2));               // the window's border
    EXPECT_EQ(text, shot.Pixel(shot.Width() / 2, shot.Height() - 1));
    EXPECT_EQ(window, shot.Pixel(20, shot.Height() / 2));             // the background
    const RECT install = InWindow(settings->InstallButton(), guide);
    EXPECT_EQ(text, shot.Pixel(TopMiddle(install).x, TopMiddle(install).y));
    EXPECT_EQ(highlight, shot.Pixel(InsideLeft(install).x, InsideLeft(install).y));
    const RECT edit = InWindow(settings->FolderEdit(), guide);
    EXPECT_EQ(text, shot.Pixel(TopMiddle(edit).x, TopMiddle(edit).y));
    EXPECT_EQ(window, shot.Pixel(InsideLeft(edit).x - 1, edit.top + 2));
    for (HWND outlined : {settings->LanguageCombo().m_hWnd, settings->BrowseButton().m_hWnd,
                          settings->LicenseCheck().m_hWnd}) {
        const RECT r = InWindow(outlined, guide);
        EXPECT_EQ(text, shot.Pixel(TopMiddle(r).x, TopMiddle(r).y));
    }
    EXPECT_GT(shot.CountColour(InWindow(settings->LicenseText(), guide), text), 0);
    EXPECT_GT(shot.CountColour(InWindow(settings->LicenseLink(), guide),
                               ::GetSysColor(COLOR_HOTLIGHT)), 0);

    ASSERT_TRUE(guide.SwitchToPanel(PANEL_STATUS));
    auto* status = static_cast<CStatusPanel*>(guide.GetPanel(PANEL_STATUS));
    ::KillTimer(status->m_hWnd, CStatusPanel::TIMER_START_WORK); // no installation here
    CPelProgress& bar = status->GetProgressBar();
    bar.SetPos(bar.GetMaximum() * 2 / 5);
    status->GetPercentText().SetText(L"40%");
    ::RedrawWindow(guide, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    testing_support::PumpMessages(50);
    shot = CaptureWindow(guide);
    screenshots.Save(guide, L"hc-status.png");
    const RECT track = InWindow(bar, guide);
    EXPECT_EQ(text, shot.Pixel(TopMiddle(track).x, TopMiddle(track).y));
    EXPECT_EQ(highlight, shot.Pixel(InsideLeft(track).x + 4, (track.top + track.bottom) / 2));
    EXPECT_EQ(window, shot.Pixel(track.right - 8, (track.top + track.bottom) / 2));
    EXPECT_GT(shot.CountColour(InWindow(status->GetStateText(), guide), text), 0);

    ASSERT_TRUE(guide.SwitchToPanel(PANEL_SUCCESS));
    auto* success = static_cast<CSuccessPanel*>(guide.GetPanel(PANEL_SUCCESS));
    testing_support::PumpMessages(50);
    shot = CaptureWindow(guide);
    screenshots.Save(guide, L"hc-success.png");
    const RECT start = InWindow(success->GetStartButton(), guide);
    EXPECT_EQ(text, shot.Pixel(TopMiddle(start).x, TopMiddle(start).y));
    EXPECT_EQ(highlight, shot.Pixel(InsideLeft(start).x, InsideLeft(start).y));

    ASSERT_TRUE(guide.SwitchToPanel(PANEL_SETTINGS));
    settingChange(nullptr);
    EXPECT_EQ(0, DifferingPixels(normal, CaptureWindow(guide)));

    // Last, as focus cues stay once the keyboard has shown them: the cue on the highlight
    // face of Start Now is in the highlight's own text colour.
    settingChange(&HighContrastOn);
    ASSERT_TRUE(guide.SwitchToPanel(PANEL_SUCCESS));
    ::SetFocus(success->GetStartButton());
    ShowFocusCues(guide);
    testing_support::PumpMessages(50);
    EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHTTEXT),
              CaptureWindow(guide).Pixel(start.left + 3, start.top + 3));
}

} // namespace
