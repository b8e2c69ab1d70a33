// Process entry of the installer. DPI awareness and the administrator request come from the
// application manifest, not from code, so they hold before the first window exists.
//
// The installer runs elevated from a folder others can write to, and Windows looks for a DLL
// in the program's folder first unless it protects the name (KnownDLLs). So the installer
// imports statically only kernel32 and msvcrt (the C runtime's start-up needs them) and
// advapi32, all protected and loading nothing but other protected DLLs; every other DLL is
// delay-imported (cmake/delayload.cmake). The first statement restricts DLL loading to the
// system folder, the next binds all delay imports: a DLL placed beside the installer under a
// system DLL's name is never loaded, neither for its imports nor for the DLLs those load in
// turn. Nothing of the product that runs before wWinMain calls into a DLL: its static objects
// are mutexes, containers and empty handles.
#include "app/PelMasterInstallerApp.h"
#include "engine/RunOutcome.h"
#include "framework/RunLog.h"

#include <windows.h>

#include <delayimp.h>

#include <string>

// The delay-import helper of the toolchain's delayimp library.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);
// The descriptors the PE delay-import directory does not hold (null-terminated; GNU ld leaves the
// directory empty), made by cmake/delayload.cmake.
extern const IMAGE_DELAYLOAD_DESCRIPTOR* const kDelayImportDescriptors[];

namespace {

// Whether "/quiet" stands as an argument of its own. The command-line splitter lives in
// shell32, which may be what failed to load, so the arguments are split here by blanks,
// with quotes around an argument removed; only this last-resort path uses it.
bool CommandLineAsksForQuiet()
{
    const wchar_t* p = ::GetCommandLineW();
    while (p && *p) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        const wchar_t* start = p;
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
        std::wstring word(start, p);
        if (word.size() >= 2 && word.front() == L'"' && word.back() == L'"')
            word = word.substr(1, word.size() - 2);
        if (word == L"/quiet")
            return true;
    }
    return false;
}

// A delay import that cannot be bound (a system DLL or one of its functions missing): the
// installer cannot run. Says so, instead of an unexplained crash, and ends as a failed run.
FARPROC WINAPI DelayLoadFailed(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliFailLoadLib && notification != dliFailGetProc)
        return nullptr;
    std::string text = "The installer cannot start: ";
    text += info->szDll;
    if (notification == dliFailGetProc && info->dlp.fImportByName)
        text += std::string(" has no function ") + info->dlp.szProcName;
    else if (notification == dliFailGetProc)
        text += " lacks a function";
    else
        text += " could not be loaded from the system folder";
    text += " (error " + std::to_string(info->dwLastError) + ").";
    ::OutputDebugStringA(text.c_str());
    // The run log needs only kernel32; the options are not read yet, so it goes to the
    // default place.
    OpenRunLog(std::wstring(), kRunLogBaseName);
    LogFinalLine(std::wstring(text.begin(), text.end()));
    LogFinalLine(L"Run ended, exit code " + std::to_wstring(RunOutcomeFailed) + L" (failed)");
    // user32 itself may be what failed: reach it without the delay-import table. A quiet
    // run shows nothing.
    if (HMODULE user32 = CommandLineAsksForQuiet() ? nullptr : ::LoadLibraryExW(L"user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        using MessageBoxAFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
        if (auto box = reinterpret_cast<MessageBoxAFn>(
                reinterpret_cast<void*>(::GetProcAddress(user32, "MessageBoxA"))))
            box(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
    }
    ::ExitProcess(RunOutcomeFailed);
}

// Binds each entry of one DLL's delay-import address table (loading the DLL with the first).
void BindAll(BYTE* base, const IMAGE_DELAYLOAD_DESCRIPTOR& descriptor)
{
    auto* entry = reinterpret_cast<FARPROC*>(base + descriptor.ImportAddressTableRVA);
    for (; *entry; ++entry)
        __delayLoadHelper2(reinterpret_cast<PCImgDelayDescr>(&descriptor), entry);
}

// Binds every delay import of this executable now, while nothing else runs: start-up loads the
// same DLLs as with static imports, a missing one is reported before any window, and no call
// ever goes through a delay-load thunk.
void BindDelayImports()
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    if (directory.VirtualAddress != 0) {
        const auto* d =
            reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(base + directory.VirtualAddress);
        for (; d->DllNameRVA != 0; ++d)
            BindAll(base, *d);
    }
    for (const IMAGE_DELAYLOAD_DESCRIPTOR* const* d = kDelayImportDescriptors; *d; ++d)
        BindAll(base, **d);
}

} // namespace

// Visual C++ declares the hook const, mingw-w64 writable.
#if defined(_MSC_VER)
extern "C" const PfnDliHook __pfnDliFailureHook2 = DelayLoadFailed;
#else
extern "C" {
PfnDliHook __pfnDliFailureHook2 = DelayLoadFailed;
}
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    BindDelayImports();
    return TheApp().Run(instance);
}
