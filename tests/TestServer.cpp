#include "TestServer.h"

#include "WinTestSupport.h"

#include <wincrypt.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace testing_support {

namespace {

// Wine's own export that maps a DOS path to the Unix path the Linux side sees.
std::string UnixPath(const std::wstring& dosPath)
{
    using Fn = char*(__cdecl*)(const wchar_t*);
    static Fn fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn)
        return std::string();
    char* p = fn(dosPath.c_str());
    if (!p)
        return std::string();
    std::string out(p);
    HeapFree(GetProcessHeap(), 0, p);
    return out;
}

std::wstring Widen(const std::string& s)
{
    std::wstring out;
    for (char c : s)
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += static_cast<char>(c);
    return out;
}

bool ReadPorts(const std::wstring& path, int* port, int* controlPort)
{
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return false;
    int a = 0, b = 0;
    int n = std::fscanf(f, "%d %d", &a, &b);
    std::fclose(f);
    if (n != 2 || a <= 0 || b <= 0)
        return false;
    *port = a;
    *controlPort = b;
    return true;
}

struct WinsockInit
{
    WinsockInit()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockInit() { WSACleanup(); }
};

// A plain HTTP/1.0 GET on 127.0.0.1; the body, or false on any failure.
bool HttpGet(int port, const std::string& pathAndQuery, std::string* body)
{
    static WinsockInit winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return false;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    std::string response;
    if (ok) {
        std::string request = "GET " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        ok = send(s, request.data(), static_cast<int>(request.size()), 0) ==
             static_cast<int>(request.size());
        char buf[4096];
        int n;
        while (ok && (n = recv(s, buf, sizeof buf, 0)) > 0)
            response.append(buf, n);
    }
    closesocket(s);
    size_t split = response.find("\r\n\r\n");
    // The server answers in HTTP/1.1 whatever the request's version.
    const bool status200 = response.compare(0, 7, "HTTP/1.") == 0 && response.compare(8, 4, " 200") == 0;
    if (!ok || !status200 || split == std::string::npos)
        return false;
    if (body)
        *body = response.substr(split + 4);
    return true;
}

} // namespace

std::wstring CTestServer::CaCertificatePath() { return WinePath(PEL_TEST_CERT_DIR "/ca.der"); }

bool CTestServer::Start(const std::wstring& root, const Options& options)
{
    Stop();
    static LONG counter = 0;
    std::string portFile = "/tmp/pel-test-server-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(InterlockedIncrement(&counter)) + ".port";
    std::wstring portFileDos = WinePath(portFile);
    DeleteFileW(portFileDos.c_str());

    std::string rootUnix = UnixPath(root);
    if (rootUnix.empty())
        return false;
    // Wine hands a Unix program its arguments split by the Windows rules: only
    // double quotes group, single quotes would become part of the path.
    std::string cmd = "Z:\\usr\\bin\\python3 " PEL_SOURCE_DIR "/tools/testserver/pel_test_server.py"
                      " --root \"" + rootUnix + "\" --port-file " + portFile +
                      " --idle-exit " + std::to_string(options.idleExitSeconds);
    if (options.https) {
        std::string base = PEL_TEST_CERT_DIR "/";
        base += options.wrongNameCert ? "wrongname" : "localhost";
        cmd += " --cert " + base + ".pem --key " + base + ".key";
    }
    std::wstring wcmd = Widen(cmd);
    std::vector<wchar_t> buf(wcmd.begin(), wcmd.end());
    buf.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Wine starts the Unix process detached: the handle is not the server's lifetime.
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    int port = 0, controlPort = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        if (ReadPorts(portFileDos, &port, &controlPort))
            break;
    }
    DeleteFileW(portFileDos.c_str());
    if (port == 0)
        return false;
    m_port = port;
    m_https = options.https;
    m_controlPort = controlPort;
    return true;
}

