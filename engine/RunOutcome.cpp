#include "engine/RunOutcome.h"

#include <atomic>

namespace {

std::atomic<DWORD> g_outcome{RunOutcomeSuccess};
std::atomic<bool> g_reported{false};
std::atomic<bool> g_reboot{false}; // set by the worker thread

} // namespace

void ReportRunOutcome(DWORD code)
{
    g_outcome = code;
    g_reported = true;
}

bool IsRunOutcomeReported()
{
    return g_reported;
}

DWORD GetRunOutcome()
{
    return g_outcome;
}

void NoteRebootRequired()
{
    g_reboot = true;
}

bool IsRebootRequired()
{
    return g_reboot;
}

void ResetRunOutcomeForTesting()
{
    g_outcome = RunOutcomeSuccess;
    g_reported = false;
    g_reboot = false;
}

std::wstring DescribeRunOutcome(DWORD code)
{
    const wchar_t* meaning = L"unknown";
    switch (code) {
    case RunOutcomeSuccess: meaning = L"installed, or nothing to do"; break;
    case RunOutcomeCancelled: meaning = L"cancelled"; break;
    case RunOutcomeFailed: meaning = L"failed"; break;
    case RunOutcomeRebootRequired: meaning = L"installed; a restart is needed"; break;
    case RunOutcomeAlreadyRunning: meaning = L"another installer is running"; break;
    }
    return std::to_wstring(code) + L" (" + meaning + L")";
}
