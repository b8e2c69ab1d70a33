#include "engine/ProgramTrust.h"

#include "engine/InstallItem.h"

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
    return JudgeSuccessor(CheckRunningInstaller(), CheckSignature(path), download, reason);
}

bool MayRunSetupProgram(const InstallItem& item, std::wstring& reason)
{
    if (!item.sha256.empty()) {
        reason = item.localPath + L": its hash matched";
        return true;
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
