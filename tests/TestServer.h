// Starts tools/testserver/pel_test_server.py (a Linux python3 process started
// from inside Wine) on 127.0.0.1 with a free port, and talks to its control
// interface. The server also stops by itself when idle, so a crashed test
// cannot leave it behind.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class CTestServer
{
public:
    struct Options
    {
        bool https = false;           // serve HTTPS with the test CA's "localhost" certificate
        bool wrongNameCert = false;   // with https: a certificate for another host name
        int idleExitSeconds = 120;
    };

    CTestServer() = default;
    ~CTestServer() { Stop(); }
    CTestServer(const CTestServer&) = delete;
    CTestServer& operator=(const CTestServer&) = delete;

    // Serves the Windows folder `root`. False when the server did not come up within 15 s.
    bool Start(const std::wstring& root, const Options& options);
    bool Start(const std::wstring& root) { return Start(root, Options()); }
    void Stop();

    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" or "https://localhost:PORT", without a trailing slash.
    std::wstring BaseUrl() const;
    std::wstring Url(const std::wstring& path) const { return BaseUrl() + path; }

    // Fault rule for a path (query text such as L"status=404&nobody=1"); see the server's help.
    bool SetFault(const std::wstring& path, const std::wstring& faultQuery);
    bool ClearFaults();
    // The request log: one line per request, "METHOD PATH STATUS BYTES UA=... ACCEPT=... CTYPE=...
    // RANGE=... IFRANGE=...".
    std::string RequestLog();
    // The logged requests whose path (with query) starts with `pathPrefix`, in order.
    struct LoggedRequest
    {
        int status = 0;
        long long bytes = 0;
        std::string range;     // the Range header sent, or empty
        std::string ifRange;
    };
    std::vector<LoggedRequest> Requests(const std::string& pathPrefix);
    // Number of logged requests whose path (with query) starts with `pathPrefix`.
    int CountRequests(const std::string& pathPrefix);

    // DER file of the test CA (to trust it in the prefix, see TrustTestCa).
    static std::wstring CaCertificatePath();

private:
    bool Control(const std::wstring& pathAndQuery, std::string* body);

    int m_port = 0;
    int m_controlPort = 0;   // the plain-HTTP control port (the same as m_port without HTTPS)
    bool m_https = false;
};

// Adds the test CA to the local machine's Root store of this Wine prefix (idempotent).
bool TrustTestCa();
// Removes it again (Wine 8 answers that it did but keeps the certificate in the store).
bool UntrustTestCa();
// The same for the CA certificate in a DER file.
bool TrustCaCertificate(const std::wstring& derFile);
bool UntrustCaCertificate(const std::wstring& derFile);

} // namespace testing_support
