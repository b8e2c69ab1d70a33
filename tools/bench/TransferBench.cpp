// Transfer benchmark (run under Wine by tools/bench/transfer_bench.sh).
//
//   TransferBench bare  URL OUTFILE   a plain WinINet loop of 4096-byte reads, each written at once
//   TransferBench job   URL OUTFILE   a download job whose status callback does what the install
//                                     worker's does (SetStatus with the percent received)
//   TransferBench pause URL OUTFILE   a download job held for 10 s after its first 8 MB
//
// Prints one line "key=value ..." with the seconds of the run (process start-up
// excluded), the bytes, the throughput, for a job also the seconds of its
// transfer phase alone and of what came before it (the length query), the
// peak working set and, for pause, the processor seconds used while held.
#include "engine/DownloadJob.h"
#include "engine/InstallStatus.h"
#include "framework/Handles.h"

#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto s = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return s(kernel) + s(user);
}

double PeakWorkingSetMB()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// The baseline: what WinINet gives with nothing around it.
bool BareLoop(const std::wstring& url, const std::wstring& out, unsigned long long& bytes)
{
    CInternetHandle root(InternetOpenW(L"TransferBench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    CInternetHandle request(InternetOpenUrlW(root.Get(), url.c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    CFileHandle file(CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!request || !file)
        return false;
    char buffer[4096];
    DWORD got = 0;
    while (InternetReadFile(request.Get(), buffer, sizeof buffer, &got) && got > 0) {
        DWORD written = 0;
        if (!WriteFile(file.Get(), buffer, got, &written, nullptr))
            return false;
        bytes += got;
    }
    return true;
}

class CBenchOwner : public IDownloadOwner
{
public:
    CBenchOwner()
        : m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_run(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    {
    }
    HANDLE CancelEvent() const override { return m_cancel.Get(); }
    HANDLE RunEvent() const override { return m_run.Get(); }

private:
    CHandle m_cancel;
    CHandle m_run;
};

// When the job's transfer phase began (its first bytes) and ended (state 3).
struct JobTimes
{
    double firstBytes = 0.0;
    double ended = 0.0;
};

// A job with the worker's status callback; `received` keeps the most bytes reported.
bool RunJob(const std::wstring& url, const std::wstring& out, IDownloadOwner& owner,
            std::atomic<unsigned long long>& received, JobTimes& times)
{
    InstallStatus& status = InstallStatus::Instance();
    CDownloadJob job(url, out);
    return job.Run(&owner, [&](const DownloadStatusInfo& info) {
        const unsigned long long percent = info.total ? info.received * 100 / info.total : 0;
        status.SetStatus(Downloading, 0, static_cast<int32_t>(percent));
        if (info.received > received)
            received = info.received;   // the job's last report goes back to 0
        if (info.received > 0 && times.firstBytes == 0.0)
            times.firstBytes = Now();
        if (info.state == TransferEnded)
            times.ended = Now();
    }) != 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: TransferBench bare|job|pause URL OUTFILE\n");
        return 2;
    }
    const std::wstring mode = argv[1], url = argv[2], out = argv[3];
    InstallStatus::Instance().SetWeights({100}, {100});
    EnsureInternetRoot();

    unsigned long long bytes = 0;
    double pausedCpu = -1.0;
    JobTimes times;
    bool ok = false;
    const double start = Now();
    if (mode == L"bare") {
        ok = BareLoop(url, out, bytes);
    } else if (mode == L"job") {
        CBenchOwner owner;
        std::atomic<unsigned long long> received{0};
        ok = RunJob(url, out, owner, received, times);
        bytes = received;
    } else if (mode == L"pause") {
        CBenchOwner owner;
        std::atomic<unsigned long long> received{0};
        std::thread run([&] { ok = RunJob(url, out, owner, received, times); });
        while (received < (8ull << 20))
            Sleep(1);
        ResetEvent(owner.RunEvent());
        Sleep(200);   // let the pass in flight finish
        const double cpu0 = ProcessCpuSeconds();
        Sleep(10000);
        pausedCpu = ProcessCpuSeconds() - cpu0;
        SetEvent(owner.RunEvent());
        run.join();
        bytes = received;
    } else {
        return 2;
    }
    const double seconds = Now() - start;
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    // A job's transfer phase: from its first bytes to the end of the transfer
    // (the length query before it is timed apart).
    const double transfer = times.ended > times.firstBytes ? times.ended - times.firstBytes : seconds;
    std::printf("mode=%ls ok=%d bytes=%llu seconds=%.3f mbps=%.1f transfer_s=%.3f transfer_mbps=%.1f "
                "before_transfer_s=%.3f peak_ws_mb=%.1f paused_cpu_s=%.3f\n",
                mode.c_str(), ok ? 1 : 0, bytes, seconds, mb / seconds, transfer, mb / transfer,
                times.firstBytes > 0.0 ? times.firstBytes - start : 0.0, PeakWorkingSetMB(), pausedCpu);
    CloseInternetRoot();
    return ok ? 0 : 1;
}
