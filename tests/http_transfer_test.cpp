// HTTP transfers against the test download server: the length query, file
// and stream downloads, pausing, cancellation, broken and lying responses,
// HTTPS certificates, and what the server sees of the requests.
#include "TestServer.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include "engine/HttpTransfer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

using namespace testing_support;

namespace {

const size_t kFileSize = 100000;
const size_t kDripFileSize = 200000;

class HttpTransferTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = std::make_unique<TempFolder>();
        WriteFileBytes(s_root->File(L"a.bin"), PatternBytes(kFileSize));
        WriteFileBytes(s_root->File(L"exact.bin"), PatternBytes(8192, 2));
        WriteFileBytes(s_root->File(L"drip.bin"), PatternBytes(kDripFileSize, 3));
        WriteFileBytes(s_root->File(L"doc.xml"), "<version><client>1.0.0.1</client></version>");
        s_server = std::make_unique<CTestServer>();
        s_up = s_server->Start(s_root->Path());
        EnsureInternetRoot();
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_root.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_up) << "test server did not start";
        s_server->ClearFaults();
    }

    std::wstring Url(const std::wstring& path) const { return s_server->Url(path); }

    // Downloads into a new file; its contents go to `bytes`.
    bool Download(const std::wstring& path, const ICancelRequest& cancel, CReportLog& log, std::string* bytes)
    {
        const std::wstring local = m_out.File(L"out" + std::to_wstring(++m_files) + L".bin");
        bool ok;
        {
            CFileHandle file(CreateFileW(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            EXPECT_TRUE(file.IsValid());
            ok = DownloadToFile(cancel, Url(path), file.Get(), &log);
        }
        if (bytes)
            *bytes = ReadFileBytes(local);
        return ok;
    }

    static const DownloadStatusInfo& Last(const std::vector<DownloadStatusInfo>& reports) { return reports.back(); }

    static std::unique_ptr<TempFolder> s_root;
    static std::unique_ptr<CTestServer> s_server;
    static bool s_up;
    TempFolder m_out;
    int m_files = 0;
};

std::unique_ptr<TempFolder> HttpTransferTest::s_root;
std::unique_ptr<CTestServer> HttpTransferTest::s_server;
bool HttpTransferTest::s_up = false;

// The line of the request log whose path starts with `path`.
std::string LogLine(const std::string& log, const std::string& path)
{
    size_t pos = log.find(" " + path);
    if (pos == std::string::npos)
        return std::string();
    size_t begin = log.rfind('\n', pos);
    begin = begin == std::string::npos ? 0 : begin + 1;
    return log.substr(begin, log.find('\n', pos) - begin);
}

} // namespace

TEST_F(HttpTransferTest, LengthQueryStatusRules)
{
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin")), static_cast<int64_t>(kFileSize)) << s_server->RequestLog();
    EXPECT_EQ(QueryContentLength(Url(L"/missing.bin")), 0);
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__status=404")), 0);
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__status=403")), 0);
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__status=503")), 0);
    // 401 and 500 pages are taken at their word.
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__status=401&__body=denied")), 6);
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__status=500")), static_cast<int64_t>(kFileSize));
}

TEST_F(HttpTransferTest, LengthQueryWithoutLengthOrServer)
{
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__nolength=1")), 0);
    EXPECT_EQ(QueryContentLength(L"http://127.0.0.1:1/a.bin"), 0);
    EXPECT_EQ(QueryContentLength(L"not a url"), 0);
}

TEST_F(HttpTransferTest, LengthQueryAbove2GiB)
{
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__nobody=1&__length=5000000000")), INT64_C(5000000000));
    EXPECT_EQ(QueryContentLength(Url(L"/a.bin?__nobody=1&__length=2147483648")), INT64_C(2147483648));
}

TEST_F(HttpTransferTest, OneGetJudgesItsLengthLikeTheLengthQuery)
{
    const wchar_t* paths[] = {L"/a.bin",
                              L"/missing.bin",
                              L"/a.bin?__status=404",
                              L"/a.bin?__status=403",
                              L"/a.bin?__status=503",
                              L"/a.bin?__status=401&__body=denied",
                              L"/a.bin?__status=500",
                              L"/a.bin?__nolength=1",
                              L"/a.bin?__nobody=1&__length=5000000000"};
    const int64_t expected[] = {static_cast<int64_t>(kFileSize), 0, 0, 0, 0, 6,
                                static_cast<int64_t>(kFileSize), 0, INT64_C(5000000000)};
    for (size_t i = 0; i < sizeof paths / sizeof paths[0]; ++i) {
        CHttpGet get;
        ASSERT_TRUE(get.Open(Url(paths[i]))) << paths[i];
        EXPECT_EQ(get.ContentLength(), expected[i]) << paths[i];
        EXPECT_EQ(QueryContentLength(Url(paths[i])), expected[i]) << paths[i];
    }
    CHttpGet unopened;
    EXPECT_EQ(unopened.ContentLength(), 0);
    CHttpGet unreachable;
    EXPECT_FALSE(unreachable.Open(L"http://127.0.0.1:1/a.bin"));
    EXPECT_EQ(unreachable.ContentLength(), 0);
}

