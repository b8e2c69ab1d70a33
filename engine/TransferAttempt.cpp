#include "engine/TransferAttempt.h"

#include "engine/PartialDownload.h"
#include "engine/RetryRules.h"
#include "engine/TransferRules.h"

#include <wininet.h>

#include <thread>

namespace {

// How often the watching thread looks at the attempt, the owner's events and the clock.
constexpr DWORD kWatchIntervalMs = 50;

HANDLE Duplicate(HANDLE source)
{
    HANDLE copy = nullptr;
    if (source && !DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
        copy = nullptr;
    return copy;
}

} // namespace

CTransferAttempt::CTransferAttempt(HANDLE cancelEvent, HANDLE runEvent)
    : m_cancelEvent(Duplicate(cancelEvent)), m_runEvent(Duplicate(runEvent)),
      m_control(m_cancelEvent.Get(), m_runEvent.Get()), m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

bool CTransferAttempt::Enter()
{
    m_gate.lock();
    if (m_givenUp) {
        m_gate.unlock();
        return false;
    }
    // Called when a read brought bytes: the stall clock starts again.
    m_lastProgress = GetTickCount64();
    return true;
}

void CTransferAttempt::Leave() { m_gate.unlock(); }

bool CTransferAttempt::BodyPrepared()
{
    std::lock_guard<std::mutex> guard(m_gate);
    return m_prepared;
}

void CTransferAttempt::GiveUp()
{
    std::lock_guard<std::mutex> guard(m_gate);
    m_givenUp = true;
    m_file.Reset();
}

void CTransferAttempt::JudgeResponse(const CHttpGet& get)
{
    status = get.Status();
    declared = get.DeclaredLength();
    etag = get.Header(HTTP_QUERY_ETAG);
    lastModified = get.Header(HTTP_QUERY_LAST_MODIFIED);
    acceptRanges = get.Header(HTTP_QUERY_ACCEPT_RANGES);
    contentRange = get.Header(HTTP_QUERY_CONTENT_RANGE);
    retryAfter = get.Header(HTTP_QUERY_RETRY_AFTER);
    if (!IsSuccessStatus(status))
        return;   // not the file: the job decides what the status means
    validator = ResumeValidator(etag, lastModified);
    if (status == 206) {
        // Only the rest of the very version whose beginning is kept may be
        // appended: a file is never spliced from two versions.
        ContentRange range;
        if (kept == 0 || !ParseContentRange(contentRange, range) || !RangeContinues(range, kept, knownTotal) ||
            declared != static_cast<int64_t>(knownTotal - kept) ||
            ValidatorChanged(knownValidator, etag, lastModified)) {
            restart = true;
            return;
        }
        total = knownTotal;
        validator = knownValidator;
        resumable = true;
        bodyStarted = true;
        return;
    }
    // A whole file: without a declared length nothing tells a cut body from
    // a whole one, so it is not taken (as before retries existed).
    if (declared <= 0)
        return;
    total = static_cast<uint64_t>(declared);
    resumable = AcceptsByteRanges(acceptRanges) && !validator.empty();
    kept = 0;
    bodyStarted = true;
}

// Opens the partial file for this answer's body: appended to for a
// continuation, emptied for a whole file, whose resume record is written (or
// removed when the server cannot resume it). Under the gate: a given-up
// attempt never touches the file.
bool CTransferAttempt::PrepareFile()
{
    if (!Enter())
        return false;
    struct Unlock
    {
        CTransferAttempt* self;
        ~Unlock() { self->Leave(); }
    } unlock{this};
    // Shared for writing and deletion: a given-up attempt's thread may still
    // hold its handle (it never writes through it again) while the next
    // attempt continues the file or the job moves it into place.
    m_file.Reset(CreateFileW(partialPath.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (!m_file)
        return false;
    if (kept == 0) {
        if (!SetEndOfFile(m_file.Get()))
            return false;
        if (resumable)
            WriteResumeRecord(recordPath, {url, validator, total});
        else
            DeleteFileW(recordPath.c_str());
    }
    if (hashBody) {
        // A continued file hashes its kept part first, as it stands on disk.
        m_hash = std::make_unique<CSha256Worker>();
        if (kept > 0 && !m_hash->AddFile(partialPath, kept))
            return false;
    }
    report.received = kept;
    report.total = total;
    report.httpStatus = status;
    m_prepared = true;
    return true;
}

void CTransferAttempt::Work()
{
    try {
        CHttpGet get;
        if (!get.Open(url, extraHeaders)) {
            report = get.SetupReport();
        } else {
            opened = true;
            m_lastProgress = GetTickCount64();
            m_responded = true;
            JudgeResponse(get);
            if (bodyStarted && PrepareFile()) {
                // The loop touches the file only under the gate, where a
                // given-up attempt finds it closed.
                bodyOk = get.ReceiveBody(m_control, m_file.Get(), reports, report,
                                         BodyTarget{kept, this, m_hash.get()});
                if (bodyOk && m_hash)
                    hashed = m_hash->Finish(digest);
            } else if (bodyStarted) {
                report.errorCode = GetLastError();
                report.errorText = kErrDownloadFailed;
            }
        }
    } catch (...) {
        // An exception of the job's callback: the job's thread takes it over.
        failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> guard(m_gate);
        m_file.Reset();
    }
    SetEvent(m_done.Get());
}

CTransferAttempt::Outcome CTransferAttempt::Run(const std::shared_ptr<CTransferAttempt>& attempt,
                                                uint32_t headersLimitMs, uint32_t stallLimitMs)
{
    CTransferAttempt& a = *attempt;
    a.m_lastProgress = GetTickCount64();
    std::shared_ptr<CTransferAttempt> keep = attempt;
    std::thread([keep] { keep->Work(); }).detach();
    for (;;) {
        if (WaitForSingleObject(a.m_done.Get(), kWatchIntervalMs) == WAIT_OBJECT_0)
            return Finished;
        if (a.m_control.IsCancelled()) {
            a.GiveUp();
            return Cancelled;
        }
        const ULONGLONG now = GetTickCount64();
        if (a.m_control.IsPaused()) {
            // A held transfer reads nothing on purpose: that is no stall.
            a.m_lastProgress = now;
            continue;
        }
        // The attempt's thread may have moved the clock past `now` meanwhile.
        const ULONGLONG last = a.m_lastProgress;
        const uint32_t limit = a.m_responded ? stallLimitMs : headersLimitMs;
        if (now > last && now - last > limit) {
            a.GiveUp();
            return Stalled;
        }
    }
}
