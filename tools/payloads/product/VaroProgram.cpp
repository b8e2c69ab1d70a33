// A program of the demo product, built once per program:
//   PEL_VARO_EDITOR    "VARO Pro Video Editor 7.exe",   semaphore "QuilloVaroInstance_70"
//   PEL_VARO_RECORDER  "VARO Pro Video Recorder 7.exe", semaphore "QuilloVaroVRInstance_70"
// It shows one dark window and holds its named semaphore while it runs: that semaphore is how
// the web installer tells that the product is in use. A second copy brings the first one's
// window forward and ends with ERROR_ALREADY_EXISTS.
//
// "/selftest-exit" ends at once after taking the semaphore (0, or ERROR_ALREADY_EXISTS when
// another copy holds it), so tests can check the names without a display.
#include "tools/payloads/PayloadCommon.h"

#include "framework/Handles.h"

#include <windows.h>

namespace {

#if defined(PEL_VARO_EDITOR)
const wchar_t kTitle[] = L"VARO Pro Video Editor 7";
const wchar_t kSemaphore[] = L"QuilloVaroInstance_70";
const wchar_t kClassName[] = L"VaroProVideoEditor7Window";
#elif defined(PEL_VARO_RECORDER)
const wchar_t kTitle[] = L"VARO Pro Video Recorder 7";
const wchar_t kSemaphore[] = L"QuilloVaroVRInstance_70";
const wchar_t kClassName[] = L"VaroProVideoRecorder7Window";
#else
#error "define PEL_VARO_EDITOR or PEL_VARO_RECORDER"
#endif

const COLORREF kBackground = RGB(0x1E, 0x20, 0x24);
const COLORREF kTitleText = RGB(0xE6, 0xE8, 0xEC);

void Paint(HWND window)
{
    CPaintDC dc(window);
    RECT client;
    GetClientRect(window, &client);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTitleText);
    DrawTextW(dc, kTitle, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Shows the copy that already runs instead of starting a second one.
void ActivateRunningCopy()
{
    HWND other = FindWindowW(kClassName, kTitle);
    if (!other)
        return;
    if (IsIconic(other))
        ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
}

int RunWindow(HINSTANCE instance, int show)
{
    CBrushHandle background(CreateSolidBrush(kBackground));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background.Get();
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc))
        return static_cast<int>(GetLastError());
    HWND window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 800, 500, nullptr, nullptr, instance, nullptr);
    if (!window)
        return static_cast<int>(GetLastError());
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const payload::CArguments args;
    // Held, not signalled: other processes only test whether it exists.
    CHandle semaphore(CreateSemaphoreW(nullptr, 0, 1, kSemaphore));
    const bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!semaphore)
        return static_cast<int>(GetLastError());
    if (alreadyRunning) {
        if (!args.Has(L"/selftest-exit"))
            ActivateRunningCopy();
        return ERROR_ALREADY_EXISTS;
    }
    if (args.Has(L"/selftest-exit"))
        return 0;
    return RunWindow(instance, show);
}
