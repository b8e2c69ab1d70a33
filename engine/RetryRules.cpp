#include "engine/RetryRules.h"
#include "engine/TransferLimits.h"

#include <cmath>
#include <cstring>

namespace {

// Error numbers of WinINet and Winsock (this file includes no Windows header).
constexpr uint32_t kInternetTimeout = 12002;
constexpr uint32_t kNameNotResolved = 12007;
constexpr uint32_t kCannotConnect = 12029;
constexpr uint32_t kConnectionAborted = 12030;
constexpr uint32_t kConnectionReset = 12031;
constexpr uint32_t kInvalidServerResponse = 12152;
constexpr uint32_t kWsaNetDown = 10050;
constexpr uint32_t kWsaNetUnreachable = 10051;
constexpr uint32_t kWsaConnAborted = 10053;
constexpr uint32_t kWsaConnReset = 10054;
constexpr uint32_t kWsaTimedOut = 10060;
constexpr uint32_t kWsaConnRefused = 10061;
constexpr uint32_t kWsaHostUnreachable = 10065;

constexpr uint64_t kMaxValue = 86400000;   // one day, in ms: far above any sensible limit

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Decimal digits from `pos` on, leaving `pos` after them; false when there
// are none or the value exceeds `max`.
bool ReadNumber(const std::wstring& s, size_t& pos, uint64_t max, uint64_t& value)
{
    value = 0;
    const size_t start = pos;
    for (; pos < s.size() && IsDigit(s[pos]); ++pos) {
        value = value * 10 + static_cast<uint64_t>(s[pos] - L'0');
        if (value > max)
            return false;
    }
    return pos > start;
}

bool Expect(const std::wstring& s, size_t& pos, wchar_t c)
{
    if (pos >= s.size() || s[pos] != c)
        return false;
    ++pos;
    return true;
}

std::wstring Trimmed(const std::wstring& s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == L' ' || s[a] == L'\t'))
        ++a;
    while (b > a && (s[b - 1] == L' ' || s[b - 1] == L'\t'))
        --b;
    return s.substr(a, b - a);
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "Sun, 06 Nov 1994 08:49:37 GMT" as seconds since 1970.
bool ParseImfFixdate(const std::wstring& s, int64_t& seconds)
{
    static const wchar_t* const kDays[] = {L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat", L"Sun"};
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    if (s.size() != 29 || s.compare(25, 4, L" GMT") != 0 || s[3] != L',' || s[4] != L' ')
        return false;
    bool dayName = false;
    for (const wchar_t* d : kDays)
        dayName = dayName || s.compare(0, 3, d) == 0;
    unsigned month = 0;
    for (unsigned i = 0; i < 12; ++i)
        if (s.compare(8, 3, kMonths[i]) == 0)
            month = i + 1;
    if (!dayName || month == 0)
        return false;
    size_t pos = 5;
    uint64_t day = 0, year = 0, h = 0, m = 0, sec = 0;
    if (!ReadNumber(s, pos, 31, day) || pos != 7 || !Expect(s, pos, L' '))
        return false;
    pos = 12;
    if (s[11] != L' ' || !ReadNumber(s, pos, 9999, year) || pos != 16 || !Expect(s, pos, L' ') ||
        !ReadNumber(s, pos, 23, h) || !Expect(s, pos, L':') || !ReadNumber(s, pos, 59, m) ||
        !Expect(s, pos, L':') || !ReadNumber(s, pos, 60, sec) || pos != 25 || day == 0)
        return false;
    seconds = DaysFromCivil(static_cast<int64_t>(year), month, static_cast<unsigned>(day)) * 86400 +
              static_cast<int64_t>(h * 3600 + m * 60 + sec);
    return true;
}

} // namespace

bool ParseTransferLimits(const std::wstring& text, TransferLimits& limits)
{
    struct Field
    {
        const wchar_t* name;
        uint32_t TransferLimits::*member;
        uint64_t min;
    };
    static const Field kFields[] = {
        {L"connect", &TransferLimits::connectTimeoutMs, 1},
        {L"send", &TransferLimits::sendTimeoutMs, 1},
        {L"receive", &TransferLimits::receiveTimeoutMs, 1},
        {L"stall", &TransferLimits::stallLimitMs, 1},
        {L"attempts", &TransferLimits::maxAttempts, 1},
        {L"version-attempts", &TransferLimits::versionAttempts, 1},
        {L"retry", &TransferLimits::firstRetryDelayMs, 1},
        {L"retry-after-max", &TransferLimits::maxRetryAfterMs, 1},
        {L"redirects", &TransferLimits::maxRedirects, 0},
    };
    TransferLimits result = limits;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(L',', pos);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring part = text.substr(pos, end - pos);
        const size_t eq = part.find(L'=');
        if (eq == std::wstring::npos)
            return false;
        const std::wstring name = part.substr(0, eq);
        size_t at = eq + 1;
        uint64_t value = 0;
        if (!ReadNumber(part, at, kMaxValue, value) || at != part.size())
            return false;
        bool known = false;
        for (const Field& f : kFields) {
            if (name == f.name && value >= f.min) {
                result.*(f.member) = static_cast<uint32_t>(value);
                known = true;
            }
        }
        if (!known)
            return false;
        pos = end + 1;
    }
    limits = result;
    return true;
}

