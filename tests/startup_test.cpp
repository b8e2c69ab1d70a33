// Start-up order and shut-down of the application object, and the real installer
// executable: single instance, activation of the running one, closing.
#include "app/PelMasterInstallerApp.h"
#include "engine/RunOutcome.h"
#include "WinTestSupport.h"
#include "tools/demo/InstallerDriver.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

using Stages = std::vector<std::string>;

bool SemaphoreExists()
{
    CHandle h(::OpenSemaphoreW(SYNCHRONIZE, FALSE, kInstallerSemaphoreName));
    return h.IsValid();
}

// The application with every stage recorded; the stages that would show windows or need
// other modules only record themselves, the others run for real.
class CRecordingApp : public CPelMasterInstallerApp
{
public:
    Stages stages;
    std::vector<std::wstring> args{L"PelWebInstaller.exe"};
    ValidationResult validatorOutcome = ContinueInstall;
    std::wstring pathSeenByValidator = L"<validator not run>";
    bool semaphoreDuringMainDialog = false;

protected:
    bool ClaimSingleInstance() override
    {
        stages.push_back("single-instance");
        return CPelMasterInstallerApp::ClaimSingleInstance();
    }
    void ParseCommandLine() override
    {
        stages.push_back("command-line");
        ApplyArguments(args);
    }
    bool RegisterMainWindowClass() override
    {
        stages.push_back("register-class");
        return CPelMasterInstallerApp::RegisterMainWindowClass();
    }
    void InitThemePalette() override { stages.push_back("palette"); }
    void CreateSharedFonts() override { stages.push_back("fonts"); }
    void LoadManifest() override { stages.push_back("manifest"); }
    void RunValidator() override
    {
        stages.push_back("validator");
        pathSeenByValidator = m_validator.GetNewInstallerPath();
        m_validator.SetResult(validatorOutcome);
    }
    void RunMainDialog() override
    {
        stages.push_back("main-dialog");
        semaphoreDuringMainDialog = SemaphoreExists();
    }
    void DeleteSharedFonts() override { stages.push_back("delete-fonts"); }
};

class StartupOrder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SemaphoreExists()) << "another installer is running";
        ::UnregisterClassW(kMainWindowClassName, ::GetModuleHandleW(nullptr));
        ResetRunOutcomeForTesting();
    }
    void TearDown() override
    {
        ::UnregisterClassW(kMainWindowClassName, ::GetModuleHandleW(nullptr));
        ResetRunOutcomeForTesting();
    }
};

TEST_F(StartupOrder, RunsTheStagesInOrderThenShutsDown)
{
    CRecordingApp app;
    EXPECT_EQ(0, app.Run(nullptr));
    EXPECT_EQ((Stages{"single-instance", "command-line", "register-class", "palette", "fonts",
                      "manifest", "validator", "main-dialog", "delete-fonts"}),
              app.stages);
}

TEST_F(StartupOrder, InitInstanceAlwaysReturnsFalse)
{
    CRecordingApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ("main-dialog", app.stages.back());
    app.ExitInstance();
}

TEST_F(StartupOrder, SkipValidationOptionLeavesOutTheValidator)
{
    CRecordingApp app;
    app.args = {L"PelWebInstaller.exe", L"/n"};
    app.Run(nullptr);
    EXPECT_EQ(1, app.m_bSkipValidation);
    EXPECT_EQ((Stages{"single-instance", "command-line", "register-class", "palette", "fonts",
                      "manifest", "main-dialog", "delete-fonts"}),
              app.stages);
}

TEST_F(StartupOrder, ValidatorStartsWithoutANewInstallerPath)
{
    CRecordingApp app;
    app.m_validator.SetNewInstallerPath(L"C:\\left\\over.exe");
    app.Run(nullptr);
    EXPECT_EQ(L"", app.pathSeenByValidator);
}

TEST_F(StartupOrder, ResultOtherThanContinueEndsBeforeTheMainDialog)
{
    for (ValidationResult outcome : {StopInstall, RunNewInstaller}) {
        SCOPED_TRACE(static_cast<int>(outcome));
        CRecordingApp app;
        app.validatorOutcome = outcome;
        EXPECT_EQ(0, app.Run(nullptr));
        EXPECT_EQ((Stages{"single-instance", "command-line", "register-class", "palette", "fonts",
                          "manifest", "validator", "delete-fonts"}),
                  app.stages);
        ::UnregisterClassW(kMainWindowClassName, ::GetModuleHandleW(nullptr));
    }
}

