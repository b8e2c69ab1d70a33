#include "engine/HttpTransfer.h"

#include "engine/RetryRules.h"
#include "engine/TransferLoop.h"
#include "engine/TransferRules.h"
#include "framework/Handles.h"

#include <wininet.h>

#include <mutex>
#include <set>
#include <vector>

const wchar_t kErrConnectFailed[] = L"InternetConnect Failed.";
const wchar_t kErrOpenRequestFailed[] = L"HttpOpenRequest Failed.";
const wchar_t kErrSendRequestFailed[] = L"HttpSendRequest Failed.";
const wchar_t kErrDownloadFailed[] = L"Internet download file Failed";

namespace {

const wchar_t kUserAgent[] = L"Quillo Web Installer Client";

constexpr DWORD kUrlPartChars = 4096;
// Gives the user interface time to show the cancellation before the report.
constexpr DWORD kCancelReportDelayMs = 500;

std::mutex g_rootLock;
HINTERNET g_root = nullptr;

// The limits of every request; tests and the environment variable
// PEL_TRANSFER_LIMITS may replace the defaults.
std::mutex g_limitsLock;
TransferLimits g_limits;
bool g_limitsLoaded = false;

void LoadLimitsFromEnvironment(TransferLimits& limits)
{
    wchar_t text[512];
    const DWORD n = GetEnvironmentVariableW(L"PEL_TRANSFER_LIMITS", text, 512);
    if (n > 0 && n < 512)
        ParseTransferLimits(text, limits);   // a malformed value leaves the defaults
}

HINTERNET RootHandle()
{
    std::lock_guard<std::mutex> guard(g_rootLock);
    return g_root;
}

// Verb, accept types, flags and headers of one kind of request.
struct RequestKind
{
    const wchar_t* verb;
    const wchar_t** acceptTypes;
    DWORD flags;
    const wchar_t* headers;
};

const wchar_t* g_xmlThenAny[] = {L"application/xml", L"*/*", nullptr};
const wchar_t* g_anyType[] = {L"*/*", nullptr};

// Certificate name and date errors are not ignored: a secure download must
// come from the server its address names.
// Redirects are followed by OpenAndSend itself (bounded, never from https to
// http), so WinINet's own following is turned off: it follows a loop without end.
const RequestKind kLengthRequest = {nullptr, g_xmlThenAny,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                    nullptr};
const RequestKind kFileRequest = {L"GET", g_anyType,
                                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                  nullptr};
const RequestKind kStreamRequest = {L"GET", g_xmlThenAny,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                    L"Content-Type: application/json"};

enum SetupResult
{
    SetupOk,
    SetupCrackFailed,
    SetupConnectFailed,
    SetupOpenFailed,
    SetupSendFailed,
};

const wchar_t* NullIfEmpty(const wchar_t* s) { return s[0] ? s : nullptr; }

bool QueryStatusCode(HINTERNET request, DWORD& status);

void SetTimeout(HINTERNET handle, DWORD option, uint32_t ms)
{
    DWORD value = ms;
    InternetSetOptionW(handle, option, &value, sizeof value);
}

bool IsRedirectStatus(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The Location of a redirect made absolute against the URL that answered it.
bool RedirectTarget(HINTERNET request, const std::wstring& base, std::wstring& target)
{
    DWORD size = 0;
    HttpQueryInfoW(request, HTTP_QUERY_LOCATION, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    std::vector<wchar_t> location(size / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr))
        return false;
    std::vector<wchar_t> combined(INTERNET_MAX_URL_LENGTH + 1, L'\0');
    DWORD chars = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(base.c_str(), location.data(), combined.data(), &chars, ICU_NO_ENCODE))
        return false;
    target.assign(combined.data(), chars);
    return true;
}

bool HasScheme(const std::wstring& url, const wchar_t* scheme)
{
    const size_t n = wcslen(scheme);
    return url.size() > n && _wcsnicmp(url.c_str(), scheme, n) == 0;
}

// Cracks the URL, connects, opens the request and sends it, once.
SetupResult SendOnce(const std::wstring& url, const RequestKind& kind, const std::wstring& extraHeaders,
                     const TransferLimits& limits, CInternetHandle& connection, CInternetHandle& request,
                     DWORD& error)
{
    error = 0;
    std::vector<wchar_t> parts(6 * kUrlPartChars, L'\0');
    URL_COMPONENTSW uc = {};
    uc.dwStructSize = sizeof uc;
    uc.lpszScheme = &parts[0];
    uc.lpszHostName = &parts[kUrlPartChars];
    uc.lpszUserName = &parts[2 * kUrlPartChars];
    uc.lpszPassword = &parts[3 * kUrlPartChars];
    uc.lpszUrlPath = &parts[4 * kUrlPartChars];
    uc.lpszExtraInfo = &parts[5 * kUrlPartChars];
    uc.dwSchemeLength = uc.dwHostNameLength = uc.dwUserNameLength = kUrlPartChars;
    uc.dwPasswordLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = kUrlPartChars;
    if (url.empty() || !InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &uc)) {
        error = GetLastError();
        return SetupCrackFailed;
    }

