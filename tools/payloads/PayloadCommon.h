// Small helpers shared by the demo product's programs and setup stand-ins: command-line
// switches, run time, a log of how each program was started, and registry writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace payload {

// The program's arguments after its own name, split by the system's rules.
class CArguments
{
public:
    CArguments();

    // True when one argument equals name, without regard to letter case.
    bool Has(const wchar_t* name) const;

    // The decimal number that follows the argument name ("--seconds 2"), or fallback when the
    // argument is missing or its value is not a number.
    long Number(const wchar_t* name, long fallback) const;

    // The command line as received, without the program's own name (for the log).
    const std::wstring& Text() const { return m_text; }

private:
    std::wstring m_text;
    std::vector<std::wstring> m_args;
};

// Full path of this program's file ("" when it cannot be read whole).
std::wstring ModulePath();

// The file name part of a path.
std::wstring FileNamePart(const std::wstring& path);

// How long a setup stand-in works before it finishes: "--seconds N" (real setup programs never
// get it), else the environment variable PEL_PAYLOAD_SECONDS, else defaultSeconds. Tests set
// the variable to 0 for speed, or leave the default so that a cancel can arrive meanwhile.
DWORD WorkMilliseconds(const CArguments& args, DWORD defaultSeconds);

// When the environment variable PEL_PAYLOAD_LOG names a file, appends one UTF-8 line
// "<program file name>|<arguments>" to it, so tests see which setup ran with which switches.
void AppendRunLog(const CArguments& args);

// Creates (or opens) root\path in the given registry view and writes one value. Returns the
// registry's error code.
LONG WriteRegistryString(HKEY root, const wchar_t* path, REGSAM view, const wchar_t* name,
                         const std::wstring& value);
LONG WriteRegistryDword(HKEY root, const wchar_t* path, REGSAM view, const wchar_t* name,
                        DWORD value);

} // namespace payload
