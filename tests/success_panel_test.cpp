// The success panel from its real template, hosted by a window that plays the main dialog:
// its texts, Start Now (home page once, the product half a second later, the installer
// closed), the close request, the hidden launch check box, layout and the drawn heading.
#include "config/InstallConfig.h"
#include "config/UITextFormat.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/RunOutcome.h"
#include "panels/PanelShell.h"
#include "panels/SuccessPanel.h"
#include "res/resource.h"

#include "CaptureTestSupport.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace testing_support;
using testing_support::CaptureClient;
using testing_support::CapturedImage;
using testing_support::PumpMessages;
using testing_support::PumpUntil;
using testing_support::TempFolder;

namespace {

const wchar_t kFullName[] = L"VARO Pro 7 Panel Test";
const wchar_t kShortName[] = L"VARO Panel Test";
const wchar_t kProgram[] = L"VARO Pro Video Editor 7.exe";
const wchar_t kHomePage[] = L"http://127.0.0.1:9/welcome?from=installer";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Stands in for the user's browser while it lives: a script registered for http and https
// that writes the address it was given and the value of an environment variable set only in
// this process. Started through the desktop shell, it sees the shell's environment; started
// by this process, it would see ours. The prefix's handlers come back afterwards.
class CBrowserWitness
{
public:
    CBrowserWitness()
    {
        ::SetEnvironmentVariableW(kMarker, L"installer");
        m_ready = testing_support::WriteFileBytes(
            m_script, "@echo [%~1] [%" + Narrow(kMarker) + "%]> \"" + Narrow(m_record) + "\"\r\n");
        for (int i = 0; i < 2; ++i) {
            wchar_t value[1024] = L"";
            DWORD size = sizeof value;
            if (::RegGetValueW(HKEY_CLASSES_ROOT, kKeys[i], nullptr, RRF_RT_REG_SZ, nullptr, value,
                               &size) == ERROR_SUCCESS)
                m_saved[i] = value;
            SetHandler(kKeys[i], L"\"" + m_script + L"\" \"%1\"");
        }
    }
    ~CBrowserWitness()
    {
        for (int i = 0; i < 2; ++i)
            SetHandler(kKeys[i], m_saved[i]);
        ::SetEnvironmentVariableW(kMarker, nullptr);
    }
    CBrowserWitness(const CBrowserWitness&) = delete;
    CBrowserWitness& operator=(const CBrowserWitness&) = delete;

    bool Ready() const { return m_ready; }

