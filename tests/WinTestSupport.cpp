#include "WinTestSupport.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace testing_support {

std::wstring WinePath(const std::string& unixPath)
{
    std::wstring out = L"Z:";
    for (char c : unixPath)
        out += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::wstring InstallerExePath() { return WinePath(PEL_INSTALLER_EXE); }

#ifdef PEL_RECORD_ARGS_EXE
std::wstring RecordArgsExePath() { return WinePath(PEL_RECORD_ARGS_EXE); }
#endif

std::wstring TestDataPath(const std::wstring& relative)
{
    std::wstring base = WinePath(PEL_TEST_DATA_DIR);
    return relative.empty() ? base : base + L"\\" + relative;
}

TempFolder::TempFolder()
{
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    std::wstring base(tmp, n);
    static LONG counter = 0;
    for (;;) {
        m_path = base + L"peltest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

TempFolder::~TempFolder()
{
    // SHFileOperation wants a double-terminated list.
    std::vector<wchar_t> from(m_path.begin(), m_path.end());
    from.push_back(0);
    from.push_back(0);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const bool ends = !folder.empty() && folder.back() == L'\\';
    HANDLE search = FindFirstFileW((folder + (ends ? L"*" : L"\\*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

HANDLE StartProgram(const std::wstring& exe, const std::wstring& args, DWORD* pid)
{
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty())
        cmd += L" " + args;
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    if (pid)
        *pid = pi.dwProcessId;
    return pi.hProcess;
}

long WaitExitCode(HANDLE process, DWORD timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<long>(code);
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND h = FindWindowW(className, title))
            return h;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

WindowsInstallerTestLock::WindowsInstallerTestLock()
    : m_mutex(CreateMutexW(nullptr, FALSE, L"Local\\PelTestWindowsInstallerLock")), m_held(false)
{
    if (m_mutex) {
        // An abandoned mutex (a test process that crashed) still passes ownership.
        const DWORD wait = WaitForSingleObject(m_mutex, 5 * 60 * 1000);
        m_held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
}

WindowsInstallerTestLock::~WindowsInstallerTestLock()
{
    if (m_held)
        ReleaseMutex(m_mutex);
    if (m_mutex)
        CloseHandle(m_mutex);
}

} // namespace testing_support
