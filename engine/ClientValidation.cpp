#include "engine/ClientValidation.h"

#include "config/InstallConfig.h"
#include "engine/HttpTransfer.h"
#include "config/Sha256Text.h"
#include "engine/DownloadCleanup.h"
#include "engine/RetryRules.h"
#include "engine/Sha256.h"
#include "engine/TransferLog.h"
#include "framework/Handles.h"

#include <windows.h>

#include <exception>
#include <limits>

namespace {

// Writes a download straight into a file opened by the sink, and gives what
// it wrote to a hash when it has one.
class CFileSink : public IByteSink
{
public:
    // Truncates or creates the file; others may read and write it meanwhile.
    CFileSink(const std::wstring& path, CSha256* hash)
        : m_file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)),
          m_hash(hash)
    {
    }

    bool IsOpen() const { return m_file.IsValid(); }

    bool Write(const void* data, size_t size) override
    {
        if (m_hash && !m_hash->Add(data, size))
            return false;
        const auto* bytes = static_cast<const BYTE*>(data);
        while (size > 0) {
            const DWORD chunk = size > std::numeric_limits<DWORD>::max()
                                    ? std::numeric_limits<DWORD>::max()
                                    : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!::WriteFile(m_file.Get(), bytes, chunk, &written, nullptr) || written == 0)
                return false;
            bytes += written;
            size -= written;
        }
        return true;
    }

    void Close() { m_file.Reset(); }

private:
    CFileHandle m_file;
    CSha256* m_hash;
};

// Fetches url into the file at path, in up to `attempts` attempts: a failure
// that may pass (a refused or cut connection, a timeout, 408, 429, 5xx of the
// passing kind) is tried again after the usual growing wait, the file emptied
// first. With a hash (64 hex digits) the file must match it: a file that does
// not is fetched once more, then the download fails (any other hash text
// fails at once). The self-check's transfers are never cancelled or paused, so
// the requests have no events; the transfer limits bound every wait, so a
// stalled or silent server ends the check in bounded time.
bool DownloadToFilePath(const std::wstring& url, const std::wstring& path, uint32_t attempts,
                        const std::wstring& sha256 = std::wstring(), SuccessorDownload* download = nullptr)
{
    if (url.empty() || path.empty())
        return false;
    Sha256Digest expected{};
    if (!sha256.empty() && !ParseSha256Text(sha256, expected))
        return false;
    const TransferLimits limits = GetTransferLimits();
    LogDownloadStart(url, path, sha256);
    DownloadEnd end;
    bool mismatchedOnce = false;
    for (uint32_t attempt = 1;; ++attempt) {
        CSha256 hash;
        CFileSink sink(path, sha256.empty() ? nullptr : &hash);
        if (!sink.IsOpen()) {
            end.error = ::GetLastError();
            LogDownloadEnd(url, path, end);
            return false;
        }
        const CancelRequest never;
        StreamFailure failure;
        const ULONGLONG started = ::GetTickCount64();
        bool ok = DownloadToStream(never, url, sink, &failure);
        sink.Close();
        LogStreamAttempt(attempt, ok, failure, ::GetTickCount64() - started);
        end.error = failure.error;
        end.status = failure.status;
        end.attempts = attempt;
        std::wstring reason = failure.status >= 300 ? L"HTTP " + std::to_wstring(failure.status)
                                                    : TransferErrorText(failure.error);
        if (ok && !sha256.empty()) {
            Sha256Digest actual{};
            const bool hashed = hash.Finish(actual);
            ok = hashed && actual == expected;
            if (!ok) {
                LogHashMismatch(path, hashed ? Sha256Text(actual) : std::wstring(), sha256);
                end.error = static_cast<uint32_t>(CRYPT_E_HASH_VALUE);
                reason = L"SHA-256 mismatch";
                // Not the file the server's document names: a second fetch
                // tells a spoilt transfer from a wrong file.
                if (mismatchedOnce) {
                    LogDownloadEnd(url, path, end);
                    return false;
                }
                mismatchedOnce = true;
                failure.passing = true;
            }
        }
        if (ok) {
            end.ok = true;
            end.bytes = failure.received;
            LogDownloadEnd(url, path, end);
            if (download) {
                download->hashVerified = !sha256.empty();
                download->lengthDeclared = failure.declared >= 0;
                download->sha256 = sha256;
            }
            return true;
        }
        if (!failure.passing || attempt >= attempts) {
            LogDownloadEnd(url, path, end);
            return false;
        }
        const double jitter = static_cast<double>(GetTickCount() % 1000) / 1000.0;
        const uint32_t delayMs = ChooseRetryDelay(failure.hasRetryAfter, failure.retryAfterMs, limits.maxRetryAfterMs,
                                                  RetryDelayMs(attempt, limits.firstRetryDelayMs, jitter));
        LogRetry(delayMs, 0, reason);
        ::Sleep(delayMs);
    }
}

} // namespace

// Removes a file GetNewInstallerPath placed in a folder of its own, and that folder.
void DiscardNewInstaller(const std::wstring& path)
{
    ::DeleteFileW(path.c_str());
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0)
        ::RemoveDirectoryW(path.substr(0, slash).c_str()); // only when empty
}

int CheckClientVersion(CInstallConfig& config)
{
    if (config.m_manifest.standalone)
        return config.GetStartDecision();
    try {
        const std::wstring path = config.GetDownloadPath(L"version.xml");
        // An error page, or a document cut off by a broken connection, must not be read as
        // the server's answer: only a whole 2xx body counts as fetched.
        const bool read =
            DownloadToFilePath(config.m_manifest.versionCheckUrl, path, GetTransferLimits().versionAttempts) &&
            config.ReadVersionDocument(path);
        RemoveVersionDocumentCopy(path);
        if (!read)
            return kDecisionVersionDocumentUnavailable;
    } catch (const std::exception&) {
        // Out of memory while building paths or reading: the server's answer is not known.
        return kDecisionVersionDocumentUnavailable;
    }
    return config.GetStartDecision();
}

uint32_t DownloadNewInstaller(CInstallConfig& config, std::wstring& newInstallerPath,
                              SuccessorDownload* download)
{
    newInstallerPath.clear();
    if (download)
        *download = SuccessorDownload();
    const ManifestInfo& manifest = config.m_manifest;
    const ReleaseInfo& release = config.IsProductInstalled() ? manifest.patchInstall : manifest.freshInstall;
    const std::wstring& url = release.webInstallerDownloadUrl;
    if (url.empty())
        return 0;
    uint32_t result = 0;
    try {
        newInstallerPath = config.GetNewInstallerPath();
        if (!newInstallerPath.empty())
            result = DownloadToFilePath(url, newInstallerPath, GetTransferLimits().maxAttempts,
                                        release.webInstallerSha256, download)
                         ? 1
                         : 0;
    } catch (const std::exception&) {
        result = 0;
    }
    if (result == 0 && !newInstallerPath.empty()) {
        DiscardNewInstaller(newInstallerPath);
        newInstallerPath.clear();
    }
    return result;
}