bool IsPassingStatus(uint32_t status)
{
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool IsPassingError(uint32_t error)
{
    switch (error) {
    case kInternetTimeout:
    case kNameNotResolved:
    case kCannotConnect:
    case kConnectionAborted:
    case kConnectionReset:
    case kInvalidServerResponse:
    case kWsaNetDown:
    case kWsaNetUnreachable:
    case kWsaConnAborted:
    case kWsaConnReset:
    case kWsaTimedOut:
    case kWsaConnRefused:
    case kWsaHostUnreachable:
        return true;
    default:
        return false;
    }
}

uint32_t RetryDelayMs(uint32_t failuresInRow, uint32_t firstDelayMs, double jitter)
{
    uint64_t delay = firstDelayMs;
    for (uint32_t i = 1; i < failuresInRow && delay < kMaxValue; ++i)
        delay *= 2;
    if (delay > kMaxValue)
        delay = kMaxValue;
    if (!(jitter >= 0.0 && jitter <= 1.0))   // NaN included
        jitter = 0.5;
    const double spread = static_cast<double>(delay) * (0.9 + 0.2 * jitter);
    return static_cast<uint32_t>(std::lround(spread));
}

bool ParseRetryAfter(const std::wstring& value, int64_t nowUnixSeconds, uint64_t& delayMs)
{
    const std::wstring v = Trimmed(value);
    size_t pos = 0;
    uint64_t seconds = 0;
    if (!v.empty() && IsDigit(v[0])) {
        if (!ReadNumber(v, pos, kMaxValue / 1000, seconds) || pos != v.size())
            return false;
        delayMs = seconds * 1000;
        return true;
    }
    int64_t when = 0;
    if (!ParseImfFixdate(v, when))
        return false;
    const int64_t diff = when - nowUnixSeconds;
    delayMs = diff <= 0 ? 0 : (static_cast<uint64_t>(diff) > kMaxValue / 1000 ? kMaxValue : static_cast<uint64_t>(diff) * 1000);
    return true;
}

uint32_t ChooseRetryDelay(bool hasRetryAfter, uint64_t retryAfterMs, uint32_t maxRetryAfterMs, uint32_t backoffMs)
{
    if (!hasRetryAfter)
        return backoffMs;
    return retryAfterMs > maxRetryAfterMs ? maxRetryAfterMs : static_cast<uint32_t>(retryAfterMs);
}

bool IsStrongETag(const std::wstring& etag)
{
    const std::wstring t = Trimmed(etag);
    return t.size() >= 2 && t.front() == L'"' && t.back() == L'"' &&
           t.find(L'"', 1) == t.size() - 1;
}

std::wstring ResumeValidator(const std::wstring& etag, const std::wstring& lastModified)
{
    if (IsStrongETag(etag))
        return Trimmed(etag);
    return Trimmed(lastModified);
}

bool ValidatorChanged(const std::wstring& known, const std::wstring& etag, const std::wstring& lastModified)
{
    const std::wstring answer = Trimmed(IsStrongETag(known) ? etag : lastModified);
    return !answer.empty() && answer != Trimmed(known);
}

bool AcceptsByteRanges(const std::wstring& acceptRanges)
{
    size_t pos = 0;
    while (pos <= acceptRanges.size()) {
        size_t end = acceptRanges.find(L',', pos);
        if (end == std::wstring::npos)
            end = acceptRanges.size();
        std::wstring token = Trimmed(acceptRanges.substr(pos, end - pos));
        for (wchar_t& c : token)
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        if (token == L"bytes")
            return true;
        pos = end + 1;
    }
    return false;
}

bool ParseContentRange(const std::wstring& text, ContentRange& range)
{
    const std::wstring t = Trimmed(text);
    if (t.compare(0, 6, L"bytes ") != 0)
        return false;
    size_t pos = 6;
    while (pos < t.size() && t[pos] == L' ')
        ++pos;
    constexpr uint64_t kMax = UINT64_C(1) << 62;
    ContentRange r;
    if (!ReadNumber(t, pos, kMax, r.first) || !Expect(t, pos, L'-') || !ReadNumber(t, pos, kMax, r.last) ||
        !Expect(t, pos, L'/') || r.last < r.first)
        return false;
    if (pos < t.size() && t[pos] == L'*') {
        ++pos;
    } else {
        if (!ReadNumber(t, pos, kMax, r.total) || r.last >= r.total)
            return false;
        r.totalKnown = true;
    }
    if (pos != t.size())
        return false;
    range = r;
    return true;
}

bool RangeContinues(const ContentRange& range, uint64_t kept, uint64_t total)
{
    return range.totalKnown && range.total == total && range.first == kept && range.last + 1 == total;
}

std::wstring FormatResumeRecord(const ResumeRecord& record)
{
    return L"PelResume 1\r\nurl=" + record.url + L"\r\nvalidator=" + record.validator + L"\r\nlength=" +
           std::to_wstring(record.length) + L"\r\n";
}

bool ParseResumeRecord(const std::wstring& text, ResumeRecord& record)
{
    static const wchar_t* const kKeys[] = {L"PelResume 1", L"url=", L"validator=", L"length="};
    std::wstring values[4];
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t end = text.find(L"\r\n", pos);
        if (end == std::wstring::npos)
            return false;
        const std::wstring line = text.substr(pos, end - pos);
        const size_t keyLength = std::wcslen(kKeys[i]);
        if (line.compare(0, keyLength, kKeys[i]) != 0 || (i == 0 && line.size() != keyLength))
            return false;
        values[i] = line.substr(keyLength);
        pos = end + 2;
    }
    size_t at = 0;
    uint64_t length = 0;
    if (pos != text.size() || values[1].empty() || values[2].empty() ||
        !ReadNumber(values[3], at, UINT64_C(1) << 62, length) || at != values[3].size() || length == 0)
        return false;
    record.url = values[1];
    record.validator = values[2];
    record.length = length;
    return true;
}

std::wstring ResumeRequestHeaders(uint64_t kept, const std::wstring& validator)
{
    return L"Range: bytes=" + std::to_wstring(kept) + L"-\r\nIf-Range: " + validator + L"\r\n";
}
