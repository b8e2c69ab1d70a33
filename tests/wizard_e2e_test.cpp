// The real installer executable, run under Wine and Xvfb against a download site on
// 127.0.0.1 and driven from outside like a person would: find its windows, click, read texts,
// answer message boxes.
#include "E2eTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

using namespace driver;
using e2e::CStage;

namespace {

const DWORD kInstallTimeoutMs = 240000;

// Each test stages its own installer and site.
class WizardE2e : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_stage.Prepare()) << m_stage.Error(); }

    // Starts the installer and waits for its visible main window.
    HWND Launch(const std::wstring& args)
    {
        EXPECT_TRUE(m_installer.Start(m_stage.Exe(), args));
        HWND main = WaitMainWindow(m_installer.Pid(), 60000);
        EXPECT_NE(main, nullptr) << "no main window";
        return main;
    }

    // Answers the next message box with the button and returns its text.
    std::wstring Answer(int button, DWORD timeoutMs = 15000)
    {
        MessageBoxInfo box;
        if (!WaitMessageBox(m_installer.Pid(), timeoutMs, &box))
            return L"<no message box>";
        EXPECT_TRUE(AnswerMessageBox(box, button));
        // The box must go before the next one is looked for.
        for (int i = 0; i < 100 && IsWindow(box.hwnd); ++i)
            Sleep(20);
        return box.text;
    }

    // Settings panel → Install, ticking the licence first when Install does not react.
    void PressInstall(HWND main)
    {
        ASSERT_TRUE(WaitForPanel(main, SettingsPanel, 10000, m_installer.Process()));
        Click(PanelControl(main, 133));
        if (!WaitForPanel(main, StatusPanel, 10000, m_installer.Process())) {
            Click(PanelControl(main, 134));
            Sleep(300);
            Click(PanelControl(main, 133));
        }
        ASSERT_TRUE(WaitForPanel(main, StatusPanel, 10000, m_installer.Process()));
    }

    void ExpectProductInstalled(const std::wstring& version)
    {
        EXPECT_EQ(e2e::ProductVersion(), version);
        std::wstring exe = e2e::ProductRegistryString(L"exe");
        EXPECT_NE(exe, L"");
        EXPECT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe.c_str();
    }

    CStage m_stage;
    CProgram m_installer;
};

bool WaitSemaphore(const wchar_t* name, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(100))
        if (SemaphoreExists(name))
            return true;
    return false;
}

void CloseProductWindow()
{
    for (int i = 0; i < 50; ++i, Sleep(100)) {
        if (HWND product = FindWindowW(L"VaroProVideoEditor7Window", nullptr)) {
            PostMessageW(product, WM_CLOSE, 0, 0);
            return;
        }
    }
}

RECT WindowRect(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

LONG WindowHeight(HWND hwnd)
{
    RECT rc = WindowRect(hwnd);
    return rc.bottom - rc.top;
}

// The installer's thread may still be busy with its first paints (Direct2D under Wine takes
// seconds to start): effects of a click are waited for, not expected at once.
template <typename Pred>
bool WaitUntil(Pred pred, DWORD timeoutMs = 15000)
{
    for (DWORD start = GetTickCount(); !pred(); Sleep(50))
        if (GetTickCount() - start > timeoutMs)
            return pred();
    return true;
}

} // namespace

TEST_F(WizardE2e, NormalInstallRunsToStartNowWhichOpensTheHomePageAndStartsTheProduct)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    e2e::CBrowserRecorder browser;
    HWND main = Launch(L"");
    ASSERT_NE(main, nullptr);
    PressInstall(main);
    EXPECT_EQ(WindowText(main), L"VARO Pro"); // the caption names the product on this panel
    ASSERT_TRUE(WaitForPanel(main, SuccessPanel, kInstallTimeoutMs, m_installer.Process()));
    ExpectProductInstalled(L"7.0.0.1");

    browser.Clear();
    Click(PanelControl(main, 1));
    EXPECT_EQ(browser.LastAddress(5000), L"https://www.pel-systems.com/varo-pro/7/welcome");
    EXPECT_EQ(m_installer.WaitExit(20000), 0);
    EXPECT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 15000)) << "the product did not start";
    CloseProductWindow();
}

