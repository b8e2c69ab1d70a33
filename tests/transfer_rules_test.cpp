// How transfers judge a response: Content-Length values, the statuses a
// length query accepts, and when a body is whole.
#include "engine/RetryRules.h"
#include "engine/TransferLimits.h"
#include "engine/TransferRules.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

TEST(TransferContentLength, DecimalValues)
{
    EXPECT_EQ(ParseContentLength(L"8192"), 8192);
    EXPECT_EQ(ParseContentLength(L"  42"), 42);
    EXPECT_EQ(ParseContentLength(L"+7"), 7);
    EXPECT_EQ(ParseContentLength(L"0"), 0);
    EXPECT_EQ(ParseContentLength(L"12abc"), 12);
}

TEST(TransferContentLength, LengthsAbove2GiBKeepTheirValue)
{
    EXPECT_EQ(ParseContentLength(L"2147483648"), INT64_C(2147483648));
    EXPECT_EQ(ParseContentLength(L"5000000000"), INT64_C(5000000000));
    EXPECT_EQ(ParseContentLength(L"9223372036854775807"), INT64_MAX);
}

TEST(TransferContentLength, NotALength)
{
    EXPECT_EQ(ParseContentLength(L""), 0);
    EXPECT_EQ(ParseContentLength(L"abc"), 0);
    EXPECT_EQ(ParseContentLength(L"-5"), 0);
    EXPECT_EQ(ParseContentLength(L"9223372036854775808"), 0);
    EXPECT_EQ(ParseContentLength(L"99999999999999999999999"), 0);
}

TEST(TransferStatus, LengthQueryAcceptance)
{
    for (uint32_t ok : {200u, 206u, 301u, 401u, 500u})
        EXPECT_TRUE(LengthQueryAcceptsStatus(ok)) << ok;
    for (uint32_t bad : {0u, 100u, 199u, 403u, 404u, 501u, 503u})
        EXPECT_FALSE(LengthQueryAcceptsStatus(bad)) << bad;
}

TEST(TransferStatus, OnlySuccessIsTheFile)
{
    for (uint32_t ok : {200u, 204u, 206u, 299u})
        EXPECT_TRUE(IsSuccessStatus(ok)) << ok;
    for (uint32_t bad : {0u, 199u, 300u, 401u, 404u, 500u})
        EXPECT_FALSE(IsSuccessStatus(bad)) << bad;
}

TEST(TransferBody, CompleteOnlyAtTheDeclaredLength)
{
    EXPECT_TRUE(IsBodyComplete(8192, 8192));
    EXPECT_FALSE(IsBodyComplete(8192, 8191));
    EXPECT_FALSE(IsBodyComplete(8192, 8193));
    EXPECT_TRUE(IsBodyComplete(-1, 0));
    EXPECT_TRUE(IsBodyComplete(-1, 12345));
    EXPECT_TRUE(IsBodyComplete(INT64_C(3000000000), UINT64_C(3000000000)));
}

// Which failures a retry can overcome, and how long the retries wait.
TEST(TransferRetry, PassingFailuresAndWaits)
{
    for (uint32_t status : {408u, 429u, 500u, 502u, 503u, 504u})
        EXPECT_TRUE(IsPassingStatus(status)) << status;
    for (uint32_t status : {200u, 206u, 400u, 401u, 403u, 404u, 410u, 416u, 501u, 505u})
        EXPECT_FALSE(IsPassingStatus(status)) << status;
    // Timeout, unresolved name, refused, aborted and reset connections, a
    // broken response, and Winsock's own numbers for the same; not a
    // certificate error (12045, 12038, 12057), a bad URL (12005) or a
    // refused redirect (12156, 12040).
    for (uint32_t error : {12002u, 12007u, 12029u, 12030u, 12031u, 12152u, 10054u, 10060u, 10061u})
        EXPECT_TRUE(IsPassingError(error)) << error;
    for (uint32_t error : {0u, 12005u, 12038u, 12045u, 12057u, 12156u, 12040u, 112u})
        EXPECT_FALSE(IsPassingError(error)) << error;

    // 1, 2, 4, 8 s, spread by up to a tenth either way.
    EXPECT_EQ(RetryDelayMs(1, 1000, 0.5), 1000u);
    EXPECT_EQ(RetryDelayMs(2, 1000, 0.5), 2000u);
    EXPECT_EQ(RetryDelayMs(4, 1000, 0.5), 8000u);
    EXPECT_EQ(RetryDelayMs(1, 1000, 0.0), 900u);
    EXPECT_EQ(RetryDelayMs(1, 1000, 1.0), 1100u);
    EXPECT_EQ(RetryDelayMs(200, 1000, 1.0), 95040000u) << "saturates at a day (+10 %)";

    uint64_t ms = 0;
    const int64_t now = 784111777;   // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_TRUE(ParseRetryAfter(L"120", now, ms));
    EXPECT_EQ(ms, 120000u);
    EXPECT_TRUE(ParseRetryAfter(L"Sun, 06 Nov 1994 08:50:07 GMT", now, ms));
    EXPECT_EQ(ms, 30000u);
    EXPECT_TRUE(ParseRetryAfter(L"Sat, 05 Nov 1994 08:49:37 GMT", now, ms));
    EXPECT_EQ(ms, 0u) << "a date in the past: at once";
    for (const wchar_t* bad : {L"", L"-1", L"12s", L"Sunday, 06-Nov-94 08:49:37 GMT", L"Sun, 06 Nov 1994 08:49:37 UTC",
                               L"Sun, 32 Nov 1994 08:49:37 GMT", L"Sun, 06 Nov 1994 25:49:37 GMT"})
        EXPECT_FALSE(ParseRetryAfter(bad, now, ms)) << std::string(bad, bad + std::wcslen(bad));
    EXPECT_EQ(ChooseRetryDelay(true, 5000, 60000, 1000), 5000u);
    EXPECT_EQ(ChooseRetryDelay(true, 3600000, 60000, 1000), 60000u);
    EXPECT_EQ(ChooseRetryDelay(false, 0, 60000, 1000), 1000u);
}

