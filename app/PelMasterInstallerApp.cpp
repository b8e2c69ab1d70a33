#include "app/PelMasterInstallerApp.h"

#include "app/InstallGuide.h"
#include "app/RunLogHeader.h"

#include "config/InstallConfig.h"
#include "config/UITextFormat.h"
#include "controls/Theme.h"
#include "engine/RunOutcome.h"
#include "framework/Dialog.h"
#include "framework/RunLog.h"
#include "res/resource.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <climits>
#include <memory>

CPelMasterInstallerApp& TheApp()
{
    // Made on first use (by the process entry), so it never depends on the order in which
    // other translation units initialise their globals.
    static CPelMasterInstallerApp app;
    return app;
}

CPelMasterInstallerApp::CPelMasterInstallerApp()
{
    m_options.Add("/s", [this](const std::wstring&) { m_bSilent = 1; });
    m_options.Add("/n", [this](const std::wstring&) { m_bSkipValidation = 1; });
    m_options.Add("/l", [this](const std::wstring&) { m_bLaunchAfterInstall = 1; });
    m_options.Add("/lang", [this](const std::wstring& value) { m_strLanguage = value; });
    m_options.Add("/quiet", [this](const std::wstring&) {
        m_bQuiet = 1;
        m_bSilent = 1;
    });
    m_options.Add("/log", [this](const std::wstring& value) { m_strLogPath = value; },
                  COptionTable::ValueRule::Path);
}

bool CPelMasterInstallerApp::InitInstance()
{
    if (!ClaimSingleInstance()) {
        // The log this run was given (if any) belongs to the running installer.
        OpenRunLog(std::wstring(), kRunLogBaseName);
        LogLine(L"Another installer is running; it was brought to the front and this run "
                L"does nothing.");
        ReportRunOutcome(RunOutcomeAlreadyRunning);
        return false;
    }
    CWinApp::InitInstance();
    ParseCommandLine();
    StartRunLog();
    if (!RegisterMainWindowClass()) {
        LogLine(L"The main window class cannot be registered (error " +
                std::to_wstring(::GetLastError()) + L").");
        ReportRunOutcome(RunOutcomeFailed);
        return false;
    }
    InitThemePalette();
    CreateSharedFonts();
    // Whatever the manifest load leaves in the install model is what later stages work with.
    LoadManifest();
    ReportLogProblem();
    if (!m_bSkipValidation) {
        m_validator.ClearNewInstallerPath();
        RunValidator();
        if (m_validator.GetResult() != ContinueInstall)
            return false;
    }
    RunMainDialog();
    return false;
}

int CPelMasterInstallerApp::ExitInstance()
{
    DeleteSharedFonts();
    m_hInstanceSemaphore.Reset();
    LaunchNewInstaller();
    CWinApp::ExitInstance();
    // Deployment tools running the installer unattended learn from the exit code how the
    // run ended.
    const DWORD outcome = GetRunOutcome();
    LogFinalLine(L"Run ended, exit code " + DescribeRunOutcome(outcome));
    return static_cast<int>(outcome);
}

void CPelMasterInstallerApp::StartRunLog()
{
    SetQuietRun(m_bQuiet != 0);
    std::wstring problem;
    OpenRunLog(m_strLogPath, kRunLogBaseName, &problem);
    WriteRunLogHeader(OptionsText());
    m_bLogRefused = !problem.empty();
    // The log's first line says it already.
    if (m_bLogRefused)
        ::OutputDebugStringW((problem + L"\r\n").c_str());
}

void CPelMasterInstallerApp::ReportLogProblem()
{
    if (!m_bLogRefused)
        return;
    const CInstallConfig& config = TheInstallConfig();
    const std::wstring used = RunLogPath();
    const std::wstring text = FormatUIText(config.m_uiStrings.GetUIString(IDS_ERR_LOG_FILE),
                                           {m_strLogPath, used.empty() ? L"-" : used});
    RunMessageBox(nullptr, text, config.m_manifest.shortName, MB_OK | MB_ICONWARNING, IDOK);
}

std::wstring CPelMasterInstallerApp::OptionsText() const
{
    std::wstring text;
    auto add = [&text](bool on, const wchar_t* name) {
        if (on)
            text += std::wstring(text.empty() ? L"" : L" ") + name;
    };
    add(m_bQuiet != 0, L"/quiet");
    add(m_bSilent != 0, L"/s");
    add(m_bSkipValidation != 0, L"/n");
    add(m_bLaunchAfterInstall != 0, L"/l");
    if (!m_strLanguage.empty())
        text += std::wstring(text.empty() ? L"" : L" ") + L"/lang " + m_strLanguage;
    if (!m_strLogPath.empty())
        text += std::wstring(text.empty() ? L"" : L" ") + L"/log " + m_strLogPath;
    return text.empty() ? L"none" : text;
}

