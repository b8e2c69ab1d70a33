// Package installation and the installer UI handler: setup programs chosen by
// extension and started exactly, the package's command line, and a real
// package installed through Windows Installer with the handler.
#include "engine/PackageInstaller.h"

#include "config/InstallConfig.h"
#include "config/ProductInfo.h"
#include "engine/InstallStatus.h"
#include "engine/MsiService.h"
#include "engine/Sha256.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"

#include "MsiTestSupport.h"
#include "PayloadTestSupport.h"
#include "TestServer.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using testing_support::RecordArgsExePath;
using testing_support::TempFolder;
using testing_support::TrustCaCertificate;
using testing_support::UntrustCaCertificate;
using testing_support::WinePath;
using testing_support::WindowsInstallerTestLock;

namespace {

// Points record_args.exe at a file of its own for the test and reads it back.
class ArgsRecord
{
public:
    explicit ArgsRecord(const TempFolder& folder) : m_path(folder.File(L"record.txt"))
    {
        SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", m_path.c_str());
    }
    ~ArgsRecord() { SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", nullptr); }
    ArgsRecord(const ArgsRecord&) = delete;
    ArgsRecord& operator=(const ArgsRecord&) = delete;

    bool Exists() const { return GetFileAttributesW(m_path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    // The started program's argument vector, one entry per line.
    std::vector<std::wstring> Lines() const
    {
        std::vector<std::wstring> lines;
        CFileHandle file(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        if (!file)
            return lines;
        std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
        DWORD read = 0;
        ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
                 nullptr);
        size_t start = 0;
        for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
    void Clear() const { DeleteFileW(m_path.c_str()); }

private:
    std::wstring m_path;
};

bool CopyRecordArgs(const std::wstring& to)
{
    return CopyFileW(RecordArgsExePath().c_str(), to.c_str(), FALSE) != FALSE;
}

InstallItem ItemFor(const std::wstring& path, const std::wstring& arguments = std::wstring())
{
    InstallItem item;
    item.name = path.substr(path.find_last_of(L'\\') + 1);
    item.localPath = path;
    item.arguments = arguments;
    return item;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Saves the parts of the process-wide install model the tests change and puts
// them back afterwards.
class ConfigScope
{
public:
    ConfigScope()
        : m_folder(TheInstallConfig().m_strInstallFolder),
          m_transforms(TheInstallConfig().m_strTransformFolder),
          m_language(TheInstallConfig().m_uiStrings.m_nLanguageId),
          m_shortName(TheInstallConfig().m_manifest.shortName),
          m_registry(TheInstallConfig().m_manifest.registry)
    {
        TheInstallConfig().BindProductInstalledFlag(&installed);
    }
    ~ConfigScope()
    {
        CInstallConfig& config = TheInstallConfig();
        config.m_strInstallFolder = m_folder;
        config.m_strTransformFolder = m_transforms;
        config.m_uiStrings.m_nLanguageId = m_language;
        config.m_manifest.shortName = m_shortName;
        config.m_manifest.registry = m_registry;
        config.BindProductInstalledFlag(nullptr);
    }
    ConfigScope(const ConfigScope&) = delete;
    ConfigScope& operator=(const ConfigScope&) = delete;

    int installed = 0;

private:
    std::wstring m_folder;
    std::wstring m_transforms;
    int m_language;
    std::wstring m_shortName;
    std::wstring m_registry;
};

using testing_support::PackageProperty;
using testing_support::TestPackagePath;

bool IsInstalled(const std::wstring& productCode)
{
    std::wstring version;
    return QueryProductInfo(productCode, INSTALLPROPERTY_VERSIONSTRING, version) !=
           ERROR_UNKNOWN_PRODUCT;
}

// Removes the test product when the test ends, whatever happened.
class ProductRemover
{
public:
    explicit ProductRemover(std::wstring productCode) : m_code(std::move(productCode)) {}
    ~ProductRemover()
    {
        MsiSetExternalUIW(nullptr, 0, nullptr);
        if (IsInstalled(m_code)) {
            MsiService::SetQuietInternalUi();
            MsiConfigureProductW(m_code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
        }
    }
    ProductRemover(const ProductRemover&) = delete;
    ProductRemover& operator=(const ProductRemover&) = delete;

private:
    std::wstring m_code;
};

// Collects what this process writes to the debugger output, through the
// system's debug-output buffer (the protocol debug viewers use when no
// debugger is attached). One capture at a time across test processes.
class DebugOutputCapture
{
public:
    DebugOutputCapture()
        : m_lock(CreateMutexW(nullptr, FALSE, L"Local\\PelTestDebugOutputCapture")),
          m_bufferReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY")),
          m_dataReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
          m_mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                       L"DBWIN_BUFFER"))
    {
        if (m_lock)
            WaitForSingleObject(m_lock.Get(), 60000);
        if (m_mapping)
            m_view = static_cast<const char*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, 4096));
        if (m_view && m_bufferReady && m_dataReady)
            m_thread = std::thread([this] { Collect(); });
    }
    ~DebugOutputCapture()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_view)
            UnmapViewOfFile(m_view);
        if (m_lock)
            ReleaseMutex(m_lock.Get());
    }
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    bool Running() const { return m_thread.joinable(); }

