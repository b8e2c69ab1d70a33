#include "engine/DownloadJob.h"

#include "framework/Handles.h"

#include <utility>

CDownloadJob::CDownloadJob(std::wstring url, std::wstring localPath)
    : m_url(std::move(url)), m_localPath(std::move(localPath))
{
}

void CDownloadJob::Report(DownloadStatusInfo& info)
{
    if (!m_callback)
        return;
    if (m_contentLength != 0)
        info.total = static_cast<uint64_t>(m_contentLength);
    m_callback(info);
}

void CDownloadJob::OnStatus(const DownloadStatusInfo& info)
{
    DownloadStatusInfo copy = info;
    Report(copy);
}

// Sends the job's one request and learns the length from its response. No
// length (refused status, none declared, no response) means no file and no
// transfer, as before the request was shared; the unread body of such a
// response is small or absent.
bool CDownloadJob::Fetch(const CancelRequest& cancel)
{
    CHttpGet get;
    if (!get.Open(m_url))
        return false;
    m_contentLength = get.ContentLength();
    if (m_contentLength == 0)
        return false;
    return Transfer(cancel, get);
}

// Creates the local file and reads the response's body into it. A file that
// did not arrive whole (error status, short body, cancellation, write error)
// is deleted: the installer installs whatever it finds at the local path.
bool CDownloadJob::Transfer(const CancelRequest& cancel, CHttpGet& get)
{
    CFileHandle file(CreateFileW(m_localPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (!file)
        return false;
    bool ok = false;
    struct RemoveUnlessComplete
    {
        CFileHandle& file;
        const std::wstring& path;
        const bool& ok;
        ~RemoveUnlessComplete()
        {
            file.Reset();
            if (!ok)
                DeleteFileW(path.c_str());
        }
    } cleanup{file, m_localPath, ok};   // also when a callback throws
    ok = get.ReceiveToFile(cancel, file.Get(), this);
    return ok;
}

uint32_t CDownloadJob::Run(IDownloadOwner* owner, DownloadStatusCallback callback)
{
    if (!owner)
        return 0;
    m_owner = owner;
    m_callback = std::move(callback);

    DownloadStatusInfo job;
    const CancelRequest cancel(owner->CancelEvent(), owner->RunEvent());
    if (cancel.IsCancelled()) {
        job.state = TransferAborted;
        Report(job);
        m_callback = nullptr;
        return 0;
    }

    bool result = false;
    try {
        job.state = TransferRunning;
        Report(job);
        result = Fetch(cancel);
        // Unchanged by the transfer: (2, 0, length).
        Report(job);
    } catch (...) {
        // A callback's exception must not escape into the worker task; the
        // owner learns of it through a state 5 report. That report may throw
        // again: it is dropped then.
        job.state = TransferAborted;
        try {
            Report(job);
        } catch (...) {
        }
    }
    m_callback = nullptr;
    return result ? 1u : 0u;
}
