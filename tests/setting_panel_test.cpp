// The settings panel from its real template, hosted by a small shown window that plays the
// main dialog: licence state, folder checks with real message boxes, browse, language switch,
// fold toggle, layout and painting.
#include "app/InstallGuide.h"
#include "config/InstallConfig.h"
#include "config/Region.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "engine/RunOutcome.h"
#include "panels/InstallFolderRules.h"
#include "panels/SettingPanel.h"
#include "res/resource.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

const CImageWrapper* Picture(int id100)
{
    return LoadPngResource(PngResourceForScale(id100, id100 + 2, id100 + 3), InstallerModule()).get();
}

std::vector<std::wstring> g_openedUrls;
void RecordUrl(HWND, const std::wstring& url) { g_openedUrls.push_back(url); }

struct BrowseCall
{
    int calls = 0;
    std::wstring start;
    std::wstring title;
    UINT flags = 0;
    HWND owner = nullptr;
    bool hasCallback = false;
    std::wstring answer; // empty: the user cancels
};
BrowseCall g_browse;
bool RecordBrowse(BROWSEINFOW& info, std::wstring* chosen)
{
    ++g_browse.calls;
    g_browse.start = info.lParam ? reinterpret_cast<const wchar_t*>(info.lParam) : L"";
    g_browse.title = info.lpszTitle ? info.lpszTitle : L"";
    g_browse.flags = info.ulFlags;
    g_browse.owner = info.hwndOwner;
    g_browse.hasCallback = info.lpfn != nullptr;
    *chosen = g_browse.answer;
    return !g_browse.answer.empty();
}

constexpr wchar_t kShortName[] = L"VARO Panel Test";

class SettingPanelTest : public ::testing::Test
{
protected:
    SettingPanelTest()
    {
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        CreateSharedFonts();
    }

    void SetUp() override
    {
        CInstallConfig& config = TheInstallConfig();
        m_savedFolder = config.m_strInstallFolder;
        m_savedLanguages = config.m_languages;
        m_savedLanguage = config.m_uiStrings.m_nLanguageId;
        m_savedLanguageFolder = config.m_uiStrings.GetLanguageFolder();
        m_savedManifest = config.m_manifest;
        config.m_manifest.shortName = kShortName;
        config.m_manifest.fullName = L"VARO Pro 7";
        config.m_languages = {{L"English", 1033}, {L"Deutsch", 1031}, {L"Japanese", 1041}};
        config.m_uiStrings.m_nLanguageId = 1033;
        config.m_uiStrings.SetLanguageFolder(WinePath(PEL_SOURCE_DIR "/sample/language/"));
        config.m_strInstallFolder = L"C:\\Program Files\\Pel Systems";
        SetListedCountryForTesting(0);
        ResetRunOutcomeForTesting();
        g_openedUrls.clear();
        g_browse = BrowseCall();
        CSettingPanel::SetUrlOpenerForTesting(&RecordUrl);
        CSettingPanel::SetFolderBrowserForTesting(&RecordBrowse);
        ::SetCursorPos(1200, 1000);
    }

    void TearDown() override
    {
        if (panel.m_hWnd)
            panel.DestroyWindow();
        if (host.m_hWnd)
            host.DestroyWindow();
        PumpMessages(10);
        CInstallConfig& config = TheInstallConfig();
        config.m_strInstallFolder = m_savedFolder;
        config.m_languages = m_savedLanguages;
        config.m_uiStrings.m_nLanguageId = m_savedLanguage;
        config.m_uiStrings.SetLanguageFolder(m_savedLanguageFolder);
        config.m_manifest = m_savedManifest;
        SetListedCountryForTesting(-1);
        ResetRunOutcomeForTesting();
        CSettingPanel::SetUrlOpenerForTesting(nullptr);
        CSettingPanel::SetFolderBrowserForTesting(nullptr);
        ResetScreenDpiForTesting();
    }

    // Creates the host and the panel in it, shown as the main dialog would show it.
    void Open()
    {
        ASSERT_TRUE(host.Create());
        ASSERT_TRUE(host.AddPanel(panel));
        panel.OnShowPanel();
        Pump(30);
    }

    void Pump(DWORD ms = 40) { PumpPreTranslated(host.m_hWnd, ms); }

    // A left click in the middle of a control, as the mouse makes it.
    void Click(HWND control)
    {
        RECT rect{};
        ::GetClientRect(control, &rect);
        LPARAM point = MAKELPARAM(rect.right / 2, rect.bottom / 2);
        ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::PostMessageW(control, WM_LBUTTONUP, 0, point);
        Pump(60);
    }

    void Command(int id, int code)
    {
        ::SendMessageW(panel.m_hWnd, WM_COMMAND, MAKEWPARAM(id, code),
                       reinterpret_cast<LPARAM>(panel.GetDlgItem(id)));
        Pump(20);
    }