TEST_F(StartupOrder, FailedClassRegistrationEndsStartup)
{
    // The name is taken already, so the real registration fails.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kMainWindowClassName;
    ASSERT_NE(0, ::RegisterClassW(&wc));

    CRecordingApp app;
    EXPECT_EQ(static_cast<int>(RunOutcomeFailed), app.Run(nullptr));
    EXPECT_EQ((Stages{"single-instance", "command-line", "register-class", "delete-fonts"}),
              app.stages);
}

TEST_F(StartupOrder, RegisteredClassIsACopyOfTheDialogClass)
{
    CRecordingApp app;
    app.Run(nullptr);
    WNDCLASSW mine = {}, dialog = {};
    ASSERT_TRUE(::GetClassInfoW(::GetModuleHandleW(nullptr), kMainWindowClassName, &mine));
    ASSERT_TRUE(::GetClassInfoW(nullptr, WC_DIALOG, &dialog));
    EXPECT_EQ(DLGWINDOWEXTRA, mine.cbWndExtra);
    EXPECT_EQ(dialog.cbWndExtra, mine.cbWndExtra);
    EXPECT_EQ(dialog.style, mine.style);
    EXPECT_EQ(dialog.hCursor, mine.hCursor);
}

TEST_F(StartupOrder, SemaphoreLivesUntilShutdown)
{
    CRecordingApp app;
    app.Run(nullptr);
    EXPECT_TRUE(app.semaphoreDuringMainDialog);
    EXPECT_FALSE(app.m_hInstanceSemaphore.IsValid());
    EXPECT_FALSE(SemaphoreExists());
}

TEST_F(StartupOrder, SecondInstanceActivatesTheFirstAndEnds)
{
    CHandle first(::CreateSemaphoreW(nullptr, 0, 1, kInstallerSemaphoreName));
    ASSERT_TRUE(first.IsValid());
    // A window of the main class, minimised, stands for the running installer's dialog.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kMainWindowClassName;
    ASSERT_NE(0, ::RegisterClassW(&wc));
    HWND running = ::CreateWindowExW(0, kMainWindowClassName, L"running",
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MINIMIZE, 10, 10, 300,
                                     200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, running);
    ASSERT_TRUE(::IsIconic(running));

    CRecordingApp app;
    EXPECT_EQ(static_cast<int>(RunOutcomeAlreadyRunning), app.Run(nullptr)); // 1618: this run did nothing
    EXPECT_EQ((Stages{"single-instance", "delete-fonts"}), app.stages);
    EXPECT_FALSE(::IsIconic(running));
    EXPECT_FALSE(app.m_hInstanceSemaphore.IsValid()); // its handle was closed at shut-down
    EXPECT_TRUE(SemaphoreExists());                   // the first instance's still stands
    ::DestroyWindow(running);
}

// ---------------------------------------------------------------------------------------
// The real executable.

struct Process
{
    CHandle handle;
    DWORD pid = 0;
};

Process StartInstaller(const std::wstring& args = std::wstring())
{
    Process p;
    p.handle.Reset(StartProgram(InstallerExePath(), args, &p.pid));
    return p;
}

// Top-level windows of the main class that belong to a process.
int MainWindowsOf(DWORD pid)
{
    struct Search
    {
        DWORD pid;
        int count;
    } search{pid, 0};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid && ::GetClassNameW(hwnd, name, 64) &&
                lstrcmpW(name, kMainWindowClassName) == 0)
                ++s->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

class InstallerProcess : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(SemaphoreExists()) << "another installer is running"; }

    // Starts the first instance and waits for its main window.
    void StartFirst()
    {
        // "/n": no self-check, which would need a manifest and a download server.
        m_first = StartInstaller(L"/n");
        ASSERT_TRUE(m_first.handle.IsValid()) << "CreateProcess failed: " << ::GetLastError();
        m_window = WaitForWindow(kMainWindowClassName, nullptr, 20000);
        ASSERT_NE(nullptr, m_window);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(m_window, &owner);
        ASSERT_EQ(m_first.pid, owner);
        // The dialog exists before it is shown: it becomes visible after its initialisation.
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(m_window) != FALSE; }, 10000));
    }

    // A second start must end on its own, quickly, without a main window of its own.
    void StartSecondAndExpectItToEnd()
    {
        Process second = StartInstaller();
        ASSERT_TRUE(second.handle.IsValid());
        DWORD start = ::GetTickCount();
        bool ownWindow = false;
        while (::WaitForSingleObject(second.handle.Get(), 20) == WAIT_TIMEOUT &&
               ::GetTickCount() - start < 15000)
            ownWindow = ownWindow || MainWindowsOf(second.pid) > 0;
        EXPECT_FALSE(ownWindow);
        EXPECT_EQ(1618, WaitExitCode(second.handle.Get(), 100)); // the second run did nothing
        EXPECT_EQ(1, MainWindowsOf(m_first.pid));
    }

    void TearDown() override
    {
        if (m_first.handle && ::WaitForSingleObject(m_first.handle.Get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_first.handle.Get(), 99);
            ::WaitForSingleObject(m_first.handle.Get(), 5000);
        }
    }

    Process m_first;
    HWND m_window = nullptr;
};

