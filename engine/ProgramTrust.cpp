#include "engine/ProgramTrust.h"

#include "engine/InstallItem.h"
#include "engine/Sha256.h"

CFileHandle HoldProgramFile(const std::wstring& path)
{
    return CFileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool JudgeSuccessor(const SignatureCheck& running, const SignatureCheck& successor,
                    const SuccessorDownload& download, std::wstring& reason)
{
    const std::wstring what = L"successor installer " + DescribeSignature(successor);
    if (running.state == SignatureState::Valid && !SamePublisher(running, successor)) {
        reason = what + L": not signed by this installer's publisher (" + running.publisher + L")";
        return false;
    }
    if (download.hashVerified) {
        reason = what + L"; its hash matched";
        return true;
    }
    if (successor.state == SignatureState::Invalid) {
        reason = what + L": refused";
        return false;
    }
    if (!download.lengthDeclared && successor.state != SignatureState::Valid) {
        reason = what + L": sent without its length and vouched for by neither a hash nor a signature";
        return false;
    }
    reason = what;
    return true;
}

bool MayStartSuccessor(const std::wstring& path, const SuccessorDownload& download, std::wstring& reason)
{
    if (download.hashVerified && !FileMatchesSha256(path, download.sha256)) {
        reason = L"successor installer: changed since its hash was checked";
        return false;
    }
    return JudgeSuccessor(CheckRunningInstaller(), CheckSignature(path), download, reason);
}

bool MayRunSetupProgram(const InstallItem& item, std::wstring& reason)
{
    if (GetFileAttributesW(item.localPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        reason = item.localPath + L": not found";
        return true;
    }
    if (!item.sha256.empty()) {
        const bool matches = FileMatchesSha256(item.localPath, item.sha256);
        reason = item.localPath + (matches ? L": its hash matched" : L": does not match its hash: not started");
        return matches;
    }
    const SignatureCheck check = CheckSignature(item.localPath);
    reason = item.localPath + L": " + DescribeSignature(check);
    switch (check.state) {
    case SignatureState::Valid:
        return true;
    case SignatureState::Unsigned:
        reason += L", and the manifest gives no hash: started unverified";
        return true;
    default:
        reason += L": not started";
        return false;
    }
}
