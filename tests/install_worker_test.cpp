// The install worker end to end: a demo site on the test server, a manifest
// loaded from a temporary installer folder, real downloads, real setup
// programs and a real Windows Installer package, and the worker's message
// boxes found and answered like a user would.
#include "engine/InstallWorker.h"

#include "config/InstallConfig.h"
#include "config/ProductInfo.h"
#include "config/RegistryKey.h"
#include "engine/InstallStatus.h"
#include "engine/MsiService.h"
#include "engine/PackageInstaller.h"
#include "engine/Prerequisites.h"
#include "engine/Sha256.h"

#include "InstallConfigTestSupport.h"
#include "PayloadTestSupport.h"
#include "TestServer.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using install_config_test::InstallerFolder;
using payload_test::CreatedKeyRemover;
using payload_test::kProductKey;
using payload_test::MakeDemoSite;
using testing_support::CTestServer;
using testing_support::FileNamesIn;
using testing_support::TempFolder;
using testing_support::WindowsInstallerTestLock;

namespace {

const wchar_t kProductCode[] = L"{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}";
const wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
const wchar_t kWebView2Key[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const wchar_t kResourceLangKey[] = L"SOFTWARE\\Pel Systems\\ResourceLangID";
const wchar_t kMainProgram[] = L"VARO Pro Video Editor 7.exe";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class ScopedEnvironment
{
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : m_name(name)
    {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(m_name, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* m_name;
};

bool IsProductRegistered()
{
    std::wstring version;
    return QueryProductInfo(kProductCode, INSTALLPROPERTY_VERSIONSTRING, version) ==
           ERROR_SUCCESS;
}

void RemoveProduct()
{
    MsiSetExternalUIW(nullptr, 0, nullptr);
    if (IsProductRegistered()) {
        MsiService::SetQuietInternalUi();
        MsiConfigureProductW(kProductCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    }
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name)
{
    CRegistryKey key;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return L"<none>";
    key.Attach(opened);
    return key.QueryString(name).value_or(L"<none>");
}

DWORD ReadDword(HKEY root, const std::wstring& path, const wchar_t* name)
{
    CRegistryKey key;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    key.Attach(opened);
    DWORD value = 0;
    return key.QueryDword(name, value) ? value : 0;
}

std::string ReadFileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
}

// A message box of this process, as the test found it.
struct FoundBox
{
    bool found = false;
    std::wstring caption;
    std::wstring text;
    bool hasOwner = false;
    bool hasCancel = false;
};

struct BoxSearch
{
    std::wstring caption;
    HWND hwnd = nullptr;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t className[64] = {};
    wchar_t caption[256] = {};
    GetClassNameW(hwnd, className, 64);
    GetWindowTextW(hwnd, caption, 256);
    if (pid == GetCurrentProcessId() && std::wstring(className) == L"#32770" &&
        caption == search->caption) {
        search->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits on a thread of its own for a message box with the caption, reads it and
// presses `button`. Join before reading `box`.
class BoxAnswerer
{
public:
    BoxAnswerer(std::wstring caption, int button, DWORD timeoutMs = 60000)
    {
        m_thread = std::thread([this, caption, button, timeoutMs] {
            for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs && !m_stop;
                 Sleep(20)) {
                BoxSearch search{caption, nullptr};
                EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
                if (!search.hwnd)
                    continue;
                Sleep(50); // let the box finish its set-up
                wchar_t text[1024] = {};
                GetDlgItemTextW(search.hwnd, 0xFFFF, text, 1024);
                box.found = true;
                box.caption = caption;
                box.text = text;
                box.hasOwner = GetWindow(search.hwnd, GW_OWNER) != nullptr;
                box.hasCancel = GetDlgItem(search.hwnd, IDCANCEL) != nullptr;
                PostMessageW(search.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(search.hwnd, button)));
                return;
            }
        });
    }
    ~BoxAnswerer() { Join(); }
    void Join()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Stops looking once the worker has ended (so a missing box does not hold the test).
    void StopAfter(CInstallWorker& worker)
    {
        worker.WaitUntilDone(120000);
        Sleep(300);
        Join();
    }

    FoundBox box;

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

// Samples the install status from the test thread while the worker runs.
std::vector<uint32_t> SampleStates(CInstallWorker& worker, DWORD timeoutMs = 120000,
                                   std::vector<std::wstring>* texts = nullptr)
{
    std::vector<uint32_t> states;
    const DWORD start = GetTickCount();
    for (;;) {
        const bool done = worker.WaitUntilDone(5);
        const StatusSnapshot snapshot =
            InstallStatus::Instance().TakeStatusSnapshot(TheInstallConfig().m_uiStrings);
        if (states.empty() || states.back() != snapshot.state)
            states.push_back(snapshot.state);
        if (texts && (texts->empty() || texts->back() != snapshot.stateText))
            texts->push_back(snapshot.stateText);
        if (done || GetTickCount() - start > timeoutMs)
            return states;
    }
}

// One installer run against a demo site: the lock of Windows Installer, the site and its
// server, a temporary installer folder with the site's manifest loaded into the process's
// install model, a temporary install folder, and cleanup of everything the run registers.
class InstallWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lock.Held());
        RemoveProduct();
        m_removers.emplace_back(new CreatedKeyRemover(HKEY_LOCAL_MACHINE, kProductKey, KEY_WOW64_64KEY));
        m_removers.emplace_back(new CreatedKeyRemover(HKEY_CURRENT_USER, kProductKey, KEY_WOW64_64KEY));
        m_removers.emplace_back(new CreatedKeyRemover(HKEY_CURRENT_USER, kResourceLangKey, KEY_WOW64_64KEY));
        m_removers.emplace_back(new CreatedKeyRemover(HKEY_LOCAL_MACHINE, kVcRuntimeKey, KEY_WOW64_32KEY));
        m_removers.emplace_back(new CreatedKeyRemover(HKEY_LOCAL_MACHINE, kWebView2Key, KEY_WOW64_32KEY));
        ASSERT_TRUE(m_server.Start(m_site.Path()));
        InstallStatus::Instance().SetStatus(NotStarted, 0, 0);
        TheInstallConfig().BindProductInstalledFlag(&m_installed);
        m_installFolder = m_work.File(L"VARO Pro 7");
        ASSERT_TRUE(CreateDirectoryW(m_installFolder.c_str(), nullptr));
    }

    void TearDown() override
    {
        RemoveProduct();
        TheInstallConfig().BindProductInstalledFlag(nullptr);
        TheInstallConfig().m_uiStrings.m_nLanguageId = 1033;
        m_removers.clear();
    }

    // Makes the site (with make_site.py options) and loads its manifest in `language`.
    void LoadSite(int language = 1033, const std::string& options = std::string())
    {
        ASSERT_TRUE(MakeDemoSite(m_site.Path(), m_server.Port(),
                                 m_installer.File(L"config\\manifest.xml"), options));
        LoadManifest(language);
    }

    void LoadManifest(int language)
    {
        CInstallConfig& config = TheInstallConfig();
        ASSERT_TRUE(config.LoadManifestFrom(m_installer.Context()));
        config.m_uiStrings.m_nLanguageId = language;
        config.m_strInstallFolder = m_installFolder + L"\\";
        config.m_strHomePageUrl.clear();
    }

    WindowsInstallerTestLock m_lock;
    std::vector<std::unique_ptr<CreatedKeyRemover>> m_removers;
    TempFolder m_site;
    TempFolder m_work;
    InstallerFolder m_installer;
    CTestServer m_server;
    ScopedEnvironment m_quick{L"PEL_PAYLOAD_SECONDS", L"0"};
    ScopedEnvironment m_log{L"PEL_PAYLOAD_LOG", m_work.File(L"payloads.log")};
    std::wstring m_installFolder;
    int m_installed = 0;
};

std::vector<std::wstring> ItemNames(const CInstallWorker& worker)
{
    std::vector<std::wstring> names;
    for (const InstallItem& item : worker.Items())
        names.push_back(item.name);
    return names;
}

TEST(InstallWorkerPercent, DownloadPercentIsBoundedAndSafe)
{
    EXPECT_EQ(DownloadPercent(0, 0), 0);
    EXPECT_EQ(DownloadPercent(50, 0), 0);
    EXPECT_EQ(DownloadPercent(1, 3), 33);
    EXPECT_EQ(DownloadPercent(300, 200), 100);
    // received * 100 in 64 bits: a large file does not wrap to a small percent.
    const uint64_t big = 0x0100000000000000ull;
    EXPECT_EQ(DownloadPercent(big / 2, big), 50);
}

TEST(InstallWorkerPercent, FinalReportDoesNotResetTheItemBar)
{
    int32_t shown = NextDownloadPercent(0, 0, 0);          // (2,0,0)
    shown = NextDownloadPercent(shown, 600, 1000);          // transfer report
    EXPECT_EQ(shown, 60);
    shown = NextDownloadPercent(shown, 0, 1000);            // the job's (2,0,length)
    EXPECT_EQ(shown, 60);
    EXPECT_EQ(NextDownloadPercent(shown, 1000, 1000), 100);
}

TEST_F(InstallWorkerTest, FreshInstallInEnglish)
{
    LoadSite(1033);
    const StatusSnapshot before =
        InstallStatus::Instance().TakeStatusSnapshot(TheInstallConfig().m_uiStrings);
    EXPECT_EQ(before.state, static_cast<uint32_t>(NotStarted));
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);

    EXPECT_EQ(ItemNames(worker),
              (std::vector<std::wstring>{L"vc_redist.exe", L"webview2.exe", L"varo_pro_70.msi"}));
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Finished));
    // The path the panel sees: downloads, then installation, then the end.
    std::vector<uint32_t> path;
    for (uint32_t s : states)
        if (s != NotStarted)
            path.push_back(s);
    EXPECT_EQ(path, (std::vector<uint32_t>{Downloading, Installing, Finished}));
    EXPECT_EQ(worker.FailureKind(), 0);

    EXPECT_NE(GetFileAttributesW((m_installFolder + L"\\" + kMainProgram).c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(IsProductRegistered());
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"InstallDir"), m_installFolder + L"\\");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"exe"),
              m_installFolder + L"\\" + kMainProgram);
    EXPECT_FALSE(TheInstallConfig().m_strHomePageUrl.empty());
    EXPECT_EQ(TheInstallConfig().m_strHomePageUrl, worker.HomePageUrl());
    // English writes no language values.
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kProductKey, L"ApplicationLanguage"), 0u);
    // Setup programs run under their downloaded (stamped) names, in manifest order.
    const std::string log = ReadFileText(m_work.File(L"payloads.log"));
    const size_t vc = log.find("vc_redist.exe|/install /quiet /norestart");
    const size_t webview = log.find("webview2.exe|/silent /install");
    EXPECT_NE(vc, std::string::npos) << log;
    EXPECT_NE(webview, std::string::npos) << log;
    EXPECT_LT(vc, webview) << log;
    EXPECT_EQ(m_server.CountRequests("/version.xml"), 1);
}