    const DWORD service = uc.nScheme == INTERNET_SCHEME_FTP ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP;
    connection.Reset(InternetConnectW(RootHandle(), uc.lpszHostName, uc.nPort, NullIfEmpty(uc.lpszUserName),
                                      NullIfEmpty(uc.lpszPassword), service, 0, 0));
    if (!connection) {
        error = GetLastError();
        return SetupConnectFailed;
    }

    const std::wstring object = std::wstring(uc.lpszUrlPath) + uc.lpszExtraInfo;
    DWORD flags = kind.flags;
    if (uc.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    request.Reset(HttpOpenRequestW(connection.Get(), kind.verb, object.c_str(), L"HTTP/1.1", nullptr,
                                   kind.acceptTypes, flags, 0));
    if (!request) {
        error = GetLastError();
        return SetupOpenFailed;
    }
    // The connection is made when the request is sent: every wait of it is bounded.
    SetTimeout(request.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeoutMs);
    SetTimeout(request.Get(), INTERNET_OPTION_SEND_TIMEOUT, limits.sendTimeoutMs);
    SetTimeout(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveTimeoutMs);

    std::wstring headers = kind.headers ? kind.headers : L"";
    if (!extraHeaders.empty()) {
        if (!headers.empty())
            headers += L"\r\n";
        headers += extraHeaders;
    }
    const wchar_t* headerText = headers.empty() ? nullptr : headers.c_str();
    if (!HttpSendRequestW(request.Get(), headerText, static_cast<DWORD>(headers.size()), nullptr, 0)) {
        error = GetLastError();
        return SetupSendFailed;
    }
    return SetupOk;
}

// Sends the request and follows redirects: at most the limit's number in a
// chain, never to an address already visited (a loop), never from https to
// http. A refused redirect is a failed send with ERROR_HTTP_REDIRECT_FAILED
// or ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR. The caller closes `request`
// before `connection`.
SetupResult OpenAndSend(const std::wstring& url, const RequestKind& kind, CInternetHandle& connection,
                        CInternetHandle& request, DWORD& error, const std::wstring& extraHeaders = std::wstring())
{
    const TransferLimits limits = GetTransferLimits();
    std::wstring current = url;
    std::set<std::wstring> visited;
    for (uint32_t redirects = 0;; ++redirects) {
        request.Reset();
        connection.Reset();
        const SetupResult setup = SendOnce(current, kind, extraHeaders, limits, connection, request, error);
        if (setup != SetupOk)
            return setup;
        DWORD status = 0;
        std::wstring next;
        if (!QueryStatusCode(request.Get(), status) || !IsRedirectStatus(status) ||
            !RedirectTarget(request.Get(), current, next))
            return SetupOk;   // not a redirect (or one without a usable Location): the answer
        visited.insert(current);
        if (HasScheme(current, L"https:") && !HasScheme(next, L"https:")) {
            error = ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
            return SetupSendFailed;
        }
        if (redirects + 1 > limits.maxRedirects || visited.count(next) != 0) {
            error = ERROR_HTTP_REDIRECT_FAILED;
            return SetupSendFailed;
        }
        current = next;
    }
}

bool QueryStatusCode(HINTERNET request, DWORD& status)
{
    DWORD size = sizeof status;
    return HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) !=
           FALSE;
}

// The response's Content-Length, or -1 when it has none.
int64_t DeclaredLength(HINTERNET request)
{
    wchar_t text[32] = {};   // room for any 64-bit length
    DWORD size = sizeof text;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return -1;
    return ParseContentLength(text);
}