TEST_F(HttpTransferTest, OneGetGivesLengthThenBody)
{
    CHttpGet get;
    ASSERT_TRUE(get.Open(Url(L"/a.bin?which=oneget")));
    EXPECT_EQ(get.ContentLength(), static_cast<int64_t>(kFileSize));
    const std::wstring local = m_out.File(L"oneget.bin");
    CReportLog log;
    {
        CFileHandle file(CreateFileW(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
        EXPECT_TRUE(get.ReceiveToFile(CancelRequest(), file.Get(), &log));
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(kFileSize)));
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.state, TransferEnded);
    EXPECT_EQ(end.received, kFileSize);
    EXPECT_EQ(end.httpStatus, 200u);
    ASSERT_TRUE(WaitUntil([&] { return s_server->CountRequests("/a.bin?which=oneget") >= 1; }, 5000));
    EXPECT_EQ(s_server->CountRequests("/a.bin?which=oneget"), 1) << s_server->RequestLog();
}

TEST_F(HttpTransferTest, OneGetThatFailedToOpenReportsTheStep)
{
    CHttpGet get;
    EXPECT_FALSE(get.Open(L"http://127.0.0.1:1/a.bin"));
    CReportLog log;
    EXPECT_FALSE(get.ReceiveToFile(CancelRequest(), INVALID_HANDLE_VALUE, &log));
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].state, TransferEnded);
    EXPECT_EQ(reports[0].errorText, L"HttpSendRequest Failed.");
    EXPECT_EQ(reports[0].errorCode, static_cast<uint32_t>(ERROR_INTERNET_CANNOT_CONNECT));

    // Opened again on a good URL, the earlier failure is gone from the report.
    ASSERT_TRUE(get.Open(Url(L"/exact.bin")));
    const std::wstring local = m_out.File(L"reopened.bin");
    CReportLog again;
    {
        CFileHandle file(CreateFileW(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        EXPECT_TRUE(get.ReceiveToFile(CancelRequest(), file.Get(), &again));
    }
    EXPECT_EQ(Last(again.Reports()).errorText, L"");
    EXPECT_EQ(Last(again.Reports()).errorCode, 0u);
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(8192, 2)));
}

TEST_F(HttpTransferTest, FileDownloadReportsEveryChunkTwice)
{
    CReportLog log;
    std::string bytes;
    ASSERT_TRUE(Download(L"/a.bin", CancelRequest(), log, &bytes));
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(kFileSize)));

    auto reports = log.Reports();
    ASSERT_GE(reports.size(), 3u);
    ASSERT_EQ(reports.size() % 2, 1u);
    uint64_t previous = 0;
    for (size_t i = 0; i + 1 < reports.size(); i += 2) {
        EXPECT_EQ(reports[i].state, TransferRunning);
        EXPECT_EQ(reports[i].received, reports[i + 1].received);
        EXPECT_EQ(reports[i].state, reports[i + 1].state);
        EXPECT_GT(reports[i].received, previous);
        EXPECT_LE(reports[i].received - previous, 4096u);
        EXPECT_EQ(reports[i].total, 0u);
        previous = reports[i].received;
    }
    const DownloadStatusInfo& end = Last(reports);
    EXPECT_EQ(end.state, TransferEnded);
    EXPECT_EQ(end.received, kFileSize);
    EXPECT_EQ(end.errorCode, 0u);
    EXPECT_EQ(end.errorText, L"");
    EXPECT_EQ(end.httpStatus, 200u);
}

TEST_F(HttpTransferTest, FileOfExactly8192Bytes)
{
    CReportLog log;
    std::string bytes;
    ASSERT_TRUE(Download(L"/exact.bin", CancelRequest(), log, &bytes));
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(8192, 2)));
    EXPECT_EQ(Last(log.Reports()).received, 8192u);
}