    // Everything written so far, after the writer has had time to finish.
    std::string Text()
    {
        Sleep(200);
        std::lock_guard<std::mutex> hold(m_textLock);
        return m_text;
    }

private:
    void Collect()
    {
        const DWORD self = GetCurrentProcessId();
        while (!m_stop) {
            SetEvent(m_bufferReady.Get());
            if (WaitForSingleObject(m_dataReady.Get(), 50) != WAIT_OBJECT_0)
                continue;
            DWORD pid = 0;
            memcpy(&pid, m_view, sizeof pid);
            if (pid != self)
                continue;
            std::lock_guard<std::mutex> hold(m_textLock);
            m_text += std::string(m_view + sizeof pid, strnlen(m_view + sizeof pid, 4096 - sizeof pid));
        }
    }

    CHandle m_lock;
    CHandle m_bufferReady;
    CHandle m_dataReady;
    CHandle m_mapping;
    const char* m_view = nullptr;
    std::atomic<bool> m_stop{false};
    std::mutex m_textLock;
    std::string m_text;
    std::thread m_thread;
};

} // namespace

// ---------------------------------------------------------------------------
// Choosing by extension and running setup programs

TEST(InstallPackageByExtension, ExeInAnyLetterCaseIsRunWithItsArguments)
{
    TempFolder temp;
    ArgsRecord record(temp);
    for (const wchar_t* name : {L"SETUP.EXE", L"setup.exe", L"Setup.Exe"}) {
        record.Clear();
        const std::wstring path = temp.File(name);
        ASSERT_TRUE(CopyRecordArgs(path));
        InstallerProgressState state;
        EXPECT_TRUE(InstallPackage(state, ItemFor(path, L"/quiet /norestart")));
        // The call returns after the program ended: its record is complete.
        ASSERT_TRUE(record.Exists()) << Narrow(path);
        EXPECT_EQ(record.Lines(), (std::vector<std::wstring>{path, L"/quiet", L"/norestart"}));
    }
}