void CPelMasterInstallerApp::ApplyArguments(const std::vector<std::wstring>& args)
{
    m_options.Parse(args, &AnsiNarrow);
}

bool CPelMasterInstallerApp::ClaimSingleInstance()
{
    ::SetLastError(ERROR_SUCCESS);
    HANDLE semaphore = ::CreateSemaphoreW(nullptr, 0, 1, kInstallerSemaphoreName);
    DWORD error = ::GetLastError();
    m_hInstanceSemaphore.Reset(semaphore);
    // Without a semaphore at all we cannot tell; running is better than refusing to.
    if (!semaphore || error != ERROR_ALREADY_EXISTS)
        return true;
    if (HWND running = ::FindWindowW(kMainWindowClassName, nullptr)) {
        if (::IsIconic(running))
            ::ShowWindow(running, SW_RESTORE);
        ::SetForegroundWindow(running);
    }
    return false;
}

void CPelMasterInstallerApp::ParseCommandLine()
{
    ApplyArguments(SplitCommandLine(::GetCommandLineW()));
}

bool CPelMasterInstallerApp::RegisterMainWindowClass()
{
    // A copy of the system dialog class under our own name: the main dialog behaves like any
    // dialog, and a second start can find it by class.
    WNDCLASSW wc = {};
    if (!::GetClassInfoW(nullptr, WC_DIALOG, &wc))
        return false;
    wc.hInstance = m_hInstance;
    wc.lpszClassName = kMainWindowClassName;
    return ::RegisterClassW(&wc) != 0;
}

void CPelMasterInstallerApp::InitThemePalette()
{
    ::EnsureScreenDpi();
    ::InitThemePalette();
}

void CPelMasterInstallerApp::CreateSharedFonts() { ::CreateSharedFonts(); }
void CPelMasterInstallerApp::DeleteSharedFonts() { ::DeleteSharedFonts(); }

void CPelMasterInstallerApp::LoadManifest()
{
    // The model reports an installed product through the flag the rest of the run reads here.
    CInstallConfig& config = TheInstallConfig();
    config.BindProductInstalledFlag(&m_bProductInstalled);
    config.LoadManifest(m_strLanguage);
}

void CPelMasterInstallerApp::RunValidator()
{
    m_validator.SetSilent(m_bSilent != 0);
    m_validator.Run();
    DWORD code = 0;
    if (ValidationRunOutcome(m_validator.GetResult(), m_validator.GetDecision(), &code))
        ReportRunOutcome(code);
}

void CPelMasterInstallerApp::RunMainDialog()
{
    // Shell automation used later in the run needs COM on this thread.
    HRESULT hr = ::CoInitialize(nullptr);
    bool opened = false;
    {
        CInstallGuide guide(MainDialogRunFlags());
        m_pMainWnd = &guide;
        guide.DoModal();
        m_pMainWnd = nullptr;
        opened = guide.WasModalWindowCreated();
    }
    if (!opened)
        LogLine(L"The main window cannot be created (error " + std::to_wstring(::GetLastError()) + L").");
    // Whoever ends the run reports how it ended; a dialog that ended without a report was
    // closed by the user before anything was decided.
    ReportRunOutcome(OutcomeAfterMainDialog(opened, IsRunOutcomeReported(), GetRunOutcome()));
    // Only a successful CoInitialize (S_OK or S_FALSE) is balanced; a failed one, e.g. a
    // thread already in another apartment, must not be undone by us.
    if (SUCCEEDED(hr))
        ::CoUninitialize();
}

PanelRunFlags CPelMasterInstallerApp::MainDialogRunFlags() const
{
    PanelRunFlags flags;
    flags.m_bSilent = m_bSilent;
    flags.m_bLaunchAfterInstall = m_bLaunchAfterInstall;
    flags.m_bProductInstalled = m_bProductInstalled;
    return flags;
}

