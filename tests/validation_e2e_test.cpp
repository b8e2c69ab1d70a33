// The self-check of the real installer executable, staged in a folder of its own with a
// manifest beside it and run against the test download server: the server error message
// and exit code, a manifest that cannot be used, a successor downloaded and started at exit,
// "/n" and "/s".
#include "InstallConfigTestSupport.h"
#include "TestServer.h"
#include "WinTestSupport.h"

#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using install_config_test::GoodProductBody;
using install_config_test::ManifestText;
using testing_support::CTestServer;
using testing_support::InstallerExePath;
using testing_support::RecordArgsExePath;
using testing_support::StartProgram;
using testing_support::TempFolder;
using testing_support::WaitExitCode;
using testing_support::WriteFileBytes;

namespace {

const wchar_t kShortName[] = L"VARO"; // the message boxes' caption
const wchar_t kPreparing[] = L"Preparing...";
const wchar_t kExeName[] = L"PelWebInstaller";   // the caption of the updater's box
const wchar_t kCannotLaunch[] = L"The updater cannot be launched!";
const wchar_t kConnectError[] =
    L"Unable to contact the download server. Check your Internet connection and try again. If "
    L"the issue persists, please contact Customer Care.";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    // WM_GETTEXT is carried across processes; GetWindowText would not ask the window.
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                          2000, &copied);
    return text;
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

// Top-level windows of one process.
std::vector<HWND> WindowsOf(DWORD pid)
{
    struct Search
    {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid)
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::wstring();
    std::wstring text(4096, L'\0');
    DWORD read = 0;
    ::ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    return text;
}

std::wstring ReadUtf8File(const std::wstring& path)
{
    CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::wstring();
    std::string bytes(::GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    if (bytes.empty() || !::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0], n);
    return text;
}

// What one run of the installer showed, watched from outside until it ended.
struct RunRecord
{
    long exitCode = -1;
    bool validatorSeen = false;         // a "Preparing..." window existed
    bool validatorEverVisible = false;  // ... and was visible at some poll
    bool validatorToolWindow = false;   // ... with WS_EX_TOOLWINDOW
    bool mainWindowSeen = false;
    int boxes = 0;                      // message boxes captioned with the short name
    std::vector<std::wstring> boxTexts;
    bool boxOwnedByValidator = false;
};

class ValidationEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CHandle running(::OpenSemaphoreW(SYNCHRONIZE, FALSE, L"QuilloVaroInstaller_70"));
        ASSERT_FALSE(running.IsValid()) << "another installer is running";
        ASSERT_TRUE(m_server.Start(m_site.Path()));
        m_exe = m_installer.File(L"PelWebInstaller.exe");
        ASSERT_TRUE(::CopyFileW(InstallerExePath().c_str(), m_exe.c_str(), FALSE));
        ASSERT_TRUE(::CreateDirectoryW(m_installer.File(L"config").c_str(), nullptr));
        m_record = m_work.File(L"args.txt");
        ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", m_record.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", nullptr); }

    // A web-build manifest (installer 7.0.0.10) whose version check goes to `versionUrl`.
    static std::string ManifestFor(const std::wstring& versionUrl)
    {
        std::string text = ManifestText(GoodProductBody("Software\\PelTests\\NoSuchProduct"));
        const std::string old = "http://127.0.0.1:8470/version.xml";
        text.replace(text.find(old), old.size(), Narrow(versionUrl));
        return text;
    }
    void WriteManifest(const std::wstring& versionUrl)
    {
        ASSERT_TRUE(WriteFileBytes(m_installer.File(L"config\\manifest.xml"), ManifestFor(versionUrl)));
    }

    void ServeVersionDocument(const std::string& freshMinimum, const std::string& freshUrl)
    {
        const std::string text =
            "<?xml version=\"1.0\"?>\n<pelwebinstaller><product_code>{SERVER}</product_code>"
            "<fresh_install><product_version>7.0.0.1</product_version>"
            "<min_web_installer_version>" + freshMinimum + "</min_web_installer_version>"
            "<web_installer_download_url>" + freshUrl + "</web_installer_download_url>"
            "</fresh_install></pelwebinstaller>";
        ASSERT_TRUE(WriteFileBytes(m_site.File(L"version.xml"), text));
    }

    // A URL on a port where nothing listens: a server that was started and stopped.
    std::wstring UnreachableUrl()
    {
        CTestServer gone;
        if (!gone.Start(m_work.Path()))
            return L"http://127.0.0.1:1/version.xml";
        const std::wstring url = gone.Url(L"/version.xml");
        gone.Stop();
        return url;
    }

    // Runs the staged installer and watches its windows until it ends (or timeoutMs). A
    // message box captioned with the short name is read and answered with OK; stopAtMainWindow
    // ends the process once its main window appears.
    RunRecord Run(const std::wstring& args, bool stopAtMainWindow, DWORD timeoutMs = 30000)
    {
        RunRecord record;
        DWORD pid = 0;
        CHandle process(StartProgram(m_exe, args, &pid));
        EXPECT_TRUE(process.IsValid());
        if (!process)
            return record;
        const DWORD start = ::GetTickCount();
        while (::WaitForSingleObject(process.Get(), 5) == WAIT_TIMEOUT) {
            if (::GetTickCount() - start > timeoutMs)
                break;
            for (HWND hwnd : WindowsOf(pid))
                Observe(hwnd, record);
            if (stopAtMainWindow && record.mainWindowSeen)
                break;
        }
        if (::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process.Get(), 99);
            ::WaitForSingleObject(process.Get(), 5000);
            if (stopAtMainWindow)
                return record;
        }
        record.exitCode = WaitExitCode(process.Get(), 0);
        return record;
    }

    void Observe(HWND hwnd, RunRecord& record)
    {
        const std::wstring cls = ClassName(hwnd);
        if (cls == L"PelMasterInstallerClassName") {
            record.mainWindowSeen = true;
            return;
        }
        if (cls != L"#32770")
            return;
        const std::wstring title = WindowText(hwnd);
        if (title == kPreparing) {
            m_validator = hwnd;
            record.validatorSeen = true;
            record.validatorEverVisible |= ::IsWindowVisible(hwnd) != FALSE;
            record.validatorToolWindow |= (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
        } else if ((title == kShortName || title == kExeName) && ::IsWindowVisible(hwnd)) {
            ++record.boxes;
            record.boxOwnedByValidator = m_validator && ::GetWindow(hwnd, GW_OWNER) == m_validator;
            for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                const std::wstring text = WindowText(child);
                if (!text.empty())
                    record.boxTexts.push_back(text);
            }
            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ::Sleep(300); // let it close before the next poll
        }
    }

    bool BoxSaid(const RunRecord& record, const std::wstring& text) const
    {
        for (const std::wstring& t : record.boxTexts)
            if (t == text)
                return true;
        return false;
    }

    TempFolder m_site;
    TempFolder m_installer;
    TempFolder m_work;
    CTestServer m_server;
    std::wstring m_exe;
    std::wstring m_record;
    HWND m_validator = nullptr;
};

TEST_F(ValidationEndToEnd, UnreachableServerShowsTheConnectErrorAndFails)
{
    WriteManifest(UnreachableUrl());
    const RunRecord run = Run(L"", false);
    EXPECT_TRUE(run.validatorSeen);
    EXPECT_TRUE(run.validatorEverVisible); // shown while the check runs, hidden for the box
    EXPECT_EQ(1, run.boxes);
    EXPECT_TRUE(BoxSaid(run, kConnectError));
    EXPECT_TRUE(run.boxOwnedByValidator);
    EXPECT_FALSE(run.mainWindowSeen);
    EXPECT_EQ(1603, run.exitCode);
}