TEST_F(HttpTransferTest, ErrorStatusIsNotTheFile)
{
    for (const wchar_t* path : {L"/missing.bin", L"/a.bin?__status=500", L"/a.bin?__status=401"}) {
        CReportLog log;
        std::string bytes = "unset";
        EXPECT_FALSE(Download(path, CancelRequest(), log, &bytes)) << path;
        EXPECT_EQ(bytes, "") << "the error page must not reach the file: " << path;
        auto reports = log.Reports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].state, TransferEnded);
        EXPECT_EQ(reports[0].received, 0u);
        EXPECT_EQ(reports[0].errorText, L"Internet download file Failed");
        EXPECT_NE(reports[0].errorCode, 0u);
        EXPECT_NE(reports[0].httpStatus, 200u);
    }
}

TEST_F(HttpTransferTest, BrokenOffTransferFails)
{
    CReportLog log;
    EXPECT_FALSE(Download(L"/a.bin?__cut=5000", CancelRequest(), log, nullptr));
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.state, TransferEnded);
    EXPECT_LE(end.received, 5000u);
    EXPECT_EQ(end.errorText, L"Internet download file Failed");
    EXPECT_NE(end.errorCode, 0u);
}

TEST_F(HttpTransferTest, DeclaredLengthLargerThanBodyFails)
{
    CReportLog log;
    EXPECT_FALSE(Download(L"/a.bin?__length=150000", CancelRequest(), log, nullptr));
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.received, kFileSize);
    EXPECT_EQ(end.errorText, L"Internet download file Failed");
}

TEST_F(HttpTransferTest, DeclaredLengthSmallerThanBody)
{
    // HTTP delimits the body by its Content-Length: the file is what was declared.
    CReportLog log;
    std::string bytes;
    const bool ok = Download(L"/a.bin?__length=50000", CancelRequest(), log, &bytes);
    const DownloadStatusInfo end = Last(log.Reports());
    std::printf("[   NOTE   ] declared 50000 of a 100000-byte body: the client read %llu bytes\n",
                static_cast<unsigned long long>(end.received));
    if (end.received == 50000) {
        EXPECT_TRUE(ok);
        EXPECT_TRUE(SameBytes(bytes, PatternBytes(kFileSize).substr(0, 50000)));
    } else {
        // A client that reads on to the connection's close got more than declared.
        EXPECT_FALSE(ok) << "received " << end.received;
    }
}

TEST_F(HttpTransferTest, MissingLengthEndsWithTheConnection)
{
    // Also: the failed Content-Length query before the loop leaves a last
    // error behind that must not be reported as the transfer's.
    CReportLog log;
    std::string bytes;
    ASSERT_TRUE(Download(L"/a.bin?__nolength=1", CancelRequest(), log, &bytes));
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(kFileSize)));
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.errorCode, 0u);
    EXPECT_EQ(end.errorText, L"");
}

TEST_F(HttpTransferTest, SetupFailuresAreRecorded)
{
    {
        CReportLog log;
        EXPECT_FALSE(DownloadToFile(CancelRequest(), L"no url at all", INVALID_HANDLE_VALUE, &log));
        auto reports = log.Reports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].state, TransferEnded);
        EXPECT_EQ(reports[0].errorText, L"");
        EXPECT_EQ(reports[0].errorCode, 0u);
    }
    {
        CReportLog log;
        EXPECT_FALSE(DownloadToFile(CancelRequest(), L"http://127.0.0.1:1/a.bin", INVALID_HANDLE_VALUE, &log));
        auto reports = log.Reports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].state, TransferEnded);
        EXPECT_EQ(reports[0].errorText, L"HttpSendRequest Failed.");
        EXPECT_EQ(reports[0].errorCode, static_cast<uint32_t>(ERROR_INTERNET_CANNOT_CONNECT));
    }
    // No callback: nothing to report to, same result.
    EXPECT_FALSE(DownloadToFile(CancelRequest(), L"http://127.0.0.1:1/a.bin", INVALID_HANDLE_VALUE, nullptr));
}

