#include "engine/DownloadJob.h"

#include "config/Sha256Text.h"
#include "engine/PartialDownload.h"
#include "engine/RetryRules.h"
#include "engine/TransferAttempt.h"
#include "engine/TransferLog.h"
#include "engine/TransferRules.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"

#include <wininet.h>

#include <algorithm>
#include <memory>
#include <string>
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

// The run log's line of an attempt. A given-up attempt's thread may still be
// writing its findings: only a finished or prepared attempt's answer is read.
AttemptSummary Summarise(const CTransferAttempt& a, CTransferAttempt::Outcome outcome, bool prepared,
                         uint64_t fileLength)
{
    AttemptSummary s;
    const bool finished = outcome == CTransferAttempt::Finished;
    if (finished || prepared) {
        s.status = a.status;
        s.declared = a.declared;
    }
    // The partial file holds the kept bytes, then what this attempt brought.
    if (prepared && fileLength > a.kept)
        s.received = fileLength - a.kept;
    if (outcome == CTransferAttempt::Cancelled)
        s.outcome = L"cancelled";
    else if (outcome == CTransferAttempt::Stalled)
        s.outcome = L"stalled";
    else if (!a.opened)
        s.outcome = a.report.errorCode ? TransferErrorText(a.report.errorCode, a.report.errorText)
                                       : L"the address cannot be used";
    else if (a.restart)
        s.outcome = L"does not continue the kept bytes";
    else if (!IsSuccessStatus(a.status))
        s.outcome = L"not the file";
    else if (!a.bodyStarted)
        s.outcome = L"no Content-Length, not taken as the file";
    else if (a.bodyOk)
        s.outcome = L"complete";
    else
        s.outcome = TransferErrorText(a.report.errorCode);
    return s;
}

// Why a failed attempt is tried again, for the run log.
std::wstring RetryReason(const CTransferAttempt& a, CTransferAttempt::Outcome outcome, const FailureVerdict& verdict)
{
    if (outcome != CTransferAttempt::Finished)
        return L"stalled";
    if (a.bodyStarted || !a.opened)
        return TransferErrorText(AttemptError(a, outcome));
    std::wstring reason = L"HTTP " + std::to_wstring(a.status);
    if (verdict.hasRetryAfter)
        reason += L", Retry-After " + a.retryAfter;
    return reason;
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
    if (verify && !ParseSha256Text(m_expectedSha256, expected)) {
        LogLine(L"Download not started: the expected SHA-256 is not 64 hexadecimal digits");
        return false;
    }
    uint32_t hashMismatches = 0;

    ResumeRecord record;
    uint64_t kept = 0;
    bool resumable = LoadKeptDownload(m_url, m_localPath, record, kept);
    if (resumable) {
        m_contentLength = static_cast<int64_t>(record.length);
        LogLine(L"Continuing " + std::to_wstring(kept) + L" of " + std::to_wstring(record.length) +
                L" bytes kept by an earlier run");
    }

    DownloadStatusInfo end;     // the end report, once a transfer took place
    bool transferred = false;
    bool restarted = false;
    uint32_t failures = 0;
    uint64_t mostKept = kept;
    bool ok = false;
    bool cancelled = false;
    uint32_t attempts = 0;
    uint32_t lastError = 0;     // of the last failed attempt, for the log's end line
    uint32_t lastStatus = 0;
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
        const uint64_t askedFrom = a->kept;
        const ULONGLONG started = GetTickCount64();
        const CTransferAttempt::Outcome outcome = CTransferAttempt::Run(a, responseLimit, limits.stallLimitMs);
        const ULONGLONG elapsedMs = GetTickCount64() - started;
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
        AttemptSummary summary = Summarise(*a, outcome, prepared, kept);
        summary.number = ++attempts;
        summary.rangeFrom = askedFrom;
        summary.elapsedMs = elapsedMs;
        LogAttempt(summary);
        lastStatus = summary.status;
        if (outcome != CTransferAttempt::Cancelled)
            lastError = AttemptError(*a, outcome);
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
            LogHashMismatch(m_localPath, a->hashed ? Sha256Text(a->digest) : std::wstring(), m_expectedSha256);
            lastError = static_cast<uint32_t>(CRYPT_E_HASH_VALUE);
            DiscardPartialDownload(m_localPath);
            kept = 0;
            mostKept = 0;
            resumable = false;
            if (++hashMismatches > kHashMismatchesAllowed) {
                end.errorCode = static_cast<uint32_t>(CRYPT_E_HASH_VALUE);
                end.errorText = kErrDownloadFailed;
                break;
            }
            const uint32_t delayMs = RetryDelayMs(1, limits.firstRetryDelayMs, Jitter());
            LogRetry(delayMs, 0, L"SHA-256 mismatch");
            if (!AnnounceAndWait(cancel, 0, delayMs, static_cast<uint32_t>(CRYPT_E_HASH_VALUE))) {
                cancelled = true;
                break;
            }
            continue;
        }
        if (finished && a->bodyOk) {
            end.received = kept;
            ok = CommitPartialDownload(m_localPath);
            if (!ok)
                lastError = GetLastError();
            break;
        }
        // An answer that cannot continue the kept bytes (a 416, a 206 of
        // another range or version): start again from zero, once.
        if (finished && (a->restart || (a->status == 416 && a->kept > 0))) {
            if (restarted)
                break;
            restarted = true;
            LogLine(L"Starting again from byte 0: the answer does not continue the kept bytes");
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
        LogRetry(delayMs, resumable ? kept : 0,
                 RetryReason(*a, outcome, verdict) + L"; " + std::to_wstring(failures) + L" of " +
                     std::to_wstring(maxAttempts) + L" attempts in a row without new bytes");
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
    DownloadEnd summary;
    summary.ok = ok;
    summary.cancelled = cancelled;
    summary.bytes = ok ? end.received : cancelled ? kept : 0;
    summary.error = lastError ? lastError : end.errorCode;
    summary.status = lastStatus;
    summary.attempts = attempts;
    LogDownloadEnd(m_url, m_localPath, summary);
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
        LogLine(L"Download not started (cancelled): " + m_url);
        job.state = TransferAborted;
        Report(job);
        m_callback = nullptr;
        return 0;
    }

    LogDownloadStart(m_url, m_localPath, m_expectedSha256);
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
        LogLine(L"Download stopped: its status report failed (" + m_url + L")");
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
