// The check tool's output: sections of plain lines, warnings and errors, counted for the exit
// code, written as UTF-8 (or straight to the console when standard output is one).
#pragma once

#include <string>

class CCheckReport
{
public:
    CCheckReport();
    ~CCheckReport();
    CCheckReport(const CCheckReport&) = delete;
    CCheckReport& operator=(const CCheckReport&) = delete;

    // A blank line and a section title.
    void Heading(const std::wstring& title);
    // One indented line of information.
    void Line(const std::wstring& text);
    // Something the installer handles, but not the way the vendor probably meant.
    void Warning(const std::wstring& text);
    // Something that makes the file unusable for the installer (or for this check).
    void Error(const std::wstring& text);
    // Something the tool was asked to change in a file and could not (a hash it could not
    // fill in): an error too, but no verdict on whether the installer can use the file.
    void Failure(const std::wstring& text);
    // Neither: a fact worth knowing that does not change the exit code.
    void Note(const std::wstring& text);

    int Warnings() const { return m_warnings; }
    int Errors() const { return m_errors; }
    // 2 with any error, 1 with warnings only, 0 when clean.
    int ExitCode() const;

    // The closing summary line; also flushes.
    void Summary();
    void Flush();

private:
    void Write(const std::wstring& text);

    std::wstring m_pending;
    bool m_written = false;
    int m_warnings = 0;
    int m_errors = 0;
    int m_failures = 0;
};

// "line 12: " for a line number above 0, else nothing.
std::wstring AtLine(int line);
// A value as the installer holds it, in double quotes, with line breaks, tabs and other
// control characters made visible (\n, \r, \t, \x01).
std::wstring Quoted(const std::wstring& value);
std::wstring Decimal(long long value);