void CPelMasterInstallerApp::LaunchNewInstaller()
{
    const std::wstring& path = m_validator.GetNewInstallerPath();
    if (!ShouldStartNewInstaller(m_validator.GetResult(), path))
        return;
    // Checked right before it starts: an elevated process starts only a
    // successor that its hash or its publisher's signature vouches for.
    CFileHandle held = HoldProgramFile(path);
    std::wstring reason;
    // A file that another program holds open for writing could change between the check
    // and the start.
    const bool trusted = held.IsValid() && MayStartSuccessor(path, m_validator.GetSuccessorDownload(), reason);
    if (!held.IsValid())
        reason = L"successor installer: open for writing elsewhere";
    TraceLine(L"TRACE_DEBUG: " + reason + L"\r\n");
    bool started = false;
    CHandle process;
    if (trusted) {
        const std::wstring arguments = SuccessorArguments();
        SHELLEXECUTEINFOW run = {};
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        run.lpVerb = L"open";
        run.lpFile = path.c_str();
        run.lpParameters = arguments.c_str();
        run.nShow = SW_SHOWNORMAL;
        started = ::ShellExecuteExW(&run) != FALSE;
        process.Reset(run.hProcess);
        LogLine(L"Starting the newer installer: \"" + path + L"\" " + arguments +
                (started ? L"" : L" (error " + std::to_wstring(::GetLastError()) + L")"));
    }
    held.Reset();
    if (!trusted)
        DiscardNewInstaller(path);
    if (started && m_bSilent)
        WaitForNewInstaller(process.Get());
    if (!started) {
        std::wstring caption = ExecutableBaseName();
        // The run did not end as it should: the product was neither installed nor updated.
        ReportRunOutcome(RunOutcomeFailed);
        RunMessageBox(nullptr, L"The updater cannot be launched!", caption, MB_OK | MB_ICONERROR, IDOK);
    }
}

std::wstring CPelMasterInstallerApp::SuccessorArguments() const
{
    std::wstring arguments = kNewInstallerArguments;
    if (m_bQuiet)
        arguments += L" /quiet";
    else if (m_bSilent)
        arguments += L" /s";
    if (m_bLaunchAfterInstall)
        arguments += L" /l";
    if (!m_strLanguage.empty())
        arguments += L" /lang " + QuoteArgument(m_strLanguage);
    if (!m_strLogPath.empty())
        arguments += L" /log " + QuoteArgument(m_strLogPath);
    return arguments;
}

void CPelMasterInstallerApp::WaitForNewInstaller(HANDLE process)
{
    // No handle: started through a program that does not hand one out; nothing to wait for.
    if (!process)
        return;
    LogLine(L"Waiting for the newer installer to end");
    DWORD code = RunOutcomeFailed;
    if (::WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process, &code))
        code = RunOutcomeFailed;
    LogLine(L"The newer installer ended with exit code " + std::to_wstring(code));
    ReportRunOutcome(code);
}

bool ShouldStartNewInstaller(ValidationResult result, const std::wstring& path)
{
    return result == RunNewInstaller && !path.empty() && ::PathFileExistsW(path.c_str()) &&
           !::PathIsDirectoryW(path.c_str());
}

std::wstring ExecutableBaseName()
{
    // Grow the buffer until the whole path fits; a cut path would give a wrong name.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
    size_t start = path.find_last_of(L"\\/");
    std::wstring name = start == std::wstring::npos ? path : path.substr(start + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return name;
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine)
{
    std::vector<std::wstring> args;
    int count = 0;
    struct LocalDeleter
    {
        void operator()(wchar_t** p) const { ::LocalFree(p); }
    };
    std::unique_ptr<wchar_t*, LocalDeleter> argv(
        ::CommandLineToArgvW(commandLine ? commandLine : L"", &count));
    if (!argv)
        return args;
    args.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        args.emplace_back(argv.get()[i]);
    return args;
}

std::string AnsiNarrow(const std::wstring& wide)
{
    if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX))
        return std::string();
    int length = static_cast<int>(wide.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int needed = ::WideCharToMultiByte(CP_THREAD_ACP, flags, wide.data(), length, nullptr, 0,
                                       nullptr, nullptr);
    if (needed <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // UTF-8 and some other code pages take no flags; they have no best-fit mapping either.
        flags = 0;
        needed = ::WideCharToMultiByte(CP_THREAD_ACP, flags, wide.data(), length, nullptr, 0,
                                       nullptr, nullptr);
    }
    if (needed <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(needed), '\0');
    int written = ::WideCharToMultiByte(CP_THREAD_ACP, flags, wide.data(), length, &narrow[0],
                                        needed, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return narrow;
}
