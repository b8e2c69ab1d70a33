// The download read loops over a scripted body source: servers (or client
// libraries) that misreport their data, read errors, pausing and
// cancellation, and the staging of file writes.
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include "engine/TransferLoop.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

// A body of known bytes, handed out as a client library would.
class CScriptedBody : public IBodySource
{
public:
    explicit CScriptedBody(std::string data) : m_data(std::move(data)) {}

    DWORD chunk = 4096;                  // most bytes one query reports
    bool claimsDataAtEnd = false;        // after the last byte: "4096 available", reads give 0
    size_t failAfter = std::string::npos; // a read fails once this many bytes were given
    DWORD failError = ERROR_INTERNET_CONNECTION_RESET;
    std::function<void(size_t)> onRead;  // called with the bytes given so far

    int callsAfterEnd = 0;
    int callsWhilePaused = 0;
    const ICancelRequest* watch = nullptr;   // counts calls made while this says paused

    bool QueryAvailable(DWORD& available) override
    {
        Note();
        if (m_pos >= m_data.size()) {
            // A loop that does not stop here would spin for ever: give up
            // with an error after many calls so the test ends.
            if (++callsAfterEnd > 1000) {
                SetLastError(ERROR_TIMEOUT);
                return false;
            }
            available = claimsDataAtEnd ? 4096 : 0;
            return true;
        }
        available = static_cast<DWORD>(std::min<size_t>(chunk, m_data.size() - m_pos));
        return true;
    }

    bool Read(void* buffer, DWORD size, DWORD& got) override
    {
        Note();
        if (m_pos >= failAfter) {
            SetLastError(failError);
            return false;
        }
        got = static_cast<DWORD>(std::min<size_t>({size, chunk, m_data.size() - m_pos}));
        std::memcpy(buffer, m_data.data() + m_pos, got);
        m_pos += got;
        if (onRead)
            onRead(m_pos);
        return true;
    }

private:
    void Note()
    {
        if (watch && watch->IsPaused())
            ++callsWhilePaused;
    }

    std::string m_data;
    size_t m_pos = 0;
};

// Paused until it has been waited on `pausedWaits` times; counts how the loop asks.
class CScriptedCancel : public ICancelRequest
{
public:
    int pausedWaits = 0;
    bool cancelled = false;
    mutable int pausedChecks = 0;
    mutable int waits = 0;

    BOOL IsCancelled() const override { return cancelled; }
    BOOL IsPaused() const override
    {
        // A loop that re-checks without waiting would never get past this:
        // stop pausing after many checks so the test ends.
        return ++pausedChecks < 10000 && waits < pausedWaits;
    }
    void WaitWhilePaused(DWORD) const override { ++waits; }
};

class TransferLoopTest : public ::testing::Test
{
protected:
    // Runs the file loop into a new file with a fresh record; the file's
    // contents go to `bytes`.
    bool ToFile(IBodySource& body, int64_t declared, const ICancelRequest& cancel, std::string* bytes,
                DWORD pollIntervalMs = kTransferPollIntervalMs)
    {
        const std::wstring local = m_folder.File(L"f" + std::to_wstring(++m_files) + L".bin");
        m_record = DownloadStatusInfo();
        bool ok;
        {
            CFileHandle file(CreateFileW(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            EXPECT_TRUE(file.IsValid());
            ok = ReceiveBodyToFile(cancel, body, declared, file.Get(), &m_log, m_record, pollIntervalMs);
        }
        if (bytes)
            *bytes = ReadFileBytes(local);
        return ok;
    }

    TempFolder m_folder;
    int m_files = 0;
    CReportLog m_log;
    DownloadStatusInfo m_record;
    CancelRequest m_never;
};

} // namespace

TEST_F(TransferLoopTest, ZeroByteReadEndsTheBody)
{
    // Seen under Wine: after the last byte the availability query keeps
    // reporting data while reads succeed with nothing.
    CScriptedBody body(PatternBytes(10000));
    body.claimsDataAtEnd = true;
    std::string bytes;
    EXPECT_TRUE(ToFile(body, 10000, m_never, &bytes));
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(10000)));
    EXPECT_LE(body.callsAfterEnd, 1);
    EXPECT_EQ(m_record.errorCode, 0u);
    for (const DownloadStatusInfo& r : m_log.Reports())
        EXPECT_NE(r.received, 0u) << "a read of nothing was reported";

    CScriptedBody stream(PatternBytes(40000));
    stream.claimsDataAtEnd = true;
    CStringSink sink;
    EXPECT_TRUE(ReceiveBodyToSink(m_never, stream, 40000, sink));
    EXPECT_TRUE(SameBytes(sink.Data(), PatternBytes(40000)));
    EXPECT_LE(stream.callsAfterEnd, 1);
}

