// The run log's account of a download, one line per event: where the file comes from and
// goes to, what each attempt brought, each retry with its reason and wait, a hash that does
// not match, and how the download ended. A line per chunk would make the log of a large file
// huge, so each attempt is summed up once, when it is over.
#pragma once

#include "engine/HttpTransfer.h"

#include <cstdint>
#include <string>

// What one attempt of a download found.
struct AttemptSummary
{
    uint32_t number = 0;       // 1 for the first attempt of the download
    uint32_t status = 0;       // the answer's HTTP status; 0: none arrived
    int64_t declared = -1;     // its Content-Length; -1: none
    uint64_t rangeFrom = 0;    // the byte a resumed request asked from; 0: the whole file
    uint64_t received = 0;     // body bytes this attempt brought
    uint64_t elapsedMs = 0;
    std::wstring outcome;      // "complete", "stalled", "cancelled", an error...
};

// "error 12029", "error 0x80091007" for an HRESULT, with the failed step's text after it.
std::wstring TransferErrorText(uint32_t error, const std::wstring& step = std::wstring());

// The SHA-256 is written only when one is expected.
void LogDownloadStart(const std::wstring& url, const std::wstring& path, const std::wstring& sha256);
void LogAttempt(const AttemptSummary& attempt);
// A stream download's attempt, from what DownloadToStream found.
void LogStreamAttempt(uint32_t number, bool ok, const StreamFailure& found, uint64_t elapsedMs);
// `delayMs` 0 with `fromByte` > 0: resumed at once after a connection that brought new bytes.
void LogRetry(uint32_t delayMs, uint64_t fromByte, const std::wstring& reason);
void LogHashMismatch(const std::wstring& path, const std::wstring& actual, const std::wstring& expected);

// How a download ended: the file's length when it is whole, else the error (and the last HTTP
// status, 0 when none), and for a cancelled download the bytes kept for a later run.
struct DownloadEnd
{
    bool ok = false;
    bool cancelled = false;
    uint64_t bytes = 0;        // whole: the file's length; cancelled: the bytes kept
    uint32_t error = 0;
    uint32_t status = 0;
    uint32_t attempts = 0;
};
void LogDownloadEnd(const std::wstring& url, const std::wstring& path, const DownloadEnd& end);
