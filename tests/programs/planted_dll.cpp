// Test DLL: planted beside the installer under the name of a system DLL (tests/PlantedDlls.cmake
// builds one per name). When anything loads it, it leaves the file "<its own path>.loaded" beside
// itself. Every export is PlantedStub, so the loader can bind it wherever the real DLL is imported.
#include <windows.h>

extern "C" int PlantedStub()
{
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD n = ::GetModuleFileNameW(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return TRUE;
    ::lstrcpyW(path + n, L".loaded");
    HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        ::CloseHandle(marker);
    return TRUE;
}