// What vouches for a setup program: its manifest hash alone when it has one, else its
// signature when it carries one; an unsigned program without a hash runs as before. A refused
// program is not started and fails the installation. (Wine checks no certificate chain; the
// test CA is trusted so that the valid row holds on Windows too.)
TEST(InstallPackageByExtension, SetupProgramsRunOnlyWhenAHashOrTheirSignatureVouches)
{
    const std::wstring signedDir = WinePath(PEL_TEST_SIGNED_DIR) + L"\\";
    ASSERT_TRUE(TrustCaCertificate(signedDir + L"ca.der"));
    enum Hash { None, Right, Wrong };
    const struct
    {
        const wchar_t* file;
        Hash hash;
        bool runs;
    } cases[] = {
        {L"unsigned.exe", None, true},        {L"signed_a.exe", None, true},
        {L"tampered_code.exe", None, false},  {L"tampered_code.exe", Right, true},
        {L"signed_a.exe", Wrong, false},
    };
    TempFolder temp;
    ArgsRecord record(temp);
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.file) + " hash " + std::to_string(c.hash));
        record.Clear();
        const std::wstring path = temp.File(L"setup.exe");
        ASSERT_TRUE(CopyFileW((signedDir + c.file).c_str(), path.c_str(), FALSE));
        InstallItem item = ItemFor(path, L"/q");
        Sha256Digest digest{};
        ASSERT_TRUE(Sha256OfFile(path, digest));
        if (c.hash == Wrong)
            digest[0] ^= 1;
        if (c.hash != None)
            item.sha256 = Sha256Text(digest);
        InstallerProgressState state;
        EXPECT_EQ(InstallPackage(state, item), c.runs);
        EXPECT_EQ(record.Exists(), c.runs);
    }
    UntrustCaCertificate(signedDir + L"ca.der");
}

TEST(InstallPackageByExtension, OtherFilesAreNotRunAndCountAsInstalled)
{
    TempFolder temp;
    ArgsRecord record(temp);
    // Real programs under other names: only the extension decides.
    for (const wchar_t* name : {L"1031.mst", L"bundle.zip", L"setup.exe.txt", L"noextension"}) {
        const std::wstring path = temp.File(name);
        ASSERT_TRUE(CopyRecordArgs(path));
        InstallerProgressState state;
        EXPECT_TRUE(InstallPackage(state, ItemFor(path, L"/s")));
        EXPECT_FALSE(record.Exists()) << Narrow(path);
    }
}

// A file that is no program (vouched for by its hash, so that only its start can fail), and
// one that is not there: nothing was installed, and the item fails.
TEST(InstallPackageByExtension, ASetupProgramThatCannotStartFailsTheItem)
{
    TempFolder temp;
    InstallerProgressState state;
    InstallItem text = ItemFor(temp.File(L"vc_redist.exe"), L"/install /quiet");
    ASSERT_TRUE(testing_support::WriteFileBytes(text.localPath, "not a program\r\n"));
    Sha256Digest digest{};
    ASSERT_TRUE(Sha256OfFile(text.localPath, digest));
    text.sha256 = Sha256Text(digest);
    EXPECT_FALSE(RunSetupProgram(text));
    EXPECT_FALSE(InstallPackage(state, text));
    const InstallItem missing = ItemFor(temp.File(L"setup.exe"), L"/install /quiet");
    EXPECT_FALSE(RunSetupProgram(missing));
    EXPECT_FALSE(InstallPackage(state, missing));
}

// A language pack's program that ran counts only when the pack is among the installed ones
// afterwards: the demo pack registers itself, a program that ends well without doing so fails.
TEST(InstallPackageByExtension, ALanguagePackMustBeInstalledAfterItsProgramRan)
{
    ConfigScope scope;
    TheInstallConfig().m_manifest.registry = payload_test::kProductKey;
    const std::wstring pack = std::wstring(payload_test::kProductKey) + L"\\LanguagePacks\\1031";
    payload_test::CreatedKeyRemover remover(HKEY_LOCAL_MACHINE, pack, KEY_WOW64_64KEY);
    TempFolder temp;
    ArgsRecord record(temp);
    const struct
    {
        std::wstring program;
        bool installed;
    } cases[] = {
        {RecordArgsExePath(), false},
        {payload_test::SitePath(L"langpack\\language_pack_1031.exe"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.program));
        InstallItem item = ItemFor(temp.File(L"123language_pack_1031.exe"), L"/s");
        item.kind = InstallItemKind::LanguagePack;
        item.langId = 1031;
        ASSERT_TRUE(CopyFileW(c.program.c_str(), item.localPath.c_str(), FALSE));
        InstallerProgressState state;
        EXPECT_EQ(InstallPackage(state, item), c.installed);
        EXPECT_EQ(payload_test::KeyExists(HKEY_LOCAL_MACHINE, pack, KEY_WOW64_64KEY), c.installed);
    }
}

