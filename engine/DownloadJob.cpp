#include "engine/DownloadJob.h"

#include "config/Sha256Text.h"
#include "engine/PartialDownload.h"
#include "engine/RetryRules.h"
#include "engine/TransferAttempt.h"
#include "engine/TransferRules.h"
#include "framework/Handles.h"

#include <wininet.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Gives the user interface time to show the cancellation before the report.
constexpr DWORD kCancelReportDelayMs = 500;
// The wait for a response is bounded by the request's own timeouts; the
// job's watch ends it this much later at the latest.
constexpr uint32_t kResponseGraceMs = 2000;
constexpr DWORD kRetryWaitStepMs = 50;
// New bytes an attempt must have kept for the next one to start without a wait.
constexpr uint64_t kResumeAtOnceBytes = 64 * 1024;
// Whole files that may fail their hash before the job gives up: the second
// fetch shows whether a cache or a transfer spoiled the first.
constexpr uint32_t kHashMismatchesAllowed = 1;

// Windows error of a failed attempt that ended without its own.
DWORD AttemptError(const CTransferAttempt& a, CTransferAttempt::Outcome outcome)
{
    if (outcome == CTransferAttempt::Stalled)
        return ERROR_INTERNET_TIMEOUT;
    return a.report.errorCode;
}

// Whether an attempt that did not bring the whole file may pass, and when
// the server asked to be tried again.
struct FailureVerdict
{
    bool passing = false;
    bool hasRetryAfter = false;
    uint64_t retryAfterMs = 0;
};

FailureVerdict JudgeFailure(const CTransferAttempt& a, CTransferAttempt::Outcome outcome)
{
    FailureVerdict verdict;
    if (outcome != CTransferAttempt::Finished) {
        verdict.passing = true;   // a stall
    } else if (a.bodyStarted || !a.opened) {
        verdict.passing = IsPassingError(AttemptError(a, outcome));   // no answer, or a broken body
    } else if (IsPassingStatus(a.status)) {
        verdict.passing = true;
        verdict.hasRetryAfter = RetryAfterFromNow(a.retryAfter, verdict.retryAfterMs);
    }
    return verdict;
}

double Jitter()
{
    // Spreads the retries of many clients that lost the same server at once.
    thread_local unsigned state = static_cast<unsigned>(GetTickCount64()) ^ (GetCurrentThreadId() << 16);
    state = state * 1103515245u + 12345u;
    return static_cast<double>((state >> 8) % 1001) / 1000.0;
}

} // namespace

CDownloadJob::CDownloadJob(std::wstring url, std::wstring localPath)
    : m_url(std::move(url)), m_localPath(std::move(localPath))
{
}

void CDownloadJob::Report(DownloadStatusInfo& info)
{
    if (!m_callback)
        return;
    // A transfer's own reports carry the length its answer gave; the job's
    // reports get the length known last.
    if (info.total == 0 && m_contentLength != 0)
        info.total = static_cast<uint64_t>(m_contentLength);
    m_callback(info);
}

void CDownloadJob::OnStatus(const DownloadStatusInfo& info)
{
    // A transfer's reports carry the length of the file it is fetching: the
    // job's own later reports (a cancellation, the last one) keep it.
    if (info.total != 0)
        m_contentLength = static_cast<int64_t>(info.total);
    DownloadStatusInfo copy = info;
    Report(copy);
}

// Reports the retry to come (state 6, with the bytes it continues from and
// the wait) and waits; false when cancelled meanwhile.
bool CDownloadJob::AnnounceAndWait(const CancelRequest& cancel, uint64_t received, uint32_t delayMs, uint32_t error)
{
    DownloadStatusInfo wait;
    wait.state = TransferRetrying;
    wait.received = received;
    wait.retryDelayMs = delayMs;
    wait.errorCode = error;
    Report(wait);
    return WaitBeforeRetry(cancel, delayMs);
}