TEST_F(InstallWorkerTest, FreshInstallInGermanAddsTransformAndLanguagePack)
{
    LoadSite(1031);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Finished));
    EXPECT_EQ(ItemNames(worker), (std::vector<std::wstring>{L"vc_redist.exe", L"webview2.exe",
                                                            L"varo_pro_70.msi", L"Deutsch",
                                                            L"Deutsch"}));
    ASSERT_EQ(worker.Items().size(), 5u);
    EXPECT_EQ(worker.Items()[3].localPath, TheInstallConfig().GetTransformPath(1031));
    EXPECT_EQ(worker.Items()[4].arguments, L"/s");
    EXPECT_TRUE(IsProductRegistered());

    const std::wstring packs = std::wstring(kProductKey) + L"\\LanguagePacks";
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, packs, L"InitialLangID"), 1031u);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kProductKey, L"ApplicationLanguage"), 1031u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kResourceLangKey,
                         (m_installFolder + L"\\pelCompanion2.exe").c_str()),
              L"1031");
    // The language pack's setup program ran with its switch and registered itself.
    EXPECT_NE(ReadFileText(m_work.File(L"payloads.log")).find("|/s"), std::string::npos);
    EXPECT_TRUE(payload_test::KeyExists(HKEY_LOCAL_MACHINE, packs + L"\\1031", KEY_WOW64_64KEY));
}