TEST(RunSetupProgram, PathWithBlanksStartsThatProgramAndNoOther)
{
    TempFolder temp;
    ArgsRecord record(temp);
    const std::wstring folder = temp.File(L"Pel Files");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\setup.exe";
    ASSERT_TRUE(CopyRecordArgs(program));
    // Unquoted, the system would try "<temp>\Pel.exe" first and start it.
    ASSERT_TRUE(CopyRecordArgs(temp.File(L"Pel.exe")));

    EXPECT_EQ(SetupCommandLine(ItemFor(program, L"/s")), L"\"" + program + L"\" /s");
    EXPECT_TRUE(RunSetupProgram(ItemFor(program, L"/s")));
    EXPECT_EQ(record.Lines(), (std::vector<std::wstring>{program, L"/s"}));

    record.Clear();
    EXPECT_EQ(SetupCommandLine(ItemFor(program)), L"\"" + program + L"\"");
    EXPECT_TRUE(RunSetupProgram(ItemFor(program)));
    EXPECT_EQ(record.Lines(), (std::vector<std::wstring>{program}));
}

TEST(RunSetupProgram, ProgramEndingWithTheStillActiveCodeIsNotWaitedForForever)
{
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    // The program really ends with 259, the value GetExitCodeProcess also
    // gives for a running process.
    HANDLE check = testing_support::StartProgram(cmd, L"/c exit 259");
    ASSERT_NE(check, nullptr);
    ASSERT_EQ(testing_support::WaitExitCode(check, 30000), 259);
    CloseHandle(check);

    auto done = std::make_shared<std::promise<bool>>();
    std::future<bool> result = done->get_future();
    std::thread([done, cmd] { done->set_value(RunSetupProgram(ItemFor(cmd, L"/c exit 259"))); })
        .detach();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "RunSetupProgram still waits for a program that has ended";
    EXPECT_TRUE(result.get());
}

// ---------------------------------------------------------------------------
// The package's command line

TEST(MsiCommandLine, ComposedFromTheInputs)
{
    MsiCommandLineInputs in;
    in.installFolder = L"C:\\Program Files\\Pel Systems\\";
    in.transformPath = L"C:\\Pel\\transform\\1031.mst";
    EXPECT_EQ(ComposeMsiCommandLine(in), L"");
    in.installFolderExists = true;
    EXPECT_EQ(ComposeMsiCommandLine(in), L"INSTALLDIR=\"C:\\Program Files\\Pel Systems\"");
    in.productInstalled = true;
    EXPECT_EQ(ComposeMsiCommandLine(in), L"REINSTALL=ALL REINSTALLMODE=vomus REBOOT=ReallySuppress");
    in.languageId = 1031;
    in.transformExists = true;
    EXPECT_EQ(ComposeMsiCommandLine(in),
              L"REINSTALL=ALL REINSTALLMODE=vomus REBOOT=ReallySuppress "
              L"TRANSFORMS=\"C:\\Pel\\transform\\1031.mst\"");
    in.productInstalled = false;
    in.installFolderExists = false;
    EXPECT_EQ(ComposeMsiCommandLine(in), L"TRANSFORMS=\"C:\\Pel\\transform\\1031.mst\"");
    // A transform that is not there would fail the whole package on Windows (1624).
    in.transformExists = false;
    EXPECT_EQ(ComposeMsiCommandLine(in), L"");
    // English needs no transform even when a file is there.
    in.languageId = 1033;
    in.transformExists = true;
    EXPECT_EQ(ComposeMsiCommandLine(in), L"");
}