// What lets a download go on from its kept bytes.
TEST(TransferResume, ValidatorsRangesAndRecords)
{
    EXPECT_EQ(ResumeValidator(L"\"abc\"", L"Sun, 06 Nov 1994 08:49:37 GMT"), L"\"abc\"");
    EXPECT_EQ(ResumeValidator(L"W/\"abc\"", L"Sun, 06 Nov 1994 08:49:37 GMT"), L"Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(ResumeValidator(L"abc", L""), L"") << "an unquoted tag is not one";
    EXPECT_TRUE(ValidatorChanged(L"\"a\"", L"\"b\"", L""));
    EXPECT_FALSE(ValidatorChanged(L"\"a\"", L"\"a\"", L"Mon, 07 Nov 1994 08:49:37 GMT"));
    EXPECT_FALSE(ValidatorChanged(L"\"a\"", L"", L"")) << "no tag in the answer says nothing";
    EXPECT_TRUE(ValidatorChanged(L"Sun, 06 Nov 1994 08:49:37 GMT", L"\"a\"", L"Mon, 07 Nov 1994 08:49:37 GMT"));
    EXPECT_TRUE(AcceptsByteRanges(L"bytes"));
    EXPECT_TRUE(AcceptsByteRanges(L"none, Bytes"));
    EXPECT_FALSE(AcceptsByteRanges(L"none"));
    EXPECT_FALSE(AcceptsByteRanges(L"bytesx"));

    ContentRange r;
    ASSERT_TRUE(ParseContentRange(L"bytes 100-199/200", r));
    EXPECT_TRUE(RangeContinues(r, 100, 200));
    EXPECT_FALSE(RangeContinues(r, 99, 200)) << "another start";
    EXPECT_FALSE(RangeContinues(r, 100, 300)) << "another version's length";
    ASSERT_TRUE(ParseContentRange(L"bytes 100-150/200", r));
    EXPECT_FALSE(RangeContinues(r, 100, 200)) << "not to the end";
    ASSERT_TRUE(ParseContentRange(L"bytes 100-199/*", r));
    EXPECT_FALSE(RangeContinues(r, 100, 200)) << "an unknown total proves nothing";
    for (const wchar_t* bad : {L"", L"bytes */200", L"bytes 5-4/200", L"bytes 0-200/200", L"items 0-1/2",
                               L"bytes 1-2/3x", L"bytes 99999999999999999999-1/2"})
        EXPECT_FALSE(ParseContentRange(bad, r)) << std::string(bad, bad + std::wcslen(bad));

    const ResumeRecord record{L"http://h/p.msi?a=1", L"\"tag\"", 123456789012ULL};
    ResumeRecord back;
    ASSERT_TRUE(ParseResumeRecord(FormatResumeRecord(record), back));
    EXPECT_EQ(back.url, record.url);
    EXPECT_EQ(back.validator, record.validator);
    EXPECT_EQ(back.length, record.length);
    std::wstring text = FormatResumeRecord(record);
    EXPECT_FALSE(ParseResumeRecord(text.substr(0, text.size() - 1), back)) << "cut short";
    EXPECT_FALSE(ParseResumeRecord(L"PelResume 2" + text.substr(11), back)) << "another form";
    EXPECT_FALSE(ParseResumeRecord(FormatResumeRecord({L"u", L"v", 0}), back)) << "no length";
    EXPECT_EQ(ResumeRequestHeaders(70000, L"\"t\""), L"Range: bytes=70000-\r\nIf-Range: \"t\"\r\n");
}

TEST(TransferLimitsText, OverridesAndRefusals)
{
    TransferLimits limits;
    ASSERT_TRUE(ParseTransferLimits(L"stall=1500,retry=50,attempts=3,redirects=0", limits));
    EXPECT_EQ(limits.stallLimitMs, 1500u);
    EXPECT_EQ(limits.firstRetryDelayMs, 50u);
    EXPECT_EQ(limits.maxAttempts, 3u);
    EXPECT_EQ(limits.maxRedirects, 0u);
    EXPECT_EQ(limits.receiveTimeoutMs, 30000u) << "others keep their defaults";
    for (const wchar_t* bad : {L"stall", L"stall=", L"stall=0", L"stall=1x", L"speed=3", L"stall=1,,retry=2",
                               L"stall=99999999999"}) {
        TransferLimits kept;
        kept.stallLimitMs = 7;
        EXPECT_FALSE(ParseTransferLimits(bad, kept)) << std::string(bad, bad + std::wcslen(bad));
        EXPECT_EQ(kept.stallLimitMs, 7u) << "a refused text changes nothing";
    }
}
