// Start-up benchmark: how long the installer takes from process creation to its settings panel
// on the screen, against a minimal dialog program of the same window size (MinimalDialog).
//
//   StartupBench <installer.exe> <minimal.exe> [runs] [warm-ups]
//
// The installer is started with "/n" (no self-check, so no network) from its own folder, which
// must hold config\manifest.xml and language\ as a deployed installer would. Each of the runs
// (default 15) starts both programs, alternating which goes first, so that both share the
// machine's noise. The clock runs from just before CreateProcessW until, polled every
// millisecond,
//   - the minimal program: its dialog is visible;
//   - the installer: its main window is visible and shows the settings panel.
// The installer's main window alone becoming visible is timed too, to show where the time goes.
// Prints every run, min/median/max of each program, the median ratio installer / minimal and
// the file sizes. Exit code 0 when every run reached its window, 1 otherwise.
#include "tools/demo/InstallerDriver.h"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kInstallerSemaphore[] = L"QuilloVaroInstaller_70";
const DWORD kWindowTimeoutMs = 30000;
const DWORD kCloseTimeoutMs = 5000;
// Lets the ended process's teardown (its windows, the wineserver's bookkeeping) finish
// before the next clock starts.
const DWORD kSettleMs = 300;
// ERROR_ELEVATION_REQUIRED, which not every SDK's headers name.
const DWORD kElevationRequired = 740;

double NowMs()
{
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return 1000.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * msPerTick;
}

struct RunResult
{
    bool ok = false;
    double windowMs = 0;   // the measured window (dialog, or main window with settings panel)
    double mainMs = 0;     // installer only: its main window first visible
    SIZE outer = {0, 0};   // outer size of the measured window
    std::wstring failure;
};

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

SIZE OuterSize(HWND hwnd)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

std::wstring StartFailure(const std::wstring& exe)
{
    DWORD error = ::GetLastError();
    if (error == kElevationRequired)
        return L"cannot start " + exe + L" (it asks for administrator rights: run elevated)";
    return L"cannot start " + exe + L" (error " + std::to_wstring(error) + L")";
}

std::wstring EndedEarly(driver::CProgram& program)
{
    return L"the program ended before its window showed (exit code " +
           std::to_wstring(program.WaitExit(0)) + L")";
}

// A previous installer that has not quite gone yet would turn the next start into a second
// instance, which only activates the first and exits.
bool WaitInstallerGone()
{
    for (int i = 0; i < 200; ++i) {
        if (!driver::SemaphoreExists(kInstallerSemaphore))
            return true;
        ::Sleep(10);
    }
    return false;
}

RunResult TimeMinimal(const std::wstring& exe)
{
    RunResult result;
    driver::CProgram program;
    double start = NowMs();
    if (!program.Start(exe, std::wstring(), FolderOf(exe))) {
        result.failure = StartFailure(exe);
        return result;
    }
    HWND dialog = nullptr;
    for (;;) {
        std::vector<HWND> shown = driver::TopWindows(program.Pid(), L"#32770", true);
        if (!shown.empty()) {
            result.windowMs = NowMs() - start;
            dialog = shown.front();
            break;
        }
        if (!program.Running()) {
            result.failure = EndedEarly(program);
            return result;
        }
        if (NowMs() - start > kWindowTimeoutMs) {
            result.failure = L"no dialog within 30 s";
            return result;
        }
        ::Sleep(1);
    }
    result.outer = OuterSize(dialog);
    // Closed the way a user closes it; the dialog turns WM_CLOSE into IDCANCEL.
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (program.WaitExit(kCloseTimeoutMs) < 0) {
        result.failure = L"the dialog did not close on WM_CLOSE";
        return result;
    }
    result.ok = true;
    return result;
}

RunResult TimeInstaller(const std::wstring& exe)
{
    RunResult result;
    if (!WaitInstallerGone()) {
        result.failure = L"an earlier installer still holds its single-instance semaphore";
        return result;
    }
    driver::CProgram program;
    double start = NowMs();
    if (!program.Start(exe, L"/n", FolderOf(exe))) {
        result.failure = StartFailure(exe);
        return result;
    }
    HWND main = nullptr;
    for (;;) {
        if (!main) {
            std::vector<HWND> shown = driver::TopWindows(program.Pid(), driver::kMainClass, true);
            if (!shown.empty()) {
                main = shown.front();
                result.mainMs = NowMs() - start;
            }
        }
        if (main && ::IsWindowVisible(main) && driver::ShownPanel(main) == driver::SettingsPanel) {
            result.windowMs = NowMs() - start;
            break;
        }
        if (!program.Running()) {
            result.failure = EndedEarly(program);
            return result;
        }
        if (NowMs() - start > kWindowTimeoutMs) {
            result.failure = main ? L"main window shown, but no settings panel within 30 s"
                                  : L"no main window within 30 s";
            return result;
        }
        ::Sleep(1);
    }
    result.outer = OuterSize(main);
    // Ended at once: a close request would ask the panel, which answers with a confirmation
    // box, so more windows and more work would run into the next measurement. The system frees
    // the single-instance semaphore with the process.
    program.Kill();
    result.ok = true;
    return result;
}