// A manifest the installer cannot use means a damaged installer, not an unreachable server:
// the self-check, and the install worker of a "/n" run, say so (in the run log only when the
// run is quiet), end with 1603 and send nothing to the server the manifest names. Without a
// short name the box is captioned with the executable's name.
TEST_F(ValidationEndToEnd, UnusableManifestSaysTheInstallerIsDamagedAndAsksNoServer)
{
    enum Manifest { Missing, Empty, IllFormed, NoPid };
    const struct
    {
        const char* name;
        Manifest manifest;
        const wchar_t* args;
        const wchar_t* caption;
    } cases[] = {
        {"missing", Missing, L"", kExeName},
        {"empty, quiet", Empty, L"/quiet", kExeName},
        {"not well-formed, /n /s", IllFormed, L"/n /s", kExeName},
        {"without pid", NoPid, L"", kShortName},
        {"without pid, /n /quiet", NoPid, L"/n /quiet", kShortName},
    };
    const std::wstring manifest = m_installer.File(L"config\\manifest.xml");
    const std::wstring damaged = L"The installer is damaged: its settings file " + manifest +
                                 L" is missing or cannot be read. Download the installer again.";
    const std::wstring log = m_work.File(L"run.log");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(manifest.c_str());
        ::DeleteFileW(log.c_str());
        if (c.manifest != Missing) {
            std::string text = ManifestFor(m_server.Url(L"/version.xml"));
            if (c.manifest == Empty)
                text.clear();
            if (c.manifest == IllFormed)
                text.resize(text.find("</product>")); // still names the server
            if (c.manifest == NoPid)
                text.erase(text.find("<pid>"), text.find("</pid>") + 6 - text.find("<pid>"));
            ASSERT_TRUE(WriteFileBytes(manifest, text));
        }
        const bool quiet = std::wstring(c.args).find(L"/quiet") != std::wstring::npos;

        const int requestsBefore = m_server.CountRequests("/");
        const RunRecord run = Run(std::wstring(c.args) + L" /log \"" + log + L"\"", false);
        EXPECT_EQ(1603, run.exitCode);
        EXPECT_EQ(quiet ? 0 : 1, run.boxes);
        EXPECT_EQ(!quiet, BoxSaid(run, damaged));
        const std::wstring said = ReadUtf8File(log);
        EXPECT_NE(std::wstring::npos,
                  said.find(L"Message box \"" + std::wstring(c.caption) + L"\" [OK]: " + damaged))
            << Narrow(said);
        EXPECT_EQ(requestsBefore, m_server.CountRequests("/")) << m_server.RequestLog();
    }
}

TEST_F(ValidationEndToEnd, OutdatedInstallerStartsItsDownloadedSuccessorWithSlashNAndTheRunsOptions)
{
    ASSERT_TRUE(::CopyFileW(RecordArgsExePath().c_str(), m_site.File(L"newest.exe").c_str(), FALSE));
    ServeVersionDocument("7.0.0.20", Narrow(m_server.Url(L"/newest.exe")));
    WriteManifest(m_server.Url(L"/version.xml"));

    const RunRecord run = Run(L"", false);
    EXPECT_EQ(0, run.boxes);
    EXPECT_FALSE(run.mainWindowSeen);
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(1, m_server.CountRequests("/newest.exe"));

    // The successor runs from a folder of its own in the temporary folder, named after the
    // product, with "/n" only.
    std::wstring lines;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 15000; ::Sleep(50))
        if (!(lines = ReadUtf16File(m_record)).empty())
            break;
    ASSERT_FALSE(lines.empty()) << "the successor was not started";
    const size_t first = lines.find(L'\n');
    ASSERT_NE(std::wstring::npos, first);
    EXPECT_EQ(L"/n\n", lines.substr(first + 1));
    const std::wstring program = lines.substr(0, first);
    EXPECT_NE(std::wstring::npos, program.find(L"\\PelWebInstaller_")) << Narrow(program);
    EXPECT_EQ(L"\\VARO Pro.exe", program.substr(program.rfind(L'\\')));
    ::DeleteFileW(program.c_str());
    ::RemoveDirectoryW(program.substr(0, program.rfind(L'\\')).c_str());

    // A silent run hands its options on, waits for the successor and ends with its exit code.
    ::DeleteFileW(m_record.c_str());
    ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", L"3010");
    const RunRecord silent = Run(L"/s /lang 1031", false);
    ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", nullptr);
    EXPECT_EQ(0, silent.boxes);
    EXPECT_EQ(3010, silent.exitCode);
    lines = ReadUtf16File(m_record);
    ASSERT_NE(std::wstring::npos, lines.find(L'\n')) << "the successor was not started";
    EXPECT_EQ(L"/n\n/s\n/lang\n1031\n", lines.substr(lines.find(L'\n') + 1));
    const std::wstring silentProgram = lines.substr(0, lines.find(L'\n'));
    ::DeleteFileW(silentProgram.c_str());
    ::RemoveDirectoryW(silentProgram.substr(0, silentProgram.rfind(L'\\')).c_str());
}

