#include "engine/SignatureCheck.h"

#include "config/InstallConfig.h"
#include "framework/Handles.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cwchar>

namespace {

// One WinVerifyTrust verification of an open file. The state it leaves (the parsed signature
// and the signer's chain) is read while this object lives and closed when it goes.
class CTrustVerification
{
public:
    CTrustVerification(HANDLE file, const std::wstring& path)
    {
        m_file.cbStruct = sizeof(m_file);
        m_file.pcwszFilePath = path.c_str();
        m_file.hFile = file;
        m_data.cbStruct = sizeof(m_data);
        m_data.dwUIChoice = WTD_UI_NONE;
        // Revocation of every certificate in the chain, from what the system has cached: an
        // installer must not wait for the network (or fail without it) to start a program.
        m_data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        m_data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
        m_data.dwUnionChoice = WTD_CHOICE_FILE;
        m_data.pFile = &m_file;
        m_data.dwStateAction = WTD_STATEACTION_VERIFY;
        m_data.dwUIContext = WTD_UICONTEXT_EXECUTE;
    }
    ~CTrustVerification()
    {
        if (m_verified) {
            m_data.dwStateAction = WTD_STATEACTION_CLOSE;
            Call();
        }
    }
    CTrustVerification(const CTrustVerification&) = delete;
    CTrustVerification& operator=(const CTrustVerification&) = delete;

    // WinVerifyTrust's answer; lastError receives the reason it set with it.
    LONG Verify(DWORD& lastError)
    {
        m_verified = true;
        const LONG status = Call();
        lastError = ::GetLastError();
        return status;
    }

    // The leaf certificate of the first signer, or null when no signer was read.
    PCCERT_CONTEXT Signer() const
    {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(m_data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* leaf = signer ? ::WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        return leaf ? leaf->pCert : nullptr;
    }

private:
    LONG Call()
    {
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        // No interactive user: the provider must decide without asking anyone.
        return ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &m_data);
    }

    WINTRUST_FILE_INFO m_file = {};
    WINTRUST_DATA m_data = {};
    bool m_verified = false;
};

// TRUST_E_NOSIGNATURE covers both "there is no signature" and "a signature is there but cannot
// be read"; the error set with it tells them apart.
bool MeansNoSignature(DWORD lastError)
{
    const auto error = static_cast<HRESULT>(lastError);
    return error == TRUST_E_NOSIGNATURE || error == TRUST_E_SUBJECT_FORM_UNKNOWN ||
           error == TRUST_E_PROVIDER_UNKNOWN;
}

HRESULT AsHresult(DWORD error)
{
    if (error == ERROR_SUCCESS)
        return E_FAIL;
    return static_cast<HRESULT>(error) < 0 ? static_cast<HRESULT>(error) : HRESULT_FROM_WIN32(error);
}

// The subject's display name (its common name, as Windows shows a verified publisher).
std::wstring DisplayName(PCCERT_CONTEXT cert)
{
    const DWORD size = ::CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (size <= 1)
        return std::wstring();
    std::wstring text(size, L'\0');
    ::CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, &text[0], size);
    text.resize(size - 1);
    return text;
}

const wchar_t* TrustErrorName(HRESULT result)
{
    switch (result) {
    case TRUST_E_NOSIGNATURE: return L"no signature";
    case TRUST_E_BAD_DIGEST: return L"the file does not match its signature";
    case TRUST_E_CERT_SIGNATURE: return L"a certificate's signature does not verify";
    case CERT_E_UNTRUSTEDROOT: return L"untrusted root";
    case CERT_E_CHAINING: return L"no chain to a trusted root";
    case CERT_E_EXPIRED: return L"certificate expired";
    case CERT_E_WRONG_USAGE: return L"certificate not for code signing";
    case CERT_E_REVOKED: return L"certificate revoked";
    case CERT_E_REVOCATION_FAILURE: return L"revocation could not be checked";
    case TRUST_E_EXPLICIT_DISTRUST: return L"publisher distrusted";
    case TRUST_E_SUBJECT_NOT_TRUSTED: return L"not trusted";
    case CRYPT_E_SECURITY_SETTINGS: return L"refused by the security settings";
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND): return L"file not found";
    case HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION): return L"file in use";
    default: return nullptr;
    }
}

} // namespace

SignatureState ReadTrustAnswer(LONG status, DWORD lastError, HRESULT& result)
{
    result = static_cast<HRESULT>(status);
    if (status == ERROR_SUCCESS)
        return SignatureState::Valid;
    if (status != TRUST_E_NOSIGNATURE)
        return SignatureState::Invalid;
    if (MeansNoSignature(lastError))
        return SignatureState::Unsigned;
    // A signature is there but cannot be read: why says more than "no signature".
    if (lastError != ERROR_SUCCESS)
        result = AsHresult(lastError);
    return SignatureState::Invalid;
}

SignatureCheck CheckSignature(const std::wstring& path)
{
    SignatureCheck check;
    // Shared with readers only: nobody can rewrite the file while it is being checked.
    CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        check.result = AsHresult(::GetLastError());
        return check;
    }
    CTrustVerification verification(file.Get(), path);
    DWORD lastError = 0;
    const LONG status = verification.Verify(lastError);
    check.state = ReadTrustAnswer(status, lastError, check.result);
    if (PCCERT_CONTEXT signer = verification.Signer()) {
        const CERT_NAME_BLOB& subject = signer->pCertInfo->Subject;
        check.subject.assign(subject.pbData, subject.pbData + subject.cbData);
        check.publisher = DisplayName(signer);
    }
    return check;
}

SignatureCheck CheckRunningInstaller()
{
    std::wstring path;
    const auto read = [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); };
    if (!ReadModulePath(read, path)) {
        SignatureCheck check;
        check.result = AsHresult(::GetLastError());
        return check;
    }
    return CheckSignature(path);
}

bool SamePublisher(const SignatureCheck& a, const SignatureCheck& b)
{
    // Byte for byte, as CertCompareCertificateName compares: a CA renewing a publisher's
    // certificate copies the subject as it was encoded.
    return a.state == SignatureState::Valid && b.state == SignatureState::Valid && !a.subject.empty() &&
           a.subject == b.subject;
}

std::wstring DescribeSignature(const SignatureCheck& check)
{
    if (check.state == SignatureState::Unsigned)
        return L"unsigned";
    std::wstring text;
    if (check.state == SignatureState::Valid) {
        text = L"valid";
    } else {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(check.result));
        text = L"invalid (";
        text += code;
        if (const wchar_t* name = TrustErrorName(check.result)) {
            text += L' ';
            text += name;
        }
        text += L')';
    }
    if (!check.publisher.empty())
        text += L", signed by " + check.publisher;
    return text;
}
