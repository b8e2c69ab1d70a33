#include "CheckReport.h"

#include <windows.h>

namespace {

// Output is gathered and written in pieces of about this many characters: a report on a
// hostile file can have many lines, and one system call per line would be slow.
constexpr size_t kFlushChars = 16384;

// A console shows UTF-16 text as it is; anything else (a pipe, a file) gets UTF-8 bytes, so
// the output does not depend on the console or ANSI code page of the vendor's system.
void WriteOut(const std::wstring& text)
{
    if (text.empty())
        return;
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int length = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr,
                                            nullptr);
    if (bytes <= 0)
        return;
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

const wchar_t kHexDigits[] = L"0123456789ABCDEF";

} // namespace

CCheckReport::CCheckReport() = default;

CCheckReport::~CCheckReport()
{
    Flush();
}

void CCheckReport::Write(const std::wstring& text)
{
    m_written = true;
    m_pending += text;
    m_pending += L"\r\n";
    if (m_pending.size() >= kFlushChars)
        Flush();
}

void CCheckReport::Flush()
{
    WriteOut(m_pending);
    m_pending.clear();
}

void CCheckReport::Heading(const std::wstring& title)
{
    if (m_written)
        Write(std::wstring());
    Write(title);
}

void CCheckReport::Line(const std::wstring& text)
{
    Write(L"  " + text);
}

void CCheckReport::Warning(const std::wstring& text)
{
    ++m_warnings;
    Write(L"  warning: " + text);
}

void CCheckReport::Error(const std::wstring& text)
{
    ++m_errors;
    Write(L"  error: " + text);
}

void CCheckReport::Failure(const std::wstring& text)
{
    ++m_failures;
    Error(text);
}

void CCheckReport::Note(const std::wstring& text)
{
    Write(L"  note: " + text);
}

int CCheckReport::ExitCode() const
{
    if (m_errors > 0)
        return 2;
    return m_warnings > 0 ? 1 : 0;
}

void CCheckReport::Summary()
{
    Write(std::wstring());
    std::wstring verdict;
    switch (ExitCode()) {
    case 0: verdict = L"clean"; break;
    case 1: verdict = L"usable, with warnings"; break;
    default:
        verdict = m_errors > m_failures ? L"not usable by the installer"
                                        : L"not every hash could be filled in";
        break;
    }
    Write(L"Result: " + Decimal(m_errors) + (m_errors == 1 ? L" error, " : L" errors, ") +
          Decimal(m_warnings) + (m_warnings == 1 ? L" warning" : L" warnings") + L": " +
          verdict + L" (exit code " + Decimal(ExitCode()) + L")");
    Flush();
}

std::wstring AtLine(int line)
{
    return line > 0 ? L"line " + Decimal(line) + L": " : std::wstring();
}

std::wstring Quoted(const std::wstring& value)
{
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        switch (c) {
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += L"\\x";
                out += kHexDigits[(c >> 4) & 0xF];
                out += kHexDigits[c & 0xF];
            } else {
                out += c;
            }
            break;
        }
    }
    out += L'"';
    return out;
}

std::wstring Decimal(long long value)
{
    return std::to_wstring(value);
}