struct Summary
{
    double min = 0;
    double median = 0;
    double max = 0;
};

Summary Summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    s.min = values.front();
    s.max = values.back();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return s;
}

long long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring FullPath(const wchar_t* path)
{
    wchar_t full[MAX_PATH * 2] = L"";
    DWORD n = ::GetFullPathNameW(path, MAX_PATH * 2, full, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(full) : std::wstring(path);
}

bool Report(const wchar_t* what, const RunResult& r)
{
    if (!r.ok)
        std::fwprintf(stderr, L"%ls: %ls\n", what, r.failure.c_str());
    return r.ok;
}

void PrintSummary(const wchar_t* name, const Summary& s)
{
    std::wprintf(L"%-38ls %9.1f %9.1f %9.1f\n", name, s.min, s.median, s.max);
}

int Usage()
{
    std::fwprintf(stderr, L"usage: StartupBench <installer.exe> <minimal.exe> [runs] [warm-ups]\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Usage();
    std::wstring installer = FullPath(argv[1]);
    std::wstring minimal = FullPath(argv[2]);
    int runs = argc > 3 ? _wtoi(argv[3]) : 15;
    int warmUps = argc > 4 ? _wtoi(argv[4]) : 1;
    if (runs < 1 || warmUps < 0)
        return Usage();
    // Sleep(1) means one millisecond only with the finer timer period (15.6 ms otherwise on
    // Windows).
    ::timeBeginPeriod(1);

    for (int i = 0; i < warmUps; ++i) {
        if (!Report(L"warm-up, installer", TimeInstaller(installer)) ||
            !Report(L"warm-up, minimal dialog", TimeMinimal(minimal)))
            return 1;
        ::Sleep(kSettleMs);
    }

    std::vector<double> inst, mainShown, mini;
    SIZE instOuter = {0, 0}, miniOuter = {0, 0};
    std::wprintf(L"%-5ls %12ls %12ls %14ls\n", L"run", L"installer", L"minimal", L"(main window)");
    for (int i = 0; i < runs; ++i) {
        RunResult a, b;
        // Alternate which program goes first, so neither always follows the other's teardown.
        if (i % 2 == 0) {
            a = TimeInstaller(installer);
            ::Sleep(kSettleMs);
            b = TimeMinimal(minimal);
        } else {
            b = TimeMinimal(minimal);
            ::Sleep(kSettleMs);
            a = TimeInstaller(installer);
        }
        ::Sleep(kSettleMs);
        if (!Report(L"installer", a) || !Report(L"minimal dialog", b))
            return 1;
        inst.push_back(a.windowMs);
        mainShown.push_back(a.mainMs);
        mini.push_back(b.windowMs);
        instOuter = a.outer;
        miniOuter = b.outer;
        std::wprintf(L"%-5d %12.1f %12.1f %14.1f\n", i + 1, a.windowMs, b.windowMs, a.mainMs);
        std::fflush(stdout);
    }
    ::timeEndPeriod(1);

    Summary si = Summarise(inst), sm = Summarise(mainShown), sd = Summarise(mini);
    std::wprintf(L"\n%-38ls %9ls %9ls %9ls\n", L"time from CreateProcess (ms)", L"min", L"median",
                 L"max");
    PrintSummary(L"installer: settings panel visible", si);
    PrintSummary(L"installer: main window visible", sm);
    PrintSummary(L"minimal dialog: dialog visible", sd);
    std::wprintf(L"\nmedian ratio installer / minimal: %.2f (goal <= 1.3)\n",
                 sd.median > 0 ? si.median / sd.median : 0.0);
    std::wprintf(L"window outer size: installer %ldx%ld, minimal dialog %ldx%ld\n", instOuter.cx,
                 instOuter.cy, miniOuter.cx, miniOuter.cy);
    long long size = FileSize(installer);
    std::wprintf(L"installer file size: %lld bytes (%.2f MB; goal <= 1 MB)\n", size,
                 static_cast<double>(size) / (1024.0 * 1024.0));
    std::wprintf(L"minimal dialog file size: %lld bytes\n", FileSize(minimal));
    std::wprintf(L"runs: %d (plus %d warm-up of each)\n", runs, warmUps);
    return 0;
}