namespace {

// Closes the installer as a person would on its settings panel: the close request is asked
// about and confirmed; the run ends as cancelled by the user.
long CloseAndConfirm(HWND window, HANDLE process)
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    driver::MessageBoxInfo box;
    if (!driver::WaitMessageBox(::GetProcessId(process), 15000, &box))
        return -2;
    driver::AnswerMessageBox(box, IDYES);
    return WaitExitCode(process, 15000);
}

} // namespace

TEST_F(InstallerProcess, FirstInstanceShowsItsWindowAndAConfirmedCloseEndsItAsCancelled)
{
    StartFirst();
    EXPECT_TRUE(SemaphoreExists());
    EXPECT_EQ(1602, CloseAndConfirm(m_window, m_first.handle.Get()));
    EXPECT_FALSE(SemaphoreExists());
}

TEST_F(InstallerProcess, SecondStartRestoresTheMinimisedFirstWindow)
{
    StartFirst();
    ::ShowWindow(m_window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(m_window) != FALSE; }, 5000));

    StartSecondAndExpectItToEnd();
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(m_window); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == m_window; }, 5000))
        << "foreground window: " << ::GetForegroundWindow();

    EXPECT_EQ(1602, CloseAndConfirm(m_window, m_first.handle.Get()));
}

TEST_F(InstallerProcess, SecondStartBringsTheFirstToTheForeground)
{
    StartFirst();
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 300, 300, 200,
                                   100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, other);
    ::SetForegroundWindow(other);
    auto pump = [] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    };
    ASSERT_TRUE(WaitUntil([&] { pump(); return ::GetForegroundWindow() == other; }, 5000));

    StartSecondAndExpectItToEnd();
    EXPECT_TRUE(WaitUntil([&] { pump(); return ::GetForegroundWindow() == m_window; }, 5000))
        << "foreground window: " << ::GetForegroundWindow();
    ::DestroyWindow(other);

    EXPECT_EQ(1602, CloseAndConfirm(m_window, m_first.handle.Get()));
}

// ---------------------------------------------------------------------------------------
// Shut-down: starting a downloaded newer installer.

// Watches, from another thread, for a message box of this process with a caption; reads
// it and presses OK. Any message box still open at the deadline is closed too, so a test
// never hangs on one.
class CMessageBoxWatcher
{
public:
    explicit CMessageBoxWatcher(std::wstring caption)
        : m_caption(std::move(caption)), m_threadId(::GetCurrentThreadId()),
          m_thread([this] { Watch(); })
    {
    }
    ~CMessageBoxWatcher() { Stop(); }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    bool found = false;
    std::vector<std::wstring> texts;
    bool errorIcon = false;

private:
    void Watch()
    {
        DWORD start = ::GetTickCount();
        while (!m_stop) {
            HWND box = ::FindWindowW(L"#32770", m_caption.c_str());
            DWORD pid = 0;
            // Found during its creation the box may not hold its icon and texts yet: it is
            // read once it shows.
            if (box && ::IsWindowVisible(box) && ::GetWindowThreadProcessId(box, &pid) == m_threadId) {
                Read(box);
                found = true;
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                ::Sleep(200);
            }
            if (::GetTickCount() - start > 20000)
                CloseAnyDialog();
            ::Sleep(20);
        }
    }

    void Read(HWND box)
    {
        HICON error = ::LoadIconW(nullptr, IDI_ERROR);
        for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[256] = {};
            ::GetWindowTextW(child, text, 256);
            if (text[0])
                texts.push_back(text);
            if (reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == error)
                errorIcon = true;
        }
    }

    void CloseAnyDialog()
    {
        ::EnumThreadWindows(
            m_threadId,
            [](HWND hwnd, LPARAM) -> BOOL {
                wchar_t name[16] = {};
                if (::GetClassNameW(hwnd, name, 16) && lstrcmpW(name, L"#32770") == 0)
                    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return TRUE;
            },
            0);
    }

    std::wstring m_caption;
    DWORD m_threadId;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The caption the message box must carry: this executable's file name without extension.
std::wstring ExpectedCaption()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = ::PathFindFileNameW(path);
    return name.substr(0, name.rfind(L'.'));
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

