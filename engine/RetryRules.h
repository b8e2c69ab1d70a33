// The rules by which a file transfer retries and resumes, kept apart from
// WinINet so that they run and are fuzzed natively: which failures pass, how
// long to wait, what a Retry-After asks for, which validator identifies a
// version of a file, whether a 206 answer continues the kept bytes, and the
// small record that lets a later run resume a download.
#pragma once

#include <cstdint>
#include <string>

// HTTP statuses that say "try again later": 408, 429, 500, 502, 503, 504.
bool IsPassingStatus(uint32_t status);

// Windows errors of a request or read that a later attempt can overcome: a
// refused, reset or aborted connection, a timeout, a name that did not
// resolve, a broken response. Certificate and URL errors are not among them.
bool IsPassingError(uint32_t error);

// The wait before the retry that follows `failuresInRow` (1 for the first)
// failed attempts: firstDelayMs doubled for each earlier failure, spread by
// `jitter` (0 to 1) over -10 % to +10 %. Saturates instead of overflowing.
uint32_t RetryDelayMs(uint32_t failuresInRow, uint32_t firstDelayMs, double jitter);

// A Retry-After value in milliseconds from `nowUnixSeconds`: delta-seconds
// ("120") or an IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"). False for any
// other text; a date in the past gives 0.
bool ParseRetryAfter(const std::wstring& value, int64_t nowUnixSeconds, uint64_t& delayMs);

// The wait before a retry: a server's Retry-After (capped at maxRetryAfterMs)
// when it gave one, else the back-off.
uint32_t ChooseRetryDelay(bool hasRetryAfter, uint64_t retryAfterMs, uint32_t maxRetryAfterMs, uint32_t backoffMs);

// A strong entity tag: quoted and without the "W/" of a weak one.
bool IsStrongETag(const std::wstring& etag);

// The validator that identifies the version of a file for If-Range: a strong
// ETag, else the Last-Modified date, else empty (the file cannot be resumed).
std::wstring ResumeValidator(const std::wstring& etag, const std::wstring& lastModified);

// Whether a 206 answer names another version than `known`, the validator
// the kept bytes were fetched with: its ETag differs from a known ETag, or its
// Last-Modified from a known date. An answer without that header says nothing.
bool ValidatorChanged(const std::wstring& known, const std::wstring& etag, const std::wstring& lastModified);

// Whether an Accept-Ranges header offers byte ranges ("bytes" in its list).
bool AcceptsByteRanges(const std::wstring& acceptRanges);

// "bytes FIRST-LAST/TOTAL" of a 206 answer. TOTAL may be "*" (unknown).
struct ContentRange
{
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t total = 0;
    bool totalKnown = false;
};
bool ParseContentRange(const std::wstring& text, ContentRange& range);

// Whether a 206 answer continues a file of `total` bytes of which `kept` are
// on disk: its range starts at the kept length, runs to the end of the file,
// and the file's total is the one the first answer gave.
bool RangeContinues(const ContentRange& range, uint64_t kept, uint64_t total);

// What a later run needs to resume a download: the address asked for, the
// validator of the version being fetched and that version's length.
struct ResumeRecord
{
    std::wstring url;
    std::wstring validator;
    uint64_t length = 0;
};

// The record as text, and back. Parsing refuses anything but a complete
// record of this form (a damaged record means starting again from zero).
std::wstring FormatResumeRecord(const ResumeRecord& record);
bool ParseResumeRecord(const std::wstring& text, ResumeRecord& record);

// "Range: bytes=<kept>-" and "If-Range: <validator>" request headers, each
// ended by CR LF.
std::wstring ResumeRequestHeaders(uint64_t kept, const std::wstring& validator);