    // The script's line once it is complete, else empty.
    std::string Record() const
    {
        CFileHandle file(::CreateFileW(m_record.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
        char text[1024];
        DWORD read = 0;
        if (!file || !::ReadFile(file.Get(), text, sizeof text, &read, nullptr))
            return std::string();
        const std::string line(text, read);
        if (line.find('\n') == std::string::npos)
            return std::string();
        return line.substr(0, line.find_last_not_of("\r\n ") + 1);
    }

private:
    static void SetHandler(const wchar_t* key, const std::wstring& command)
    {
        ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr const wchar_t* kMarker = L"PEL_BROWSER_WITNESS";
    static constexpr const wchar_t* kKeys[2] = {L"http\\shell\\open\\command",
                                                L"https\\shell\\open\\command"};

    TempFolder m_folder;
    std::wstring m_script = m_folder.File(L"browser.bat");
    std::wstring m_record = m_folder.File(L"browser.txt");
    std::wstring m_saved[2];
    bool m_ready = false;
};

class SuccessPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitThemePalette();
        if (!TextFont())
            CreateSharedFonts();
        ResetRunOutcomeForTesting();
        CInstallConfig& config = TheInstallConfig();
        m_savedManifest = config.m_manifest;
        m_savedInstallFolder = config.m_strInstallFolder;
        m_savedHomePage = config.m_strHomePageUrl;
        m_savedLanguage = config.m_uiStrings.m_nLanguageId;
        config.m_manifest.fullName = kFullName;
        config.m_manifest.shortName = kShortName;
        config.m_manifest.executable = kProgram;
        config.m_strInstallFolder = m_work.Path() + L"\\";
        config.m_strHomePageUrl = kHomePage;
        config.m_uiStrings.m_nLanguageId = 1033;
        m_host.current = PANEL_SUCCESS;
        ASSERT_TRUE(m_host.Create());
        ASSERT_TRUE(m_host.AddPanel(m_panel));
        m_panel.OnShowPanel();
        PumpMessages(20);
    }

    void TearDown() override
    {
        if (m_host.m_hWnd)
            m_host.DestroyWindow();
        CInstallConfig& config = TheInstallConfig();
        config.m_manifest = m_savedManifest;
        config.m_strInstallFolder = m_savedInstallFolder;
        config.m_strHomePageUrl = m_savedHomePage;
        config.m_uiStrings.m_nLanguageId = m_savedLanguage;
    }

    std::wstring MakeProgram()
    {
        const std::wstring path = m_work.Path() + L"\\" + kProgram;
        EXPECT_TRUE(testing_support::WriteFileBytes(path, "MZ"));
        return path;
    }

    // A user's click in the middle of Start Now.
    void ClickStartNow()
    {
        HWND button = m_panel.GetStartButton();
        RECT rect{};
        ::GetClientRect(button, &rect);
        const LPARAM point = MAKELPARAM(rect.right / 2, rect.bottom / 2);
        ::SendMessageW(button, WM_MOUSEMOVE, 0, point);
        ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageW(button, WM_LBUTTONUP, 0, point);
    }

    CShellRecorder m_shell;
    TempFolder m_work;
    CSuccessPanel m_panel; // destroyed after the host, whose window takes the panel's with it
    CPanelTestHost m_host;
    ManifestInfo m_savedManifest;
    std::wstring m_savedInstallFolder;
    std::wstring m_savedHomePage;
    int m_savedLanguage = 1033;
};

TEST_F(SuccessPanelTest, EnglishTextsWithTheProductNames)
{
    EXPECT_EQ(CSuccessPanel::ReadyText(), std::wstring(kShortName) + L" is ready");
    EXPECT_EQ(m_panel.GetStartButton().GetButtonText(), L"Start Now");
    EXPECT_EQ(m_panel.GetLaunchLabel().GetText(), std::wstring(L"Launch ") + kFullName);
    // A translated pattern is filled with the short name as well.
    EXPECT_EQ(FormatUIText(TheInstallConfig().m_uiStrings.GetUIString(IDS_PRODUCT_READY),
                           {std::wstring(L"X")}),
              L"X is ready");
}

TEST_F(SuccessPanelTest, LaunchCheckBoxAndLabelStayHidden)
{
    EXPECT_FALSE(m_panel.GetLaunchCheck().IsWindowVisible());
    EXPECT_FALSE(m_panel.GetLaunchLabel().IsWindowVisible());
    EXPECT_TRUE(m_panel.IsLaunchTicked());
    const HBITMAP ticked = m_panel.GetLaunchCheck().GetImageBitmap();
    EXPECT_NE(ticked, nullptr);
    // A click on it toggles the state and the picture, and changes nothing else.
    ::SendMessageW(m_panel, WM_COMMAND, MAKEWPARAM(IDC_LAUNCH_CHECK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(m_panel.GetLaunchCheck().m_hWnd));
    EXPECT_FALSE(m_panel.IsLaunchTicked());
    EXPECT_NE(m_panel.GetLaunchCheck().GetImageBitmap(), ticked);
    EXPECT_NE(m_panel.GetLaunchCheck().GetImageBitmap(), nullptr);
    EXPECT_FALSE(m_panel.GetLaunchCheck().IsWindowVisible());
    PumpMessages(700);
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_FALSE(m_host.destroyed);
}

TEST_F(SuccessPanelTest, StartNowOpensThePageThenStartsTheProductAndCloses)
{
    const std::wstring program = MakeProgram();
    const DWORD clicked = ::GetTickCount();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return !m_shell.Urls().empty(); }, 2000));
    EXPECT_EQ(m_shell.Urls(), std::vector<std::wstring>{kHomePage});
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_FALSE(m_host.destroyed);
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_EQ(m_shell.Launches(), std::vector<std::wstring>{program});
    EXPECT_GE(m_shell.LaunchTick() - clicked, 450u);
    EXPECT_EQ(m_shell.Urls().size(), 1u);
}

TEST_F(SuccessPanelTest, SecondClickRestartsTheDelayWithoutOpeningThePageAgain)
{
    MakeProgram();
    ClickStartNow();
    PumpMessages(300);
    const DWORD second = ::GetTickCount();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_EQ(m_shell.Urls().size(), 1u);
    EXPECT_EQ(m_shell.Launches().size(), 1u);
    EXPECT_GE(m_shell.LaunchTick() - second, 450u);
}

TEST_F(SuccessPanelTest, ProductInstalledBeforeOpensNoPage)
{
    m_host.flags.m_bProductInstalled = 1;
    MakeProgram();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_TRUE(m_shell.Urls().empty());
    EXPECT_EQ(m_shell.Launches().size(), 1u);
    EXPECT_FALSE(m_panel.IsHomePageOpened());
}

TEST_F(SuccessPanelTest, NoReportedHomePageOnlyStartsTheProduct)
{
    TheInstallConfig().m_strHomePageUrl.clear();
    MakeProgram();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_TRUE(m_shell.Urls().empty());
    EXPECT_EQ(m_shell.Launches().size(), 1u);
}

// A package may report any text as its home page; the elevated installer hands the shell
// nothing but an http or https address (a file: address would start cmd.exe elevated).
TEST_F(SuccessPanelTest, HomePageThatIsNoWebAddressIsNotOpened)
{
    TheInstallConfig().m_strHomePageUrl = L"file:///C:/windows/system32/cmd.exe";
    MakeProgram();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_TRUE(m_shell.Urls().empty());
    EXPECT_EQ(m_shell.Launches().size(), 1u);
}

