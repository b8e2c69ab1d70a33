// The installer's application object: run flags, start-up sequence and shut-down.
#pragma once

#include "app/CommandLine.h"
#include "app/ClientValidator.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "panels/PanelHost.h"

#include <string>
#include <vector>

// Marks a running installer; a second start finds it and activates the first one instead.
inline constexpr wchar_t kInstallerSemaphoreName[] = L"QuilloVaroInstaller_70";
// Window class of the main dialog, looked up by a second start.
inline constexpr wchar_t kMainWindowClassName[] = L"PelMasterInstallerClassName";
// The first argument of a newer installer started at shut-down: it must not check itself
// again. The options of the run it replaces follow (SuccessorArguments).
inline constexpr wchar_t kNewInstallerArguments[] = L"/n";
// The name the default run log starts with (%TEMP%\PelWebInstaller_<time>.log).
inline constexpr wchar_t kRunLogBaseName[] = L"PelWebInstaller";

class CPelMasterInstallerApp : public CWinApp
{
public:
    CPelMasterInstallerApp();

    // Runs the start-up sequence and always returns false: the main dialog has its own modal
    // loop, and shut-down follows directly.
    bool InitInstance() override;
    // Releases what start-up made and starts a downloaded newer installer when asked to.
    // Returns the run's outcome (engine/RunOutcome.h) as the process exit code.
    int ExitInstance() override;

    // Sets the run flags from an argument vector (index 0 is the program path).
    void ApplyArguments(const std::vector<std::wstring>& args);
    // The command line of the newer installer that replaces this run: "/n", then every
    // option this run was given (/quiet or /s, /l, /lang id, /log path), quoted as needed.
    std::wstring SuccessorArguments() const;

    CHandle m_hInstanceSemaphore;
    int m_bProductInstalled = 0;   // set while the manifest is loaded
    int m_bSilent = 0;             // /s
    int m_bSkipValidation = 0;     // /n
    int m_bLaunchAfterInstall = 0; // /l
    std::wstring m_strLanguage;    // /lang value
    int m_bQuiet = 0;              // /quiet: silent, and no window or message box at all
    std::wstring m_strLogPath;     // /log value: where the run log goes
    CClientValidator m_validator;

protected:
    // Start-up stages, in the order InitInstance runs them.
    // False when another installer runs; it has been activated then.
    virtual bool ClaimSingleInstance();
    virtual void ParseCommandLine();
    virtual bool RegisterMainWindowClass();
    virtual void InitThemePalette();
    virtual void CreateSharedFonts();
    virtual void LoadManifest();
    // Runs the self-check modally; its outcome is left in m_validator and, when it ends
    // the run, reported as the run's outcome.
    virtual void RunValidator();
    virtual void RunMainDialog();
    // The run flags the main dialog and its panels act on.
    PanelRunFlags MainDialogRunFlags() const;

    // Shut-down stage.
    virtual void DeleteSharedFonts();

private:
    // Opens the run log where /log says (else the default place) and writes its header.
    void StartRunLog();
    // Says that the /log file could not be written, in the run's language (a box, or only
    // the log in a quiet run).
    void ReportLogProblem();
    std::wstring OptionsText() const;
    void LaunchNewInstaller();
    // A silent run waits for the newer installer and takes its exit code as its own, so that
    // whoever started the run learns how the installation ended.
    void WaitForNewInstaller(HANDLE process);

    COptionTable m_options;
    bool m_bLogRefused = false; // the /log file could not be written
};

// The one application object of the process.
CPelMasterInstallerApp& TheApp();

// Whether shut-down starts the newer installer: only after RunNewInstaller, and only for a
// path naming an existing file (a folder would open in the shell instead).
bool ShouldStartNewInstaller(ValidationResult result, const std::wstring& path);

// File name of the running executable without folder and extension ("PelWebInstaller").
std::wstring ExecutableBaseName();

// Splits a command line by the platform's rules (CommandLineToArgvW), program path included.
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

// Option keywords are matched in the thread's ANSI code page. Characters without an exact
// counterpart become '?', never a look-alike: a full-width "／ｓ" must not turn into "/s".
std::string AnsiNarrow(const std::wstring& wide);
