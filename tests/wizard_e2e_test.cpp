// The real installer executable, run under Wine and Xvfb against a download site on
// 127.0.0.1 and driven from outside like a person would: find its windows, click, read texts,
// answer message boxes. Quiet runs (/quiet) are watched for any window they must not have.
#include "E2eTestSupport.h"
#include "MsiTestSupport.h"
#include "engine/Sha256.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <shellapi.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

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

// The keyboard as the system delivers it: key and character messages posted to whichever
// window of the installer has the focus, through its own message loop. No mouse message.
class CKeyboard
{
public:
    explicit CKeyboard(HWND main) : m_main(main), m_thread(GetWindowThreadProcessId(main, nullptr))
    {
    }

    HWND Focus() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(m_thread, &info) ? info.hwndFocus : nullptr;
    }
    // The id of the focused control; the edit field of the language box counts as the box.
    int FocusedId() const
    {
        HWND focus = Focus();
        if (!focus)
            return 0;
        wchar_t cls[16] = L"";
        GetClassNameW(GetParent(focus), cls, 16);
        if (lstrcmpiW(cls, L"ComboBox") == 0)
            focus = GetParent(focus);
        return GetDlgCtrlID(focus);
    }
    ::testing::AssertionResult WaitFocus(int id) const
    {
        if (WaitUntil([&] { return FocusedId() == id; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the focus is on " << FocusedId() << ", not on " << id;
    }
    // The release comes after the character that the press makes, as from a real keyboard.
    void Press(WPARAM key) const
    {
        HWND focus = Focus();
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        Settle();
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    }
    void Type(const std::wstring& text) const
    {
        HWND focus = Focus();
        for (wchar_t c : text)
            PostMessageW(focus, WM_CHAR, c, 1);
    }

private:
    // Returns once the installer's thread has taken what was posted before: a message sent
    // to it is handled only when it next looks for messages, so the second one waits until
    // the first posted message has been handled.
    void Settle() const
    {
        for (int i = 0; i < 2; ++i)
            SendMessageTimeoutW(m_main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    }

    HWND m_main;
    DWORD m_thread;
};

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

TEST_F(WizardE2e, KeysAloneInstallWithTheChosenLanguageAndFolderAndStartTheProduct)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    e2e::CBrowserRecorder browser;
    testing_support::TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\Varo Keys";
    std::wstring typed = folder; // typed with slashes, as Windows also takes a path
    std::replace(typed.begin(), typed.end(), L'\\', L'/');
    HWND main = Launch(L"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPanel(main, SettingsPanel, 10000, m_installer.Process()));
    CKeyboard keys(main);
    HWND install = PanelControl(main, 133);
    ASSERT_TRUE(WaitUntil([&] { return keys.FocusedId() == 133 || keys.FocusedId() == 134; }))
        << "the focus starts on Install, or on the licence box while Install is disabled";

    // The licence: Space on the check box accepts it (where it starts accepted, Space first
    // takes it back, which disables Install).
    if (keys.FocusedId() == 133) {
        keys.Press(VK_TAB);
        ASSERT_TRUE(keys.WaitFocus(134));
        keys.Press(VK_SPACE);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(install); }));
    }
    keys.Press(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(install) != FALSE; }));

    // The settings: Space on the toggle folds them away (Tab then passes them by), and on it
    // again opens them.
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(152)); // the licence link
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(138));
    const LONG unfolded = WindowHeight(main);
    keys.Press(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return WindowHeight(main) == unfolded - 120; }));
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(133)) << "the folded rows must leave the Tab order";
    for (int id : {134, 152, 138}) {
        keys.Press(VK_TAB);
        ASSERT_TRUE(keys.WaitFocus(id));
    }
    keys.Press(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return WindowHeight(main) == unfolded; }));

    // The language: Down in the closed box chooses Deutsch, and the texts follow.
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(141));
    HWND combo = PanelControl(main, 141);
    const std::wstring english = WindowText(PanelControl(main, 135));
    keys.Press(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(combo, CB_GETCURSEL, 0, 0) == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(PanelControl(main, 135)) != english; }));

    // The folder: Tab selects the edit's text, typing replaces it.
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(143));
    HWND edit = PanelControl(main, 143);
    keys.Type(typed);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == typed; })) << WindowText(edit).c_str();

    // Past browse and round to Install, which Space presses.
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(148));
    keys.Press(VK_TAB);
    ASSERT_TRUE(keys.WaitFocus(133));
    keys.Press(VK_SPACE);
    ASSERT_TRUE(WaitForPanel(main, StatusPanel, 10000, m_installer.Process()));
    ASSERT_TRUE(WaitForPanel(main, SuccessPanel, kInstallTimeoutMs, m_installer.Process()));

    // The success panel takes the focus to Start Now; Enter presses it.
    ASSERT_TRUE(keys.WaitFocus(1));
    browser.Clear();
    keys.Press(VK_RETURN);
    EXPECT_EQ(browser.LastAddress(5000), L"https://www.pel-systems.com/varo-pro/7/welcome")
        << "focus on " << keys.FocusedId() << ", panel " << ShownPanel(main);
    EXPECT_EQ(m_installer.WaitExit(20000), 0);
    EXPECT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 15000)) << "the product did not start";
    CloseProductWindow();

    ExpectProductInstalled(L"7.0.0.1");
    const std::wstring exe = e2e::ProductRegistryString(L"exe");
    EXPECT_EQ(exe.rfind(folder + L"\\", 0), 0u) << exe.c_str();
    // The language the run installed with (Deutsch, the second in the list).
    DWORD language = 0;
    DWORD size = sizeof language;
    const wchar_t packs[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070\\LanguagePacks";
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, packs, L"InitialLangID",
                           RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &language, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(language, 1031u);
}