TEST_F(InstallWorkerTest, InstalledProductGetsReinstalledWithItsLanguagePacks)
{
    LoadSite(1033);
    // Install 7.0.0.1 and register two language packs, as an earlier run would have.
    {
        InstallerProgressState state;
        InstallItem package{L"varo_pro_70.msi", L"", m_site.File(L"msi\\varo_pro_70.msi"), L"", L"", 0};
        ASSERT_TRUE(InstallMsiPackage(state, package));
    }
    const std::wstring packs = std::wstring(kProductKey) + L"\\LanguagePacks";
    {
        CRegistryKey german(HKEY_LOCAL_MACHINE, packs + L"\\1031");
        CRegistryKey french(HKEY_LOCAL_MACHINE, packs + L"\\1036");
        ASSERT_TRUE(german.CanWrite() && french.CanWrite());
    }
    LoadManifest(1033);
    ASSERT_TRUE(TheInstallConfig().IsProductInstalled());
    EXPECT_NE(ComposeMsiCommandLine(MsiCommandLineInputsFromConfig()).find(L"REINSTALL"),
              std::wstring::npos);

    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Finished));
    const std::vector<std::wstring> names = ItemNames(worker);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(std::vector<std::wstring>(names.end() - 3, names.end()),
              (std::vector<std::wstring>{L"varo_pro_70.msi", L"Deutsch", L"Français"}));
    const std::string log = ReadFileText(m_work.File(L"payloads.log"));
    EXPECT_NE(log.find("language_pack_1031.exe|/s"), std::string::npos) << log;
    EXPECT_NE(log.find("language_pack_1036.exe|/s"), std::string::npos) << log;
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"InstallDir"), L"<none>");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"exe"), L"<none>");
}