    std::wstring EditText()
    {
        wchar_t text[1024] = {};
        ::GetWindowTextW(panel.FolderEdit(), text, 1024);
        return text;
    }
    void SetEditText(const std::wstring& text) { ::SetWindowTextW(panel.FolderEdit(), text.c_str()); }

    RECT RectInPanel(HWND control)
    {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, panel.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    CPanelTestHost host{PANEL_SETTINGS};
    CSettingPanel panel;

private:
    std::wstring m_savedFolder;
    std::vector<LanguageEntry> m_savedLanguages;
    int m_savedLanguage = 1033;
    std::wstring m_savedLanguageFolder;
    ManifestInfo m_savedManifest;
};

// ---------------------------------------------------------------------------------------
// Licence state

TEST_F(SettingPanelTest, ListedRegionStartsUntickedAndTickingEnablesInstall)
{
    SetListedCountryForTesting(1);
    Open();
    EXPECT_FALSE(panel.IsLicenseAccepted());
    EXPECT_FALSE(panel.InstallButton().IsButtonEnabled());
    ASSERT_NE(nullptr, Picture(IDB_CHECK_UNTICKED_100));
    EXPECT_EQ(Picture(IDB_CHECK_UNTICKED_100)->Bitmap(), panel.LicenseCheck().GetImageBitmap());

    // A disabled Install does nothing, and the check is repeated without any message.
    CBoxWatcher watcher(kShortName, {IDOK});
    Click(panel.InstallButton());
    EXPECT_FALSE(panel.ValidateInstallFolder());
    Pump(100);
    EXPECT_TRUE(host.switches.empty());

    Click(panel.LicenseCheck());
    EXPECT_TRUE(panel.IsLicenseAccepted());
    EXPECT_TRUE(panel.InstallButton().IsButtonEnabled());
    EXPECT_EQ(Picture(IDB_CHECK_TICKED_100)->Bitmap(), panel.LicenseCheck().GetImageBitmap());

    Click(panel.LicenseCheck());
    EXPECT_FALSE(panel.IsLicenseAccepted());
    EXPECT_FALSE(panel.InstallButton().IsButtonEnabled());
    watcher.Stop();
    EXPECT_EQ(0, watcher.Count());
}

TEST_F(SettingPanelTest, OtherRegionsStartTicked)
{
    Open();
    EXPECT_TRUE(panel.IsLicenseAccepted());
    EXPECT_TRUE(panel.InstallButton().IsButtonEnabled());
    EXPECT_EQ(Picture(IDB_CHECK_TICKED_100)->Bitmap(), panel.LicenseCheck().GetImageBitmap());
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", EditText());
}

// ---------------------------------------------------------------------------------------
// Install and the folder

TEST_F(SettingPanelTest, InstallCreatesTheMissingLastFolderAndMovesOn)
{
    TempFolder temp;
    ASSERT_TRUE(::CreateDirectoryW(temp.File(L"Apps").c_str(), nullptr));
    const std::wstring target = temp.File(L"Apps\\New");
    Open();
    SetEditText(target + L"\\");
    Click(panel.InstallButton());
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(target, TheInstallConfig().m_strInstallFolder);
    EXPECT_EQ(std::vector<int>{PANEL_STATUS}, host.switches);
    ::RemoveDirectoryW(target.c_str());
    ::RemoveDirectoryW(temp.File(L"Apps").c_str());
}

TEST_F(SettingPanelTest, InstallOnlyWhileThePanelIsShown)
{
    Open();
    SetEditText(L"C:\\");
    panel.ShowWindow(SW_HIDE);
    Command(IDC_INSTALL_BUTTON, BN_CLICKED);
    EXPECT_TRUE(host.switches.empty());
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", TheInstallConfig().m_strInstallFolder);
}

TEST_F(SettingPanelTest, DriveRootIsAcceptedAsTheDrive)
{
    Open();
    SetEditText(L"C:\\");
    CBoxWatcher watcher(kShortName, {IDOK});
    Click(panel.InstallButton());
    watcher.Stop();
    EXPECT_EQ(0, watcher.Count());
    EXPECT_EQ(L"C:", TheInstallConfig().m_strInstallFolder);
    EXPECT_EQ(std::vector<int>{PANEL_STATUS}, host.switches);
}

TEST_F(SettingPanelTest, RelativeFolderIsRefusedAndTheEditReset)
{
    TheInstallConfig().m_strInstallFolder = L"C:\\Model Folder";
    Open();
    for (const wchar_t* typed : {L"Apps\\New\\", L"C:Apps"}) {
        SetEditText(typed);
        CBoxWatcher watcher(kShortName, {IDOK});
        Click(panel.InstallButton());
        ASSERT_TRUE(PumpUntil([&] { return watcher.Count() > 0; }, 5000)) << typed;
        watcher.Stop();
        const std::wstring shown = DropFinalBackslash(typed);
        EXPECT_EQ(L"The specified path " + shown + L" is unavailable.", watcher.Box(0).text);
        EXPECT_EQ(host.m_hWnd, watcher.Box(0).owner);
        EXPECT_EQ(L"C:\\Model Folder", EditText());
        EXPECT_EQ(L"C:\\Model Folder", TheInstallConfig().m_strInstallFolder);
    }
    EXPECT_TRUE(host.switches.empty());
}

TEST_F(SettingPanelTest, TooLongFolderTextIsRefusedNotCut)
{
    TempFolder temp;
    Open();
    const std::wstring tooLong = temp.Path() + L"\\" + std::wstring(300, L'a');
    SetEditText(tooLong);
    CBoxWatcher watcher(kShortName, {IDOK});
    Click(panel.InstallButton());
    ASSERT_TRUE(PumpUntil([&] { return watcher.Count() > 0; }, 5000));
    EXPECT_NE(std::wstring::npos, watcher.Box(0).text.find(L"is unavailable."));
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", EditText());
    EXPECT_TRUE(host.switches.empty());
    // Nothing was created under a cut name either.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              ::GetFileAttributesW((temp.Path() + L"\\" + std::wstring(200, L'a')).c_str()));

    // Browse refuses a text longer than its buffer the same way, without opening the browser,
    // and so it does when the text fits but its full path does not.
    SetEditText(L"C:\\" + std::wstring(600, L'b'));
    Click(panel.BrowseButton());
    ASSERT_TRUE(PumpUntil([&] { return watcher.Count() > 1; }, 5000));
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", EditText());
    SetEditText(L"C:\\" + std::wstring(300, L'c'));
    Click(panel.BrowseButton());
    ASSERT_TRUE(PumpUntil([&] { return watcher.Count() > 2; }, 5000));
    watcher.Stop();
    EXPECT_EQ(0, g_browse.calls);
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", EditText());
}

// ---------------------------------------------------------------------------------------
// Browse

TEST_F(SettingPanelTest, BrowseStartsAtTheNearestExistingParentAndTakesTheChoice)
{
    TempFolder temp;
    ASSERT_TRUE(::CreateDirectoryW(temp.File(L"Apps").c_str(), nullptr));
    Open();
    SetEditText(temp.File(L"Apps\\New\\Deeper\\"));
    g_browse.answer = temp.Path();
    Click(panel.BrowseButton());
    ASSERT_EQ(1, g_browse.calls);
    EXPECT_EQ(temp.File(L"Apps"), g_browse.start);
    EXPECT_EQ(L"Browse to the destination folder.", g_browse.title);
    EXPECT_EQ(0x51u, g_browse.flags);
    EXPECT_EQ(panel.m_hWnd, g_browse.owner);
    EXPECT_TRUE(g_browse.hasCallback);
    EXPECT_EQ(temp.Path(), TheInstallConfig().m_strInstallFolder);
    EXPECT_EQ(temp.Path(), EditText());

    // An empty edit starts nowhere; a cancelled browse changes nothing.
    SetEditText(L"");
    g_browse.answer.clear();
    Click(panel.BrowseButton());
    ASSERT_EQ(2, g_browse.calls);
    EXPECT_EQ(L"", g_browse.start);
    EXPECT_EQ(temp.Path(), TheInstallConfig().m_strInstallFolder);
    EXPECT_EQ(L"", EditText());
    ::RemoveDirectoryW(temp.File(L"Apps").c_str());
}

// Finds the folder browser's dialog of a thread, notes whether one of its texts is the title
// asked for, and cancels it.
struct BrowserWatch
{
    DWORD threadId = 0;
    std::wstring title;
    std::atomic<bool> seen{false};
    std::atomic<bool> titleShown{false};
    std::atomic<bool> stop{false};

