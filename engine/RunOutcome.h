// How the run ended, as the process exit code, so that deployment tools running the
// installer unattended can tell success from failure:
//   0     installed, or nothing to do
//   1602  cancelled by the user (ERROR_INSTALL_USEREXIT)
//   1603  failed (ERROR_INSTALL_FAILURE)
//   1618  another installer was running; it was brought to the front and this one did
//         nothing (ERROR_INSTALL_ALREADY_RUNNING)
//   3010  installed; a package asked for a restart (ERROR_SUCCESS_REBOOT_REQUIRED)
// Written on the user-interface thread by whoever ends the run, and by the worker for the
// restart request; read once at shut-down.
#pragma once

#include <windows.h>

#include <string>

enum RunOutcomeCode : DWORD
{
    RunOutcomeSuccess = ERROR_SUCCESS,
    RunOutcomeCancelled = ERROR_INSTALL_USEREXIT,
    RunOutcomeFailed = ERROR_INSTALL_FAILURE,
    RunOutcomeRebootRequired = ERROR_SUCCESS_REBOOT_REQUIRED,
    RunOutcomeAlreadyRunning = ERROR_INSTALL_ALREADY_RUNNING,
};

// "0 (installed, or nothing to do)": the code with what it means, for the run log.
std::wstring DescribeRunOutcome(DWORD code);

// Records how the run ended; a later report replaces an earlier one.
void ReportRunOutcome(DWORD code);
// Whether anything has been reported.
bool IsRunOutcomeReported();
// The reported outcome; success when nothing was reported.
DWORD GetRunOutcome();

// Set when a package or setup program asked for a restart (3010, or 1641 from a setup
// program that started one itself); a successful run then reports 3010 instead of 0.
void NoteRebootRequired();
bool IsRebootRequired();

// Tests: forget everything reported.
void ResetRunOutcomeForTesting();
