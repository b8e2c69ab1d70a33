#include "engine/TransferLoop.h"

#include "engine/Sha256.h"
#include "engine/TransferRules.h"

#include <wininet.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kFileReadSize = 4096;
constexpr size_t kStagingSize = 40960;
constexpr DWORD kStreamReadSize = 16384;
// How long a paused transfer sleeps before it looks again on its own; resume
// and cancel wake it at once.
constexpr DWORD kPauseWaitMs = 250;

// Serialises the buffered writes of file downloads across threads.
class CCriticalSection
{
public:
    CCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CCriticalSectionLock
{
public:
    explicit CCriticalSectionLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CCriticalSectionLock() { m_cs.Leave(); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CCriticalSection& m_cs;
};

// The process's file write lock: created on first use (thread-safe static
// initialisation), destroyed at exit.
CCriticalSection& FileWriteLock()
{
    static CCriticalSection lock;
    return lock;
}

// The staging buffer of a file download: bytes collect here and go to the
// file in batches, under the process's file write lock.
class CStagedFileWriter
{
public:
    CStagedFileWriter(HANDLE file, uint64_t offset, IHashInput* hash)
        : m_file(file), m_buffer(kStagingSize, 0), m_offset(offset), m_hash(hash)
    {
    }

    void Append(const BYTE* data, DWORD size)
    {
        std::memcpy(m_buffer.data() + m_staged, data, size);
        m_staged += size;
    }
    bool Full() const { return m_staged + kFileReadSize > kStagingSize; }

    // Hands the staged bytes to the system at the current offset. The disk
    // flush happens once, at the end (Finish), not per batch.
    bool WriteStaged()
    {
        if (m_staged == 0)
            return true;
        CCriticalSectionLock lock(FileWriteLock());
        LARGE_INTEGER pos;
        pos.QuadPart = static_cast<LONGLONG>(m_offset);
        if (!SetFilePointerEx(m_file, pos, nullptr, FILE_BEGIN))
            return false;
        size_t done = 0;
        while (done < m_staged) {
            DWORD written = 0;
            if (!WriteFile(m_file, m_buffer.data() + done, static_cast<DWORD>(m_staged - done), &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        // What is in the file is hashed, in file order: the hash always
        // stands for the file's first m_offset bytes.
        if (m_hash)
            m_hash->Add(m_buffer.data(), m_staged);
        m_offset += m_staged;
        std::memset(m_buffer.data(), 0, m_staged);
        m_staged = 0;
        return true;
    }

    bool Finish() { return FlushFileBuffers(m_file) != FALSE; }

private:
    HANDLE m_file;
    std::vector<BYTE> m_buffer;
    size_t m_staged = 0;
    uint64_t m_offset;
    IHashInput* m_hash;
};

// Holds a transfer's gate for one write-and-report step; with no gate it is
// always open.
class CGateScope
{
public:
    explicit CGateScope(ITransferGate* gate) : m_gate(gate), m_open(!gate || gate->Enter()) {}
    ~CGateScope()
    {
        if (m_gate && m_open)
            m_gate->Leave();
    }
    CGateScope(const CGateScope&) = delete;
    CGateScope& operator=(const CGateScope&) = delete;
    bool Open() const { return m_open; }

private:
    ITransferGate* m_gate;
    bool m_open;
};

// The cancel and pause states as last looked at; looks again once the poll
// interval has passed, or at once when forced.
class CPolledControl
{
public:
    CPolledControl(const ICancelRequest& cancel, DWORD intervalMs, bool watchPause)
        : m_cancel(cancel), m_intervalMs(intervalMs), m_watchPause(watchPause)
    {
    }

    void Refresh(bool force)
    {
        const ULONGLONG now = GetTickCount64();
        if (!force && m_looked && now - m_lastLook < m_intervalMs)
            return;
        m_cancelled = m_cancel.IsCancelled() != FALSE;
        m_paused = m_watchPause && !m_cancelled && m_cancel.IsPaused() != FALSE;
        m_lastLook = now;
        m_looked = true;
    }
    bool Cancelled() const { return m_cancelled; }
    bool Paused() const { return m_paused; }

private:
    const ICancelRequest& m_cancel;
    DWORD m_intervalMs;
    bool m_watchPause;
    ULONGLONG m_lastLook = 0;
    bool m_looked = false;
    bool m_cancelled = false;
    bool m_paused = false;
};

void Report(IDownloadCallback* callback, const DownloadStatusInfo& r)
{
    if (callback)
        callback->OnStatus(r);
}

void RecordFailure(DownloadStatusInfo& r, DWORD error)
{
    r.errorCode = error;
    r.errorText = kErrDownloadFailed;
}

DWORD ErrorOrGeneric()
{
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
}

} // namespace

bool ReceiveBodyToFile(const ICancelRequest& cancel, IBodySource& source, int64_t declared, HANDLE file,
                       IDownloadCallback* callback, DownloadStatusInfo& r, DWORD pollIntervalMs,
                       const BodyTarget& target)
{
    CStagedFileWriter writer(file, target.offset, target.hash);
    CPolledControl control(cancel, pollIntervalMs, true);
    BYTE buffer[kFileReadSize];
    const uint64_t before = r.received;
    // The error is taken where a step fails: a last-error value left over
    // from an earlier call must not turn a good transfer into a failed one.
    DWORD error = 0;
    bool forceLook = true;
    for (;;) {
        control.Refresh(forceLook);
        forceLook = false;
        if (control.Cancelled())
            break;
        if (control.Paused()) {
            cancel.WaitWhilePaused(kPauseWaitMs);
            forceLook = true;
            continue;
        }
        DWORD available = 0;
        if (!source.QueryAvailable(available)) {
            error = ErrorOrGeneric();
            break;
        }
        // The query may have waited for data a long time: look again.
        control.Refresh(false);
        if (control.Cancelled())
            break;
        if (control.Paused())
            continue;
        if (available == 0)
            break;
        DWORD got = 0;
        if (!source.Read(buffer, available < kFileReadSize ? available : kFileReadSize, got)) {
            error = ErrorOrGeneric();
            break;
        }
        // A successful read of nothing is the end of the data, whatever the
        // availability query said before.
        if (got == 0)
            break;
        CGateScope gate(target.gate);
        if (!gate.Open())
            return false;   // given up: the file and the callback belong to others now
        r.state = TransferRunning;
        r.received += got;
        Report(callback, r);
        writer.Append(buffer, got);
        if ((writer.Full() || got < kFileReadSize) && !writer.WriteStaged()) {
            error = ErrorOrGeneric();
            break;
        }
        Report(callback, r);
    }

    // Every use of the file is under the gate: a given-up transfer's file
    // handle is closed by whoever gave it up.
    CGateScope gate(target.gate);
    if (!gate.Open())
        return false;
    // Bytes that arrived before an error are good bytes: keeping them lets
    // the next attempt ask for the rest only.
    if (!writer.WriteStaged() && error == 0)
        error = ErrorOrGeneric();
    if (error != 0) {
        RecordFailure(r, error);
        return false;
    }
    if (cancel.IsCancelled())
        return false;
    if (!IsBodyComplete(declared, r.received - before)) {
        RecordFailure(r, ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    if (!writer.Finish()) {
        RecordFailure(r, ErrorOrGeneric());
        return false;
    }
    return true;
}

bool ReceiveBodyToSink(const ICancelRequest& cancel, IBodySource& source, int64_t declared, IByteSink& sink,
                       DWORD pollIntervalMs, SinkReadResult* result)
{
    SinkReadResult ignored;
    SinkReadResult& r = result ? *result : ignored;
    r = SinkReadResult();
    // Streams (documents, programs) are not paused: only cancellation counts.
    CPolledControl control(cancel, pollIntervalMs, false);
    std::vector<BYTE> buffer(kStreamReadSize);
    for (;;) {
        DWORD available = 0;
        if (!source.QueryAvailable(available)) {
            r.error = ErrorOrGeneric();
            return false;
        }
        control.Refresh(r.received == 0);
        if (control.Cancelled() || available == 0)
            break;
        DWORD got = 0;
        if (!source.Read(buffer.data(), available < kStreamReadSize ? available : kStreamReadSize, got)) {
            r.error = ErrorOrGeneric();
            return false;
        }
        if (got == 0)
            break;
        if (!sink.Write(buffer.data(), got)) {
            r.error = ErrorOrGeneric();
            return false;
        }
        r.received += got;
    }
    if (cancel.IsCancelled())
        return false;
    if (!IsBodyComplete(declared, r.received)) {
        r.error = ERROR_INTERNET_CONNECTION_ABORTED;
        return false;
    }
    return true;
}
