// Fuzzes what a download reads from servers and from its own resume record:
// Content-Range, Retry-After, validators, Accept-Ranges, the record and the
// limits override, against statements of their rules. Input: one byte per
// code unit (bytes above 0x7F become code units above 0x7F).
#include "engine/RetryRules.h"
#include "engine/TransferLimits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i < size; ++i)
        text += static_cast<wchar_t>(data[i]);

    ContentRange range;
    if (ParseContentRange(text, range)) {
        // A parsed range is ordered and, with a known total, inside it.
        if (range.last < range.first || (range.totalKnown && range.last >= range.total))
            std::abort();
        if (RangeContinues(range, range.first, range.total) && range.last + 1 != range.total)
            std::abort();
    }

    uint64_t ms = 0;
    if (ParseRetryAfter(text, 1700000000, ms) && ms > 86400000ULL)
        std::abort();

    // A parsed record is formatted back to a text that parses to the same record.
    ResumeRecord record;
    if (ParseResumeRecord(text, record)) {
        ResumeRecord again;
        if (!ParseResumeRecord(FormatResumeRecord(record), again) || again.url != record.url ||
            again.validator != record.validator || again.length != record.length || record.length == 0)
            std::abort();
    }

    TransferLimits limits;
    limits.stallLimitMs = 12345;
    const TransferLimits before = limits;
    if (!ParseTransferLimits(text, limits) && limits.stallLimitMs != before.stallLimitMs)
        std::abort();   // a refused text changes nothing
    if (limits.stallLimitMs == 0 || limits.maxAttempts == 0)
        std::abort();

    const std::wstring validator = ResumeValidator(text, L"Sun, 06 Nov 1994 08:49:37 GMT");
    if (validator.empty())
        std::abort();   // a date is always there to fall back on
    AcceptsByteRanges(text);
    ValidatorChanged(text, text, text);
    RetryDelayMs(static_cast<uint32_t>(size), 1000, static_cast<double>(size % 7) / 6.0);
    return 0;
}