// With the real shell in place, the home page goes to the desktop shell, which opens it in
// the browser as the signed-in user: the browser is no child of the elevated installer and
// does not see the installer's environment.
TEST_F(SuccessPanelTest, StartNowOpensTheHomePageInTheBrowserOfTheDesktopUser)
{
    CBrowserWitness browser;
    ASSERT_TRUE(browser.Ready());
    SetWebAddressOpenerForTesting(nullptr);
    MakeProgram();
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return !browser.Record().empty(); }, 10000));
    EXPECT_EQ(browser.Record(), "[" + Narrow(kHomePage) + "] []");
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    EXPECT_EQ(m_shell.Launches().size(), 1u);
}

TEST_F(SuccessPanelTest, MissingProductStartsNothingSaysSoAndStillCloses)
{
    CBoxWatcher watcher(kShortName, {IDOK});
    ClickStartNow();
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 5000));
    watcher.Stop();
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_EQ(m_shell.Urls().size(), 1u);
    ASSERT_EQ(watcher.Count(), 1);
    EXPECT_EQ(watcher.Box(0).text, std::wstring(kFullName) + L" could not be started.");
}

TEST_F(SuccessPanelTest, CloseOpensThePageOnceAndStartsNothing)
{
    MakeProgram();
    EXPECT_TRUE(m_panel.CanClose());
    EXPECT_TRUE(m_panel.CanClose());
    PumpMessages(700);
    EXPECT_EQ(m_shell.Urls(), std::vector<std::wstring>{kHomePage});
    EXPECT_TRUE(m_shell.Launches().empty());
    // The panel does not report an outcome of its own: the status panel did.
    EXPECT_FALSE(IsRunOutcomeReported());
}

TEST_F(SuccessPanelTest, EnterAndOtherTimersDoNotEndTheRun)
{
    ::SendMessageW(m_panel, WM_TIMER, 1124, 0);
    ::SendMessageW(m_panel, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpMessages(700);
    EXPECT_FALSE(m_host.destroyed);
    EXPECT_TRUE(m_shell.Launches().empty());
}

TEST_F(SuccessPanelTest, LayoutFollowsTheClientRectangle)
{
    RECT client{};
    m_panel.GetClientRect(&client);
    const RECT button = ChildRect(m_panel.GetStartButton());
    EXPECT_EQ(button.right - button.left, DpiScaleX(300));
    EXPECT_EQ(button.bottom - button.top, DpiScaleY(34));
    EXPECT_EQ(button.left, (client.right - DpiScaleX(300)) / 2);
    EXPECT_EQ(button.top, DpiScaleX(240));

    const RECT check = ChildRect(m_panel.GetLaunchCheck());
    EXPECT_EQ(check.left, DpiScaleY(30));
    EXPECT_EQ(check.top, client.bottom - DpiScaleY(20) - DpiScaleY(20));
    EXPECT_EQ(check.right - check.left, DpiScaleX(20));
    EXPECT_EQ(check.bottom - check.top, DpiScaleY(20));

    const RECT label = ChildRect(m_panel.GetLaunchLabel());
    EXPECT_EQ(label.left, check.right + DpiScaleX(4));
    EXPECT_EQ(label.right, client.right);
    EXPECT_EQ(label.top, check.top);
    EXPECT_EQ(label.bottom - label.top, DpiScaleY(20));
}

TEST_F(SuccessPanelTest, IconAndHeadingAreDrawnCentred)
{
    m_panel.Invalidate();
    ::UpdateWindow(m_panel);
    PumpMessages(50);
    RECT client{};
    m_panel.GetClientRect(&client);
    const RECT icon = m_panel.GetIconRectForTesting();
    const int iconSize = DpiScaleX(64);
    EXPECT_EQ(icon.top, DpiScaleX(90));
    EXPECT_EQ(icon.right - icon.left, iconSize);
    EXPECT_EQ(icon.left, (client.right - iconSize) / 2);

    const RECT heading = m_panel.GetHeadingRectForTesting();
    const int height = heading.bottom - heading.top;
    ASSERT_GT(height, 0);
    EXPECT_EQ(heading.top, icon.bottom + height / 2);
    // Centred: equal room on both sides (within the rounding of an odd width).
    EXPECT_LE(std::abs(heading.left - (client.right - heading.right)), 1);

    const CapturedImage image = CaptureClient(m_panel);
    ASSERT_FALSE(image.Empty());
    const COLORREF background = Palette().WindowBackground;
    const int iconArea = iconSize * iconSize;
    EXPECT_LT(image.CountColour(icon, background), iconArea) << "no icon drawn";
    const int headingArea = (heading.right - heading.left) * height;
    EXPECT_LT(image.CountColour(heading, background), headingArea) << "no heading drawn";
    // Beside the heading there is only background.
    const RECT left = {0, heading.top, heading.left, heading.bottom};
    EXPECT_TRUE(image.AllColour(left, background));
}

} // namespace