TEST(MsiCommandLine, ReadFromTheInstallModelAndTheFileSystem)
{
    ConfigScope scope;
    TempFolder temp;
    CInstallConfig& config = TheInstallConfig();
    const std::wstring target = temp.File(L"Pel Target");
    config.m_strInstallFolder = target + L"\\";
    config.m_strTransformFolder = temp.Path() + L"\\transform\\";
    config.m_uiStrings.m_nLanguageId = 1033;

    // Fresh install into a folder that does not exist yet: no INSTALLDIR.
    EXPECT_EQ(ComposeMsiCommandLine(MsiCommandLineInputsFromConfig()), L"");
    // The folder exists: INSTALLDIR without its trailing backslash.
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    EXPECT_EQ(ComposeMsiCommandLine(MsiCommandLineInputsFromConfig()),
              L"INSTALLDIR=\"" + target + L"\"");

    // German: the transform is passed once its file is there.
    config.m_uiStrings.m_nLanguageId = 1031;
    const MsiCommandLineInputs before = MsiCommandLineInputsFromConfig();
    EXPECT_EQ(before.transformPath, temp.Path() + L"\\transform\\1031.mst");
    EXPECT_FALSE(before.transformExists);
    EXPECT_EQ(ComposeMsiCommandLine(before), L"INSTALLDIR=\"" + target + L"\"");
    ASSERT_TRUE(CreateDirectoryW((temp.Path() + L"\\transform").c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteFileBytes(before.transformPath, "transform"));
    EXPECT_EQ(ComposeMsiCommandLine(MsiCommandLineInputsFromConfig()),
              L"INSTALLDIR=\"" + target + L"\" TRANSFORMS=\"" + before.transformPath + L"\"");

    // Installed already: reinstall, then the transform.
    scope.installed = 1;
    EXPECT_EQ(ComposeMsiCommandLine(MsiCommandLineInputsFromConfig()),
              std::wstring(MsiService::kReinstallProperties) + L" TRANSFORMS=\"" +
                  before.transformPath + L"\"");
}

// ---------------------------------------------------------------------------
// The handler, message by message (no service involved)

TEST(InstallerUiHandlerMessages, FirstMessageTurnsOnTheBasicInterfaceOnce)
{
    InstallerProgressState state;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_ACTIONSTART, nullptr), 0);
    EXPECT_FALSE(state.firstMessage);
    EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr), INSTALLUILEVEL_BASIC);
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_ACTIONSTART, L"Action 1"), IDOK);
    EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr), INSTALLUILEVEL_NONE);
    state.ResetForPackage();
    EXPECT_TRUE(state.firstMessage);
}

TEST(InstallerUiHandlerMessages, EveryMessageWithTextGoesToTheDebugger)
{
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.Running());
    InstallerProgressState state;
    state.reportPercent = [](int32_t, int32_t) {};
    InstallerUiHandler(&state, INSTALLMESSAGE_WARNING, L"a warning");
    InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 0 2: 10 3: 0 4: 0 ");
    InstallerUiHandler(&state, INSTALLMESSAGE_FILESINUSE, L"files in use");
    InstallerUiHandler(&state, INSTALLMESSAGE_INFO, nullptr);
    EXPECT_EQ(capture.Text(), "\r\n a warning\r\n 1: 0 2: 10 3: 0 4: 0 \r\n files in use");
}

TEST(InstallerUiHandlerMessages, AnswersByMessageType)
{
    InstallerProgressState state;
    state.firstMessage = false;
    const UINT handled[] = {INSTALLMESSAGE_WARNING,     INSTALLMESSAGE_USER,
                            INSTALLMESSAGE_ACTIONSTART, INSTALLMESSAGE_ACTIONDATA,
                            INSTALLMESSAGE_COMMONDATA,  INSTALLMESSAGE_INITIALIZE,
                            INSTALLMESSAGE_TERMINATE,   INSTALLMESSAGE_SHOWDIALOG,
                            INSTALLMESSAGE_INSTALLEND,  INSTALLMESSAGE_INFO};
    for (UINT type : handled)
        EXPECT_EQ(InstallerUiHandler(&state, type | MB_OKCANCEL, L"text"), IDOK) << type;
    const UINT leftToTheService[] = {INSTALLMESSAGE_FILESINUSE, INSTALLMESSAGE_RESOLVESOURCE,
                                     INSTALLMESSAGE_RMFILESINUSE, INSTALLMESSAGE_INSTALLSTART,
                                     0x1F000000};
    for (UINT type : leftToTheService)
        EXPECT_EQ(InstallerUiHandler(&state, type, L"text"), 0) << type;
}