TEST_F(InstallWorkerTest, StandaloneBuildMakesNoRequest)
{
    LoadSite(1033);
    // The same manifest as a standalone build, with the package beside the installer.
    std::string manifest = ReadFileText(m_installer.File(L"config\\manifest.xml"));
    const std::string web = "<standalone>false</standalone>";
    ASSERT_NE(manifest.find(web), std::string::npos);
    manifest.replace(manifest.find(web), web.size(), "<standalone>true</standalone>");
    ASSERT_TRUE(m_installer.WriteManifest(manifest));
    LoadManifest(1033);
    ASSERT_TRUE(TheInstallConfig().m_manifest.standalone);
    {
        // Without the main package file nothing is installed: a failure, not a skip.
        CInstallWorker missing;
        ASSERT_TRUE(missing.Start());
        EXPECT_EQ(SampleStates(missing).back(), static_cast<uint32_t>(Failed));
        EXPECT_FALSE(IsProductRegistered());
    }
    ASSERT_TRUE(CopyFileW(m_site.File(L"msi\\varo_pro_70.msi").c_str(),
                          TheInstallConfig().GetMainPackagePath().c_str(), FALSE));
    const int requestsBefore = m_server.CountRequests("/");

    // A shipped package is checked against its hash before it is installed; a wrong one
    // fails the run and stays where the vendor put it.
    Sha256Digest digest{};
    ASSERT_TRUE(Sha256OfFile(TheInstallConfig().GetMainPackagePath(), digest));
    TheInstallConfig().m_manifest.mainComponent.fullSha256 = std::wstring(64, L'0');
    {
        CInstallWorker refused;
        ASSERT_TRUE(refused.Start());
        EXPECT_EQ(SampleStates(refused).back(), static_cast<uint32_t>(Failed));
        EXPECT_FALSE(IsProductRegistered());
        EXPECT_TRUE(IsExistingFile(TheInstallConfig().GetMainPackagePath()));
    }
    TheInstallConfig().m_manifest.mainComponent.fullSha256 = Sha256Text(digest);

    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Finished));
    for (const InstallItem& item : worker.Items())
        EXPECT_EQ(item.needsDownload, 0) << Narrow(item.name);
    EXPECT_EQ(std::find(states.begin(), states.end(), static_cast<uint32_t>(Downloading)),
              states.end());
    EXPECT_TRUE(IsProductRegistered());
    EXPECT_EQ(m_server.CountRequests("/"), requestsBefore) << m_server.RequestLog();
    // The run downloaded nothing, so it removes nothing: the shipped files are the vendor's.
    EXPECT_TRUE(IsExistingFile(TheInstallConfig().GetMainPackagePath()));
}