TEST_F(TransferLoopTest, StaleLastErrorIsNotTheTransfersError)
{
    CScriptedBody body(PatternBytes(5000));
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);   // as a failed Content-Length query leaves it
    EXPECT_TRUE(ToFile(body, -1, m_never, nullptr));
    EXPECT_EQ(m_record.errorCode, 0u);
    EXPECT_EQ(m_record.errorText, L"");
}

TEST_F(TransferLoopTest, ReadErrorFailsEvenWithoutDeclaredLength)
{
    CScriptedBody body(PatternBytes(30000));
    body.failAfter = 12288;
    EXPECT_FALSE(ToFile(body, -1, m_never, nullptr));
    EXPECT_EQ(m_record.received, 12288u);
    EXPECT_EQ(m_record.errorCode, static_cast<uint32_t>(ERROR_INTERNET_CONNECTION_RESET));
    EXPECT_EQ(m_record.errorText, L"Internet download file Failed");

    CScriptedBody stream(PatternBytes(30000));
    stream.failAfter = 16384;
    CStringSink sink;
    EXPECT_FALSE(ReceiveBodyToSink(m_never, stream, -1, sink));
}

TEST_F(TransferLoopTest, BodyMustMatchTheDeclaredLength)
{
    CScriptedBody shortBody(PatternBytes(9000));
    EXPECT_FALSE(ToFile(shortBody, 10000, m_never, nullptr));
    EXPECT_EQ(m_record.errorCode, static_cast<uint32_t>(ERROR_INTERNET_CONNECTION_ABORTED));
    EXPECT_EQ(m_record.errorText, L"Internet download file Failed");

    CScriptedBody longBody(PatternBytes(11000));
    EXPECT_FALSE(ToFile(longBody, 10000, m_never, nullptr));

    CScriptedBody shortStream(PatternBytes(9000));
    CStringSink sink;
    EXPECT_FALSE(ReceiveBodyToSink(m_never, shortStream, 10000, sink));
}

TEST_F(TransferLoopTest, OddChunksLandAtTheirOffsets)
{
    // Reads below 4096 bytes flush the staging buffer at once; every batch
    // must go to its own offset.
    for (DWORD chunk : {1u, 1000u, 4095u, 4096u}) {
        const size_t size = chunk == 1 ? 9000 : 123457;
        CScriptedBody body(PatternBytes(size, chunk));
        body.chunk = chunk;
        std::string bytes;
        EXPECT_TRUE(ToFile(body, static_cast<int64_t>(size), m_never, &bytes)) << chunk;
        EXPECT_TRUE(SameBytes(bytes, PatternBytes(size, chunk))) << chunk;
    }
}

TEST_F(TransferLoopTest, EveryReadIsReportedTwice)
{
    CScriptedBody body(PatternBytes(50000));
    EXPECT_TRUE(ToFile(body, 50000, m_never, nullptr));
    const auto reports = m_log.Reports();
    ASSERT_EQ(reports.size(), 2 * ((50000 + 4095) / 4096));
    for (size_t i = 0; i < reports.size(); i += 2) {
        EXPECT_EQ(reports[i].state, TransferRunning);
        EXPECT_EQ(reports[i].received, std::min<uint64_t>(50000, (i / 2 + 1) * 4096));
        EXPECT_EQ(reports[i + 1].received, reports[i].received);
    }
}

