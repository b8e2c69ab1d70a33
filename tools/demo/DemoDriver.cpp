// Drives the installer under Wine the way a person would for the demo: starts
// it, starts it a second time, and closes it, printing what it observes.
// Usage: DemoDriver <installer.exe> [--interactive]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kMainClass[] = L"PelMasterInstallerClassName";

HANDLE Start(const std::wstring& exe, const std::wstring& args)
{
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

HWND WaitWindow(DWORD timeoutMs)
{
    DWORD t0 = GetTickCount();
    while (GetTickCount() - t0 < timeoutMs) {
        if (HWND h = FindWindowW(kMainClass, nullptr))
            if (IsWindowVisible(h))
                return h;
        Sleep(25);
    }
    return nullptr;
}

long WaitExit(HANDLE process, DWORD timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<long>(code);
}

std::string Narrow(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: DemoDriver <installer.exe> [--interactive]\n");
        return 2;
    }
    std::wstring exe = argv[1];
    bool interactive = argc > 2 && std::wstring(argv[2]) == L"--interactive";
    int failures = 0;

    DWORD t0 = GetTickCount();
    HANDLE first = Start(exe, L"/n");
    if (!first) {
        std::printf("FAIL  cannot start the installer (error %lu)\n", GetLastError());
        return 1;
    }
    HWND wnd = WaitWindow(20000);
    if (!wnd) {
        std::printf("FAIL  no installer window appeared\n");
        TerminateProcess(first, 1);
        return 1;
    }
    wchar_t title[256] = L"";
    GetWindowTextW(wnd, title, 256);
    std::printf("ok    first instance shows its window \"%s\" after %lu ms\n", Narrow(title).c_str(),
                GetTickCount() - t0);

    ShowWindow(wnd, SW_MINIMIZE);
    Sleep(200);
    std::printf("ok    window minimised: %s\n", IsIconic(wnd) ? "yes" : "no");

    DWORD t1 = GetTickCount();
    HANDLE second = Start(exe, L"/n");
    long secondCode = second ? WaitExit(second, 20000) : -2;
    if (second)
        CloseHandle(second);
    bool restored = false;
    for (int i = 0; i < 40 && !restored; ++i, Sleep(25))
        restored = !IsIconic(wnd);
    std::printf("%s  second instance ended after %lu ms with exit code %ld\n",
                secondCode == 0 ? "ok  " : "FAIL", GetTickCount() - t1, secondCode);
    std::printf("%s  first window restored and in front: %s\n", restored ? "ok  " : "FAIL",
                restored ? (GetForegroundWindow() == wnd ? "restored, foreground" : "restored")
                         : "no");
    failures += (secondCode != 0) + !restored;

    if (interactive) {
        std::printf("      close the installer window to end the demo\n");
        std::fflush(stdout);
    } else {
        PostMessageW(wnd, WM_CLOSE, 0, 0);
    }
    long code = WaitExit(first, interactive ? INFINITE : 20000);
    CloseHandle(first);
    std::printf("%s  installer shut down with exit code %ld\n", code == 0 ? "ok  " : "FAIL", code);
    failures += code != 0;
    std::printf("%s\n", failures ? "DEMO FAILED" : "DEMO PASSED");
    return failures ? 1 : 0;
}
