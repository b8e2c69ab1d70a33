#include "tools/payloads/PayloadCommon.h"

#include "framework/Handles.h"

#include <shellapi.h>

#include <cwctype>

namespace payload {

namespace {

bool SameTextIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return i == a.size() && b[i] == 0;
}

// The part of the command line after the program's own name, whether that name is quoted or
// not (the installer starts setup programs with unquoted paths).
std::wstring TextAfterProgramName(const wchar_t* line)
{
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, nullptr);
    return out;
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    if (length == 0 || length >= 1024)
        return std::wstring();
    return std::wstring(buffer, length);
}

// A whole decimal number, or fallback: "2x" or "" are not numbers.
long ParseNumber(const std::wstring& text, long fallback)
{
    if (text.empty() || text.size() > 6)
        return fallback;
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return fallback;
        value = value * 10 + (c - L'0');
    }
    return value;
}

} // namespace

CArguments::CArguments()
{
    const wchar_t* line = GetCommandLineW();
    m_text = TextAfterProgramName(line);
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line, &count);
    if (!argv)
        return;
    for (int i = 1; i < count; ++i)
        m_args.push_back(argv[i]);
    LocalFree(argv);
}

bool CArguments::Has(const wchar_t* name) const
{
    for (const std::wstring& arg : m_args) {
        if (SameTextIgnoringCase(arg, name))
            return true;
    }
    return false;
}

long CArguments::Number(const wchar_t* name, long fallback) const
{
    for (size_t i = 0; i + 1 < m_args.size(); ++i) {
        if (SameTextIgnoringCase(m_args[i], name))
            return ParseNumber(m_args[i + 1], fallback);
    }
    return fallback;
}

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

DWORD WorkMilliseconds(const CArguments& args, DWORD defaultSeconds)
{
    long seconds = args.Number(L"--seconds", -1);
    if (seconds < 0)
        seconds = ParseNumber(Environment(L"PEL_PAYLOAD_SECONDS"), -1);
    if (seconds < 0)
        seconds = static_cast<long>(defaultSeconds);
    // Bounded, so a mistaken value cannot leave a setup program hanging for a day.
    if (seconds > 600)
        seconds = 600;
    return static_cast<DWORD>(seconds) * 1000;
}

void AppendRunLog(const CArguments& args)
{
    const std::wstring logPath = Environment(L"PEL_PAYLOAD_LOG");
    if (logPath.empty())
        return;
    const std::string line = Utf8(FileNamePart(ModulePath()) + L"|" + args.Text() + L"\r\n");
    // Opened for appending only, so lines of programs that run one after another never
    // overwrite each other.
    CFileHandle file(CreateFileW(logPath.c_str(), FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

namespace {

LONG WriteValue(HKEY root, const wchar_t* path, REGSAM view, const wchar_t* name, DWORD type,
                const void* data, DWORD bytes)
{
    CKeyHandle key;
    LONG result = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | view, nullptr, key.Receive(), nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
}

} // namespace

LONG WriteRegistryString(HKEY root, const wchar_t* path, REGSAM view, const wchar_t* name,
                         const std::wstring& value)
{
    return WriteValue(root, path, view, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG WriteRegistryDword(HKEY root, const wchar_t* path, REGSAM view, const wchar_t* name,
                        DWORD value)
{
    return WriteValue(root, path, view, name, REG_DWORD, &value, sizeof value);
}

} // namespace payload