TEST_F(InstallWorkerTest, StandalonePackageWithUnsafeNameFails)
{
    LoadSite(1033);
    std::string manifest = ReadFileText(m_installer.File(L"config\\manifest.xml"));
    const std::string web = "<standalone>false</standalone>";
    manifest.replace(manifest.find(web), web.size(), "<standalone>true</standalone>");
    ASSERT_TRUE(m_installer.WriteManifest(manifest));
    LoadManifest(1033);
    // A name that is no plain file name (the model's path for it is empty).
    TheInstallConfig().m_manifest.mainComponent.name = L"..\\varo_pro_70.msi";
    ASSERT_TRUE(TheInstallConfig().GetMainPackagePath().empty());

    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    // Without a file for the product, the run must not end as if it had installed it.
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Failed));
    EXPECT_FALSE(IsProductRegistered());
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"exe"), L"<none>");
}

// A worker whose thread cannot be had.
class CThreadlessWorker : public CInstallWorker
{
protected:
    std::future<void> LaunchTask(std::function<void()>) override
    {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
};

TEST_F(InstallWorkerTest, WorkerWithoutAThreadEndsFailedInsteadOfTerminating)
{
    LoadSite(1033);
    InstallStatus::Instance().SetStatus(NotStarted, -1, 0);
    CThreadlessWorker worker;
    EXPECT_FALSE(worker.Start());
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Failed));
    EXPECT_TRUE(worker.WaitUntilDone(0));
}

TEST_F(InstallWorkerTest, MissingPackageShowsDownloadServerMessage)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/msi/varo_pro_70.msi", L"status=404"));
    BoxAnswerer answer(TheInstallConfig().m_manifest.shortName, IDOK);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    answer.Join();
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Failed));
    EXPECT_EQ(worker.FailureKind(), kFailureServerUnusable);
    ASSERT_TRUE(answer.box.found);
    EXPECT_EQ(answer.box.text, IDS_ERR_CONNECT_DOWNLOAD_SERVER.defaultText);
    EXPECT_FALSE(answer.box.hasOwner);
    EXPECT_FALSE(IsProductRegistered());
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"exe"), L"<none>");
}

// A package whose transfer breaks off every time (and cannot be resumed) is
// tried again after a wait the status shows as a countdown, and never installed
// from its half file: the run ends Failed with the download server message,
// and no setup program starts.
TEST_F(InstallWorkerTest, BrokenOffPackageIsNotInstalled)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/msi/varo_pro_70.msi", L"cut=65536&noaccept=1"));
    TransferLimits limits;
    limits.maxAttempts = 2;
    limits.firstRetryDelayMs = 2500;
    testing_support::CScopedTransferLimits scoped(limits);
    BoxAnswerer answer(TheInstallConfig().m_manifest.shortName, IDOK);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    std::vector<std::wstring> texts;
    const std::vector<uint32_t> states = SampleStates(worker, 120000, &texts);
    answer.Join();
    EXPECT_EQ(m_server.CountRequests("/msi/varo_pro_70.msi"), 2);
    // "Connection lost. Retrying in 3 s..." (2250 to 2750 ms, rounded up) counts
    // down to 1 s, then the downloading text is back.
    const auto at = [&texts](const std::wstring& t) { return std::find(texts.begin(), texts.end(), t); };
    const auto retrying = at(L"Connection lost. Retrying in 2 s...");
    ASSERT_NE(retrying, texts.end());
    EXPECT_LT(retrying, at(L"Connection lost. Retrying in 1 s..."));
    EXPECT_NE(std::find(retrying, texts.end(), std::wstring(IDS_STATUS_DOWNLOADING.defaultText)), texts.end());
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Failed));
    EXPECT_EQ(worker.FailureKind(), kFailureServerUnusable);
    EXPECT_TRUE(answer.box.found);
    EXPECT_EQ(std::find(states.begin(), states.end(), static_cast<uint32_t>(Installing)),
              states.end());
    EXPECT_EQ(GetFileAttributesW(TheInstallConfig().GetMainPackagePath().c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileText(m_work.File(L"payloads.log")), "");
    EXPECT_FALSE(IsProductRegistered());
}

