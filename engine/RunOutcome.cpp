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
