#include "engine/SignatureCheck.h"

#include "TestServer.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// Copies of record_args.exe made by tools/testserver/make_signing_certs.sh.
std::wstring SignedFile(const wchar_t* name)
{
    return WinePath(PEL_TEST_SIGNED_DIR) + L"\\" + name;
}

bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

constexpr wchar_t kPublisherA[] = L"Pel Test Publisher A";
constexpr wchar_t kPublisherB[] = L"Pel Test Publisher B";

// Every kind of file the checker meets, with the test CA trusted in this prefix for the test's
// duration (one test, so that no sibling takes the trust away half-way). Wine 8's WinVerifyTrust
// compares the file with the hash in its signature but applies no certificate policy at all (no
// trusted root, usage or validity period): where Windows refuses a file, the table gives the
// state Windows answers and the one Wine answers, with Wine's exact code.
TEST(SignatureCheckTest, SignedUnsignedAndBrokenCopiesOfAProgram)
{
    const std::wstring ca = SignedFile(L"ca.der");
    ASSERT_TRUE(TrustCaCertificate(ca));
    struct Untrust
    {
        std::wstring ca;
        ~Untrust() { UntrustCaCertificate(ca); }
    } untrust{ca};

    using S = SignatureState;
    struct Row
    {
        const wchar_t* file;
        SignatureState windows;
        SignatureState wine;
        HRESULT wineResult;
        const wchar_t* publisher;   // when valid
    };
    const Row rows[] = {
        {L"unsigned.exe", S::Unsigned, S::Unsigned, TRUST_E_NOSIGNATURE, L""},
        {L"signed_a.exe", S::Valid, S::Valid, S_OK, kPublisherA},
        {L"signed_a_renewed.exe", S::Valid, S::Valid, S_OK, kPublisherA},
        {L"signed_b.exe", S::Valid, S::Valid, S_OK, kPublisherB},
        {L"tampered_code.exe", S::Invalid, S::Invalid, TRUST_E_BAD_DIGEST, L""},
        // Windows hashes the bytes after the certificate table too; Wine sees no signature.
        {L"appended_byte.exe", S::Invalid, S::Unsigned, TRUST_E_NOSIGNATURE, L""},
        // A signature that cannot be read is no missing signature: the reason is kept.
        {L"corrupt_signature.exe", S::Invalid, S::Invalid, CRYPT_E_ASN1_BADTAG, L""},
        {L"self_signed.exe", S::Invalid, S::Valid, S_OK, L"Pel Test Self Signed"},
        {L"no_code_signing.exe", S::Invalid, S::Valid, S_OK, L"Pel Test Server Only"},
        {L"expired.exe", S::Invalid, S::Valid, S_OK, L"Pel Test Expired"},
        {L"missing.exe", S::Invalid, S::Invalid, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L""},
    };
    const bool wine = UnderWine();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const SignatureCheck check = CheckSignature(SignedFile(row.file));
        const SignatureState expected = wine ? row.wine : row.windows;
        EXPECT_EQ(check.state, expected);
        if (wine) {
            EXPECT_EQ(check.result, row.wineResult) << std::hex << check.result;
        }
        if (expected != S::Invalid) {
            EXPECT_EQ(check.publisher, row.publisher);
            EXPECT_EQ(check.subject.empty(), *row.publisher == L'\0');
        }
    }

    const SignatureCheck a = CheckSignature(SignedFile(L"signed_a.exe"));
    const SignatureCheck renewed = CheckSignature(SignedFile(L"signed_a_renewed.exe"));
    const SignatureCheck b = CheckSignature(SignedFile(L"signed_b.exe"));
    const SignatureCheck unsignedCopy = CheckSignature(SignedFile(L"unsigned.exe"));
    EXPECT_TRUE(SamePublisher(a, a));
    // A new key and serial number under the same subject: the same publisher.
    EXPECT_TRUE(SamePublisher(a, renewed));
    EXPECT_FALSE(SamePublisher(a, b));
    EXPECT_FALSE(SamePublisher(unsignedCopy, unsignedCopy));
    // A signer named in a signature that does not verify vouches for nothing.
    SignatureCheck invalidA = a;
    invalidA.state = SignatureState::Invalid;
    EXPECT_FALSE(SamePublisher(a, invalidA));

    EXPECT_EQ(DescribeSignature(a), std::wstring(L"valid, signed by ") + kPublisherA);
    EXPECT_EQ(DescribeSignature(unsignedCopy), L"unsigned");
    EXPECT_EQ(DescribeSignature(CheckSignature(SignedFile(L"missing.exe"))),
              L"invalid (0x80070002 file not found)");

    // The test runner itself is not signed.
    const SignatureCheck running = CheckRunningInstaller();
    EXPECT_EQ(running.state, SignatureState::Unsigned);
    EXPECT_EQ(running.result, TRUST_E_NOSIGNATURE);
}

// Answers WinVerifyTrust gives on Windows but Wine never does (Wine sets TRUST_E_NOSIGNATURE
// only for a missing signature and gives the reason itself for one it cannot read).
TEST(SignatureCheckTest, NoSignatureForWantOfOneIsTheOnlyUnsignedAnswer)
{
    using S = SignatureState;
    const struct
    {
        HRESULT status;
        HRESULT lastError;
        SignatureState state;
        HRESULT result;
    } rows[] = {
        {S_OK, S_OK, S::Valid, S_OK},
        {TRUST_E_NOSIGNATURE, TRUST_E_NOSIGNATURE, S::Unsigned, TRUST_E_NOSIGNATURE},
        {TRUST_E_NOSIGNATURE, TRUST_E_SUBJECT_FORM_UNKNOWN, S::Unsigned, TRUST_E_NOSIGNATURE},
        {TRUST_E_NOSIGNATURE, TRUST_E_PROVIDER_UNKNOWN, S::Unsigned, TRUST_E_NOSIGNATURE},
        {TRUST_E_NOSIGNATURE, CRYPT_E_ASN1_BADTAG, S::Invalid, CRYPT_E_ASN1_BADTAG},
        {TRUST_E_NOSIGNATURE, S_OK, S::Invalid, TRUST_E_NOSIGNATURE},
        {TRUST_E_SUBJECT_FORM_UNKNOWN, TRUST_E_SUBJECT_FORM_UNKNOWN, S::Invalid, TRUST_E_SUBJECT_FORM_UNKNOWN},
        {CERT_E_UNTRUSTEDROOT, CERT_E_UNTRUSTEDROOT, S::Invalid, CERT_E_UNTRUSTEDROOT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.status << " " << row.lastError);
        HRESULT result = E_FAIL;
        EXPECT_EQ(ReadTrustAnswer(row.status, static_cast<DWORD>(row.lastError), result), row.state);
        EXPECT_EQ(result, row.result) << std::hex << result;
    }
}

} // namespace
