#include "engine/ClientValidation.h"

#include "config/InstallConfig.h"
#include "engine/HttpTransfer.h"
#include "engine/RetryRules.h"
#include "framework/Handles.h"

#include <windows.h>

#include <exception>
#include <limits>

namespace {

// Writes a download straight into a file opened by the sink.
class CFileSink : public IByteSink
{
public:
    // Truncates or creates the file; others may read and write it meanwhile.
    explicit CFileSink(const std::wstring& path)
        : m_file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }

    bool IsOpen() const { return m_file.IsValid(); }

    bool Write(const void* data, size_t size) override
    {
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
};

// Fetches url into the file at path, in up to `attempts` attempts: a failure
// that may pass (a refused or cut connection, a timeout, 408, 429, 5xx of the
// passing kind) is tried again after the usual growing wait, the file emptied
// first. The self-check's transfers are never cancelled or paused, so the
// requests have no events; the transfer limits bound every wait, so a stalled
// or silent server ends the check in bounded time.
bool DownloadToFilePath(const std::wstring& url, const std::wstring& path, uint32_t attempts)
{
    if (url.empty() || path.empty())
        return false;
    const TransferLimits limits = GetTransferLimits();
    for (uint32_t attempt = 1;; ++attempt) {
        CFileSink sink(path);
        if (!sink.IsOpen())
            return false;
        const CancelRequest never;
        StreamFailure failure;
        const bool ok = DownloadToStream(never, url, sink, &failure);
        sink.Close();
        if (ok)
            return true;
        if (!failure.passing || attempt >= attempts)
            return false;
        const double jitter = static_cast<double>(GetTickCount() % 1000) / 1000.0;
        ::Sleep(ChooseRetryDelay(failure.hasRetryAfter, failure.retryAfterMs, limits.maxRetryAfterMs,
                                 RetryDelayMs(attempt, limits.firstRetryDelayMs, jitter)));
    }
}

// Removes a file GetNewInstallerPath placed in a folder of its own, and that folder.
void RemoveNewInstallerFile(const std::wstring& path)
{
    ::DeleteFileW(path.c_str());
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0)
        ::RemoveDirectoryW(path.substr(0, slash).c_str()); // only when empty
}

} // namespace

int CheckClientVersion(CInstallConfig& config)
{
    if (config.m_manifest.standalone)
        return config.GetStartDecision();
    try {
        const std::wstring path = config.GetDownloadPath(L"version.xml");
        // An error page, or a document cut off by a broken connection, must not be read as
        // the server's answer: only a whole 2xx body counts as fetched.
        if (!DownloadToFilePath(config.m_manifest.versionCheckUrl, path, GetTransferLimits().versionAttempts))
            return kDecisionVersionDocumentUnavailable;
        if (!config.ReadVersionDocument(path))
            return kDecisionVersionDocumentUnavailable;
    } catch (const std::exception&) {
        // Out of memory while building paths or reading: the server's answer is not known.
        return kDecisionVersionDocumentUnavailable;
    }
    return config.GetStartDecision();
}

uint32_t DownloadNewInstaller(CInstallConfig& config, std::wstring& newInstallerPath)
{
    newInstallerPath.clear();
    const ManifestInfo& manifest = config.m_manifest;
    const std::wstring& url = config.IsProductInstalled()
                                  ? manifest.patchInstall.webInstallerDownloadUrl
                                  : manifest.freshInstall.webInstallerDownloadUrl;
    if (url.empty())
        return 0;
    uint32_t result = 0;
    try {
        newInstallerPath = config.GetNewInstallerPath();
        if (!newInstallerPath.empty())
            result = DownloadToFilePath(url, newInstallerPath, GetTransferLimits().maxAttempts) ? 1 : 0;
    } catch (const std::exception&) {
        result = 0;
    }
    if (result == 0 && !newInstallerPath.empty()) {
        RemoveNewInstallerFile(newInstallerPath);
        newInstallerPath.clear();
    }
    return result;
}
