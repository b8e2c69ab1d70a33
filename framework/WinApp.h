// Application base class: start-up, optional message loop, shut-down and the exit code.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp
{
public:
    CWinApp();
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The process entry calls this once: InitInstance; when it returns true, a message loop
    // until WM_QUIT; then always ExitInstance, whose result is the process exit code.
    int Run(HINSTANCE instance);

    // True to enter the message loop, false to go straight to ExitInstance.
    virtual bool InitInstance() { return true; }
    // Runs after InitInstance in every case; returns the exit code.
    virtual int ExitInstance() { return m_nExitCode; }

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;

protected:
    int m_nExitCode = 0; // the WM_QUIT code when the message loop ran
};
