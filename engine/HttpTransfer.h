// HTTP(S) transfers over WinINet: the process-wide root internet handle, the
// length query, the file download with progress reports, pausing and
// cancellation, and the download into a byte sink.
//
// Every request is a plain GET on the shared root handle, with no retry at
// this level (download jobs and the self-check retry). Every request works
// within the transfer limits: connect, send and receive timeouts, and at most
// a bounded chain of redirects, never from https to http. A download succeeds
// only when the server answered 2xx and the whole declared body arrived, so
// an error page or a broken-off body is never taken for the file.
#pragma once

#include "engine/TransferLimits.h"
#include "framework/Handles.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

struct BodyTarget;

// Opens the root internet handle (user agent "Quillo Web Installer Client",
// preconfigured proxy) unless one is open. A failure leaves it null; the
// requests then fail at their connect step.
void EnsureInternetRoot();
// Closes the root internet handle, if open.
void CloseInternetRoot();

// The limits of every request: the defaults, or the environment variable
// PEL_TRANSFER_LIMITS ("stall=2000,retry=100", see ParseTransferLimits) read
// on first use, or what SetTransferLimits gave.
TransferLimits GetTransferLimits();
void SetTransferLimits(const TransferLimits& limits);

enum TransferState : int32_t
{
    TransferInitial = 0,     // never reported by a transfer
    TransferRunning = 2,
    TransferEnded = 3,
    TransferCancelled = 4,
    TransferAborted = 5,     // before or outside the transfer (download jobs only)
    TransferRetrying = 6,    // an attempt failed for a passing reason; the next one follows
                             // after retryDelayMs (download jobs only)
};

// A transfer's status report.
struct DownloadStatusInfo
{
    int32_t state = TransferInitial;
    uint64_t received = 0;     // bytes read so far in this transfer
    uint64_t total = 0;        // expected size; 0 as reported by the transfer itself
    uint32_t errorCode = 0;    // Windows error of the failing step, 0 when none
    std::wstring errorText;    // one of the texts below, or empty
    uint32_t httpStatus = 0;   // status of the response, 0 before one arrived
    uint32_t retryDelayMs = 0; // with TransferRetrying: the wait before the next attempt
};

// Error texts of the report.
extern const wchar_t kErrConnectFailed[];       // "InternetConnect Failed."
extern const wchar_t kErrOpenRequestFailed[];   // "HttpOpenRequest Failed."
extern const wchar_t kErrSendRequestFailed[];   // "HttpSendRequest Failed."
extern const wchar_t kErrDownloadFailed[];      // "Internet download file Failed"

// How a running transfer learns to stop or hold.
class ICancelRequest
{
public:
    virtual BOOL IsCancelled() const = 0;
    virtual BOOL IsPaused() const = 0;
    // Blocks while paused, until resumed or cancelled or `timeoutMs` passed,
    // so that a held transfer costs no processor time.
    virtual void WaitWhilePaused(DWORD timeoutMs) const = 0;

protected:
    ~ICancelRequest() = default;
};

// Cancel and run events, not owned: cancelled while the cancel event is
// signalled, paused while the run event is not. Without events it never
// stops (the self-validation's transfers).
class CancelRequest : public ICancelRequest
{
public:
    CancelRequest() = default;
    CancelRequest(HANDLE cancelEvent, HANDLE runEvent) : m_cancelEvent(cancelEvent), m_runEvent(runEvent) {}

    BOOL IsCancelled() const override;
    BOOL IsPaused() const override;
    void WaitWhilePaused(DWORD timeoutMs) const override;

private:
    HANDLE m_cancelEvent = nullptr;
    HANDLE m_runEvent = nullptr;
};

// Receives the reports of DownloadToFile, on the transferring thread.
class IDownloadCallback
{
public:
    virtual void OnStatus(const DownloadStatusInfo& info) = 0;

protected:
    ~IDownloadCallback() = default;
};

// Where DownloadToStream puts the body. False from Write stops the transfer.
class IByteSink
{
public:
    virtual bool Write(const void* data, size_t size) = 0;

protected:
    ~IByteSink() = default;
};

// Collects the body in memory (documents, small programs).
class CStringSink : public IByteSink
{
public:
    bool Write(const void* data, size_t size) override;
    const std::string& Data() const { return m_data; }

private:
    std::string m_data;
};

