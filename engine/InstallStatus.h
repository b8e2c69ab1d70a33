// The process-wide install status: the status model bound to the system's
// tick count and to the user-interface texts of the current language.
#pragma once

#include "engine/StatusModel.h"

class CUIStrings;

class InstallStatus : public CStatusModel
{
public:
    // The one record of the process, created on first use.
    static InstallStatus& Instance();

    using CStatusModel::TakeStatusSnapshot;
    // Snapshot at the current tick count, texts from `strings`.
    StatusSnapshot TakeStatusSnapshot(const CUIStrings& strings);

    using CStatusModel::SetRetryWait;
    // A retry wait of `waitMs` from the current tick count (0 ends it).
    void SetRetryWait(uint32_t waitMs);

    static std::wstring FormatTimeRemaining(uint32_t ms, const CUIStrings& strings);
};

// A text lookup over the UI strings (for the model's functions).
UITextLookup UITextLookupOf(const CUIStrings& strings);
