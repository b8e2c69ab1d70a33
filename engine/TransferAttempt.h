// One attempt of a file download, run on a thread of its own while the
// download job's thread watches it. A network call that blocks (a server that
// accepts the connection and then says nothing, a body that stops in the
// middle) then holds only the attempt's thread: the job's thread notices a
// cancellation within a poll interval and a stall once the stall limit has
// passed, gives the attempt up and goes on. Closing the request handle from
// the watching thread would unblock the call on Windows but not everywhere
// (Wine's WinINet finishes the blocked call first), so the attempt is given up
// instead: a given-up attempt's gate stays shut, so its thread, when its call
// finally returns, never touches the file or the job again, and ends on its
// own (its waits are bounded by the receive timeout).
#pragma once

#include "engine/HttpTransfer.h"
#include "engine/Sha256.h"
#include "engine/TransferLoop.h"
#include "framework/Handles.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

// What an attempt needs, what it found out and its gate. Shared by the job's
// thread and the attempt's thread; everything the attempt's thread reads
// belongs to it, so that a given-up attempt depends on nothing of the job.
class CTransferAttempt : public ITransferGate
{
public:
    // Copies of the owner's events (either may be null): the attempt's
    // thread may outlive the owner.
    CTransferAttempt(HANDLE cancelEvent, HANDLE runEvent);

    // Inputs.
    std::wstring url;
    std::wstring extraHeaders;        // Range and If-Range of a resumed attempt
    std::wstring partialPath;         // the file the body goes to
    std::wstring recordPath;          // the resume record beside it
    uint64_t kept = 0;                // bytes of the partial file asked to be kept
    uint64_t knownTotal = 0;          // the file's length as the first answer gave it (0: none yet)
    std::wstring knownValidator;      // that answer's validator
    IDownloadCallback* reports = nullptr;   // the job; used only while the gate is held
    bool hashBody = false;            // compute the SHA-256 of the whole file while writing it

    // What the attempt's thread found (read them only after Finished).
    bool opened = false;              // a response arrived
    DownloadStatusInfo report;        // setup failure, or the body's record
    uint32_t status = 0;
    int64_t declared = -1;
    std::wstring etag, lastModified, acceptRanges, contentRange, retryAfter;
    bool bodyStarted = false;         // the response was taken as the file (or its rest)
    bool bodyOk = false;              // the whole body is in the partial file
    bool restart = false;             // the answer cannot continue the kept bytes: start from zero
    uint64_t total = 0;               // the file's length per this answer (0: not known)
    std::wstring validator;           // this answer's validator
    bool resumable = false;           // Accept-Ranges: bytes and a validator
    bool hashed = false;              // with hashBody and bodyOk: digest is the whole file's
    Sha256Digest digest{};
    std::exception_ptr failure;       // an exception of the job's callback

    enum Outcome
    {
        Finished,    // the attempt's thread ended; its findings are complete
        Cancelled,   // the owner cancelled; the attempt was given up
        Stalled,     // nothing arrived within the limit; the attempt was given up
    };

    // Runs the attempt on a new thread and watches it. `headersLimitMs`
    // bounds the wait for a response, `stallLimitMs` the time without a byte
    // once the body flows; a paused owner stops both clocks.
    static Outcome Run(const std::shared_ptr<CTransferAttempt>& attempt, uint32_t headersLimitMs,
                       uint32_t stallLimitMs);

    // Whether the response was taken as the file and its partial file made
    // ready: its findings above (status, headers, total, validator) are then
    // final, also for an attempt that was given up afterwards.
    bool BodyPrepared();

    // ITransferGate
    bool Enter() override;
    void Leave() override;

    const CancelRequest& Control() const { return m_control; }

private:
    void Work();
    void JudgeResponse(const CHttpGet& get);
    bool PrepareFile();
    void GiveUp();

    CHandle m_cancelEvent;
    CHandle m_runEvent;
    CancelRequest m_control;
    CHandle m_done;
    std::mutex m_gate;
    bool m_givenUp = false;
    bool m_prepared = false;   // under the gate
    // The partial file, used and closed only under the gate: giving the
    // attempt up closes it at once, so that no handle of a blocked attempt
    // keeps the file open once the job moves it into place (Windows Installer
    // refuses a package that another handle holds open for writing).
    CFileHandle m_file;
    // The hash of the file as far as it is written: the kept bytes (read back
    // from the partial file) and then the body. Used by the attempt's thread.
    std::unique_ptr<CSha256Worker> m_hash;
    std::atomic<ULONGLONG> m_lastProgress{0};
    std::atomic<bool> m_responded{false};
};