TEST_F(InstallWorkerTest, UnreadableVersionDocumentStopsBeforeDownloads)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/version.xml", L"body=not%20xml"));
    BoxAnswerer answer(TheInstallConfig().m_manifest.shortName, IDOK);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    const std::vector<uint32_t> states = SampleStates(worker);
    answer.Join();
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Failed));
    EXPECT_EQ(worker.FailureKind(), kFailureServerUnusable);
    EXPECT_EQ(answer.box.text, IDS_ERR_CONNECT_DOWNLOAD_SERVER.defaultText);
    EXPECT_EQ(m_server.CountRequests("/prereq/"), 0);
    EXPECT_EQ(m_server.CountRequests("/msi/"), 0);
}

// The patch address is planned only where the product's client key is present.
TEST_F(InstallWorkerTest, PatchAddressWhenClientKeyExists)
{
    LoadSite(1033);
    const ManifestInfo& manifest = TheInstallConfig().m_manifest;
    {
        CInstallWorker worker;
        worker.BuildInstallItems();
        ASSERT_FALSE(worker.Items().empty());
        EXPECT_EQ(worker.Items().back().url, manifest.mainComponent.fullUrl);
    }
    {
        CRegistryKey client(HKEY_LOCAL_MACHINE, std::wstring(kProductKey) + L"\\LClient");
        ASSERT_TRUE(client.CanWrite());
    }
    CInstallWorker worker;
    worker.BuildInstallItems();
    ASSERT_FALSE(worker.Items().empty());
    EXPECT_EQ(worker.Items().back().url, manifest.mainComponent.patchUrl);
    EXPECT_EQ(worker.Items().back().localPath, TheInstallConfig().GetMainPackagePath());
    EXPECT_EQ(worker.Items().back().arguments, L"");
}

TEST_F(InstallWorkerTest, CancelDuringDownloadEndsCancelledWithoutMessage)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/msi/varo_pro_70.msi", L"drip=20000"));
    BoxAnswerer answer(TheInstallConfig().m_manifest.shortName, IDOK);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    // The two small setup programs arrive at once; the package then drips for about 10 s.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(10)) {
        if (InstallStatus::Instance().GetState() == Downloading)
            break;
    }
    Sleep(1500);
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Downloading));
    worker.Cancel();
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Cancelling));
    const std::vector<uint32_t> states = SampleStates(worker, 30000);
    answer.StopAfter(worker);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Cancelled));
    EXPECT_FALSE(answer.box.found) << Narrow(answer.box.text);
    EXPECT_FALSE(IsProductRegistered());
    EXPECT_EQ(ReadFileText(m_work.File(L"payloads.log")), "");
    // What the next run continues stays; the whole setup programs (fetched again by the next
    // run) and the copy of the version document go.
    const CInstallConfig& config = TheInstallConfig();
    EXPECT_EQ(FileNamesIn(config.m_strMsiFolder),
              (std::vector<std::wstring>{L"varo_pro_70.msi.partial", L"varo_pro_70.msi.resume"}));
    EXPECT_EQ(FileNamesIn(config.m_strComponentFolder), std::vector<std::wstring>());
}

// Waits for the download stage, then a while more, so that the dripping package is on its way.
void WaitIntoPackageDownload(DWORD extraMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(10)) {
        if (InstallStatus::Instance().GetState() == Downloading)
            break;
    }
    Sleep(extraMs);
}

float OverallPercent()
{
    return InstallStatus::Instance().TakeStatusSnapshot(TheInstallConfig().m_uiStrings).percent;
}

TEST_F(InstallWorkerTest, PausedTransferHoldsUntilResumed)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/msi/varo_pro_70.msi", L"drip=65536")); // about 3 s
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    WaitIntoPackageDownload(1000);
    worker.PauseTransfers();
    Sleep(300);
    const float held = OverallPercent();
    Sleep(1500);
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Downloading));
    EXPECT_EQ(OverallPercent(), held);
    EXPECT_FALSE(worker.WaitUntilDone(0));
    worker.ResumeTransfers();
    const std::vector<uint32_t> states = SampleStates(worker);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Finished));
    EXPECT_TRUE(IsProductRegistered());
}

