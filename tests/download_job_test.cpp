// Download jobs against the test download server: the report sequences, what
// is left on disk, and which requests reach the server.
#include "TestServer.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include "engine/DownloadJob.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

using namespace testing_support;

namespace {

const size_t kSize = 50000;

class DownloadJobTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = std::make_unique<TempFolder>();
        WriteFileBytes(s_root->File(L"pkg.msi"), PatternBytes(kSize, 7));
        WriteFileBytes(s_root->File(L"slow.msi"), PatternBytes(300000, 8));
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
    int Requests(const std::string& path) const { return s_server->CountRequests(path); }

    static std::unique_ptr<TempFolder> s_root;
    static std::unique_ptr<CTestServer> s_server;
    static bool s_up;
    TempFolder m_out;
};

std::unique_ptr<TempFolder> DownloadJobTest::s_root;
std::unique_ptr<CTestServer> DownloadJobTest::s_server;
bool DownloadJobTest::s_up = false;

struct Triple
{
    int32_t state;
    uint64_t received;
    uint64_t total;
};

void ExpectReport(const DownloadStatusInfo& r, Triple t, size_t i)
{
    EXPECT_EQ(r.state, t.state) << "report " << i;
    EXPECT_EQ(r.received, t.received) << "report " << i;
    EXPECT_EQ(r.total, t.total) << "report " << i;
}

} // namespace

TEST_F(DownloadJobTest, GoodDownloadReportSequence)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"pkg.msi");
    CDownloadJob job(Url(L"/pkg.msi?t=good"), local);
    EXPECT_NE(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(kSize, 7)));
    EXPECT_EQ(job.ContentLength(), static_cast<int64_t>(kSize));

    const auto reports = log.Reports();
    ASSERT_GE(reports.size(), 5u);
    ExpectReport(reports.front(), {TransferRunning, 0, 0}, 0);
    uint64_t previous = 0;
    for (size_t i = 1; i + 2 < reports.size(); i += 2) {
        EXPECT_EQ(reports[i].state, TransferRunning) << i;
        EXPECT_EQ(reports[i].received, reports[i + 1].received) << i;
        EXPECT_GT(reports[i].received, previous) << i;
        EXPECT_EQ(reports[i].total, kSize) << i;
        EXPECT_EQ(reports[i + 1].total, kSize) << i;
        previous = reports[i].received;
    }
    ExpectReport(reports[reports.size() - 2], {TransferEnded, kSize, kSize}, reports.size() - 2);
    ExpectReport(reports.back(), {TransferRunning, 0, kSize}, reports.size() - 1);
    // The length comes from the download's own response.
    EXPECT_EQ(Requests("/pkg.msi?t=good"), 1);
}