// The length a length query gives for a sent request: 0 when the status
// cannot be read or is refused, or when no length is declared.
int64_t AcceptedLength(HINTERNET request)
{
    DWORD status = 200;
    if (!QueryStatusCode(request, status) || !LengthQueryAcceptsStatus(status))
        return 0;
    const int64_t declared = DeclaredLength(request);
    return declared < 0 ? 0 : declared;
}

// The body of a sent request, read through WinINet.
class CInternetBody : public IBodySource
{
public:
    explicit CInternetBody(HINTERNET request) : m_request(request) {}
    bool QueryAvailable(DWORD& available) override
    {
        return InternetQueryDataAvailable(m_request, &available, 0, 0) != FALSE;
    }
    bool Read(void* buffer, DWORD size, DWORD& got) override
    {
        return InternetReadFile(m_request, buffer, size, &got) != FALSE;
    }

private:
    HINTERNET m_request;
};

// The response check and the body of a file download. True when the whole
// body of a 2xx response is in the file.
bool ReceiveResponseToFile(const ICancelRequest& cancel, HINTERNET request, HANDLE file,
                           IDownloadCallback* callback, DownloadStatusInfo& r)
{
    DWORD status = 0;
    if (!QueryStatusCode(request, status)) {
        r.errorCode = GetLastError();
        r.errorText = kErrDownloadFailed;
        return false;
    }
    r.httpStatus = status;
    if (!IsSuccessStatus(status)) {
        // Not a Windows failure: the server refused. The error page is not the file.
        r.errorCode = ERROR_BAD_NET_RESP;
        r.errorText = kErrDownloadFailed;
        return false;
    }
    CInternetBody body(request);
    return ReceiveBodyToFile(cancel, body, DeclaredLength(request), file, callback, r);
}

void RecordSetupFailure(SetupResult setup, DWORD error, DownloadStatusInfo& r)
{
    switch (setup) {
    case SetupConnectFailed:
        r.errorText = kErrConnectFailed;
        break;
    case SetupOpenFailed:
        r.errorText = kErrOpenRequestFailed;
        break;
    case SetupSendFailed:
        r.errorText = kErrSendRequestFailed;
        break;
    default:
        return;   // a URL that cannot be cracked leaves the record empty
    }
    r.errorCode = error;
}

} // namespace

void EnsureInternetRoot()
{
    std::lock_guard<std::mutex> guard(g_rootLock);
    if (!g_root)
        g_root = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

void CloseInternetRoot()
{
    std::lock_guard<std::mutex> guard(g_rootLock);
    if (g_root) {
        InternetCloseHandle(g_root);
        g_root = nullptr;
    }
}

bool RetryAfterFromNow(const std::wstring& value, uint64_t& delayMs)
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    const int64_t now = static_cast<int64_t>((t - 116444736000000000ULL) / 10000000ULL);   // since 1970
    return ParseRetryAfter(value, now, delayMs);
}

TransferLimits GetTransferLimits()
{
    std::lock_guard<std::mutex> guard(g_limitsLock);
    if (!g_limitsLoaded) {
        LoadLimitsFromEnvironment(g_limits);
        g_limitsLoaded = true;
    }
    return g_limits;
}

void SetTransferLimits(const TransferLimits& limits)
{
    std::lock_guard<std::mutex> guard(g_limitsLock);
    g_limits = limits;
    g_limitsLoaded = true;
}

BOOL CancelRequest::IsCancelled() const
{
    return m_cancelEvent && WaitForSingleObject(m_cancelEvent, 0) == WAIT_OBJECT_0;
}

BOOL CancelRequest::IsPaused() const
{
    return m_runEvent && WaitForSingleObject(m_runEvent, 0) != WAIT_OBJECT_0;
}

void CancelRequest::WaitWhilePaused(DWORD timeoutMs) const
{
    if (!m_runEvent)
        return;
    HANDLE events[2] = {m_runEvent, m_cancelEvent};
    WaitForMultipleObjects(m_cancelEvent ? 2 : 1, events, FALSE, timeoutMs);
}

bool CStringSink::Write(const void* data, size_t size)
{
    m_data.append(static_cast<const char*>(data), size);
    return true;
}

int64_t QueryContentLength(const std::wstring& url)
{
    CInternetHandle connection, request;
    DWORD error = 0;
    if (OpenAndSend(url, kLengthRequest, connection, request, error) != SetupOk)
        return 0;
    return AcceptedLength(request.Get());
}

