#include "framework/RunLog.h"

#include "framework/Handles.h"
#include "framework/LogText.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Lines kept before the log is opened; a run that never opens one keeps no more than this.
constexpr size_t kEarlyLineLimit = 200;

struct RunLogFile
{
    std::mutex lock;
    CHandle file;
    std::wstring path;
    unsigned long long written = 0;
    bool overflowNoted = false;
    unsigned long long dropped = 0;
    std::vector<std::string> early;
};

RunLogFile& TheLog()
{
    static RunLogFile log;
    return log;
}

std::atomic<bool> g_quiet{false};

LogClock Now()
{
    SYSTEMTIME t = {};
    ::GetLocalTime(&t);
    LogClock clock;
    clock.year = t.wYear;
    clock.month = t.wMonth;
    clock.day = t.wDay;
    clock.hour = t.wHour;
    clock.minute = t.wMinute;
    clock.second = t.wSecond;
    clock.millisecond = t.wMilliseconds;
    return clock;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string bytes(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], needed, nullptr, nullptr);
    return bytes;
}

std::string LineBytes(const std::wstring& text)
{
    return Utf8(FormatLogLine(Now(), ::GetCurrentThreadId(), text)) + "\r\n";
}

void WriteBytes(RunLogFile& log, const std::string& bytes)
{
    DWORD done = 0;
    if (::WriteFile(log.file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
        log.written += done;
}

// Called with the lock held.
void Append(RunLogFile& log, const std::string& bytes, bool final)
{
    if (!log.file) {
        if (log.path.empty() && log.early.size() < kEarlyLineLimit)
            log.early.push_back(bytes);
        return;
    }
    if (!final && log.written + bytes.size() > kRunLogMaxBytes) {
        ++log.dropped;
        return;
    }
    if (log.dropped != 0 && !log.overflowNoted) {
        log.overflowNoted = true;
        WriteBytes(log, LineBytes(L"The log reached its size limit; " + std::to_wstring(log.dropped) +
                                  L" lines were left out."));
    }
    WriteBytes(log, bytes);
}

CHandle OpenForAppend(const std::wstring& path, DWORD disposition)
{
    CHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        file.Release();
    return file;
}

std::wstring SystemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD chars = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = chars && text ? std::wstring(text, chars) : std::wstring();
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return L"error " + std::to_wstring(error) + (message.empty() ? L"" : L": " + message);
}

// A new file under the temporary folder; a name that is taken gets a number.
CHandle OpenDefault(const std::wstring& baseName, std::wstring& path)
{
    std::wstring folder(32768, L'\0');
    const DWORD chars = ::GetTempPathW(static_cast<DWORD>(folder.size()), &folder[0]);
    if (chars == 0 || chars >= folder.size())
        return CHandle();
    folder.resize(chars);
    const std::wstring stem = folder + baseName + L"_" + LogFileStamp(Now());
    for (int n = 1; n <= 100; ++n) {
        path = stem + (n == 1 ? L"" : L"_" + std::to_wstring(n)) + L".log";
        CHandle file = OpenForAppend(path, CREATE_NEW);
        if (file || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return CHandle();
}

const wchar_t* ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return L"OK/Cancel";
    case MB_ABORTRETRYIGNORE: return L"Abort/Retry/Ignore";
    case MB_YESNOCANCEL: return L"Yes/No/Cancel";
    case MB_YESNO: return L"Yes/No";
    case MB_RETRYCANCEL: return L"Retry/Cancel";
    case MB_CANCELTRYCONTINUE: return L"Cancel/Try Again/Continue";
    default: return L"OK";
    }
}

std::wstring AnswerName(int answer)
{
    switch (answer) {
    case IDOK: return L"OK";
    case IDCANCEL: return L"Cancel";
    case IDABORT: return L"Abort";
    case IDRETRY: return L"Retry";
    case IDIGNORE: return L"Ignore";
    case IDYES: return L"Yes";
    case IDNO: return L"No";
    case IDTRYAGAIN: return L"Try Again";
    case IDCONTINUE: return L"Continue";
    case 0: return L"none (the box could not be shown)";
    default: return std::to_wstring(answer);
    }
}

} // namespace

std::wstring OpenRunLog(const std::wstring& requestedPath, const std::wstring& baseName,
                        std::wstring* problem)
{
    RunLogFile& log = TheLog();
    std::lock_guard<std::mutex> hold(log.lock);
    log.file.Reset();
    log.written = 0;
    log.dropped = 0;
    log.overflowNoted = false;
    std::wstring note;
    std::wstring path = requestedPath;
    CHandle file;
    if (!requestedPath.empty()) {
        file = OpenForAppend(requestedPath, OPEN_ALWAYS);
        if (!file)
            note = L"The log file " + requestedPath + L" cannot be written (" +
                   SystemMessage(::GetLastError()) + L"); the log is written to the default place.";
    }
    if (!file)
        file = OpenDefault(baseName, path);
    if (problem)
        *problem = note;
    if (!file) {
        log.path.clear();
        return std::wstring();
    }
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(file.Get(), &size))
        log.written = static_cast<unsigned long long>(size.QuadPart);
    log.file = std::move(file);
    log.path = path;
    if (!note.empty())
        Append(log, LineBytes(note), true);
    for (const std::string& line : log.early)
        Append(log, line, false);
    log.early.clear();
    return path;
}

void CloseRunLog()
{
    RunLogFile& log = TheLog();
    std::lock_guard<std::mutex> hold(log.lock);
    log.file.Reset();
    log.path.clear();
    log.early.clear();
}

std::wstring RunLogPath()
{
    RunLogFile& log = TheLog();
    std::lock_guard<std::mutex> hold(log.lock);
    return log.file ? log.path : std::wstring();
}

std::wstring RunLogCompanionPath(const std::wstring& suffix)
{
    std::wstring path = RunLogPath();
    if (path.empty())
        return path;
    if (path.size() > 4 && ::CompareStringOrdinal(path.c_str() + path.size() - 4, 4, L".log", 4, TRUE) == CSTR_EQUAL)
        path.resize(path.size() - 4);
    return path + L"_" + suffix + L".log";
}

void LogLine(const std::wstring& text)
{
    const std::string bytes = LineBytes(text);
    RunLogFile& log = TheLog();
    std::lock_guard<std::mutex> hold(log.lock);
    Append(log, bytes, false);
}

void LogFinalLine(const std::wstring& text)
{
    const std::string bytes = LineBytes(text);
    RunLogFile& log = TheLog();
    std::lock_guard<std::mutex> hold(log.lock);
    Append(log, bytes, true);
}

void TraceLine(const std::wstring& text)
{
    ::OutputDebugStringW(text.c_str());
    LogLine(text);
}

void SetQuietRun(bool quiet) { g_quiet = quiet; }
bool IsQuietRun() { return g_quiet; }

int RunMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type,
                  int quietAnswer)
{
    LogLine(L"Message box \"" + caption + L"\" [" + ButtonsOf(type) + L"]: " + text);
    if (IsQuietRun()) {
        LogLine(L"Answer: " + AnswerName(quietAnswer) + L" (quiet run, nothing shown)");
        return quietAnswer;
    }
    const int answer = ::MessageBoxW(owner, text.c_str(), caption.empty() ? nullptr : caption.c_str(), type);
    LogLine(L"Answer: " + AnswerName(answer));
    return answer;
}

int DeclineAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
    case MB_YESNOCANCEL:
    case MB_CANCELTRYCONTINUE:
        return IDCANCEL;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}