class ShutdownLaunch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetRunOutcomeForTesting();
        m_record = m_folder.File(L"args.txt");
        ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", m_record.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", nullptr); }

    // Shuts an application down and returns its exit code.
    int ShutDown(ValidationResult result, const std::wstring& path,
                 const std::vector<std::wstring>& args = {L"x.exe"})
    {
        ResetRunOutcomeForTesting();
        CPelMasterInstallerApp app;
        app.ApplyArguments(args);
        app.m_validator.SetResult(result);
        app.m_validator.SetNewInstallerPath(path);
        // As downloaded with its length declared (an unsigned program then starts).
        app.m_validator.SetSuccessorDownload({false, true, L""});
        return app.ExitInstance();
    }

    bool Recorded() const { return ::GetFileAttributesW(m_record.c_str()) != INVALID_FILE_ATTRIBUTES; }

    TempFolder m_folder;
    std::wstring m_record;
};

TEST_F(ShutdownLaunch, StartsTheNewInstallerWithSlashN)
{
    CMessageBoxWatcher watcher(ExpectedCaption());
    EXPECT_EQ(0, ShutDown(RunNewInstaller, RecordArgsExePath()));
    // The file appears by a rename; on a busy machine the first open may still lose the race.
    std::wstring lines;
    ASSERT_TRUE(WaitUntil([&] { return Recorded() && !(lines = ReadUtf16File(m_record)).empty(); }, 15000));
    size_t first = lines.find(L'\n');
    ASSERT_NE(std::wstring::npos, first);
    EXPECT_EQ(L"/n\n", lines.substr(first + 1));
    watcher.Stop();
    EXPECT_FALSE(watcher.found);

    // The successor gets the options of the run it replaces, each argument intact; a silent
    // run waits for it and ends with its exit code.
    const struct
    {
        const wchar_t* options;
        const wchar_t* successorGets;
        int exitCode;
    } cases[] = {
        {L"x.exe /quiet", L"/n\n/quiet\n", 3010},
        {L"x.exe /s /l /lang 1031 /log \"C:\\Log Files\\run.log\"",
         L"/n\n/s\n/l\n/lang\n1031\n/log\nC:\\Log Files\\run.log\n", 1603},
        {L"x.exe /lang \"10 31\"", L"/n\n/lang\n10 31\n", 0}, // not silent: not waited for
    };
    ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", L"3010");
    for (const auto& c : cases) {
        ::DeleteFileW(m_record.c_str());
        if (c.exitCode != 0)
            ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", std::to_wstring(c.exitCode).c_str());
        EXPECT_EQ(c.exitCode, ShutDown(RunNewInstaller, RecordArgsExePath(), SplitCommandLine(c.options)));
        ASSERT_TRUE(WaitUntil([&] { return Recorded() && !(lines = ReadUtf16File(m_record)).empty(); }, 15000));
        first = lines.find(L'\n');
        ASSERT_NE(std::wstring::npos, first);
        EXPECT_EQ(c.successorGets, lines.substr(first + 1));
    }
    ::SetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", nullptr);
}

TEST_F(ShutdownLaunch, OtherResultsStartNothing)
{
    EXPECT_EQ(0, ShutDown(ContinueInstall, RecordArgsExePath()));
    EXPECT_EQ(0, ShutDown(StopInstall, RecordArgsExePath()));
    ::Sleep(2000);
    EXPECT_FALSE(Recorded());
}

TEST_F(ShutdownLaunch, UnstartableFileShowsTheMessageCaptionedWithTheExeName)
{
    std::wstring file = m_folder.File(L"QuilloVaroSetup.pelnoassoc");
    ASSERT_TRUE(WriteFileBytes(file, "not a program"));
    CMessageBoxWatcher watcher(ExpectedCaption());
    // The successor did not start: the run failed.
    EXPECT_EQ(1603, ShutDown(RunNewInstaller, file));
    watcher.Stop();
    ASSERT_TRUE(watcher.found);
    EXPECT_NE(watcher.texts.end(),
              std::find(watcher.texts.begin(), watcher.texts.end(), L"The updater cannot be launched!"));
    EXPECT_TRUE(watcher.errorIcon);
}

TEST_F(ShutdownLaunch, MissingPathStartsNothingAndShowsNothing)
{
    CMessageBoxWatcher watcher(ExpectedCaption());
    EXPECT_EQ(0, ShutDown(RunNewInstaller, m_folder.File(L"missing.exe")));
    EXPECT_EQ(0, ShutDown(RunNewInstaller, L""));
    ::Sleep(500);
    watcher.Stop();
    EXPECT_FALSE(watcher.found);
}

} // namespace