TEST_F(WizardE2e, SilentRunShowsNoWindowInstallsAndEndsWithZero)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    ASSERT_TRUE(m_installer.Start(m_stage.Exe(), L"/s"));
    bool everVisible = false;
    long code = -1;
    for (DWORD start = GetTickCount(); code == -1 && GetTickCount() - start < kInstallTimeoutMs;) {
        everVisible = everVisible || !TopWindows(m_installer.Pid(), nullptr, true).empty();
        code = m_installer.WaitExit(100);
    }
    EXPECT_FALSE(everVisible);
    EXPECT_EQ(code, 0);
    ExpectProductInstalled(L"7.0.0.1");
}

TEST_F(WizardE2e, LaunchOptionStartsTheProductInsteadOfTheSuccessPanel)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    HWND main = Launch(L"/l /n");
    ASSERT_NE(main, nullptr);
    PressInstall(main);
    bool sawSuccess = false;
    long code = -1;
    for (DWORD start = GetTickCount(); code == -1 && GetTickCount() - start < kInstallTimeoutMs;) {
        sawSuccess = sawSuccess || (IsWindow(main) && ShownPanel(main) == SuccessPanel);
        code = m_installer.WaitExit(100);
    }
    EXPECT_FALSE(sawSuccess);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 15000)) << "the product did not start";
    CloseProductWindow();
    ExpectProductInstalled(L"7.0.0.1");
}

TEST_F(WizardE2e, InstalledProductStartsOnTheStatusPanelAndACloseThereCancels)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(MsiInstallProductW(payload_test::SitePath(L"msi\\varo_pro_70.msi").c_str(), L""),
              static_cast<UINT>(ERROR_SUCCESS));
    // Slow downloads, so that the close request meets the worker still downloading.
    m_stage.Server().SetFault(L"/msi/varo_pro_70.msi", L"drip=20000");
    m_stage.Server().SetFault(L"/msi/varo_pro_70_patch.msi", L"drip=20000");

    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPanel(main, StatusPanel, 10000, m_installer.Process()));
    EXPECT_EQ(WindowText(main), L"VARO Pro");
    Sleep(5000); // the worker starts three seconds after the panel is shown

    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::wstring question = Answer(IDNO);
    EXPECT_NE(question.find(L"cancel"), std::wstring::npos) << question.c_str();
    EXPECT_EQ(m_installer.WaitExit(1500), -1) << "No must keep the installer running";

    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(IDYES);
    EXPECT_EQ(m_installer.WaitExit(60000), 1602);
    EXPECT_EQ(e2e::ProductVersion(), L"7.0.0.1") << "the cancelled update must not be installed";
}

TEST_F(WizardE2e, RunningProductProgramIsReportedRetryWaitsAndCancelEnds)
{
    CProgram editor;
    ASSERT_TRUE(editor.Start(e2e::ProductProgramPath(L"VARO Pro Video Editor 7.exe"), L""));
    ASSERT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 10000));

    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    PressInstall(main);
    std::wstring first = Answer(IDRETRY, 10000);
    EXPECT_NE(first.find(L"VARO Pro Video Editor 7.exe\r\n"), std::wstring::npos) << first.c_str();
    EXPECT_EQ(first.find(L"Recorder"), std::wstring::npos);
    // Still running: the question comes again; Cancel ends without installing.
    Answer(IDCANCEL, 10000);
    EXPECT_EQ(m_installer.WaitExit(20000), 1602);
    EXPECT_EQ(e2e::ProductVersion(), L"");
}