// Length of the file at `url` from its response headers, without reading the
// body; 0 on any failure, for 403 and 404, and without a Content-Length.
int64_t QueryContentLength(const std::wstring& url);

// Downloads `url` into `file` (opened for writing, positioned anywhere; the
// bytes go to offset 0 on). Reports twice per 4096-byte read and once at the
// end (state 3, or 4 after a cancellation, which waits 500 ms first). True
// when the server answered 2xx and the whole body is in the file. One
// CHttpGet, opened and received.
bool DownloadToFile(const ICancelRequest& cancel, const std::wstring& url, HANDLE file,
                    IDownloadCallback* callback);

// A Retry-After header's wait from now (see ParseRetryAfter); false when the
// text is not one.
bool RetryAfterFromNow(const std::wstring& value, uint64_t& delayMs);

// Why a stream download failed, for a caller that retries; and, also on
// success, what the answer was, for the run log.
struct StreamFailure
{
    bool passing = false;        // a later attempt may succeed (see IsPassingError/Status)
    bool hasRetryAfter = false;  // the server said when
    uint64_t retryAfterMs = 0;
    int64_t declared = -1;       // the answer's Content-Length; -1: none (nothing tells a cut body)
    uint32_t status = 0;         // the answer's HTTP status; 0: none arrived
    uint32_t error = 0;          // the Windows error of the failed step; 0: none
    uint64_t received = 0;       // body bytes read
};

// Downloads `url` into `sink`. Sends "Content-Type: application/json" (and no
// body). True under the same conditions as DownloadToFile; on failure
// `failure`, when given, says whether it may pass.
bool DownloadToStream(const ICancelRequest& cancel, const std::wstring& url, IByteSink& sink,
                      StreamFailure* failure = nullptr);

// One file GET (the verb, accept type and flags of DownloadToFile) whose
// response serves twice: its headers give the status and the length, then its
// body goes into the file. A caller that needs the length before it creates
// the file (the download job) so sends one request instead of a length query
// and a download. That matters because closing a request whose body was not
// read makes WinINet read and discard the body first (Wine does so for as
// long as data keeps arriving): a length query of a large file cost about as
// much time as the download after it.
class CHttpGet
{
public:
    CHttpGet() = default;
    CHttpGet(const CHttpGet&) = delete;
    CHttpGet& operator=(const CHttpGet&) = delete;

    // Cracks the URL, connects, opens and sends the request with
    // `extraHeaders` (each line ended by CR LF), following redirects. False
    // when a step failed; its error text and code are kept for the end report
    // of ReceiveToFile (a URL that cannot be cracked keeps none).
    bool Open(const std::wstring& url, const std::wstring& extraHeaders = std::wstring());

    // The response's status (0 without one), a header's text (empty when
    // absent; `query` is an HTTP_QUERY_ value) and its Content-Length (-1
    // when none is declared).
    uint32_t Status() const;
    std::wstring Header(DWORD query) const;
    int64_t DeclaredLength() const;
    // The failed step's report after a failed Open.
    const DownloadStatusInfo& SetupReport() const { return m_report; }

    // The response's length as QueryContentLength judges it: 0 without a
    // response, for 403, 404, a status below 200 or above 500, and without a
    // Content-Length. Reads only headers.
    int64_t ContentLength() const;

    // Reads the body of a 2xx response into `file`, closes the request and
    // sends the end report, with the reports and result of DownloadToFile.
    // After a failed Open only the end report is sent. Once per Open.
    bool ReceiveToFile(const ICancelRequest& cancel, HANDLE file, IDownloadCallback* callback);

    // Reads the body of the response into `file` from target.offset on,
    // adding to `report` (preset with the bytes kept before the offset), with
    // the reports of ReceiveToFile but no end report, and closes the request.
    // For a caller that judged the response itself (the resumable download).
    bool ReceiveBody(const ICancelRequest& cancel, HANDLE file, IDownloadCallback* callback,
                     DownloadStatusInfo& report, const BodyTarget& target);

private:
    CInternetHandle m_connection;
    CInternetHandle m_request;   // declared last: closed before its connection
    DownloadStatusInfo m_report;
};
