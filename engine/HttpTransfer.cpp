#include "engine/HttpTransfer.h"

#include "engine/TransferLoop.h"
#include "engine/TransferRules.h"
#include "framework/Handles.h"

#include <wininet.h>

#include <mutex>
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
const RequestKind kLengthRequest = {nullptr, g_xmlThenAny, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI,
                                    nullptr};
const RequestKind kFileRequest = {L"GET", g_anyType,
                                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_KEEP_CONNECTION,
                                  nullptr};
const RequestKind kStreamRequest = {L"GET", g_xmlThenAny, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI,
                                    L"Content-Type: application/json"};

enum SetupResult
{
    SetupOk,
    SetupCrackFailed,
    SetupConnectFailed,
    SetupOpenFailed,
    SetupSendFailed,
};

// The connection and request of one transfer; the request closes first.
struct RequestHandles
{
    CInternetHandle connection;
    CInternetHandle request;
};

const wchar_t* NullIfEmpty(const wchar_t* s) { return s[0] ? s : nullptr; }

// Cracks the URL, connects, opens the request and sends it. `error` receives
// the Windows error of a failing step.
SetupResult OpenAndSend(const std::wstring& url, const RequestKind& kind, RequestHandles& out, DWORD& error)
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
    out.connection.Reset(InternetConnectW(RootHandle(), uc.lpszHostName, uc.nPort,
                                          NullIfEmpty(uc.lpszUserName), NullIfEmpty(uc.lpszPassword),
                                          service, 0, 0));
    if (!out.connection) {
        error = GetLastError();
        return SetupConnectFailed;
    }

    const std::wstring object = std::wstring(uc.lpszUrlPath) + uc.lpszExtraInfo;
    DWORD flags = kind.flags;
    if (uc.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    out.request.Reset(HttpOpenRequestW(out.connection.Get(), kind.verb, object.c_str(), L"HTTP/1.1", nullptr,
                                       kind.acceptTypes, flags, 0));
    if (!out.request) {
        error = GetLastError();
        return SetupOpenFailed;
    }

    const DWORD headerChars = kind.headers ? static_cast<DWORD>(wcslen(kind.headers)) : 0;
    if (!HttpSendRequestW(out.request.Get(), kind.headers, headerChars, nullptr, 0)) {
        error = GetLastError();
        return SetupSendFailed;
    }
    return SetupOk;
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

// The response check and the body of DownloadToFile. True when the whole
// body of a 2xx response is in the file.
bool ReceiveToFile(const ICancelRequest& cancel, HINTERNET request, HANDLE file, IDownloadCallback* callback,
                   DownloadStatusInfo& r)
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
    RequestHandles req;
    DWORD error = 0;
    if (OpenAndSend(url, kLengthRequest, req, error) != SetupOk)
        return 0;
    DWORD status = 200;
    if (!QueryStatusCode(req.request.Get(), status) || !LengthQueryAcceptsStatus(status))
        return 0;
    const int64_t declared = DeclaredLength(req.request.Get());
    return declared < 0 ? 0 : declared;
}

bool DownloadToFile(const ICancelRequest& cancel, const std::wstring& url, HANDLE file,
                    IDownloadCallback* callback)
{
    DownloadStatusInfo r;
    bool result = false;
    {
        RequestHandles req;
        DWORD error = 0;
        const SetupResult setup = OpenAndSend(url, kFileRequest, req, error);
        if (setup != SetupOk)
            RecordSetupFailure(setup, error, r);
        else if (!cancel.IsCancelled())
            result = ReceiveToFile(cancel, req.request.Get(), file, callback, r);
    }
    if (cancel.IsCancelled()) {
        result = false;
        r.state = TransferCancelled;
        Sleep(kCancelReportDelayMs);
    } else {
        r.state = TransferEnded;
    }
    if (callback)
        callback->OnStatus(r);
    return result;
}

bool DownloadToStream(const ICancelRequest& cancel, const std::wstring& url, IByteSink& sink)
{
    RequestHandles req;
    DWORD error = 0;
    if (OpenAndSend(url, kStreamRequest, req, error) != SetupOk || cancel.IsCancelled())
        return false;
    HINTERNET request = req.request.Get();
    DWORD status = 0;
    if (!QueryStatusCode(request, status) || !IsSuccessStatus(status))
        return false;
    CInternetBody body(request);
    return ReceiveBodyToSink(cancel, body, DeclaredLength(request), sink);
}