TEST_F(WizardE2e, SilentRunShowsNoWindowInstallsAndEndsWithZero)
{
    e2e::CProductCleanup cleanup;
    ASSERT_TRUE(cleanup.Held());
    // A fresh machine: the default install folder does not exist. The run makes it as the
    // settings panel's Install would, so the registered program is there and /l starts it.
    SHFILEOPSTRUCTW remove = {};
    remove.wFunc = FO_DELETE;
    remove.pFrom = L"C:\\Program Files\\Pel Systems\0";
    remove.fFlags = FOF_NO_UI;
    SHFileOperationW(&remove);
    ASSERT_EQ(GetFileAttributesW(L"C:\\Program Files\\Pel Systems"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(m_installer.Start(m_stage.Exe(), L"/s /l"));
    bool everVisible = false;
    long code = -1;
    for (DWORD start = GetTickCount(); code == -1 && GetTickCount() - start < kInstallTimeoutMs;) {
        everVisible = everVisible || !TopWindows(m_installer.Pid(), nullptr, true).empty();
        code = m_installer.WaitExit(100);
    }
    EXPECT_FALSE(everVisible);
    EXPECT_EQ(code, 0);
    ExpectProductInstalled(L"7.0.0.1");
    EXPECT_EQ(e2e::ProductRegistryString(L"exe"), L"C:\\Program Files\\Pel Systems\\VARO Pro Video Editor 7.exe");
    EXPECT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 15000)) << "the product did not start";
    CloseProductWindow();
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

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr,
                            nullptr);
    return bytes;
}

// A run log (UTF-8) as text; empty when it cannot be read.
std::wstring ReadLog(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        read = 0;
    CloseHandle(file);
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0], n);
    return text;
}

// The logs in the default place: PelWebInstaller_*.log in the temporary folder, which the
// installer inherits from this process.
std::vector<std::wstring> DefaultPlaceLogs()
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> logs;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(temp) + L"PelWebInstaller_*.log").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return logs;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            logs.push_back(std::wstring(temp) + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return logs;
}

// Whether the texts occur in the log in this order.
testing::AssertionResult SaysInOrder(const std::wstring& log, const std::vector<std::wstring>& texts)
{
    size_t at = 0;
    for (const std::wstring& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::wstring::npos)
            return testing::AssertionFailure() << "the log does not say (in this order) \"" << Utf8(text)
                                               << "\":\n" << Utf8(log);
        at = found + text.size();
    }
    return testing::AssertionSuccess();
}

