// One download: sends one GET for the URL, takes the file's length from the
// response, creates the local file and reads the body into it from that same
// request, passing every report, completed with the expected total, to its
// owner's callable. A job runs once.
#pragma once

#include "engine/HttpTransfer.h"

#include <cstdint>
#include <functional>
#include <string>

// What a job takes from the object that runs it (the install worker): its
// cancel event (signalled = stop) and run event (reset = hold transfers).
// Either may be null.
class IDownloadOwner
{
public:
    virtual HANDLE CancelEvent() const = 0;
    virtual HANDLE RunEvent() const = 0;

protected:
    ~IDownloadOwner() = default;
};

using DownloadStatusCallback = std::function<void(const DownloadStatusInfo&)>;

class CDownloadJob : public IDownloadCallback
{
public:
    CDownloadJob(std::wstring url, std::wstring localPath);

    // Non-zero when the whole file was downloaded. Reports: (5,0,0) alone when
    // the owner was cancelled already; else (2,0,0), the transfer's reports,
    // and (2,0,length). A file that did not arrive whole is deleted, so that
    // nothing but a complete download is ever found at the local path.
    uint32_t Run(IDownloadOwner* owner, DownloadStatusCallback callback);

    // Fills in the expected total and hands the report to the callback.
    void OnStatus(const DownloadStatusInfo& info) override;

    int64_t ContentLength() const { return m_contentLength; }

private:
    // Completes `info` in place and calls the callback (the job's own record).
    void Report(DownloadStatusInfo& info);
    bool Fetch(const CancelRequest& cancel);
    bool Transfer(const CancelRequest& cancel, CHttpGet& get);

    std::wstring m_url;
    std::wstring m_localPath;
    int64_t m_contentLength = 0;
    IDownloadOwner* m_owner = nullptr;
    DownloadStatusCallback m_callback;
};
