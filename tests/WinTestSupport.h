// Helpers for the Windows test runners (under Wine).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// A path of the Linux file system as Wine's Z: drive sees it.
std::wstring WinePath(const std::string& unixPath);

// Path of the installer executable and of tests/data, as Windows paths.
std::wstring InstallerExePath();
std::wstring TestDataPath(const std::wstring& relative = std::wstring());

// Path of tests/programs/record_args.exe, which writes its arguments to the file named by the
// environment variable PEL_RECORD_ARGS_FILE.
std::wstring RecordArgsExePath();

// A fresh, empty folder under the Windows temporary folder; removed by the destructor.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Writes bytes to a file; true on success.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The names of the files (not folders) in a folder (with or without its final backslash),
// sorted; none when it does not exist.
std::vector<std::wstring> FileNamesIn(const std::wstring& folder);

// Starts a program (path quoted, arguments appended); returns the process handle or null.
HANDLE StartProgram(const std::wstring& exe, const std::wstring& args, DWORD* pid = nullptr);

// Waits for a process and returns its exit code, or -1 on timeout (the process is then killed).
long WaitExitCode(HANDLE process, DWORD timeoutMs);

// Polls for a top-level window of a class and/or title (either may be null) for up to timeoutMs.
HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs);

// Held by a test while it runs a Windows Installer installation or removal. ctest starts
// several test processes at once, and the service runs one installation at a time; tests that
// install take this lock (one named mutex, shared by all runners under one wineserver) so they
// never meet. Waits up to five minutes; Held() says whether the lock was obtained.
class WindowsInstallerTestLock
{
public:
    WindowsInstallerTestLock();
    ~WindowsInstallerTestLock();
    WindowsInstallerTestLock(const WindowsInstallerTestLock&) = delete;
    WindowsInstallerTestLock& operator=(const WindowsInstallerTestLock&) = delete;
    bool Held() const { return m_held; }

private:
    HANDLE m_mutex;
    bool m_held;
};

} // namespace testing_support