void CTestServer::Stop()
{
    if (m_port == 0)
        return;
    Control(L"/__control/stop", nullptr);
    m_port = 0;
    m_controlPort = 0;
}

std::wstring CTestServer::BaseUrl() const
{
    return (m_https ? L"https://localhost:" : L"http://127.0.0.1:") + std::to_wstring(m_port);
}

bool CTestServer::Control(const std::wstring& pathAndQuery, std::string* body)
{
    return m_controlPort != 0 && HttpGet(m_controlPort, Narrow(pathAndQuery), body);
}

bool CTestServer::SetFault(const std::wstring& path, const std::wstring& faultQuery)
{
    return Control(L"/__control/set?path=" + path + L"&" + faultQuery, nullptr);
}

bool CTestServer::ClearFaults() { return Control(L"/__control/clear", nullptr); }

std::string CTestServer::RequestLog()
{
    std::string body;
    Control(L"/__control/log", &body);
    return body;
}

int CTestServer::CountRequests(const std::string& pathPrefix)
{
    std::string log = RequestLog();
    int count = 0;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        size_t space = log.find(' ', pos);
        if (space != std::string::npos && space < end &&
            log.compare(space + 1, pathPrefix.size(), pathPrefix) == 0)
            ++count;
        pos = end + 1;
    }
    return count;
}

std::vector<CTestServer::LoggedRequest> CTestServer::Requests(const std::string& pathPrefix)
{
    std::vector<LoggedRequest> out;
    const std::string log = RequestLog();
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        const std::string line = log.substr(pos, end - pos);
        pos = end + 1;
        const size_t space = line.find(' ');
        if (space == std::string::npos || line.compare(space + 1, pathPrefix.size(), pathPrefix) != 0)
            continue;
        LoggedRequest r;
        const size_t afterPath = line.find(' ', space + 1);
        if (afterPath == std::string::npos ||
            std::sscanf(line.c_str() + afterPath, " %d %lld", &r.status, &r.bytes) != 2)
            continue;
        // RANGE has no blanks; IFRANGE, the last field, may hold a date.
        const size_t rangeAt = line.find(" RANGE=");
        const size_t ifRangeAt = line.find(" IFRANGE=");
        if (rangeAt != std::string::npos && ifRangeAt != std::string::npos && ifRangeAt > rangeAt) {
            r.range = line.substr(rangeAt + 7, ifRangeAt - rangeAt - 7);
            r.ifRange = line.substr(ifRangeAt + 9);
        }
        out.push_back(r);
    }
    return out;
}

namespace {

PCCERT_CONTEXT LoadCertificate(const std::wstring& derFile)
{
    FILE* f = _wfopen(derFile.c_str(), L"rb");
    if (!f)
        return nullptr;
    std::vector<BYTE> der(8192);
    size_t n = std::fread(der.data(), 1, der.size(), f);
    std::fclose(f);
    return CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(n));
}

} // namespace

bool TrustTestCa()
{
    return TrustCaCertificate(CTestServer::CaCertificatePath());
}

bool UntrustTestCa()
{
    return UntrustCaCertificate(CTestServer::CaCertificatePath());
}

bool TrustCaCertificate(const std::wstring& derFile)
{
    PCCERT_CONTEXT ca = LoadCertificate(derFile);
    if (!ca)
        return false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    bool ok = store && CertAddCertificateContextToStore(store, ca, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store)
        CertCloseStore(store, 0);
    CertFreeCertificateContext(ca);
    return ok;
}

bool UntrustCaCertificate(const std::wstring& derFile)
{
    PCCERT_CONTEXT ca = LoadCertificate(derFile);
    if (!ca)
        return false;
    bool ok = false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store) {
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, ca, nullptr);
        ok = found ? CertDeleteCertificateFromStore(found) != FALSE : true;
        CertCloseStore(store, 0);
    }
    CertFreeCertificateContext(ca);
    return ok;
}

} // namespace testing_support