// The top-level windows of a process, polled while it runs. A quiet run may have none that is
// visible and no dialog at all (a message box is a dialog, class #32770; its own dialogs live
// as message-only windows, which no enumeration of top-level windows lists). Hidden windows of
// other classes are allowed; seen here: the IME window Wine gives every thread with windows
// (class "IME") and the drop-down list of the settings panel's language box (class
// "ComboLBox", a hidden top-level window of every combo box).
struct WindowWatch
{
    std::set<std::wstring> classes;
    std::vector<std::wstring> shown;   // "class visible|hidden "title""

    void Poll(DWORD pid)
    {
        for (HWND hwnd : TopWindows(pid, nullptr, false)) {
            wchar_t cls[128] = L"";
            GetClassNameW(hwnd, cls, 128);
            classes.insert(cls);
            const bool visible = IsWindowVisible(hwnd) != FALSE;
            if (!visible && lstrcmpW(cls, L"#32770") != 0)
                continue;
            wchar_t title[256] = L"";
            GetWindowTextW(hwnd, title, 256);
            shown.push_back(std::wstring(cls) + (visible ? L" visible \"" : L" hidden \"") + title + L"\"");
        }
    }
    std::string Classes() const
    {
        std::wstring all;
        for (const std::wstring& c : classes)
            all += (all.empty() ? L"" : L", ") + c;
        return Utf8(all);
    }
    std::string Shown() const
    {
        std::wstring all;
        for (const std::wstring& s : shown)
            all += s + L"; ";
        return Utf8(all);
    }
};

} // namespace

