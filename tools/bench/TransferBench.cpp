// Transfer benchmark (run under Wine by tools/bench/transfer_bench.sh).
//
//   TransferBench bare   URL OUTFILE  a plain WinINet loop of 4096-byte reads, each written at once
//   TransferBench job    URL OUTFILE  a download job whose status callback does what the install
//                                     worker's does (SetStatus with the percent received); with
//                                     the environment variable PEL_BENCH_SHA256 set, the job is
//                                     given that hash and checks the file against it
//   TransferBench pause  URL OUTFILE  a download job held for 10 s after its first 8 MB
//   TransferBench stall  URL OUTFILE  a download job from a server that stalls once: the seconds
//                                     from the stall's start to the next attempt's first byte
//   TransferBench cancel URL OUTFILE  a download job cancelled 2 s into a read that blocks (the
//                                     server stalls after 8 MB): the seconds until Run returns
//                                     and until the cancelled report (state 4)
//
// Prints one line "key=value ..." with the seconds of the run (process start-up
// excluded), the bytes, the throughput, for a job also the seconds of its
// transfer phase alone and of what came before it (the length query), its
// retries with the waits they announced and the time lost between the last
// byte before each break and the first byte after it, the peak working set
// and, for pause, the processor seconds used while held. ok=1 means the file
// was downloaded; for cancel, that the job stopped as asked (Run returned 0
// after a state 4 report).
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

// What the job's reports showed, with the moment of each.
struct JobTimes
{
    double firstBytes = 0.0;    // the transfer phase began (first bytes)
    double ended = 0.0;         // state 3
    double cancelled = 0.0;     // state 4
    double lastReport = 0.0;    // the report before the one being handled
    // Retries: how many, the waits the state 6 reports announced, and the
    // seconds from the last report before each state 6 (the last byte before
    // the break) to the next attempt's first byte, in all and the first one.
    unsigned retries = 0;
    double announcedWaits = 0.0;
    double gaps = 0.0;
    double firstGap = -1.0;
    bool awaitingBytes = false;
    double gapStart = 0.0;
};

// A job with the worker's status callback; `received` keeps the most bytes reported.
// Every report is timed (one QueryPerformanceCounter, about 0.1 us under Wine).
bool RunJob(const std::wstring& url, const std::wstring& out, IDownloadOwner& owner,
            std::atomic<unsigned long long>& received, JobTimes& times)
{
    InstallStatus& status = InstallStatus::Instance();
    CDownloadJob job(url, out);
    wchar_t sha256[80] = {};
    const DWORD n = GetEnvironmentVariableW(L"PEL_BENCH_SHA256", sha256, 80);
    if (n > 0 && n < 80)
        job.SetExpectedSha256(sha256);
    return job.Run(&owner, [&](const DownloadStatusInfo& info) {
        const double now = Now();
        const unsigned long long percent = info.total ? info.received * 100 / info.total : 0;
        status.SetStatus(Downloading, 0, static_cast<int32_t>(percent));
        if (info.received > received) {
            received = info.received;   // the job's last report goes back to 0
            if (times.awaitingBytes) {
                const double gap = now - times.gapStart;
                times.gaps += gap;
                if (times.firstGap < 0.0)
                    times.firstGap = gap;
                times.awaitingBytes = false;
            }
        }
        if (info.received > 0 && times.firstBytes == 0.0)
            times.firstBytes = now;
        if (info.state == TransferRetrying) {
            ++times.retries;
            times.announcedWaits += info.retryDelayMs / 1000.0;
            if (!times.awaitingBytes)
                times.gapStart = times.lastReport;
            times.awaitingBytes = true;
        }
        if (info.state == TransferEnded)
            times.ended = now;
        if (info.state == TransferCancelled)
            times.cancelled = now;
        times.lastReport = now;
    }) != 0;
}

// Waits until `received` reaches `bytes` or `done` is set; false after `limitS` seconds.
bool WaitForBytes(const std::atomic<unsigned long long>& received, unsigned long long bytes,
                  const std::atomic<bool>& done, double limitS)
{
    const double start = Now();
    while (received < bytes && !done) {
        if (Now() - start > limitS)
            return false;
        Sleep(1);
    }
    return received >= bytes;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: TransferBench bare|job|pause|stall|cancel URL OUTFILE\n");
        return 2;
    }
    const std::wstring mode = argv[1], url = argv[2], out = argv[3];
    InstallStatus::Instance().SetWeights({100}, {100});
    EnsureInternetRoot();

    unsigned long long bytes = 0;
    double pausedCpu = -1.0;
    double cancelToReturn = -1.0, cancelToReport = -1.0;
    JobTimes times;
    bool ok = false;
    const double start = Now();
    if (mode == L"bare") {
        ok = BareLoop(url, out, bytes);
    } else if (mode == L"job" || mode == L"stall") {
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
    } else if (mode == L"cancel") {
        CBenchOwner owner;
        std::atomic<unsigned long long> received{0};
        std::atomic<bool> done{false};
        bool downloaded = true;
        double returned = 0.0;
        std::thread run([&] {
            downloaded = RunJob(url, out, owner, received, times);
            returned = Now();
            done = true;
        });
        // The server sends 8 MB and then nothing: 2 s later the attempt's
        // thread is inside a read that blocks.
        const bool reached = WaitForBytes(received, 8ull << 20, done, 120.0);
        if (reached)
            Sleep(2000);
        const double cancelAt = Now();
        SetEvent(owner.CancelEvent());
        run.join();
        bytes = received;
        cancelToReturn = returned - cancelAt;
        if (times.cancelled > 0.0)
            cancelToReport = times.cancelled - cancelAt;
        ok = reached && !downloaded && times.cancelled > 0.0;
    } else {
        return 2;
    }
    const double seconds = Now() - start;
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    // A job's transfer phase: from its first bytes to the end of the transfer
    // (the length query before it is timed apart).
    const double transfer = times.ended > times.firstBytes ? times.ended - times.firstBytes : seconds;
    std::printf("mode=%ls ok=%d bytes=%llu seconds=%.3f mbps=%.1f transfer_s=%.3f transfer_mbps=%.1f "
                "before_transfer_s=%.3f peak_ws_mb=%.1f paused_cpu_s=%.3f retries=%u retry_waits_s=%.3f "
                "break_gaps_s=%.3f stall_to_next_byte_s=%.3f cancel_to_cancelled_s=%.3f "
                "cancel_to_state4_s=%.3f\n",
                mode.c_str(), ok ? 1 : 0, bytes, seconds, mb / seconds, transfer, mb / transfer,
                times.firstBytes > 0.0 ? times.firstBytes - start : 0.0, PeakWorkingSetMB(), pausedCpu,
                times.retries, times.announcedWaits, times.gaps, times.firstGap, cancelToReturn,
                cancelToReport);
    std::fflush(stdout);
    CloseInternetRoot();
    return ok ? 0 : 1;
}