TEST_F(HttpTransferTest, WriteFailureIsAFailure)
{
    const std::wstring local = m_out.File(L"readonly.bin");
    WriteFileBytes(local, "");
    CFileHandle file(CreateFileW(local.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    CReportLog log;
    EXPECT_FALSE(DownloadToFile(CancelRequest(), Url(L"/a.bin"), file.Get(), &log));
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.errorText, L"Internet download file Failed");
    EXPECT_EQ(end.errorCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
}

TEST_F(HttpTransferTest, CancelledBeforeTheFirstPass)
{
    CTestOwner owner;
    owner.Cancel();
    CReportLog log;
    std::string bytes = "unset";
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Download(L"/a.bin", owner.Request(), log, &bytes));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(bytes, "");
    auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].state, TransferCancelled);
    EXPECT_EQ(reports[0].received, 0u);
    EXPECT_GE(elapsed, 490u);   // tick granularity
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(HttpTransferTest, CancelledWhileRunning)
{
    CTestOwner owner;
    CReportLog log;
    bool ok = true;
    std::thread transfer([&] { ok = Download(L"/drip.bin?__drip=100000", owner.Request(), log, nullptr); });
    EXPECT_TRUE(WaitUntil([&] { return log.LastReceived() > 0; }, 10000));
    owner.Cancel();
    transfer.join();
    EXPECT_FALSE(ok);
    const DownloadStatusInfo end = Last(log.Reports());
    EXPECT_EQ(end.state, TransferCancelled);
    EXPECT_LT(end.received, kDripFileSize);
    EXPECT_EQ(end.errorText, L"");
}

TEST_F(HttpTransferTest, PausedTransferReadsNothingAndUsesNoProcessor)
{
    CTestOwner owner;
    CReportLog log;
    bool ok = false;
    std::string bytes;
    std::thread transfer([&] { ok = Download(L"/drip.bin?__drip=200000", owner.Request(), log, &bytes); });
    ASSERT_TRUE(WaitUntil([&] { return log.LastReceived() >= 20000; }, 10000));
    owner.Pause();
    Sleep(200);   // a pass already past its pause check may finish its read
    const uint64_t atPause = log.LastReceived();
    const double cpuBefore = ProcessCpuMs();
    Sleep(1000);
    const double cpuWhilePaused = ProcessCpuMs() - cpuBefore;
    const uint64_t afterPause = log.LastReceived();
    owner.Resume();
    transfer.join();

    EXPECT_EQ(afterPause, atPause) << "bytes were read while paused";
    EXPECT_LT(atPause, kDripFileSize);
    // A transfer that re-checks without waiting burns a whole core here.
    EXPECT_LT(cpuWhilePaused, 200.0) << "ms of processor time during 1 s of pause";
    EXPECT_TRUE(ok);
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(kDripFileSize, 3))) << "the transfer did not go on where it stopped";
}

TEST_F(HttpTransferTest, CancelWakesAPausedTransfer)
{
    CTestOwner owner;
    CReportLog log;
    bool ok = true;
    std::thread transfer([&] { ok = Download(L"/drip.bin?__drip=200000", owner.Request(), log, nullptr); });
    ASSERT_TRUE(WaitUntil([&] { return log.LastReceived() > 0; }, 10000));
    owner.Pause();
    Sleep(300);
    const DWORD start = GetTickCount();
    owner.Cancel();
    transfer.join();
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_FALSE(ok);
    EXPECT_EQ(Last(log.Reports()).state, TransferCancelled);
    // The 500 ms before the cancellation report, plus a generous margin.
    EXPECT_LT(elapsed, 3000u);
}

TEST_F(HttpTransferTest, StreamDownload)
{
    CStringSink sink;
    ASSERT_TRUE(DownloadToStream(CancelRequest(), Url(L"/doc.xml"), sink));
    EXPECT_EQ(sink.Data(), "<version><client>1.0.0.1</client></version>");

    CStringSink big;
    ASSERT_TRUE(DownloadToStream(CancelRequest(), Url(L"/a.bin"), big));
    EXPECT_TRUE(SameBytes(big.Data(), PatternBytes(kFileSize)));
}

TEST_F(HttpTransferTest, StreamRefusesErrorsAndBrokenBodies)
{
    CStringSink notFound, cut, tooShort, failedServer;
    EXPECT_FALSE(DownloadToStream(CancelRequest(), Url(L"/missing.xml"), notFound));
    EXPECT_FALSE(DownloadToStream(CancelRequest(), Url(L"/a.bin?__cut=3000"), cut));
    EXPECT_FALSE(DownloadToStream(CancelRequest(), Url(L"/a.bin?__length=120000"), tooShort));
    EXPECT_FALSE(DownloadToStream(CancelRequest(), Url(L"/a.bin?__status=500"), failedServer));
    EXPECT_FALSE(DownloadToStream(CancelRequest(), L"http://127.0.0.1:1/doc.xml", notFound));

    CTestOwner owner;
    owner.Cancel();
    CStringSink cancelled;
    EXPECT_FALSE(DownloadToStream(owner.Request(), Url(L"/doc.xml"), cancelled));
    EXPECT_EQ(cancelled.Data(), "");
}