// /quiet: whatever ends the run, no window is ever shown and no message box or dialog exists;
// each question takes its documented answer, and the run log (at the place /log names, or in
// the default place when that cannot be written, saying so first) names the cause and the
// exit code.
TEST(QuietRunE2e, ShowsNothingAnswersEveryQuestionAndLogsTheCause)
{
    enum Setup { ServerDown, ProgramRunning, RefusedPackage, Normal, NoProgramLanguagePack, IdlePrerequisite,
                 OtherProduct };
    enum LogRequest { FileInAFolder, FileInAMissingFolder, AFolder };
    struct Case
    {
        const char* name;
        Setup setup;
        LogRequest log;
        long exitCode;
        std::vector<std::wstring> says;   // in this order
    };
    const std::wstring failed = L"Run ended, exit code 1603 (failed)";
    const std::wstring otherProduct = testing_support::PackageProperty(L"ProductCode");
    ASSERT_FALSE(otherProduct.empty());
    const std::wstring connectError =
        L"Unable to contact the download server. Check your Internet connection and try again. If "
        L"the issue persists, please contact Customer Care.";
    const std::vector<Case> cases = {
        {"server down: its message is answered OK", ServerDown, FileInAMissingFolder, 1603,
         {L"Message box \"VARO\" [OK]: " + connectError, L"Answer: OK (quiet run, nothing shown)", failed}},
        {"a product program runs: the question naming it is answered Cancel", ProgramRunning, AFolder, 1603,
         {L"Message box \"VARO Pro\" [Retry/Cancel]: ", L"VARO Pro Video Editor 7.exe",
          L"Answer: Cancel (quiet run, nothing shown)", failed}},
        {"a package Windows Installer refuses", RefusedPackage, FileInAFolder, 1603,
         {L"MSI Installation failed. Error Code: ", failed}},
        // What a setup program or package installs is checked: a language pack that is no
        // program (a German run), a prerequisite's program that registers nothing, another
        // product's package (refused like a failed download).
        {"a language pack that is no program", NoProgramLanguagePack, FileInAFolder, 1603,
         {L"Language pack 1031 (", L"language_pack_1031.exe): its setup program did not start; the installation fails",
          L"Installation Failed", failed}},
        {"a prerequisite whose program registers nothing", IdlePrerequisite, FileInAFolder, 1603,
         {L"vc_redist.exe: exit code 161 (not a success code",
          L"Prerequisite vc_redist.exe: still missing after its setup program ran; the installation fails",
          L"Installation Failed", failed}},
        {"another product's package", OtherProduct, FileInAFolder, 1603,
         {L"varo_pro_70.msi: ProductCode " + otherProduct + L" is not the manifest's product_code " +
              e2e::kProductCode,
          L"Message box \"VARO\" [OK]: " + connectError, failed}},
        // A whole run, section by section: who runs where, the manifest, the self-check, the
        // plan, every request, each program and package, the registry, how it ended.
        {"a normal installation", Normal, FileInAFolder, 0,
         {L"] Installer ", L"Command line: ", L"Options: ", L"Windows ", L"elevated", L"Log file: ",
          L"Manifest file: ", L"Manifest: product_code = ", L"Manifest: dependency \"vc_redist.exe\"",
          L"Language chosen: 1033", L"Installed product: none", L"Manifest loaded",
          L"Download http://127.0.0.1:", L"Attempt 1: HTTP 200, Content-Length ", L"Download ok: ",
          L"Version document: product_code = ", L"Start decision 0: ", L"Self-check: decision 0",
          // Found or missing, depending on what earlier runs in this prefix left.
          L"Prerequisite vc_redist.exe: ", L"Stage downloads started", L"msi\\varo_pro_70.msi, 196608 bytes",
          L"Stage installs started",
          L"varo_pro_70.msi: ProductCode " + std::wstring(e2e::kProductCode) +
              L", ProductVersion 7.0.0.1, as the version document's fresh_install version says",
          L"Windows Installer package ", L"Windows Installer log: ",
          L"varo_pro_70.msi: result 0", L"Registry HKLM\\SOFTWARE\\Pel Systems\\VARO Pro\\070\\exe = ",
          L"Installation Finished", L"Run ended, exit code 0 (installed, or nothing to do)"}},
    };
    // Short limits, so that the version check on a closed port fails at once, and setup
    // programs that do not wait.
    e2e::CScopedEnvironment limits(L"PEL_TRANSFER_LIMITS",
                                   L"connect=3000,send=3000,receive=3000,stall=1500,retry=50");
    e2e::CScopedEnvironment payloads(L"PEL_PAYLOAD_SECONDS", L"0");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::CProductCleanup cleanup;
        ASSERT_TRUE(cleanup.Held());
        CStage stage;
        ASSERT_TRUE(stage.Prepare()) << stage.Error();
        CProgram editor;
        if (c.setup == ServerDown)
            stage.Server().Stop();
        if (c.setup == ProgramRunning) {
            ASSERT_TRUE(editor.Start(e2e::ProductProgramPath(L"VARO Pro Video Editor 7.exe"), L""));
            ASSERT_TRUE(WaitSemaphore(L"QuilloVaroInstance_70", 10000));
        }
        if (c.setup == RefusedPackage) {
            ASSERT_TRUE(testing_support::WriteFileBytes(stage.SiteFolder() + L"\\msi\\varo_pro_70.msi",
                                                        std::string(4096, 'x')));
        }
        if (c.setup == NoProgramLanguagePack) {
            // Its hash in the manifest vouches for the file, so that only its start can fail.
            const std::wstring pack = stage.SiteFolder() + L"\\langpack\\language_pack_1031.exe";
            ASSERT_TRUE(testing_support::WriteFileBytes(pack, "not a program\r\n"));
            Sha256Digest digest{};
            ASSERT_TRUE(Sha256OfFile(pack, digest));
            const std::wstring hash = Sha256Text(digest);
            ASSERT_TRUE(stage.EditManifest("</language_pack>", "<sha256>" + std::string(hash.begin(), hash.end()) +
                                                                   "</sha256>"));
        }
        if (c.setup == IdlePrerequisite) {
            // A language pack's program under the prerequisite's name: it runs and ends, but
            // its name carries no language, so it registers nothing.
            e2e::ForgetPrerequisites();
            ASSERT_TRUE(CopyFileW((stage.SiteFolder() + L"\\langpack\\language_pack_1036.exe").c_str(),
                                  (stage.SiteFolder() + L"\\prereq\\vc_redist.exe").c_str(), FALSE));
        }
        if (c.setup == OtherProduct) {
            ASSERT_TRUE(CopyFileW(testing_support::TestPackagePath().c_str(),
                                  (stage.SiteFolder() + L"\\msi\\varo_pro_70.msi").c_str(), FALSE));
        }
        testing_support::TempFolder logs;
        const std::wstring requested = c.log == FileInAFolder          ? logs.File(L"run.log")
                                       : c.log == FileInAMissingFolder ? logs.File(L"missing\\run.log")
                                                                       : logs.Path();
        const std::vector<std::wstring> before = DefaultPlaceLogs();

        CProgram installer;
        ASSERT_TRUE(installer.Start(stage.Exe(), L"/quiet /log \"" + requested + L"\"" +
                                                     (c.setup == NoProgramLanguagePack ? L" /lang 1031" : L"")))
            << "error " << GetLastError();
        WindowWatch watch;
        long code = -1;
        for (DWORD start = GetTickCount(); code == -1 && GetTickCount() - start < kInstallTimeoutMs;) {
            watch.Poll(installer.Pid());
            // A box that is shown waits for an answer nobody gives.
            if (!watch.shown.empty())
                break;
            code = installer.WaitExit(20);
        }
        installer.Kill();
        EXPECT_TRUE(watch.shown.empty()) << watch.Shown();
        RecordProperty(std::string("WindowClasses") + std::to_string(c.setup), watch.Classes());
        EXPECT_EQ(code, c.exitCode);
        // The language pack comes after the main package, which stays installed.
        EXPECT_EQ(e2e::ProductVersion(), c.exitCode == 0 || c.setup == NoProgramLanguagePack ? L"7.0.0.1" : L"");
        if (c.setup == OtherProduct) {
            wchar_t version[64] = L"";
            DWORD size = 64;
            const UINT other = MsiGetProductInfoW(otherProduct.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &size);
            EXPECT_EQ(other, static_cast<UINT>(ERROR_UNKNOWN_PRODUCT)) << "the other product was installed";
            if (other == ERROR_SUCCESS) {
                MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
                MsiConfigureProductW(otherProduct.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
            }
        }

        std::wstring log;
        if (c.log == FileInAFolder) {
            log = ReadLog(requested);
        } else {
            // The new log in the default place whose first line names the requested path.
            const std::wstring problem = L"The log file " + requested + L" cannot be written (error ";
            std::vector<std::wstring> mine;
            for (const std::wstring& path : DefaultPlaceLogs()) {
                if (std::find(before.begin(), before.end(), path) != before.end())
                    continue;
                const std::wstring text = ReadLog(path);
                if (text.substr(0, text.find(L"\r\n")).find(problem) != std::wstring::npos) {
                    mine.push_back(path);
                    log = text;
                }
            }
            for (const std::wstring& path : mine)
                DeleteFileW(path.c_str());
            ASSERT_EQ(mine.size(), 1u) << "no new log in the default place starts with: " << Utf8(problem);
            EXPECT_TRUE(SaysInOrder(log.substr(0, log.find(L"\r\n")),
                                    {problem, L"); the log is written to the default place."}));
        }
        EXPECT_TRUE(SaysInOrder(log, {L"Options: /quiet /s " +
                                          std::wstring(c.setup == NoProgramLanguagePack ? L"/lang 1031 " : L"") +
                                          L"/log " + requested}));
        EXPECT_TRUE(SaysInOrder(log, c.says));
        if (c.exitCode == 0) {
            EXPECT_EQ(log.find(L"Message box"), std::wstring::npos) << Utf8(log);
            // Windows Installer's own log of the package, beside ours.
            EXPECT_TRUE(::GetFileAttributesW(logs.File(L"run_msi_varo_pro_70.log").c_str()) != INVALID_FILE_ATTRIBUTES);
        }
    }
}