TEST_F(WizardE2e, RunningProductProgramClosedBeforeRetryLetsTheInstallationGoOn)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    CProgram recorder;
    ASSERT_TRUE(recorder.Start(e2e::ProductProgramPath(L"VARO Pro Video Recorder 7.exe"), L""));
    ASSERT_TRUE(WaitSemaphore(L"QuilloVaroVRInstance_70", 10000));

    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    PressInstall(main);
    MessageBoxInfo box;
    ASSERT_TRUE(WaitMessageBox(m_installer.Pid(), 10000, &box));
    EXPECT_NE(box.text.find(L"VARO Pro Video Recorder 7.exe\r\n"), std::wstring::npos);
    // The person closes the program, then chooses Retry: the work starts.
    recorder.Kill();
    ASSERT_TRUE(WaitUntil([] { return !SemaphoreExists(L"QuilloVaroVRInstance_70"); }));
    AnswerMessageBox(box, IDRETRY);
    EXPECT_TRUE(WaitForPanel(main, SuccessPanel, kInstallTimeoutMs, m_installer.Process()));
    EXPECT_FALSE(WaitMessageBox(m_installer.Pid(), 0, &box)) << "asked again after Retry";
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(m_installer.WaitExit(20000), 0);
    ExpectProductInstalled(L"7.0.0.1");
}

TEST_F(WizardE2e, SettingsPanelFoldsSwitchesToALinkFirstLanguageAndRefusesARelativeFolder)
{
    // A Japanese language pack adds Japanese as the last entry of the language list; its
    // licence sentence puts the link first.
    ASSERT_TRUE(m_stage.EditManifest("    <dependency>",
                                     "    <language_pack>\n      <lang_id>1041</lang_id>\n"
                                     "      <pid>VARO-PRO-70-JA</pid>\n      <name>Japanese</name>\n"
                                     "      <full_url>http://127.0.0.1:1/langpack/language_pack_1041.exe"
                                     "</full_url>\n    </language_pack>\n"));
    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPanel(main, SettingsPanel, 10000, m_installer.Process()));

    // Fold: the window loses 120 px (96 dpi) at the bottom; the heading unfolds it again.
    RECT before = WindowRect(main);
    Click(PanelControl(main, 138));
    EXPECT_TRUE(WaitUntil([&] { return WindowHeight(main) != before.bottom - before.top; }));
    RECT folded = WindowRect(main);
    EXPECT_EQ(folded.bottom - folded.top, before.bottom - before.top - 120);
    EXPECT_EQ(folded.top, before.top);
    EXPECT_EQ(folded.left, before.left);
    Click(PanelControl(main, 136));
    EXPECT_TRUE(WaitUntil([&] { return WindowHeight(main) == before.bottom - before.top; }));

    // English puts the licence text first.
    HWND text = PanelControl(main, 135);
    HWND link = PanelControl(main, 152);
    EXPECT_LT(WindowRect(text).left, WindowRect(link).left);
    std::wstring englishText = WindowText(text);

    // Choose Japanese as a person would: pick the item, which the combo box reports.
    HWND combo = PanelControl(main, 141);
    const int japanese = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)) - 1;
    ASSERT_EQ(japanese, 3); // English, Deutsch, Francais, Japanese
    wchar_t title[64] = L"";
    GetPrivateProfileStringW(L"LANGUAGE", L"Title", L"", title, 64,
                             (m_stage.Folder() + L"\\language\\1041\\string.ini").c_str());
    wchar_t item[64] = L"";
    ASSERT_LT(SendMessageW(combo, CB_GETLBTEXTLEN, japanese, 0), 64);
    SendMessageW(combo, CB_GETLBTEXT, japanese, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), std::wstring(title));
    SendMessageW(combo, CB_SETCURSEL, japanese, 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(141, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(combo));
    Sleep(300);
    EXPECT_NE(WindowText(text), englishText);
    EXPECT_LT(WindowRect(link).left, WindowRect(text).left) << "the link must come first";

    // A relative folder is refused with a message, and the edit shows the model's folder again.
    HWND edit = PanelControl(main, 143);
    std::wstring modelFolder = WindowText(edit);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"relative\\folder"));
    Click(PanelControl(main, 133));
    std::wstring refused = Answer(IDOK);
    EXPECT_NE(refused.find(L"relative\\folder"), std::wstring::npos) << refused.c_str();
    EXPECT_EQ(WindowText(edit), modelFolder);
    EXPECT_EQ(ShownPanel(main), SettingsPanel);

    // Close: No keeps the window, Yes ends the run as cancelled.
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(IDNO);
    EXPECT_EQ(m_installer.WaitExit(1000), -1);
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(IDYES);
    EXPECT_EQ(m_installer.WaitExit(20000), 1602);
}

