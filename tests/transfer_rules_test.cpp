// How transfers judge a response: Content-Length values, the statuses a
// length query accepts, and when a body is whole.
#include "engine/TransferRules.h"

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
