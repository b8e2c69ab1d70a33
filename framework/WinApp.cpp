#include "framework/WinApp.h"

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleW(nullptr)) {}

int CWinApp::Run(HINSTANCE instance)
{
    if (instance)
        m_hInstance = instance;
    if (InitInstance()) {
        MSG msg;
        BOOL got;
        while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (got == 0)
            m_nExitCode = static_cast<int>(msg.wParam);
    }
    return ExitInstance();
}
