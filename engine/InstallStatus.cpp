#include "engine/InstallStatus.h"

#include "config/UIStrings.h"

#include <windows.h>

InstallStatus& InstallStatus::Instance()
{
    static InstallStatus status;
    return status;
}

UITextLookup UITextLookupOf(const CUIStrings& strings)
{
    return [&strings](const UIStringKey& key) { return strings.GetUIString(key); };
}

StatusSnapshot InstallStatus::TakeStatusSnapshot(const CUIStrings& strings)
{
    return TakeStatusSnapshot(GetTickCount(), UITextLookupOf(strings));
}

void InstallStatus::SetRetryWait(uint32_t waitMs)
{
    SetRetryWait(GetTickCount(), waitMs);
}

std::wstring InstallStatus::FormatTimeRemaining(uint32_t ms, const CUIStrings& strings)
{
    return ::FormatTimeRemaining(ms, UITextLookupOf(strings));
}