TEST(InstallerUiHandlerMessages, ProgressGoesToTheReportAndCancelBackToTheService)
{
    InstallerProgressState state;
    std::vector<std::pair<int32_t, int32_t>> reports;
    state.reportPercent = [&](int32_t index, int32_t percent) {
        reports.emplace_back(index, percent);
    };
    state.progress.currentItemIndex = 1;
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 0 2: 200 3: 0 4: 0"), IDOK);
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 2 2: 50"), IDOK);
    state.progress.installerCancel = true;
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 2 2: 50"), IDCANCEL);
    EXPECT_EQ(reports, (std::vector<std::pair<int32_t, int32_t>>{{1, 25}, {1, 50}}));
}

TEST(InstallerUiHandlerMessages, WithoutAReportTheInstallStatusGetsThePercent)
{
    InstallStatus& status = InstallStatus::Instance();
    status.SetWeights({50, 50}, {50, 50});
    status.SetStatus(Downloading, 0, 0);
    InstallerProgressState state;
    state.progress.currentItemIndex = 1;
    InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 0 2: 4 3: 0 4: 0");
    InstallerUiHandler(&state, INSTALLMESSAGE_PROGRESS, L"1: 2 2: 2");
    EXPECT_EQ(status.GetState(), static_cast<uint32_t>(Installing));
    // Item 1 of two equal items at 50 %: the install phase is at 75 %, the
    // whole bar (downloads being its first half) at 87.5 %.
    const StatusSnapshot snapshot = status.TakeStatusSnapshot(0, [](const UIStringKey&) {
        return std::wstring();
    });
    EXPECT_FLOAT_EQ(snapshot.percent, 87.5f);
}

TEST(InstallerUiHandlerMessages, InformationLinesGiveTheHomePageOnce)
{
    InstallerProgressState state;
    EXPECT_EQ(InstallerUiHandler(&state, INSTALLMESSAGE_INFO, L"Property(S): ProductName = X"),
              IDOK);
    EXPECT_EQ(state.homePageUrl, L"");
    InstallerUiHandler(&state, INSTALLMESSAGE_INFO,
                       L"Property(S): InstallHomepageURL = https://www.pel-systems.com/x");
    InstallerUiHandler(&state, INSTALLMESSAGE_INFO,
                       L"Property(S): InstallHomepageURL = https://other.test/");
    EXPECT_EQ(state.homePageUrl, L"https://www.pel-systems.com/x");
    // A new package keeps what the installation found.
    state.ResetForPackage();
    EXPECT_EQ(state.homePageUrl, L"https://www.pel-systems.com/x");
}

// ---------------------------------------------------------------------------
// Real packages through the service

