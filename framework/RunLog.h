// The run log: a UTF-8 text file with one timestamped line per event of the run, written for
// administrators who deploy the installer unattended and for support staff after a failed
// installation. Every layer writes to it; every text sent to the debugger output goes there
// too (TraceLine), and every message box is recorded with the answer it got (RunMessageBox).
//
// Until the log is opened, lines are kept in memory (up to a bound) and written first, so
// nothing said before the command line is known is lost. Writes are serialised; each line
// reaches the file at once, so a log survives a process that is ended from outside.
#pragma once

#include <windows.h>

#include <string>

// The log's size limit. Past it, only the lines of the run's end are written, after one line
// that says how much was left out.
inline constexpr unsigned long long kRunLogMaxBytes = 8ull * 1024 * 1024;

// Opens the run log: the file `requestedPath` names when it is not empty (appended to when it
// exists), else %TEMP%\<baseName>_<yyyyMMdd_HHmmss>.log (a number is added when that name is
// taken). A requested file that cannot be written falls back to the default place; `problem`
// then says why, and the log's first lines say it too. Returns the path in use, empty when
// no log could be opened at all (the run goes on without one).
std::wstring OpenRunLog(const std::wstring& requestedPath, const std::wstring& baseName,
                        std::wstring* problem = nullptr);
// Closes the log; later lines are dropped. Tests reopen it afterwards.
void CloseRunLog();
// The path of the open log; empty when none is open.
std::wstring RunLogPath();
// A file beside the log for another program's log of this run: the log's path without
// ".log", then "_" + suffix + ".log". Empty when no log is open.
std::wstring RunLogCompanionPath(const std::wstring& suffix);

// Writes one event.
void LogLine(const std::wstring& text);
// Writes one of the lines that end the run; these are written even past the size limit.
void LogFinalLine(const std::wstring& text);
// Sends a text to the debugger output exactly as given, and to the log as one line.
void TraceLine(const std::wstring& text);

// A run without anyone at the screen (/quiet): no message box is shown, each takes the
// answer its caller documents.
void SetQuietRun(bool quiet);
bool IsQuietRun();

// Shows a message box like MessageBoxW and logs its caption, text, buttons and the answer.
// In a quiet run nothing is shown and `quietAnswer` is the answer.
int RunMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type,
                  int quietAnswer);

// The answer a box of this style takes in a quiet run when its caller has no better one: the
// button that does not go on (Cancel, Abort, No), or OK for a box with OK only.
int DeclineAnswer(UINT type);