// The dripping item is a setup program: the next run would fetch it under a new stamped name,
// so even its kept part goes.
TEST_F(InstallWorkerTest, CancelWakesPausedTransfer)
{
    LoadSite(1033);
    ASSERT_TRUE(m_server.SetFault(L"/prereq/webview2.exe", L"drip=4096")); // about 50 s
    BoxAnswerer answer(TheInstallConfig().m_manifest.shortName, IDOK);
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    WaitIntoPackageDownload(1000);
    worker.PauseTransfers();
    Sleep(300);
    worker.Cancel();
    EXPECT_TRUE(worker.WaitUntilDone(10000)) << "a paused transfer did not see the cancel";
    answer.StopAfter(worker);
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Cancelled));
    EXPECT_FALSE(answer.box.found);
    EXPECT_EQ(FileNamesIn(TheInstallConfig().m_strComponentFolder), std::vector<std::wstring>());
}

TEST_F(InstallWorkerTest, CancelWhileSetupProgramRunsLetsItFinish)
{
    LoadSite(1033);
    ScopedEnvironment slow(L"PEL_PAYLOAD_SECONDS", L"2");
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start());
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(10)) {
        if (InstallStatus::Instance().GetState() == Installing)
            break;
    }
    ASSERT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Installing));
    Sleep(500);
    worker.Cancel();
    const std::vector<uint32_t> states = SampleStates(worker, 60000);
    EXPECT_EQ(states.back(), static_cast<uint32_t>(Cancelled));
    // The running setup program finished its work; the next one never started.
    EXPECT_TRUE(IsPrerequisiteInstalled(L"vc_redist.exe"));
    const std::string log = ReadFileText(m_work.File(L"payloads.log"));
    EXPECT_NE(log.find("vc_redist.exe|"), std::string::npos) << log;
    EXPECT_EQ(log.find("webview2.exe|"), std::string::npos) << log;
    EXPECT_FALSE(IsProductRegistered());
}

// The re-check's decisions that stop the run: each shows its own text under the
// caption "Windows Installer" (answered with Cancel, which changes nothing) and ends Failed.
struct RecheckCase
{
    int decision;
    const wchar_t* installedVersion;
    const wchar_t* installedName;
    std::string siteOptions;
    std::wstring expectedText;
};

class InstallWorkerRecheckTest : public InstallWorkerTest
{
protected:
    void RunCase(const RecheckCase& c)
    {
        LoadSite(1033, c.siteOptions);
        CInstallConfig& config = TheInstallConfig();
        if (c.installedVersion) {
            m_installed = 1;
            config.m_installedProduct.version = c.installedVersion;
            config.m_installedProduct.productName = c.installedName;
        }
        BoxAnswerer answer(L"Windows Installer", IDCANCEL, 30000);
        CInstallWorker worker;
        ASSERT_TRUE(worker.Start());
        const std::vector<uint32_t> states = SampleStates(worker, 60000);
        answer.StopAfter(worker);
        EXPECT_EQ(config.GetStartDecision(), c.decision);
        EXPECT_EQ(states.back(), static_cast<uint32_t>(Failed));
        EXPECT_EQ(worker.FailureKind(), 0);
        EXPECT_EQ(answer.box.found, !c.expectedText.empty());
        EXPECT_EQ(answer.box.text, c.expectedText);
        if (answer.box.found) {
            EXPECT_TRUE(answer.box.hasCancel);
        }
        // Nothing beyond the version document was fetched.
        EXPECT_EQ(m_server.CountRequests("/version.xml"), 1);
        EXPECT_EQ(m_server.CountRequests("/msi/"), 0);
        EXPECT_EQ(m_server.CountRequests("/prereq/"), 0);
        m_installed = 0;
        config.m_installedProduct = InstalledProductInfo();
    }
};

TEST_F(InstallWorkerRecheckTest, InstalledAlready)
{
    RunCase({1, L"7.1.0.5", L"VARO Pro", "",
             L"VARO is already installed. Would you like to launch it?"});
}

TEST_F(InstallWorkerRecheckTest, InstallerTooOld)
{
    RunCase({2, nullptr, nullptr, "--min-web-installer 7.0.0.11",
             IDS_ERR_CLIENT_TOO_OLD.defaultText});
}

TEST_F(InstallWorkerRecheckTest, InstalledButUnknownHasNoMessage)
{
    RunCase({3, L"", L"", "", L""});
}

TEST_F(InstallWorkerRecheckTest, AnotherProductUnderTheCode)
{
    RunCase({6, L"7.0.0.1", L"Other Product", "", IDS_ERR_INSTALLED_ANOTHER_VERSION.defaultText});
}

} // namespace
