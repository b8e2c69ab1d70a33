// Test program: writes its argument vector, one argument a line (UTF-16LE), to the file named
// by the environment variable PEL_RECORD_ARGS_FILE, then exits with 0, or with the number in
// PEL_RECORD_ARGS_EXIT. Tests start it in place of a real program to see how it was started
// and what its starter makes of its exit code.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t target[4096];
    DWORD n = GetEnvironmentVariableW(L"PEL_RECORD_ARGS_FILE", target, 4096);
    if (n == 0 || n >= 4096)
        return 2;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 3;
    std::wstring text;
    for (int i = 0; i < argc; ++i) {
        text += argv[i];
        text += L'\n';
    }
    LocalFree(argv);

    // Written aside and renamed, so a reader never sees half a file.
    std::wstring temp = std::wstring(target) + L".part";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 4;
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), bytes, &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes)
        return 5;
    if (!MoveFileExW(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING))
        return 6;
    wchar_t exitCode[16];
    n = GetEnvironmentVariableW(L"PEL_RECORD_ARGS_EXIT", exitCode, 16);
    return n > 0 && n < 16 ? _wtoi(exitCode) : 0;
}