TEST_F(WizardE2e, InstallCreatesMissingFoldersAndAcceptsADriveRoot)
{
    testing_support::TempFolder temp;
    const std::wstring target = temp.Path() + L"\\New\\Sub";
    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPanel(main, SettingsPanel, 10000, m_installer.Process()));
    SendMessageW(PanelControl(main, 143), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>((target + L"\\").c_str()));
    PressInstall(main);
    DWORD attributes = GetFileAttributesW(target.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    // Cancel before the worker has done anything.
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(IDYES);
    EXPECT_EQ(m_installer.WaitExit(30000), 1602);

    CProgram second;
    ASSERT_TRUE(second.Start(m_stage.Exe(), L"/n"));
    HWND again = WaitMainWindow(second.Pid(), 60000);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(WaitForPanel(again, SettingsPanel, 10000, second.Process()));
    SendMessageW(PanelControl(again, 143), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\"));
    Click(PanelControl(again, 133));
    EXPECT_TRUE(WaitForPanel(again, StatusPanel, 5000, second.Process())) << "C:\\ must be accepted";
    PostMessageW(again, WM_SYSCOMMAND, SC_CLOSE, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(WaitMessageBox(second.Pid(), 15000, &box));
    AnswerMessageBox(box, IDYES);
    EXPECT_EQ(second.WaitExit(30000), 1602);
}

TEST_F(WizardE2e, LanguageOptionShowsGermanTextsFromTheStart)
{
    HWND main = Launch(L"/n /lang 1031");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPanel(main, SettingsPanel, 10000, m_installer.Process()));
    wchar_t german[256] = L"";
    GetPrivateProfileStringW(L"UISTRING", L"IDS_ACCEPT_LICENSE_TERMS", L"", german, 256,
                             (m_stage.Folder() + L"\\language\\1031\\string.ini").c_str());
    ASSERT_NE(std::wstring(german), L"");
    EXPECT_EQ(WindowText(PanelControl(main, 135)), german);
    EXPECT_EQ(SendMessageW(PanelControl(main, 141), CB_GETCURSEL, 0, 0), 1) << "Deutsch selected";
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(IDYES);
    EXPECT_EQ(m_installer.WaitExit(20000), 1602);
}

TEST_F(WizardE2e, ClosingTheSuccessPanelOpensTheHomePageAndEndsWithoutAsking)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    e2e::CBrowserRecorder browser;
    HWND main = Launch(L"/n");
    ASSERT_NE(main, nullptr);
    PressInstall(main);
    ASSERT_TRUE(WaitForPanel(main, SuccessPanel, kInstallTimeoutMs, m_installer.Process()));
    browser.Clear();
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(m_installer.WaitExit(20000), 0);
    MessageBoxInfo box;
    EXPECT_FALSE(WaitMessageBox(m_installer.Pid(), 0, &box));
    EXPECT_EQ(browser.LastAddress(5000), L"https://www.pel-systems.com/varo-pro/7/welcome");
    Sleep(1500);
    EXPECT_FALSE(SemaphoreExists(L"QuilloVaroInstance_70")) << "closing must not start the product";
}