bool CHttpGet::Open(const std::wstring& url, const std::wstring& extraHeaders)
{
    m_request.Reset();
    m_connection.Reset();
    m_report = DownloadStatusInfo();
    DWORD error = 0;
    const SetupResult setup = OpenAndSend(url, kFileRequest, m_connection, m_request, error, extraHeaders);
    if (setup == SetupOk)
        return true;
    RecordSetupFailure(setup, error, m_report);
    m_request.Reset();
    m_connection.Reset();
    return false;
}

int64_t CHttpGet::ContentLength() const
{
    return m_request ? AcceptedLength(m_request.Get()) : 0;
}

uint32_t CHttpGet::Status() const
{
    DWORD status = 0;
    return m_request && QueryStatusCode(m_request.Get(), status) ? status : 0;
}

std::wstring CHttpGet::Header(DWORD query) const
{
    if (!m_request)
        return std::wstring();
    DWORD size = 0;
    HttpQueryInfoW(m_request.Get(), query, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::wstring();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(m_request.Get(), query, text.data(), &size, nullptr))
        return std::wstring();
    return std::wstring(text.data(), size / sizeof(wchar_t));
}

int64_t CHttpGet::DeclaredLength() const
{
    return m_request ? ::DeclaredLength(m_request.Get()) : -1;
}

bool CHttpGet::ReceiveBody(const ICancelRequest& cancel, HANDLE file, IDownloadCallback* callback,
                           DownloadStatusInfo& report, const BodyTarget& target)
{
    bool result = false;
    if (m_request) {
        CInternetBody body(m_request.Get());
        result = ReceiveBodyToFile(cancel, body, DeclaredLength(), file, callback, report,
                                   kTransferPollIntervalMs, target);
    }
    m_request.Reset();
    m_connection.Reset();
    return result;
}

bool CHttpGet::ReceiveToFile(const ICancelRequest& cancel, HANDLE file, IDownloadCallback* callback)
{
    bool result = false;
    if (m_request && !cancel.IsCancelled())
        result = ReceiveResponseToFile(cancel, m_request.Get(), file, callback, m_report);
    m_request.Reset();
    m_connection.Reset();
    if (cancel.IsCancelled()) {
        result = false;
        m_report.state = TransferCancelled;
        Sleep(kCancelReportDelayMs);
    } else {
        m_report.state = TransferEnded;
    }
    if (callback)
        callback->OnStatus(m_report);
    return result;
}

bool DownloadToFile(const ICancelRequest& cancel, const std::wstring& url, HANDLE file,
                    IDownloadCallback* callback)
{
    CHttpGet get;
    get.Open(url);   // a failure is in the end report
    return get.ReceiveToFile(cancel, file, callback);
}

bool DownloadToStream(const ICancelRequest& cancel, const std::wstring& url, IByteSink& sink,
                      StreamFailure* failure)
{
    StreamFailure ignored;
    StreamFailure& f = failure ? *failure : ignored;
    f = StreamFailure();
    CInternetHandle connection, request;
    DWORD error = 0;
    if (OpenAndSend(url, kStreamRequest, connection, request, error) != SetupOk) {
        f.passing = IsPassingError(error);
        f.error = error;
        return false;
    }
    if (cancel.IsCancelled())
        return false;
    DWORD status = 0;
    if (!QueryStatusCode(request.Get(), status)) {
        f.error = GetLastError();
        return false;
    }
    f.status = status;
    f.declared = DeclaredLength(request.Get());
    if (!IsSuccessStatus(status)) {
        f.passing = IsPassingStatus(status);
        wchar_t text[64] = {};
        DWORD size = sizeof text;
        if (f.passing && HttpQueryInfoW(request.Get(), HTTP_QUERY_RETRY_AFTER, text, &size, nullptr))
            f.hasRetryAfter = RetryAfterFromNow(text, f.retryAfterMs);
        return false;
    }
    CInternetBody body(request.Get());
    SinkReadResult read;
    const bool ok = ReceiveBodyToSink(cancel, body, f.declared, sink, kTransferPollIntervalMs, &read);
    f.received = read.received;
    f.error = read.error;
    if (ok)
        return true;
    // A body cut short or a read that timed out: the next attempt may get it whole.
    f.passing = !cancel.IsCancelled();
    return false;
}
