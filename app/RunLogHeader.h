// The first lines of the run log: which installer runs, on which Windows, with which rights
// and options, so that a log sent to support says what it came from.
#pragma once

#include <string>

// "1.0.0.0": the file version of the running executable's version resource; "unknown"
// without one.
std::wstring ProgramVersionText();
// "Windows 10.0.19045" (with the Wine version under Wine), from the kernel's own record:
// GetVersionEx reports what the program's manifest declares, not the system.
std::wstring WindowsVersionText();
// "elevated", "not elevated", or "unknown" when the token cannot be read.
std::wstring ElevationText();

// Writes the header: program, version, path, command line, the options as understood,
// Windows version, elevation, user's languages.
void WriteRunLogHeader(const std::wstring& optionsText);