// Waits before a retry: ends at once on cancellation, holds while paused.
bool CDownloadJob::WaitBeforeRetry(const CancelRequest& cancel, uint32_t delayMs) const
{
    HANDLE cancelEvent = m_owner->CancelEvent();
    uint32_t waited = 0;
    while (waited < delayMs) {
        if (cancel.IsCancelled())
            return false;
        if (cancel.IsPaused()) {
            cancel.WaitWhilePaused(250);
            continue;
        }
        const DWORD step = delayMs - waited < kRetryWaitStepMs ? delayMs - waited : kRetryWaitStepMs;
        const ULONGLONG start = GetTickCount64();
        if (cancelEvent)
            WaitForSingleObject(cancelEvent, step);
        else
            Sleep(step);
        waited += static_cast<uint32_t>(GetTickCount64() - start);
    }
    return !cancel.IsCancelled();
}

// Runs attempts until the file is whole, the job is cancelled, an attempt
// fails for a lasting reason, or the attempts in a row without a new byte
// reach the limit. Kept bytes survive a failure or cancellation only when the
// server can resume them.
bool CDownloadJob::Fetch(const CancelRequest& cancel)
{
    const TransferLimits limits = GetTransferLimits();
    const uint32_t maxAttempts = m_maxAttempts ? m_maxAttempts : limits.maxAttempts;
    const uint32_t responseLimit =
        limits.connectTimeoutMs + limits.sendTimeoutMs + limits.receiveTimeoutMs + kResponseGraceMs;
    const std::wstring partialPath = PartialFilePath(m_localPath);
    // A file of an earlier run at the local path is not this run's download.
    DeleteFileW(m_localPath.c_str());

    const bool verify = !m_expectedSha256.empty();
    Sha256Digest expected{};
    // A hash that is not 64 hex digits matches no file: nothing is fetched.
    if (verify && !ParseSha256Text(m_expectedSha256, expected))
        return false;
    uint32_t hashMismatches = 0;

    ResumeRecord record;
    uint64_t kept = 0;
    bool resumable = LoadKeptDownload(m_url, m_localPath, record, kept);
    if (resumable)
        m_contentLength = static_cast<int64_t>(record.length);

    DownloadStatusInfo end;     // the end report, once a transfer took place
    bool transferred = false;
    bool restarted = false;
    uint32_t failures = 0;
    uint64_t mostKept = kept;
    bool ok = false;
    bool cancelled = false;
    for (;;) {
        auto a = std::make_shared<CTransferAttempt>(m_owner->CancelEvent(), m_owner->RunEvent());
        a->url = m_url;
        a->partialPath = partialPath;
        a->recordPath = ResumeRecordPath(m_localPath);
        a->reports = this;
        a->hashBody = verify;
        if (resumable && kept > 0) {
            a->kept = kept;
            a->knownTotal = record.length;
            a->knownValidator = record.validator;
            a->extraHeaders = ResumeRequestHeaders(kept, record.validator);
        }
        const CTransferAttempt::Outcome outcome = CTransferAttempt::Run(a, responseLimit, limits.stallLimitMs);
        if (outcome == CTransferAttempt::Finished && a->failure)
            std::rethrow_exception(a->failure);
        const bool finished = outcome == CTransferAttempt::Finished;
        // The findings of an attempt given up before its body began may still
        // be being written by its thread: only a finished or prepared one's count.
        const bool prepared = a->BodyPrepared();
        const bool settled = finished || prepared;
        // A stalled attempt's answer still tells which version the kept bytes belong to.
        if (prepared) {
            record = {m_url, a->validator, a->total};
            resumable = a->resumable;
            m_contentLength = static_cast<int64_t>(a->total);
        }
        kept = PartialFileLength(m_localPath);
        if (outcome == CTransferAttempt::Cancelled || cancel.IsCancelled()) {
            cancelled = true;   // what the attempt kept stays for the next run
            break;
        }
        if (settled && (a->bodyStarted || (a->opened && LengthQueryAcceptsStatus(a->status) && a->declared > 0))) {
            transferred = true;
            end = a->report;
            end.httpStatus = a->status;
            if (!a->bodyStarted && !a->restart) {
                m_contentLength = a->declared;
                // An error page is not the file.
                end.errorCode = ERROR_BAD_NET_RESP;
                end.errorText = kErrDownloadFailed;
            }
        }
        if (finished && a->bodyOk && verify && !(a->hashed && a->digest == expected)) {
            // Not the file that was asked for: none of it is kept, and the
            // next fetch starts from zero.
            DiscardPartialDownload(m_localPath);
            kept = 0;
            mostKept = 0;
            resumable = false;
            if (++hashMismatches > kHashMismatchesAllowed) {
                end.errorCode = static_cast<uint32_t>(CRYPT_E_HASH_VALUE);
                end.errorText = kErrDownloadFailed;
                break;
            }
            if (!AnnounceAndWait(cancel, 0, RetryDelayMs(1, limits.firstRetryDelayMs, Jitter()),
                                 static_cast<uint32_t>(CRYPT_E_HASH_VALUE))) {
                cancelled = true;
                break;
            }
            continue;
        }
        if (finished && a->bodyOk) {
            end.received = kept;
            ok = CommitPartialDownload(m_localPath);
            break;
        }
        // An answer that cannot continue the kept bytes (a 416, a 206 of
        // another range or version): start again from zero, once.
        if (finished && (a->restart || (a->status == 416 && a->kept > 0))) {
            if (restarted)
                break;
            restarted = true;
            DiscardPartialDownload(m_localPath);
            kept = 0;
            resumable = false;
            continue;
        }
        const FailureVerdict verdict = JudgeFailure(*a, outcome);
        if (!verdict.passing)
            break;
        // Only bytes beyond the most ever held count as new: an attempt that
        // starts again from zero and breaks off earlier brought nothing.
        const uint64_t newBytes = kept > mostKept ? kept - mostKept : 0;
        failures = newBytes > 0 ? 1 : failures + 1;
        mostKept = std::max(mostKept, kept);
        if (failures >= maxAttempts)
            break;
        // A connection that carried a good part of the file before it broke (a
        // proxy that cuts long transfers, a stall) is resumed at once; only
        // attempts that bring (almost) nothing wait, longer each time.
        const bool resumeAtOnce = resumable && newBytes >= kResumeAtOnceBytes && !verdict.hasRetryAfter;
        const uint32_t delayMs =
            resumeAtOnce ? 0
                         : ChooseRetryDelay(verdict.hasRetryAfter, verdict.retryAfterMs, limits.maxRetryAfterMs,
                                            RetryDelayMs(failures, limits.firstRetryDelayMs, Jitter()));
        if (!AnnounceAndWait(cancel, resumable ? kept : 0, delayMs, AttemptError(*a, outcome))) {
            cancelled = true;
            break;
        }
        if (!resumable)
            kept = 0;
    }

    // What a later run can continue is kept; anything else is removed.
    kept = PartialFileLength(m_localPath);
    if (!ok && !(resumable && kept > 0 && kept < record.length))
        DiscardPartialDownload(m_localPath);
    if (cancelled) {
        Sleep(kCancelReportDelayMs);
        end.state = TransferCancelled;
        end.received = resumable ? kept : end.received;
        Report(end);
        return false;
    }
    if (transferred) {
        end.state = TransferEnded;
        Report(end);
    }
    return ok;
}

uint32_t CDownloadJob::Run(IDownloadOwner* owner, DownloadStatusCallback callback)
{
    if (!owner)
        return 0;
    m_owner = owner;
    m_callback = std::move(callback);

    DownloadStatusInfo job;
    const CancelRequest cancel(owner->CancelEvent(), owner->RunEvent());
    if (cancel.IsCancelled()) {
        job.state = TransferAborted;
        Report(job);
        m_callback = nullptr;
        return 0;
    }

    bool result = false;
    try {
        job.state = TransferRunning;
        Report(job);
        result = Fetch(cancel);
        // Unchanged by the transfer: (2, 0, length).
        Report(job);
    } catch (...) {
        // A callback's exception must not escape into the worker task; the
        // owner learns of it through a state 5 report. That report may throw
        // again: it is dropped then. An unfinished download is not kept.
        if (!result) {
            DiscardPartialDownload(m_localPath);
            DeleteFileW(m_localPath.c_str());
        }
        job.state = TransferAborted;
        try {
            Report(job);
        } catch (...) {
        }
    }
    m_callback = nullptr;
    return result ? 1u : 0u;
}