TEST(InstallMsiPackage, InstallsWithTheHandlerAndCapturesTheHomePage)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty()) << "cannot read " << PEL_TEST_MSI;
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    ASSERT_FALSE(IsInstalled(code)) << "the test product is installed already";

    ConfigScope scope;
    TempFolder temp;
    const std::wstring target = temp.File(L"Pel Target");
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    TheInstallConfig().m_strInstallFolder = target + L"\\";
    TheInstallConfig().m_strTransformFolder = temp.Path() + L"\\transform\\";
    // German without its transform file: the package still installs.
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1031;

    InstallerProgressState state;
    state.progress.currentItemIndex = 2;
    std::vector<std::pair<int32_t, int32_t>> reports;
    state.reportPercent = [&](int32_t index, int32_t percent) {
        reports.emplace_back(index, percent);
    };
    // Left over from an earlier package: a fresh package starts from 0.
    state.progress.highestPercent = 100;
    const InstallItem item = ItemFor(TestPackagePath());
    // With a run log open, the service writes its own log of the package beside it.
    ASSERT_FALSE(OpenRunLog(temp.File(L"run.log"), L"unused").empty());
    const std::wstring stem = item.name.substr(0, item.name.rfind(L'.'));
    const std::wstring serviceLog = temp.File(L"run_msi_" + stem + L".log");
    {
        DebugOutputCapture capture;
        EXPECT_TRUE(InstallPackage(state, item));
        const std::string debugText = capture.Text();
        EXPECT_NE(debugText.find("\r\n Property(S): InstallHomepageURL = "), std::string::npos);
        EXPECT_EQ(debugText.find("TRACE_DEBUG"), std::string::npos);
    }
    CloseRunLog();
    WIN32_FILE_ATTRIBUTE_DATA serviceLogData = {};
    ASSERT_TRUE(GetFileAttributesExW(serviceLog.c_str(), GetFileExInfoStandard, &serviceLogData))
        << "no Windows Installer log " << Narrow(serviceLog);
    EXPECT_GT(serviceLogData.nFileSizeLow, 0u);
    RecordProperty("ServiceLogBytes", static_cast<int>(serviceLogData.nFileSizeLow));

    EXPECT_TRUE(IsInstalled(code));
    EXPECT_NE(GetFileAttributesW((target + L"\\payload.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "INSTALLDIR did not reach the package";
    EXPECT_EQ(state.homePageUrl, PackageProperty(L"InstallHomepageURL"));
    EXPECT_FALSE(state.firstMessage);
    EXPECT_EQ(state.failureKind, 0);

    ASSERT_FALSE(reports.empty());
    int32_t last = 0;
    for (const auto& r : reports) {
        EXPECT_EQ(r.first, 2);
        EXPECT_GE(r.second, last);
        EXPECT_LE(r.second, 100);
        last = r.second;
    }
    EXPECT_LT(reports.front().second, 100);
    RecordProperty("Reports", static_cast<int>(reports.size()));
    RecordProperty("LastPercent", last);

    // The handler's context is not left registered after the call.
    EXPECT_EQ(MsiSetExternalUIW(nullptr, 0, nullptr), nullptr);
}

TEST(InstallMsiPackage, ACancelledInstallationIsAFailure)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty());
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    ConfigScope scope;
    TheInstallConfig().m_strInstallFolder = L"Q:\\no such folder";
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1033;

    InstallerProgressState state;
    state.reportPercent = [](int32_t, int32_t) {};
    // The user cancelled just before the package started.
    state.progress.installerCancel = true;
    const UINT result = RunMsiInstallation(state, ItemFor(TestPackagePath()));
    if (result == ERROR_INSTALL_USEREXIT) {
        // Windows: IDCANCEL at the first progress message ends it with 1602.
        EXPECT_FALSE(MsiService::IsInstallSuccess(result));
        EXPECT_FALSE(IsInstalled(code));
    } else {
        // Wine 8 ignores the handler's IDCANCEL and completes the installation.
        EXPECT_EQ(result, static_cast<UINT>(ERROR_SUCCESS));
        RecordProperty("HandlerCancelIgnored", 1);
    }
}

TEST(InstallMsiPackage, APackageTheServiceRejectsFailsTheItem)
{
    TempFolder temp;
    ConfigScope scope;
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1033;
    const std::wstring broken = temp.File(L"broken.msi");
    ASSERT_TRUE(testing_support::WriteFileBytes(broken, std::string(4096, 'x')));
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());

    InstallerProgressState state;
    UINT result = 0;
    {
        DebugOutputCapture capture;
        ASSERT_TRUE(capture.Running());
        result = RunMsiInstallation(state, ItemFor(broken));
        EXPECT_NE(capture.Text().find("TRACE_DEBUG: MSI Installation failed. Error Code: " +
                                      std::to_string(result) + "\r\n"),
                  std::string::npos);
    }
    EXPECT_FALSE(MsiService::IsInstallSuccess(result)) << result;
    RecordProperty("BrokenPackageResult", static_cast<int>(result));
    EXPECT_FALSE(InstallMsiPackage(state, ItemFor(broken)));
    EXPECT_FALSE(InstallPackage(state, ItemFor(broken)));
    // The extension decides in any letter case.
    const std::wstring upper = temp.File(L"BROKEN.MSI");
    ASSERT_TRUE(testing_support::WriteFileBytes(upper, std::string(4096, 'x')));
    EXPECT_FALSE(InstallPackage(state, ItemFor(upper)));
}
