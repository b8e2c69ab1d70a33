// Helpers of the transfer and download-job tests (Windows runners).
#pragma once

#include "engine/DownloadJob.h"
#include "engine/HttpTransfer.h"
#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// Bytes that differ from position to position, so that a shifted, repeated
// or dropped chunk shows up in a comparison.
inline std::string PatternBytes(size_t size, unsigned seed = 1)
{
    std::string out(size, '\0');
    unsigned x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>(x >> 16);
    }
    return out;
}

// Whole contents of a file; `exists` tells a missing file from an empty one.
inline std::string ReadFileBytes(const std::wstring& path, bool* exists = nullptr)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (exists)
        *exists = file.IsValid();
    std::string out;
    if (!file)
        return out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    return out;
}

// Equal byte strings; on a difference, the sizes and the first differing
// offset instead of a dump of both.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure() << "got " << actual.size() << " bytes, expected " << expected.size()
                                         << ", first difference at offset " << i;
}

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Collects reports from the transferring thread; readable from the test thread.
class CReportLog : public IDownloadCallback
{
public:
    void OnStatus(const DownloadStatusInfo& info) override { Add(info); }

    void Add(const DownloadStatusInfo& info)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reports.push_back(info);
    }
    std::vector<DownloadStatusInfo> Reports() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reports;
    }
    uint64_t LastReceived() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reports.empty() ? 0 : m_reports.back().received;
    }
    DownloadStatusCallback AsCallback()
    {
        return [this](const DownloadStatusInfo& info) { Add(info); };
    }

private:
    mutable std::mutex m_lock;
    std::vector<DownloadStatusInfo> m_reports;
};

// The cancel and run events a worker owns: manual reset, not cancelled, running.
class CTestOwner : public IDownloadOwner
{
public:
    CTestOwner()
        : m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_run(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    {
    }
    HANDLE CancelEvent() const override { return m_cancel.Get(); }
    HANDLE RunEvent() const override { return m_run.Get(); }

    void Cancel() { SetEvent(m_cancel.Get()); }
    void Pause() { ResetEvent(m_run.Get()); }
    void Resume() { SetEvent(m_run.Get()); }
    CancelRequest Request() const { return CancelRequest(m_cancel.Get(), m_run.Get()); }

private:
    CHandle m_cancel;
    CHandle m_run;
};

// Sets the transfer limits for a scope and puts the ones before it back.
class CScopedTransferLimits
{
public:
    explicit CScopedTransferLimits(const TransferLimits& limits) : m_before(GetTransferLimits())
    {
        SetTransferLimits(limits);
    }
    ~CScopedTransferLimits() { SetTransferLimits(m_before); }
    CScopedTransferLimits(const CScopedTransferLimits&) = delete;
    CScopedTransferLimits& operator=(const CScopedTransferLimits&) = delete;

private:
    TransferLimits m_before;
};

// Processor time (user + kernel) this process has used, in milliseconds.
inline double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Waits until `done` is true, polling every 10 ms, at most `timeoutMs`.
template <class Pred>
bool WaitUntil(Pred done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
    return true;
}

} // namespace testing_support