    static BOOL CALLBACK FindChildText(HWND child, LPARAM self)
    {
        auto* watch = reinterpret_cast<BrowserWatch*>(self);
        wchar_t text[256] = {};
        ::GetWindowTextW(child, text, 256);
        if (watch->title == text)
            watch->titleShown = true;
        return TRUE;
    }
    static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM self)
    {
        auto* watch = reinterpret_cast<BrowserWatch*>(self);
        wchar_t name[16] = {};
        if (::IsWindowVisible(hwnd) && ::GetClassNameW(hwnd, name, 16) &&
            lstrcmpW(name, L"#32770") == 0) {
            watch->seen = true;
            ::EnumChildWindows(hwnd, &FindChildText, self);
            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return TRUE;
    }
    void Run()
    {
        DWORD start = ::GetTickCount();
        while (!stop && !seen && ::GetTickCount() - start < 15000) {
            ::EnumThreadWindows(threadId, &FindDialog, reinterpret_cast<LPARAM>(this));
            ::Sleep(50);
        }
    }
};

TEST_F(SettingPanelTest, RealFolderBrowserOpensWithTheTitleAndCancelChangesNothing)
{
    CSettingPanel::SetFolderBrowserForTesting(nullptr); // the shell's own browser
    TempFolder temp;
    Open();
    SetEditText(temp.File(L"Missing\\"));
    BrowserWatch watch;
    watch.threadId = ::GetCurrentThreadId();
    watch.title = L"Browse to the destination folder.";
    std::thread watcher([&watch] { watch.Run(); });
    Click(panel.BrowseButton());
    watch.stop = true;
    watcher.join();
    EXPECT_TRUE(watch.seen);
    EXPECT_TRUE(watch.titleShown);
    EXPECT_EQ(L"C:\\Program Files\\Pel Systems", TheInstallConfig().m_strInstallFolder);
    EXPECT_EQ(temp.File(L"Missing\\"), EditText());
}

// Records the messages the folder browser's callback sends its dialog.
struct CallbackRecorder : public CWnd
{
    std::vector<std::pair<UINT, LPARAM>> sent;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == BFFM_SETSELECTIONW)
            sent.push_back({msg, wParam && lParam ? 1 : 0});
        if (msg == BFFM_ENABLEOK)
            sent.push_back({msg, lParam});
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(SettingPanelTest, BrowseCallbackSelectsTheStartAndEnablesOkForFolders)
{
    ASSERT_TRUE(host.Create());
    CallbackRecorder recorder;
    ASSERT_TRUE(recorder.CreateEx(0, CControlHost::kClassName, L"", WS_CHILD, 0, 0, 10, 10,
                                  host.m_hWnd, nullptr));
    const wchar_t start[] = L"C:\\";
    CSettingPanel::BrowseCallback(recorder.m_hWnd, BFFM_INITIALIZED, 0, 0);
    EXPECT_TRUE(recorder.sent.empty()); // no start folder: nothing selected
    CSettingPanel::BrowseCallback(recorder.m_hWnd, BFFM_INITIALIZED, 0,
                                  reinterpret_cast<LPARAM>(start));
    ASSERT_EQ(1u, recorder.sent.size());
    EXPECT_EQ(static_cast<UINT>(BFFM_SETSELECTIONW), recorder.sent[0].first);

    TempFolder temp;
    PIDLIST_ABSOLUTE folder = ::ILCreateFromPathW(temp.Path().c_str());
    ASSERT_NE(nullptr, folder);
    CSettingPanel::BrowseCallback(recorder.m_hWnd, BFFM_SELCHANGED,
                                  reinterpret_cast<LPARAM>(folder), 0);
    ::ILFree(folder);
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    CSettingPanel::BrowseCallback(recorder.m_hWnd, BFFM_SELCHANGED,
                                  reinterpret_cast<LPARAM>(computer), 0);
    ::ILFree(computer);
    ASSERT_EQ(3u, recorder.sent.size());
    EXPECT_EQ(static_cast<UINT>(BFFM_ENABLEOK), recorder.sent[1].first);
    EXPECT_EQ(TRUE, recorder.sent[1].second);  // a file-system folder
    EXPECT_EQ(FALSE, recorder.sent[2].second); // "My Computer" has no path
    recorder.DestroyWindow();
}

// ---------------------------------------------------------------------------------------
// Language, texts and layout

TEST_F(SettingPanelTest, LanguageListSelectsTheCurrentLanguage)
{
    TheInstallConfig().m_languages.push_back({L"Deutsch again", 1031});
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1031;
    Open();
    ASSERT_EQ(4, panel.LanguageCombo().GetCount());
    EXPECT_EQ(L"Japanese", panel.LanguageCombo().GetLBText(2));
    EXPECT_EQ(3, panel.LanguageCombo().GetCurSel()); // the last entry with the id
    EXPECT_EQ(24, ::SendMessageW(panel.LanguageCombo(), CB_GETITEMHEIGHT, 0, 0));
    // The selection field: Windows answers the height set; Wine's combo box answers it plus
    // the 2 pixels of padding it adds to its edit area.
    const LRESULT field = ::SendMessageW(panel.LanguageCombo(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(UnderWine() ? 26 : 24, field);
}

TEST_F(SettingPanelTest, LanguageChangeRewritesTextsAndPutsTheLinkFirstWhereTheSentenceSaysSo)
{
    Open();
    EXPECT_EQ(L"I accept the", panel.LicenseText().GetText());
    EXPECT_EQ(L"Install", panel.InstallButton().GetButtonText());
    RECT text = RectInPanel(panel.LicenseText());
    RECT link = RectInPanel(panel.LicenseLink());
    RECT box = RectInPanel(panel.LicenseCheck());
    EXPECT_LT(box.right, text.left);
    EXPECT_LT(text.right, link.left);

    panel.LanguageCombo().SetCurSel(2);
    Command(IDC_LANGUAGE_COMBO, CBN_SELENDOK);
    const CUIStrings& strings = TheInstallConfig().m_uiStrings;
    EXPECT_EQ(1041, strings.m_nLanguageId);
    const std::wstring japaneseTerms = strings.GetUIString(IDS_ACCEPT_LICENSE_TERMS);
    ASSERT_NE(L"I accept the", japaneseTerms); // the sample file was read
    EXPECT_EQ(japaneseTerms, panel.LicenseText().GetText());
    EXPECT_EQ(strings.GetUIString(IDS_LINK_LICENSE_TERMS), panel.LicenseLink().GetText());
    EXPECT_EQ(strings.GetUIString(IDS_INSTALL_SETTINGS), panel.SettingsHeading().GetText());
    EXPECT_EQ(strings.GetUIString(IDS_SELECT_LANG), panel.LanguageLabel().GetText());
    EXPECT_EQ(strings.GetUIString(IDS_INSTALL_FOLDER), panel.FolderLabel().GetText());
    EXPECT_EQ(strings.GetUIString(IDS_INSTALL), panel.InstallButton().GetButtonText());
    text = RectInPanel(panel.LicenseText());
    link = RectInPanel(panel.LicenseLink());
    box = RectInPanel(panel.LicenseCheck());
    EXPECT_LT(box.right, link.left);
    EXPECT_LT(link.right, text.left);

    // Back to English, chosen in the closed box (arrow keys, the wheel), which reports a
    // change of the selection: text first again.
    panel.LanguageCombo().SetCurSel(0);
    Command(IDC_LANGUAGE_COMBO, CBN_SELCHANGE);
    EXPECT_EQ(1033, strings.m_nLanguageId);
    EXPECT_LT(RectInPanel(panel.LicenseText()).right, RectInPanel(panel.LicenseLink()).left);

    // No selection changes nothing.
    panel.LanguageCombo().SetCurSel(-1);
    Command(IDC_LANGUAGE_COMBO, CBN_SELENDOK);
    EXPECT_EQ(1033, strings.m_nLanguageId);
}

TEST_F(SettingPanelTest, LayoutFollowsTheRows)
{
    Open();
    RECT client{};
    panel.GetClientRect(&client);
    RECT install = RectInPanel(panel.InstallButton());
    EXPECT_EQ(300, install.right - install.left);
    EXPECT_EQ(34, install.bottom - install.top);
    EXPECT_EQ((client.right - 300) / 2, install.left);
    EXPECT_EQ(174, install.top);

    RECT box = RectInPanel(panel.LicenseCheck());
    RECT text = RectInPanel(panel.LicenseText());
    RECT link = RectInPanel(panel.LicenseLink());
    EXPECT_EQ(install.bottom + 16, box.top);
    EXPECT_EQ(16, box.right - box.left);
    EXPECT_EQ(box.right + 4, text.left);
    EXPECT_EQ(box.top - 1, text.top);
    EXPECT_EQ(text.right + 4, link.left);
    EXPECT_EQ(client.right, link.right);
    // The group is centred by the measured widths of both labels.
    SIZE textSize{138, 16};
    panel.MeasureText(L"I accept the", TextFont(), &textSize);
    SIZE linkSize{138, 16};
    panel.MeasureText(L"License Terms", LinkFont(), &linkSize);
    EXPECT_EQ(textSize.cx, text.right - text.left);
    EXPECT_EQ((client.right - linkSize.cx - textSize.cx - 4 - 16) / 2, box.left);

    RECT toggle = RectInPanel(panel.SettingsToggle());
    RECT heading = RectInPanel(panel.SettingsHeading());
    EXPECT_EQ(toggle.left - 4, heading.right);
    EXPECT_EQ(0, heading.left);
    EXPECT_EQ(toggle.top, heading.top);
    const int rowBottom = std::max({box.bottom, text.bottom, link.bottom});
    EXPECT_EQ(rowBottom + 28, toggle.top);
    EXPECT_EQ(toggle.bottom + 15, panel.SeparatorPoint().y);
    EXPECT_EQ(0, panel.SeparatorPoint().x);

    RECT language = RectInPanel(panel.LanguageLabel());
    RECT folderEdit = RectInPanel(panel.FolderEdit());
    RECT browse = RectInPanel(panel.BrowseButton());
    RECT folderLabel = RectInPanel(panel.FolderLabel());
    EXPECT_EQ(68, language.left);
    EXPECT_EQ(toggle.bottom + 38, language.top);
    const int rowHeight = language.bottom - language.top;
    EXPECT_EQ(language.top + rowHeight + 14, folderEdit.top);
    EXPECT_EQ(language.right + 4, folderEdit.left);
    EXPECT_EQ(client.right - 68 - 24, folderEdit.right);
    EXPECT_EQ(folderEdit.right, browse.left);
    EXPECT_EQ(client.right - 68, browse.right);
    EXPECT_EQ(folderEdit.left - 4, folderLabel.right);
    EXPECT_EQ(folderEdit.top, folderLabel.top);
}

TEST_F(SettingPanelTest, PaintsIconNameAndSeparator)
{
    Open();
    ::RedrawWindow(panel.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(50);
    CapturedImage image = CaptureClient(panel.m_hWnd);
    ASSERT_FALSE(image.Empty());
    const COLORREF background = Palette().WindowBackground;
    const int width = image.Width();
    // Icon: 64 x 64 centred, 48 from the top.
    RECT iconArea{(width - 64) / 2, 48, (width - 64) / 2 + 64, 48 + 64};
    EXPECT_GT(64 * 64 - image.CountColour(iconArea, background), 64 * 64 / 4);
    // Name: below the icon, centred.
    RECT nameBand{0, 48 + 64, width, 174};
    RECT name = BoxOfOtherPixels(image, nameBand, background);
    ASSERT_LT(name.left, name.right);
    EXPECT_NEAR(width / 2, (name.left + name.right) / 2, 3);
    // Separator: from the left edge to the right edge in 0x282828.
    POINT separator = panel.SeparatorPoint();
    EXPECT_EQ(RGB(40, 40, 40), image.Pixel(separator.x + 2, separator.y));
    EXPECT_EQ(RGB(40, 40, 40), image.Pixel(width - 2, separator.y));

    // Without a full name nothing is written there.
    TheInstallConfig().m_manifest.fullName.clear();
    ::RedrawWindow(panel.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump(50);
    image = CaptureClient(panel.m_hWnd);
    RECT empty = BoxOfOtherPixels(image, nameBand, background);
    EXPECT_EQ(empty.left, empty.right);
}

TEST_F(SettingPanelTest, PicturesAndLengthsFollowTheScreenAt144Dpi)
{
    // Every test's fixture makes the fonts again at 96 dpi, so these larger ones stay here.
    SetScreenDpiForTesting(144, 144);
    CreateSharedFonts();
    Open();
    EXPECT_EQ(Picture(IDB_CHECK_TICKED_100)->Bitmap(), panel.LicenseCheck().GetImageBitmap());
    EXPECT_EQ(LoadPngResource(IDB_CHECK_TICKED_150, InstallerModule())->Bitmap(),
              panel.LicenseCheck().GetImageBitmap());
    EXPECT_EQ(LoadPngResource(IDB_TOGGLE_UNFOLDED_150, InstallerModule())->Bitmap(),
              panel.SettingsToggle().GetImageBitmap());
    RECT install = RectInPanel(panel.InstallButton());
    EXPECT_EQ(450, install.right - install.left);
    EXPECT_EQ(51, install.bottom - install.top);
    EXPECT_EQ(261, install.top);
    RECT box = RectInPanel(panel.LicenseCheck());
    EXPECT_EQ(24, box.right - box.left);
    EXPECT_EQ(install.bottom + 24, box.top);
    EXPECT_EQ(36, ::SendMessageW(panel.LanguageCombo(), CB_GETITEMHEIGHT, 0, 0));
    const SIZE unfolded = panel.GetPanelSize();
    Command(IDC_SETTINGS_TOGGLE, BN_CLICKED);
    EXPECT_EQ(unfolded.cy - 180, panel.GetPanelSize().cy);
}

// ---------------------------------------------------------------------------------------
// Fold toggle, link, close

TEST_F(SettingPanelTest, FoldingMakesThePanelLowerAndSwapsTheArrow)
{
    Open();
    const SIZE unfolded = panel.GetPanelSize();
    EXPECT_EQ(Picture(IDB_TOGGLE_UNFOLDED_100)->Bitmap(), panel.SettingsToggle().GetImageBitmap());
    Click(panel.SettingsToggle());
    EXPECT_TRUE(panel.IsSettingsFolded());
    EXPECT_EQ(1, host.fits);
    EXPECT_EQ(unfolded.cy - DpiScaleY(120), panel.GetPanelSize().cy);
    EXPECT_EQ(unfolded.cx, panel.GetPanelSize().cx);
    RECT window{};
    host.GetWindowRect(&window);
    EXPECT_EQ(unfolded.cy - DpiScaleY(120), window.bottom - window.top);
    EXPECT_EQ(Picture(IDB_TOGGLE_FOLDED_100)->Bitmap(), panel.SettingsToggle().GetImageBitmap());

    // The heading does the same as the toggle.
    Click(panel.SettingsHeading());
    EXPECT_FALSE(panel.IsSettingsFolded());
    EXPECT_EQ(2, host.fits);
    EXPECT_EQ(unfolded.cy, panel.GetPanelSize().cy);
    EXPECT_EQ(Picture(IDB_TOGGLE_UNFOLDED_100)->Bitmap(), panel.SettingsToggle().GetImageBitmap());
}

TEST_F(SettingPanelTest, LicenseLinkOpensTheTermsAddress)
{
    Open();
    Click(panel.LicenseLink());
    ASSERT_EQ(1u, g_openedUrls.size());
    EXPECT_EQ(L"https://www.pel-systems.com/varo-pro/7/license-terms", g_openedUrls[0]);
}

TEST_F(SettingPanelTest, CloseAsksAndYesCancelsTheRun)
{
    Open();
    {
        CBoxWatcher no(kShortName, {IDNO});
        EXPECT_FALSE(panel.CanClose());
        no.Stop();
        ASSERT_EQ(1, no.Count());
        EXPECT_EQ(L"Are you sure you want to cancel the installing process?", no.Box(0).text);
        EXPECT_FALSE(IsRunOutcomeReported());
    }
    CBoxWatcher yes(kShortName, {IDYES});
    EXPECT_TRUE(panel.CanClose());
    yes.Stop();
    EXPECT_EQ(1, yes.Count());
    EXPECT_TRUE(IsRunOutcomeReported());
    EXPECT_EQ(1602u, GetRunOutcome());
}

// ---------------------------------------------------------------------------------------
// In the real main dialog

// The main dialog's window as an in-memory template of the default dialog class (this test
// program has not registered the installer's own window class).
class CMainTemplate
{
public:
    CMainTemplate()
    {
        Dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN);
        Dword(0);
        Word(0);                                // no controls
        Word(0), Word(0), Word(260), Word(90);
        Word(0), Word(0);                       // no menu, default class
        for (const wchar_t* c = L"Installer"; ; ++c) {
            Word(*c);
            if (!*c)
                break;
        }
        Word(8);
        for (const wchar_t* c = L"MS Shell Dlg"; ; ++c) {
            Word(*c);
            if (!*c)
                break;
        }
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    std::vector<WORD> m_words;
};

// The main dialog with the real settings panel and plain status and success panels (nothing
// starts working); *settings names the settings panel once it is made.
void SetUpWithTheSettingsPanel(CInstallGuide& guide, const CMainTemplate& main,
                               CSettingPanel** settings)
{
    guide.InitModalIndirect(main.Get());
    guide.SetImageModule(InstallerModule());
    guide.SetIconModule(InstallerModule());
    guide.SetPanelFactory([settings](int index) -> std::shared_ptr<CGuidePanel> {
        std::shared_ptr<CGuidePanel> made;
        if (index == PANEL_SETTINGS) {
            auto panel = std::make_shared<CSettingPanel>();
            *settings = panel.get();
            made = panel;
        } else {
            made = std::make_shared<CGuidePanel>(index == PANEL_STATUS ? IDD_STATUS_PANEL
                                                                       : IDD_SUCCESS_PANEL);
        }
        made->SetResourceInstance(InstallerModule());
        made->SetImageModule(InstallerModule());
        return made;
    });
}

TEST_F(SettingPanelTest, InTheMainDialogFoldingResizesItAndInstallShowsTheStatusPanel)
{
    CMainTemplate main;
    CInstallGuide guide{PanelRunFlags()};
    CSettingPanel* settings = nullptr;
    SetUpWithTheSettingsPanel(guide, main, &settings);
    ASSERT_TRUE(guide.Create(nullptr));
    guide.ShowWindow(SW_SHOW);
    PumpPreTranslated(guide.m_hWnd, 50);
    ASSERT_NE(nullptr, settings);
    ASSERT_EQ(PANEL_SETTINGS, guide.CurrentPanel());

    RECT before{};
    guide.GetWindowRect(&before);
    EXPECT_EQ(settings->GetPanelSize().cy, before.bottom - before.top);
    Click(settings->SettingsToggle());
    PumpPreTranslated(guide.m_hWnd, 50);
    RECT folded{};
    guide.GetWindowRect(&folded);
    EXPECT_TRUE(settings->IsSettingsFolded());
    EXPECT_EQ((before.bottom - before.top) - DpiScaleY(120), folded.bottom - folded.top);
    EXPECT_EQ(before.top, folded.top);

    ::SetWindowTextW(settings->FolderEdit(), L"C:\\");
    Click(settings->InstallButton());
    PumpPreTranslated(guide.m_hWnd, 50);
    EXPECT_EQ(PANEL_STATUS, guide.CurrentPanel());
    EXPECT_FALSE(settings->IsWindowVisible());
    EXPECT_EQ(L"C:", TheInstallConfig().m_strInstallFolder);
    guide.DestroyWindow();
    PumpMessages(10);
}


// The keys alone, through the main dialog's own modal loop: the Tab order (a disabled Install
// left out), the focus cue only once the keyboard is used, Space, Enter on the link and as the
// default button, Esc as the close request.
TEST_F(SettingPanelTest, KeyboardAloneInTheMainDialog)
{
    SetListedCountryForTesting(1); // the licence starts unaccepted: Install is disabled
    TheInstallConfig().m_strInstallFolder = L"C:\\";
    CMainTemplate main;
    CInstallGuide guide{PanelRunFlags()};
    CSettingPanel* settings = nullptr;
    SetUpWithTheSettingsPanel(guide, main, &settings);

    // The control the focus is on, by id (the language box's edit field counts as the box).
    auto focused = [&]() -> int {
        HWND focus = ::GetFocus();
        if (focus && settings && ::GetParent(focus) == settings->LanguageCombo().m_hWnd)
            focus = ::GetParent(focus);
        return focus ? ::GetDlgCtrlID(focus) : 0;
    };
    auto press = [](WPARAM key) {
        HWND focus = ::GetFocus();
        ::PostMessageW(focus, WM_KEYDOWN, key, 1);
        ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    };
    auto shift = [](bool down) {
        BYTE state[256];
        ::GetKeyboardState(state);
        state[VK_SHIFT] = state[VK_LSHIFT] = down ? 0x80 : 0;
        ::SetKeyboardState(state);
    };
    auto cornerOf = [](HWND control) { return CaptureClient(control).Pixel(0, 0); };
    const COLORREF cue = Palette().FocusCue;

    CBoxWatcher watcher(kShortName, {IDNO});
    CModalScript script;
    script.WaitWhile([&] { return MessageBoxOpen(guide.m_hWnd); });
    int first = 0;
    COLORREF cornerBefore = 0;
    std::vector<int> order;
    COLORREF cornerAfter = 0;
    bool installEnabledBySpace = false;
    int afterShiftTab = 0;
    size_t urlsAfterEnter = 0;
    int panelAfterDisabledEnter = -1;
    int panelAfterEsc = -1;
    int panelAfterEnter = -1;
    std::vector<std::function<void()>> steps = {
        [&] {
            ::SetForegroundWindow(guide.m_hWnd);
            first = focused();
            cornerBefore = cornerOf(settings->LicenseCheck());
            press(VK_RETURN); // the default button is disabled: nothing happens
            press(VK_TAB);
        },
    };
    for (int i = 0; i < 5; ++i)
        steps.push_back([&] {
            order.push_back(focused());
            press(VK_TAB);
        });
    steps.push_back([&] {
        order.push_back(focused()); // round again at the check box
        panelAfterDisabledEnter = guide.CurrentPanel();
        cornerAfter = cornerOf(settings->LicenseCheck());
        press(VK_SPACE);
    });
    steps.push_back([&] {
        installEnabledBySpace = settings->IsLicenseAccepted() &&
                                settings->InstallButton().IsWindowEnabled();
        shift(true);
        press(VK_TAB);
    });
    steps.push_back([&] {
        shift(false);
        afterShiftTab = focused(); // Install, now enabled, is back in the order
        press(VK_TAB);
        press(VK_TAB);
    });
    steps.push_back([&] { press(VK_RETURN); }); // on the link
    steps.push_back([&] {
        urlsAfterEnter = g_openedUrls.size();
        press(VK_ESCAPE); // the question comes; No keeps the window
    });
    steps.push_back([&] {
        panelAfterEsc = guide.CurrentPanel();
        shift(true);
        press(VK_TAB); // back to the check box: Enter there presses the default button
    });
    steps.push_back([&] {
        shift(false);
        press(VK_RETURN);
    });
    steps.push_back([&] {
        panelAfterEnter = guide.CurrentPanel();
        guide.PostMessage(WM_CLOSE);
    });
    script.Run(guide, steps);
    watcher.Stop();
    ASSERT_NE(nullptr, settings);
    EXPECT_FALSE(script.TimedOut());

    EXPECT_EQ(IDC_LICENSE_CHECK, first);
    EXPECT_NE(cue, cornerBefore) << "a focus cue before any key";
    EXPECT_EQ((std::vector<int>{IDC_LICENSE_LINK, IDC_SETTINGS_TOGGLE, IDC_LANGUAGE_COMBO,
                                IDC_FOLDER_EDIT, IDC_BROWSE_BUTTON, IDC_LICENSE_CHECK}),
              order);
    EXPECT_EQ(PANEL_SETTINGS, panelAfterDisabledEnter);
    EXPECT_EQ(cue, cornerAfter);
    EXPECT_TRUE(installEnabledBySpace);
    EXPECT_EQ(IDC_INSTALL_BUTTON, afterShiftTab);
    ASSERT_EQ(1u, urlsAfterEnter);
    EXPECT_EQ(L"https://www.pel-systems.com/varo-pro/7/license-terms", g_openedUrls[0]);
    ASSERT_EQ(1, watcher.Count());
    EXPECT_EQ(L"Are you sure you want to cancel the installing process?", watcher.Box(0).text);
    EXPECT_EQ(PANEL_SETTINGS, panelAfterEsc);
    EXPECT_EQ(PANEL_STATUS, panelAfterEnter);
    EXPECT_EQ(L"C:", TheInstallConfig().m_strInstallFolder);
}

} // namespace