// Folders of downloaded successors ("PelWebInstaller_<n>") in the temporary folder that hold one.
std::vector<std::wstring> SuccessorFiles()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((std::wstring(temp) + L"PelWebInstaller_*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::wstring file = std::wstring(temp) + found.cFileName + L"\\VARO Pro.exe";
        if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            files.push_back(file);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

// The successor starts only when what vouches for it holds: a signed installer starts only a
// successor of its own publisher (a renewed certificate of it included), never a tampered one;
// a successor sent without its length needs a signature (or a hash). Anything else is deleted
// and the user is told it cannot be launched.
TEST_F(ValidationEndToEnd, SuccessorStartsOnlyWhenItsPublisherOrHashVouches)
{
    const std::wstring signedDir = testing_support::WinePath(PEL_TEST_SIGNED_DIR) + L"\\";
    ASSERT_TRUE(testing_support::TrustCaCertificate(signedDir + L"ca.der"));
    const struct
    {
        bool installerSigned;
        const wchar_t* successor;
        const wchar_t* fault;
        bool started;
    } cases[] = {
        {true, L"signed_a_renewed.exe", nullptr, true},
        {true, L"signed_b.exe", nullptr, false},
        {true, L"tampered_code.exe", nullptr, false},
        {false, L"unsigned.exe", L"nolength=1", false},
        {false, L"signed_b.exe", L"nolength=1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.successor) + (c.installerSigned ? " from a signed installer" : "") +
                     (c.fault ? " without length" : ""));
        ::DeleteFileW(m_record.c_str());
        const std::wstring installer =
            c.installerSigned ? testing_support::WinePath(PEL_SIGNED_INSTALLER_EXE) : InstallerExePath();
        ASSERT_TRUE(::CopyFileW(installer.c_str(), m_exe.c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((signedDir + c.successor).c_str(), m_site.File(L"newest.exe").c_str(), FALSE));
        if (c.fault) {
            ASSERT_TRUE(m_server.SetFault(L"/newest.exe", c.fault));
        }
        ServeVersionDocument("7.0.0.20", Narrow(m_server.Url(L"/newest.exe")));
        WriteManifest(m_server.Url(L"/version.xml"));
        const std::vector<std::wstring> before = SuccessorFiles();

        const RunRecord run = Run(L"", false);
        EXPECT_EQ(c.started ? 0 : 1603, run.exitCode);
        EXPECT_EQ(!c.started, BoxSaid(run, kCannotLaunch));
        std::wstring lines;
        for (DWORD start = ::GetTickCount(); c.started && ::GetTickCount() - start < 15000; ::Sleep(50))
            if (!(lines = ReadUtf16File(m_record)).empty())
                break;
        EXPECT_EQ(c.started, !lines.empty());
        std::vector<std::wstring> after = SuccessorFiles();
        if (!c.started) {
            EXPECT_EQ(before, after) << "a refused successor is deleted";
        }
        for (const std::wstring& file : after) {
            if (std::find(before.begin(), before.end(), file) == before.end()) {
                ::DeleteFileW(file.c_str());
                ::RemoveDirectoryW(file.substr(0, file.rfind(L'\\')).c_str());
            }
        }
        ASSERT_TRUE(m_server.ClearFaults());
    }
    testing_support::UntrustCaCertificate(signedDir + L"ca.der");
}

TEST_F(ValidationEndToEnd, SlashNSkipsTheCheckEntirely)
{
    ServeVersionDocument("7.0.0.5", "");
    WriteManifest(m_server.Url(L"/version.xml"));
    const RunRecord run = Run(L"/n", true);
    ASSERT_TRUE(run.mainWindowSeen);
    EXPECT_FALSE(run.validatorSeen);
    EXPECT_EQ(0, m_server.CountRequests("/version.xml")) << m_server.RequestLog();
}

TEST_F(ValidationEndToEnd, SilentRunNeverShowsTheDialogButShowsTheMessage)
{
    WriteManifest(UnreachableUrl());
    const RunRecord run = Run(L"/s", false);
    EXPECT_TRUE(run.validatorSeen);
    EXPECT_FALSE(run.validatorEverVisible);
    EXPECT_TRUE(run.validatorToolWindow);
    EXPECT_EQ(1, run.boxes);
    EXPECT_TRUE(BoxSaid(run, kConnectError));
    EXPECT_EQ(1603, run.exitCode);
}

} // namespace
