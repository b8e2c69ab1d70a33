// The self-validation dialog in this process: its look while the task runs, how it ends,
// silent hiding, and the message boxes of the start decisions, answered like a user would.
#include "app/ClientValidator.h"

#include "config/InstallConfig.h"
#include "engine/HttpTransfer.h"
#include "engine/RunOutcome.h"

#include "CaptureTestSupport.h"
#include "InstallConfigTestSupport.h"
#include "TestServer.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using install_config_test::ScratchKey;
using testing_support::CTestServer;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using testing_support::InstallerExePath;
using testing_support::RecordArgsExePath;

namespace {

constexpr UINT kInspect = WM_APP + 1;

// The installer's resources hold the dialog template and the caption images.
HMODULE Installer()
{
    static CModuleHandle module(::LoadLibraryExW(
        InstallerExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

// What the dialog looked like once its modal run had shown it.
struct Seen
{
    bool inspected = false;
    bool visible = false;
    std::wstring text;
    RECT client = {};
    RECT bar = {};          // client coordinates
    LONG_PTR barStyle = 0;
    LONG_PTR exStyle = 0;
    bool titleVisible = false;
    std::vector<bool> disabled;
    bool closeIgnored = false; // still running after WM_CLOSE, Escape and Enter
    bool destroyedAfterTask = false;
};

std::vector<std::wstring> g_launched;
bool RecordLaunch(const std::wstring& path)
{
    g_launched.push_back(path);
    return true;
}

class CTestValidator : public CClientValidator
{
public:
    explicit CTestValidator(CInstallConfig& config)
    {
        SetResourceInstance(Installer());
        SetImageModule(Installer());
        SetInstallConfig(&config);
        SetLaunchFunction(&RecordLaunch);
    }

    Seen seen;
    bool tryToClose = false;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_INITDIALOG) {
            LRESULT result = CClientValidator::WindowProc(msg, wParam, lParam);
            // Handled in the modal loop, after the run has shown the dialog.
            ::PostMessageW(m_hWnd, kInspect, 0, 0);
            return result;
        }
        if (msg == kInspect)
            Inspect();
        if (msg == WM_DESTROY)
            seen.destroyedAfterTask = IsTaskDone();
        return CClientValidator::WindowProc(msg, wParam, lParam);
    }

private:
    void Inspect()
    {
        seen.inspected = true;
        seen.visible = ::IsWindowVisible(m_hWnd) != FALSE;
        wchar_t text[64] = {};
        ::GetWindowTextW(m_hWnd, text, 64);
        seen.text = text;
        ::GetClientRect(m_hWnd, &seen.client);
        ::GetWindowRect(ProgressBar(), &seen.bar);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&seen.bar), 2);
        seen.barStyle = ::GetWindowLongPtrW(ProgressBar(), GWL_STYLE);
        seen.exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
        seen.titleVisible = IsTitleVisible();
        for (const CaptionButton& button : CaptionButtons())
            seen.disabled.push_back(button.disabled);
        if (tryToClose) {
            ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
            ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            testing_support::PumpMessages(50);
            seen.closeIgnored = ::IsWindow(m_hWnd) && !IsTaskDone();
        }
    }
};

// Answers the first message box captioned `caption` (from another thread, as the task shows
// it), after noting what it said and how its owner stood.
class CBoxAnswerer
{
public:
    CBoxAnswerer(std::wstring caption, int answer)
        : m_caption(std::move(caption)), m_answer(answer), m_thread([this] { Watch(); })
    {
    }
    ~CBoxAnswerer() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    bool found = false;
    std::vector<std::wstring> texts;
    HWND owner = nullptr;
    bool ownerVisible = true;

private:
    void Watch()
    {
        const DWORD start = ::GetTickCount();
        while (!m_stop && ::GetTickCount() - start < 20000) {
            HWND box = ::FindWindowW(L"#32770", m_caption.c_str());
            if (box && ::IsWindowVisible(box)) {
                owner = ::GetWindow(box, GW_OWNER);
                ownerVisible = owner && ::IsWindowVisible(owner);
                for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                    wchar_t text[512] = {};
                    ::GetWindowTextW(c, text, 512);
                    if (text[0])
                        texts.push_back(text);
                }
                found = true;
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(m_answer, BN_CLICKED), 0);
                return;
            }
            ::Sleep(10);
        }
    }

    std::wstring m_caption;
    int m_answer;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text)
{
    for (const std::wstring& t : texts)
        if (t == text)
            return true;
    return false;
}

class ClientValidatorDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, Installer());
        g_launched.clear();
        ManifestInfo& m = m_config.m_manifest;
        m.fullName = L"VARO Pro";
        m.shortName = L"VARO";
        m.webInstallerVersion = L"7.0.0.10";
        m.standaloneVersion = L"7.0.0.1";
        m.registry = m_productKey.Path();
        m_config.BindProductInstalledFlag(&m_installed);
    }

    // Standalone, not installed: decision 0 without any network access.
    void GoOnWithoutNetwork() { m_config.m_manifest.standalone = 1; }

    // Standalone, installed in the offered version: decision 1.
    void InstalledInTheOfferedVersion()
    {
        m_config.m_manifest.standalone = 1;
        m_installed = 1;
        m_config.m_installedProduct.productName = L"VARO Pro";
        m_config.m_installedProduct.version = L"7.0.0.1";
    }

    CInstallConfig m_config;
    int m_installed = 0;
    ScratchKey m_productKey{HKEY_LOCAL_MACHINE, L"Validator"};
};

TEST_F(ClientValidatorDialog, ShowsACentredMarqueeUnderPreparingAndEndsByItself)
{
    GoOnWithoutNetwork();
    CTestValidator dialog(m_config);
    EXPECT_EQ(ContinueInstall, dialog.Run());
    EXPECT_EQ(0, dialog.GetDecision());
    const Seen& seen = dialog.seen;
    ASSERT_TRUE(seen.inspected);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(L"Preparing...", seen.text);
    EXPECT_EQ(L"Preparing...", dialog.GetTitle());
    EXPECT_TRUE(seen.titleVisible);
    EXPECT_EQ((std::vector<bool>{true, true, false, true}), seen.disabled);
    EXPECT_NE(0, seen.barStyle & PBS_MARQUEE);
    // Centred: equal space left and right, above and below (one pixel for odd remainders).
    const int left = seen.bar.left - seen.client.left, right = seen.client.right - seen.bar.right;
    const int top = seen.bar.top - seen.client.top, bottom = seen.client.bottom - seen.bar.bottom;
    EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
    EXPECT_LE(std::abs(top - bottom), 1) << top << " " << bottom;
    EXPECT_GT(seen.bar.right - seen.bar.left, 0);
}

TEST_F(ClientValidatorDialog, OwnTitleIsKept)
{
    GoOnWithoutNetwork();
    CTestValidator dialog(m_config);
    dialog.SetTitle(L"Checking");
    dialog.Run();
    EXPECT_EQ(L"Checking", dialog.seen.text);
}

TEST_F(ClientValidatorDialog, CloseEscapeAndEnterDoNotEndItBeforeTheTask)
{
    GoOnWithoutNetwork();
    CTestValidator dialog(m_config);
    dialog.SetStartDelay(600);
    dialog.tryToClose = true;
    EXPECT_EQ(ContinueInstall, dialog.Run());
    EXPECT_TRUE(dialog.seen.closeIgnored);
    EXPECT_TRUE(dialog.seen.destroyedAfterTask);
}

