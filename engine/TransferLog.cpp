#include "engine/TransferLog.h"

#include "engine/TransferRules.h"
#include "framework/RunLog.h"

#include <windows.h>

namespace {

std::wstring Hex32(uint32_t value)
{
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", value);
    return text;
}

std::wstring Bytes(uint64_t count) { return std::to_wstring(count) + L" bytes"; }

} // namespace

std::wstring TransferErrorText(uint32_t error, const std::wstring& step)
{
    // Windows errors are looked up in decimal, HRESULTs (a hash mismatch) in hexadecimal.
    std::wstring text = L"error " + (error >= 0x80000000u ? Hex32(error) : std::to_wstring(error));
    if (!step.empty())
        text += L" (" + step + L")";
    return text;
}

void LogDownloadStart(const std::wstring& url, const std::wstring& path, const std::wstring& sha256)
{
    LogLine(L"Download " + url + L" -> " + path + (sha256.empty() ? L"" : L", SHA-256 " + sha256));
}

void LogAttempt(const AttemptSummary& a)
{
    std::wstring line = L"Attempt " + std::to_wstring(a.number) + L": ";
    if (a.status == 0) {
        line += L"no response";
    } else {
        line += L"HTTP " + std::to_wstring(a.status) + L", Content-Length " +
                (a.declared < 0 ? std::wstring(L"none") : std::to_wstring(a.declared));
    }
    if (a.rangeFrom > 0)
        line += L", range from byte " + std::to_wstring(a.rangeFrom);
    line += L", " + Bytes(a.received) + L" in " + std::to_wstring(a.elapsedMs) + L" ms: " + a.outcome;
    LogLine(line);
}

void LogStreamAttempt(uint32_t number, bool ok, const StreamFailure& found, uint64_t elapsedMs)
{
    AttemptSummary a;
    a.number = number;
    a.status = found.status;
    a.declared = found.declared;
    a.received = found.received;
    a.elapsedMs = elapsedMs;
    if (ok)
        a.outcome = L"complete";
    else if (found.status != 0 && !IsSuccessStatus(found.status))
        a.outcome = L"not the file";
    else if (found.error != 0)
        a.outcome = TransferErrorText(found.error);
    else
        a.outcome = found.status == 0 ? L"the address cannot be used" : L"failed";
    LogAttempt(a);
}

void LogRetry(uint32_t delayMs, uint64_t fromByte, const std::wstring& reason)
{
    if (delayMs == 0 && fromByte > 0)
        LogLine(L"Retry at once from byte " + std::to_wstring(fromByte) + L" (" + reason + L")");
    else
        LogLine(L"Retry in " + std::to_wstring(delayMs) + L" ms (" + reason + L")");
}

void LogHashMismatch(const std::wstring& path, const std::wstring& actual, const std::wstring& expected)
{
    LogLine(L"SHA-256 mismatch: " + path + L" is " + (actual.empty() ? L"unknown" : actual) + L", expected " +
            expected);
}

void LogDownloadEnd(const std::wstring& url, const std::wstring& path, const DownloadEnd& end)
{
    const std::wstring attempts = std::to_wstring(end.attempts) + (end.attempts == 1 ? L" attempt" : L" attempts");
    if (end.ok) {
        LogLine(L"Download ok: " + path + L", " + Bytes(end.bytes) + L", " + attempts);
        return;
    }
    if (end.cancelled) {
        LogLine(L"Download cancelled: " + url + L", " + Bytes(end.bytes) + L" kept for a later run");
        return;
    }
    std::wstring why;
    if (end.error != 0)
        why = TransferErrorText(end.error);
    if (end.status != 0)
        why += (why.empty() ? L"" : L", ") + std::wstring(L"HTTP ") + std::to_wstring(end.status);
    LogLine(L"Download failed: " + url + L" (" + (why.empty() ? std::wstring(L"no file") : why) + L"), " +
            attempts);
}
