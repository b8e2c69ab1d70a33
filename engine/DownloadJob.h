// One download: sends a GET for the URL, takes the file's length from the
// response and reads the body from that same request into "<file>.partial",
// passing every report, completed with the expected total, to its owner's
// callable. An attempt that fails for a passing reason (a refused, reset or
// cut connection, a timeout, a stall, 408, 429, 500, 502, 503, 504) is tried
// again after a growing wait, up to the limit of attempts in a row that bring
// no new byte; when the server can resume the file (Accept-Ranges: bytes and a
// strong ETag or a Last-Modified date), the next attempt asks only for the
// rest, and a later run of the installer continues what a failed or
// cancelled run kept. Only the whole file is moved to the local path. Each
// attempt runs on a thread of its own (engine/TransferAttempt.h), so the
// job's own waits end within a poll interval of a cancellation and at the
// stall limit of a silent server. A job runs once.
#pragma once

#include "engine/HttpTransfer.h"

#include <cstdint>
#include <functional>
#include <string>

// What a job takes from the object that runs it (the install worker): its
// cancel event (signalled = stop) and run event (reset = hold transfers).
// Either may be null.
class IDownloadOwner
{
public:
    virtual HANDLE CancelEvent() const = 0;
    virtual HANDLE RunEvent() const = 0;

protected:
    ~IDownloadOwner() = default;
};

using DownloadStatusCallback = std::function<void(const DownloadStatusInfo&)>;

class CDownloadJob : public IDownloadCallback
{
public:
    CDownloadJob(std::wstring url, std::wstring localPath);

    // Non-zero when the whole file was downloaded. Reports: (5,0,0) alone when
    // the owner was cancelled already; else (2,0,0), the transfers' reports
    // (their received counts include the bytes kept from earlier attempts),
    // (6, kept, length) with the wait before each retry, the end report (3,
    // or 4 after a cancellation) when a transfer took place, and
    // (2,0,length). The chunk reports come from the attempt's thread while
    // Run waits for it. Nothing but a complete download is ever found at the
    // local path.
    uint32_t Run(IDownloadOwner* owner, DownloadStatusCallback callback);

    // Attempts in a row without a new byte before the job fails; by default
    // the transfer limits' maxAttempts. Set before Run.
    void SetMaxAttempts(uint32_t attempts) { m_maxAttempts = attempts; }

    // The file's SHA-256 as 64 hexadecimal digits (empty: not checked; any
    // other text: nothing matches). The hash is computed while the file is
    // written, a continued file's kept bytes first, and checked before the
    // file is moved to the local path. A file that does not match is deleted
    // and fetched once more from its start; a second mismatch fails the job
    // (end report with CRYPT_E_HASH_VALUE). Set before Run.
    void SetExpectedSha256(std::wstring text) { m_expectedSha256 = std::move(text); }

    // Fills in the expected total and hands the report to the callback.
    void OnStatus(const DownloadStatusInfo& info) override;

    int64_t ContentLength() const { return m_contentLength; }

private:
    // Completes `info` in place and calls the callback (the job's own record).
    void Report(DownloadStatusInfo& info);
    bool Fetch(const CancelRequest& cancel);
    bool WaitBeforeRetry(const CancelRequest& cancel, uint32_t delayMs) const;
    bool AnnounceAndWait(const CancelRequest& cancel, uint64_t received, uint32_t delayMs, uint32_t error);

    std::wstring m_url;
    std::wstring m_localPath;
    int64_t m_contentLength = 0;
    uint32_t m_maxAttempts = 0;
    std::wstring m_expectedSha256;
    IDownloadOwner* m_owner = nullptr;
    DownloadStatusCallback m_callback;
};