TEST_F(ClientValidatorDialog, SilentRunStaysHiddenAsAToolWindow)
{
    GoOnWithoutNetwork();
    CTestValidator dialog(m_config);
    dialog.SetSilent(true);
    EXPECT_EQ(ContinueInstall, dialog.Run());
    ASSERT_TRUE(dialog.seen.inspected);
    EXPECT_FALSE(dialog.seen.visible);
    EXPECT_NE(0, dialog.seen.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(0, dialog.seen.exStyle & WS_EX_APPWINDOW);
}

TEST_F(ClientValidatorDialog, NoVersionDocumentReportsTheServerAndStops)
{
    m_config.m_manifest.versionCheckUrl.clear(); // a web build that cannot ask
    CTestValidator dialog(m_config);
    CBoxAnswerer box(L"VARO", IDOK);
    EXPECT_EQ(StopInstall, dialog.Run());
    box.Stop();
    EXPECT_EQ(kDecisionVersionDocumentUnavailable, dialog.GetDecision());
    ASSERT_TRUE(box.found);
    EXPECT_TRUE(Contains(box.texts, IDS_ERR_CONNECT_DOWNLOAD_SERVER.defaultText));
    EXPECT_NE(nullptr, box.owner);
    EXPECT_FALSE(box.ownerVisible); // hidden before the box
    EXPECT_TRUE(dialog.seen.destroyedAfterTask);
}

TEST_F(ClientValidatorDialog, InstalledProductIsOfferedAndLaunchedOnYes)
{
    InstalledInTheOfferedVersion();
    const std::wstring exe = RecordArgsExePath();
    ASSERT_TRUE(m_productKey.SetString(L"", L"exe", exe));
    CTestValidator dialog(m_config);
    CBoxAnswerer box(L"VARO", IDYES);
    EXPECT_EQ(StopInstall, dialog.Run());
    box.Stop();
    EXPECT_EQ(1, dialog.GetDecision());
    ASSERT_TRUE(box.found);
    EXPECT_TRUE(Contains(box.texts, L"VARO is already installed. Would you like to launch it?"));
    EXPECT_EQ(std::vector<std::wstring>{exe}, g_launched);
}

TEST_F(ClientValidatorDialog, InstalledProductIsNotLaunchedOnNo)
{
    InstalledInTheOfferedVersion();
    ASSERT_TRUE(m_productKey.SetString(L"", L"exe", RecordArgsExePath()));
    CTestValidator dialog(m_config);
    CBoxAnswerer box(L"VARO", IDNO);
    EXPECT_EQ(StopInstall, dialog.Run());
    box.Stop();
    ASSERT_TRUE(box.found);
    EXPECT_TRUE(g_launched.empty());
}

TEST_F(ClientValidatorDialog, OtherProductUnderTheCodeIsReported)
{
    InstalledInTheOfferedVersion();
    m_config.m_installedProduct.productName = L"Some Other Product";
    CTestValidator dialog(m_config);
    CBoxAnswerer box(L"VARO", IDOK);
    EXPECT_EQ(StopInstall, dialog.Run());
    box.Stop();
    EXPECT_EQ(6, dialog.GetDecision());
    ASSERT_TRUE(box.found);
    EXPECT_TRUE(Contains(box.texts, IDS_ERR_INSTALLED_ANOTHER_VERSION.defaultText));
}

// A web build whose version document says this installer (7.0.0.10) is too old and names
// `successor` on the test server as the current one.
class ClientValidatorTooOld : public ClientValidatorDialog
{
protected:
    void SetUp() override
    {
        ClientValidatorDialog::SetUp();
        EnsureInternetRoot();
        ASSERT_TRUE(m_server.Start(m_site.Path()));
        ASSERT_TRUE(WriteFileBytes(m_site.File(L"current.exe"), "MZ current installer"));
        const std::wstring url = m_server.Url(L"/current.exe");
        ASSERT_TRUE(WriteFileBytes(
            m_site.File(L"version.xml"),
            "<pelwebinstaller><fresh_install><product_version>7.0.0.1</product_version>"
            "<min_web_installer_version>7.0.0.20</min_web_installer_version>"
            "<web_installer_download_url>" + std::string(url.begin(), url.end()) +
                "</web_installer_download_url></fresh_install></pelwebinstaller>"));
        m_config.m_manifest.versionCheckUrl = m_server.Url(L"/version.xml");
        m_config.m_strComponentFolder = m_downloads.Path() + L"\\";
    }

    TempFolder m_site;
    TempFolder m_downloads;
    CTestServer m_server;
};

TEST_F(ClientValidatorTooOld, DownloadedSuccessorEndsTheRunQuietly)
{
    CTestValidator dialog(m_config);
    CBoxAnswerer box(L"VARO", IDOK);
    EXPECT_EQ(RunNewInstaller, dialog.Run());
    box.Stop();
    EXPECT_FALSE(box.found);
    EXPECT_EQ(2, dialog.GetDecision());
    EXPECT_NE(0u, dialog.GetDownloadResult());
    const std::wstring path = dialog.GetNewInstallerPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str()));
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
}

TEST_F(ClientValidatorTooOld, FailedSuccessorDownloadGoesOnWithThisInstaller)
{
    ASSERT_TRUE(m_server.SetFault(L"/current.exe", L"status=404"));
    CTestValidator dialog(m_config);
    dialog.SetNewInstallerPath(L"C:\\stale.exe");
    CBoxAnswerer box(L"VARO", IDOK);
    EXPECT_EQ(ContinueInstall, dialog.Run());
    box.Stop();
    EXPECT_FALSE(box.found);
    EXPECT_EQ(2, dialog.GetDecision());
    EXPECT_EQ(0u, dialog.GetDownloadResult());
    EXPECT_EQ(L"", dialog.GetNewInstallerPath());
}

TEST(ValidationOutcome, ExitCodesOfTheResults)
{
    DWORD code = 12345;
    EXPECT_FALSE(ValidationRunOutcome(ContinueInstall, 0, &code));
    EXPECT_FALSE(ValidationRunOutcome(ContinueInstall, 2, &code)); // a failed successor download
    EXPECT_EQ(12345u, code);
    ASSERT_TRUE(ValidationRunOutcome(StopInstall, 1, &code));
    EXPECT_EQ(0u, code);
    for (int decision : {4, 6, -1}) {
        ASSERT_TRUE(ValidationRunOutcome(StopInstall, decision, &code));
        EXPECT_EQ(1603u, code) << decision;
    }
    ASSERT_TRUE(ValidationRunOutcome(RunNewInstaller, 2, &code));
    EXPECT_EQ(0u, code);
}

} // namespace