TEST_F(HttpTransferTest, RequestsCarryAgentAcceptTypesAndContentType)
{
    QueryContentLength(Url(L"/a.bin?which=length"));
    CReportLog log;
    Download(L"/a.bin?which=file", CancelRequest(), log, nullptr);
    CStringSink sink;
    DownloadToStream(CancelRequest(), Url(L"/doc.xml?which=stream"), sink);

    const std::string requests = s_server->RequestLog();
    const std::string length = LogLine(requests, "/a.bin?which=length");
    const std::string file = LogLine(requests, "/a.bin?which=file");
    const std::string stream = LogLine(requests, "/doc.xml?which=stream");
    for (const std::string& line : {length, file, stream}) {
        EXPECT_EQ(line.compare(0, 4, "GET "), 0) << line;
        EXPECT_NE(line.find("UA=Quillo Web Installer Client ACCEPT="), std::string::npos) << line;
    }
    EXPECT_NE(length.find("ACCEPT=application/xml, */* CTYPE="), std::string::npos) << length;
    EXPECT_NE(file.find("ACCEPT=*/* CTYPE="), std::string::npos) << file;
    EXPECT_NE(stream.find("ACCEPT=application/xml, */* CTYPE=application/json"), std::string::npos) << stream;
}

// HTTPS with the test CA trusted in this prefix: the right name works, a
// certificate for another name is refused (errors are not ignored). One test,
// so that the trust is not taken away half-way by a sibling's clean-up.
TEST(HttpsTransferTest, TrustedNameWorksWrongNameIsRefused)
{
    TempFolder root, out;
    WriteFileBytes(root.File(L"s.bin"), PatternBytes(30000, 4));
    EnsureInternetRoot();
    ASSERT_TRUE(TrustTestCa());
    struct Untrust
    {
        ~Untrust() { UntrustTestCa(); }
    } untrust;

    CTestServer good;
    CTestServer::Options options;
    options.https = true;
    ASSERT_TRUE(good.Start(root.Path(), options));
    EXPECT_EQ(QueryContentLength(good.Url(L"/s.bin")), 30000);
    const std::wstring goodFile = out.File(L"good.bin");
    {
        CReportLog log;
        CFileHandle file(CreateFileW(goodFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        EXPECT_TRUE(DownloadToFile(CancelRequest(), good.Url(L"/s.bin"), file.Get(), &log));
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(goodFile), PatternBytes(30000, 4)));
    CStringSink sink;
    EXPECT_TRUE(DownloadToStream(CancelRequest(), good.Url(L"/s.bin"), sink));
    EXPECT_EQ(sink.Data().size(), 30000u);

    // A redirect from https to http is refused before anything is asked of
    // the plain server; https to https is followed.
    CTestServer plain;
    ASSERT_TRUE(plain.Start(root.Path()));
    ASSERT_TRUE(good.SetFault(L"/down", L"redirect=" + plain.Url(L"/s.bin")));
    ASSERT_TRUE(good.SetFault(L"/up", L"redirect=/s.bin"));
    {
        CReportLog log;
        CFileHandle file(CreateFileW(out.File(L"down.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                     nullptr));
        EXPECT_FALSE(DownloadToFile(CancelRequest(), good.Url(L"/down"), file.Get(), &log));
        EXPECT_EQ(log.Reports().back().errorCode, static_cast<uint32_t>(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR));
    }
    EXPECT_EQ(plain.CountRequests("/s.bin"), 0);
    CStringSink followed;
    EXPECT_TRUE(DownloadToStream(CancelRequest(), good.Url(L"/up"), followed));
    EXPECT_EQ(followed.Data().size(), 30000u);
    good.Stop();

    CTestServer wrong;
    options.wrongNameCert = true;
    ASSERT_TRUE(wrong.Start(root.Path(), options));
    EXPECT_EQ(QueryContentLength(wrong.Url(L"/s.bin")), 0);
    const std::wstring wrongFile = out.File(L"wrong.bin");
    CReportLog log;
    {
        CFileHandle file(CreateFileW(wrongFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        EXPECT_FALSE(DownloadToFile(CancelRequest(), wrong.Url(L"/s.bin"), file.Get(), &log));
    }
    const DownloadStatusInfo end = log.Reports().back();
    EXPECT_EQ(end.errorText, L"HttpSendRequest Failed.");
    EXPECT_EQ(end.errorCode, static_cast<uint32_t>(ERROR_INTERNET_SEC_CERT_CN_INVALID));
    EXPECT_EQ(ReadFileBytes(wrongFile), "");
    CStringSink refused;
    EXPECT_FALSE(DownloadToStream(CancelRequest(), wrong.Url(L"/s.bin"), refused));
}
