// Drives a running installer from outside, the way a person would: finds its windows, reads
// their texts, clicks its controls, answers its message boxes and takes pictures of them.
// Used by the demo driver and by the end-to-end tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// Window class of the installer's main dialog.
inline constexpr wchar_t kMainClass[] = L"PelMasterInstallerClassName";

// Panel indices as the wizard numbers them; -1 when none is shown.
enum ShownPanelIndex
{
    NoPanel = -1,
    SettingsPanel = 0,
    StatusPanel = 1,
    SuccessPanel = 2,
};

// A started program; the destructor kills it if it still runs.
class CProgram
{
public:
    CProgram() = default;
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Starts exe with args (the exe path is quoted); false when it could not be started.
    bool Start(const std::wstring& exe, const std::wstring& args,
               const std::wstring& folder = std::wstring());
    DWORD Pid() const { return m_pid; }
    HANDLE Process() const { return m_process; }
    bool Running() const;
    // The exit code, or -1 when the program is still running after timeoutMs.
    long WaitExit(DWORD timeoutMs);
    void Kill();

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// Top-level windows of a process (optionally of one class, optionally visible only).
std::vector<HWND> TopWindows(DWORD pid, const wchar_t* className, bool visibleOnly);

// The installer's main dialog (visible or not), or null; waits up to timeoutMs.
HWND WaitMainWindow(DWORD pid, DWORD timeoutMs, bool mustBeVisible = true);
// The self-validation dialog (a dialog holding the marquee control 171), or null.
HWND FindValidatorWindow(DWORD pid);

// Which panel the main window shows, judged by the controls of its visible child dialog.
int ShownPanel(HWND main);
// Waits until that panel is shown; false on timeout or when the process ended.
bool WaitForPanel(HWND main, int panel, DWORD timeoutMs, HANDLE process = nullptr);
// A control of the visible panel, or null.
HWND PanelControl(HWND main, int id);

std::wstring WindowText(HWND hwnd);

// Moves the mouse onto the control's centre, presses and releases the left button there
// (window messages, so no real pointer is needed).
bool Click(HWND control);

struct MessageBoxInfo
{
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring text;
};
// A message box of the process (a dialog with the text control 0xFFFF), waiting up to
// timeoutMs; false when none appeared.
bool WaitMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* box);
// Presses the button with that id (IDOK, IDYES, IDNO, IDRETRY, IDCANCEL).
bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId);

// Saves what a window shows (with its frame) as a PNG; the window is brought to the front
// first. False when it could not be captured or written.
bool SaveWindowPng(HWND hwnd, const std::wstring& path);

// Whether a named semaphore exists (a product program that runs holds one).
bool SemaphoreExists(const wchar_t* name);

} // namespace driver