TEST_F(DownloadJobTest, GoodJobSendsExactlyOneGet)
{
    CTestOwner owner;
    const std::wstring local = m_out.File(L"one.msi");
    CDownloadJob job(Url(L"/pkg.msi?t=one"), local);
    ASSERT_NE(job.Run(&owner, nullptr), 0u);
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(kSize, 7)));
    ASSERT_TRUE(WaitUntil([&] { return Requests("/pkg.msi?t=one") >= 1; }, 5000));
    EXPECT_EQ(Requests("/pkg.msi?t=one"), 1) << s_server->RequestLog();
    // The one request is the download itself: a GET with the file request's
    // accept type, whose whole body was sent (and read).
    const std::string log = s_server->RequestLog();
    const size_t at = log.find("GET /pkg.msi?t=one 200 " + std::to_string(kSize) + " ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("ACCEPT=*/* CTYPE=", at), std::string::npos) << log;
}

TEST_F(DownloadJobTest, ReplacesAnExistingFile)
{
    CTestOwner owner;
    const std::wstring local = m_out.File(L"old.msi");
    WriteFileBytes(local, PatternBytes(kSize * 3, 1));
    CDownloadJob job(Url(L"/pkg.msi"), local);
    EXPECT_NE(job.Run(&owner, nullptr), 0u);
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(kSize, 7)));
}

TEST_F(DownloadJobTest, NotFoundCreatesNoFile)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"missing.msi");
    CDownloadJob job(Url(L"/missing.msi"), local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_FALSE(FileExists(local));
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 2u);
    ExpectReport(reports[0], {TransferRunning, 0, 0}, 0);
    ExpectReport(reports[1], {TransferRunning, 0, 0}, 1);
    EXPECT_EQ(Requests("/missing.msi"), 1) << "one GET, whose refusal ends the job";
}

TEST_F(DownloadJobTest, ErrorPageWithLengthIsNotKept)
{
    // The length query believes a 500 page's length; the download refuses it
    // and the job leaves no file for the installer to run.
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"err.msi");
    CDownloadJob job(Url(L"/pkg.msi?__status=500"), local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_FALSE(FileExists(local));
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[1].state, TransferEnded);
    EXPECT_EQ(reports[1].errorText, L"Internet download file Failed");
    EXPECT_EQ(reports[1].httpStatus, 500u);
    ExpectReport(reports[2], {TransferRunning, 0, kSize}, 2);
    EXPECT_EQ(Requests("/pkg.msi?__status=500"), 1);
}

TEST_F(DownloadJobTest, NoLengthDeclaredCreatesNoFile)
{
    // A 2xx response without a Content-Length gives no length: no file, no
    // transfer, as an unreachable server does.
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"nolength.msi");
    CDownloadJob job(Url(L"/pkg.msi?__nolength=1"), local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_FALSE(FileExists(local));
    EXPECT_EQ(job.ContentLength(), 0);
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 2u);
    ExpectReport(reports[0], {TransferRunning, 0, 0}, 0);
    ExpectReport(reports[1], {TransferRunning, 0, 0}, 1);
}

TEST_F(DownloadJobTest, UnreachableServerCreatesNoFile)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"unreachable.msi");
    CDownloadJob job(L"http://127.0.0.1:1/pkg.msi", local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_FALSE(FileExists(local));
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 2u) << "no transfer report without a response";
    ExpectReport(reports[1], {TransferRunning, 0, 0}, 1);
}

TEST_F(DownloadJobTest, BrokenOffDownloadLeavesNoFile)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"cut.msi");
    // The whole length is declared, the connection closes after 10000 bytes.
    CDownloadJob job(Url(L"/pkg.msi?__cut=10000"), local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    EXPECT_FALSE(FileExists(local));
    const auto reports = log.Reports();
    ASSERT_GE(reports.size(), 3u);
    const DownloadStatusInfo& transferEnd = reports[reports.size() - 2];
    EXPECT_EQ(transferEnd.state, TransferEnded);
    EXPECT_EQ(transferEnd.errorText, L"Internet download file Failed");
    EXPECT_EQ(transferEnd.total, kSize);
    EXPECT_LE(transferEnd.received, 10000u);
}

TEST_F(DownloadJobTest, NoOwnerNoRequest)
{
    CReportLog log;
    const std::wstring local = m_out.File(L"none.msi");
    CDownloadJob job(Url(L"/pkg.msi?t=noowner"), local);
    EXPECT_EQ(job.Run(nullptr, log.AsCallback()), 0u);
    EXPECT_TRUE(log.Reports().empty());
    EXPECT_FALSE(FileExists(local));
    EXPECT_EQ(Requests("/pkg.msi?t=noowner"), 0);
}

TEST_F(DownloadJobTest, AlreadyCancelledReportsAbortOnly)
{
    CTestOwner owner;
    owner.Cancel();
    CReportLog log;
    const std::wstring local = m_out.File(L"cancelled.msi");
    CDownloadJob job(Url(L"/pkg.msi?t=cancelled"), local);
    EXPECT_EQ(job.Run(&owner, log.AsCallback()), 0u);
    const auto reports = log.Reports();
    ASSERT_EQ(reports.size(), 1u);
    ExpectReport(reports[0], {TransferAborted, 0, 0}, 0);
    EXPECT_FALSE(FileExists(local));
    EXPECT_EQ(Requests("/pkg.msi?t=cancelled"), 0);
}

TEST_F(DownloadJobTest, CancelledDuringTransferLeavesNoFile)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"slow.msi");
    uint32_t result = 1;
    CDownloadJob job(Url(L"/slow.msi?__drip=100000"), local);
    std::thread run([&] { result = job.Run(&owner, log.AsCallback()); });
    EXPECT_TRUE(WaitUntil([&] { return log.LastReceived() > 0; }, 15000));
    owner.Cancel();
    run.join();
    EXPECT_EQ(result, 0u);
    EXPECT_FALSE(FileExists(local));
    const auto reports = log.Reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[reports.size() - 2].state, TransferCancelled);
    ExpectReport(reports.back(), {TransferRunning, 0, 300000}, reports.size() - 1);
}

TEST_F(DownloadJobTest, ThrowingCallbackEndsWithAbortReport)
{
    CTestOwner owner;
    CReportLog log;
    const std::wstring local = m_out.File(L"throw.msi");
    CDownloadJob job(Url(L"/pkg.msi"), local);
    bool thrown = false;
    const uint32_t result = job.Run(&owner, [&](const DownloadStatusInfo& info) {
        log.Add(info);
        if (info.received > 0 && !thrown) {
            thrown = true;
            throw std::runtime_error("callback failed");
        }
    });
    EXPECT_TRUE(thrown);
    EXPECT_EQ(result, 0u);
    const auto reports = log.Reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.back().state, TransferAborted);
    EXPECT_FALSE(FileExists(local)) << "an unfinished download was left behind";
}

TEST_F(DownloadJobTest, ThrowAfterTheTransferKeepsItsResult)
{
    CTestOwner owner;
    const std::wstring local = m_out.File(L"late.msi");
    CDownloadJob job(Url(L"/pkg.msi"), local);
    int aborts = 0;
    const uint32_t result = job.Run(&owner, [&](const DownloadStatusInfo& info) {
        if (info.state == TransferAborted) {
            ++aborts;
            throw std::runtime_error("again");   // the abort report's exception is dropped
        }
        if (info.state == TransferRunning && info.received == 0 && info.total == kSize)
            throw std::runtime_error("final report");
    });
    EXPECT_NE(result, 0u);
    EXPECT_EQ(aborts, 1);
    EXPECT_TRUE(SameBytes(ReadFileBytes(local), PatternBytes(kSize, 7)));
}