TEST_F(TransferLoopTest, PausedLoopWaitsAndReadsNothing)
{
    CScriptedBody body(PatternBytes(20000));
    CScriptedCancel cancel;
    cancel.pausedWaits = 3;
    body.watch = &cancel;
    std::string bytes;
    EXPECT_TRUE(ToFile(body, 20000, cancel, &bytes));
    EXPECT_EQ(cancel.waits, 3);
    EXPECT_LT(cancel.pausedChecks, 100) << "the loop re-checked without waiting";
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(20000)));
}

TEST_F(TransferLoopTest, PauseInTheMiddleHoldsTheSource)
{
    CTestOwner owner;
    const CancelRequest cancel = owner.Request();
    CScriptedBody body(PatternBytes(40000));
    body.watch = &cancel;
    std::thread resumer;
    body.onRead = [&](size_t given) {
        if (given == 8192) {
            owner.Pause();
            resumer = std::thread([&] {
                Sleep(300);
                owner.Resume();
            });
        }
    };
    std::string bytes;
    const DWORD start = GetTickCount();
    // Looking at every pass, so that the pause is seen at the next one (the
    // server test covers the default interval).
    EXPECT_TRUE(ToFile(body, 40000, cancel, &bytes, 0));
    const DWORD elapsed = GetTickCount() - start;
    resumer.join();
    EXPECT_GE(elapsed, 250u);
    EXPECT_EQ(body.callsWhilePaused, 0);
    EXPECT_TRUE(SameBytes(bytes, PatternBytes(40000)));
}

TEST_F(TransferLoopTest, CancellationStopsWithoutAnError)
{
    CScriptedBody body(PatternBytes(40000));
    CScriptedCancel cancel;
    body.onRead = [&](size_t given) {
        if (given >= 12288)
            cancel.cancelled = true;
    };
    // Looking at every pass (interval 0): the loop stops right after the read.
    EXPECT_FALSE(ToFile(body, 40000, cancel, nullptr, 0));
    EXPECT_EQ(m_record.received, 12288u);
    EXPECT_EQ(m_record.errorCode, 0u);
    EXPECT_EQ(m_record.errorText, L"");

    CScriptedBody stream(PatternBytes(40000));
    CScriptedCancel streamCancel;
    stream.onRead = [&](size_t) { streamCancel.cancelled = true; };
    CStringSink sink;
    EXPECT_FALSE(ReceiveBodyToSink(streamCancel, stream, 40000, sink, 0));
    EXPECT_EQ(sink.Data().size(), 4096u);
}

TEST_F(TransferLoopTest, EventsAreLookedAtOnlyOncePerInterval)
{
    // Counts the looks of a whole 1 MB transfer that takes far less than the
    // interval: only the first pass looks.
    struct CCountingCancel : ICancelRequest
    {
        mutable int looks = 0;
        BOOL IsCancelled() const override { return ++looks, FALSE; }
        BOOL IsPaused() const override { return ++looks, FALSE; }
        void WaitWhilePaused(DWORD) const override {}
    } counting;
    CScriptedBody body(PatternBytes(1 << 20));
    EXPECT_TRUE(ToFile(body, 1 << 20, counting, nullptr, 60000));
    // The first pass (two events) and the final cancellation check.
    EXPECT_LE(counting.looks, 3);

    CCountingCancel everyPass;
    CScriptedBody again(PatternBytes(1 << 20));
    EXPECT_TRUE(ToFile(again, 1 << 20, everyPass, nullptr, 0));
    EXPECT_GE(everyPass.looks, 256 * 2);
}

TEST_F(TransferLoopTest, SinkRefusalFailsTheStream)
{
    struct CFullSink : IByteSink
    {
        size_t taken = 0;
        bool Write(const void*, size_t size) override
        {
            taken += size;
            return taken < 20000;
        }
    } sink;
    CScriptedBody body(PatternBytes(50000));
    EXPECT_FALSE(ReceiveBodyToSink(m_never, body, 50000, sink));
    EXPECT_LT(sink.taken, 50000u);
}
