// Authenticode checks of the programs the installer starts (its successor, a prerequisite's or a
// language pack's setup program) and of the running installer itself, through WinVerifyTrust.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class SignatureState
{
    Unsigned,   // the file carries no signature at all (never signed, or the signature was removed)
    Valid,      // signed, and the signature verifies up to a trusted root for code signing
    Invalid,    // anything else: a signature that does not verify, or a file that cannot be checked
};

struct SignatureCheck
{
    SignatureState state = SignatureState::Invalid;
    // WinVerifyTrust's answer; for a signature that cannot even be read, the reason it gave;
    // the error of opening the file when that failed.
    HRESULT result = E_FAIL;
    // The leaf signing certificate's subject (DER, as encoded in the certificate) and its display
    // name (the common name); empty when no signer could be read. Filled for invalid signatures
    // too, for the log: only a valid check vouches for them.
    std::vector<BYTE> subject;
    std::wstring publisher;
};

// Verifies the embedded signature of the file at path: no user interface, revocation looked up
// in the local cache only (never on the network). The file is held open, with writers shut
// out, while it is checked.
SignatureCheck CheckSignature(const std::wstring& path);

// How an answer of WinVerifyTrust reads, with the error it set along with it: the state, and in
// result the code worth logging. Only "no signature" for want of one (not for a signature that
// cannot be read) is Unsigned; anything but success is Invalid.
SignatureState ReadTrustAnswer(LONG status, DWORD lastError, HRESULT& result);

// The check of the running executable.
SignatureCheck CheckRunningInstaller();

// Both checks valid, with leaf signers of the same subject. The subject, not the certificate,
// names the publisher: a renewed certificate (new key, new serial, maybe a new intermediate CA)
// keeps it, and a valid check means a trusted CA vouched for it.
bool SamePublisher(const SignatureCheck& a, const SignatureCheck& b);

// One line for the log: "valid, signed by NAME", "unsigned", "invalid (0x80096010 ...)".
std::wstring DescribeSignature(const SignatureCheck& check);
