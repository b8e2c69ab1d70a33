#include "framework/LogText.h"


namespace {

std::wstring Digits(int value, int width)
{
    std::wstring text = std::to_wstring(value < 0 ? 0 : value);
    if (text.size() < static_cast<size_t>(width))
        text.insert(0, static_cast<size_t>(width) - text.size(), L'0');
    return text;
}

bool EndsAuthority(wchar_t c)
{
    return c == L'/' || c == L'?' || c == L'#' || c == L' ' || c == L'\t' || c == L'"' ||
           c == L'\'' || c == L'<' || c == L'>';
}

} // namespace

std::wstring RedactCredentials(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    size_t done = 0;
    for (size_t scheme = text.find(L"://"); scheme != std::wstring::npos;
         scheme = text.find(L"://", done)) {
        const size_t start = scheme + 3;
        size_t end = start;
        while (end < text.size() && !EndsAuthority(text[end]))
            ++end;
        // The last '@' ends the user information; the first ':' before it starts the password.
        const size_t at = text.rfind(L'@', end == start ? start : end - 1);
        const size_t colon = at == std::wstring::npos || at < start ? std::wstring::npos
                                                                    : text.find(L':', start);
        out.append(text, done, start - done);
        if (colon != std::wstring::npos && colon < at) {
            out.append(text, start, colon + 1 - start);
            out += L"***";
            out.append(text, at, end - at);
        } else {
            out.append(text, start, end - start);
        }
        done = end;
    }
    out.append(text, done, std::wstring::npos);
    return out;
}

std::wstring FormatLogLine(const LogClock& clock, uint32_t threadId, const std::wstring& text)
{
    std::wstring line = Digits(clock.year, 4) + L'-' + Digits(clock.month, 2) + L'-' +
                        Digits(clock.day, 2) + L' ' + Digits(clock.hour, 2) + L':' +
                        Digits(clock.minute, 2) + L':' + Digits(clock.second, 2) + L'.' +
                        Digits(clock.millisecond, 3) + L" [" + std::to_wstring(threadId) + L"] ";
    const std::wstring redacted = RedactCredentials(text);
    // Line ends and blanks around a debugger text are not part of the event; a line end
    // inside it becomes one space.
    size_t first = redacted.find_first_not_of(L"\r\n ");
    size_t last = redacted.find_last_not_of(L"\r\n ");
    std::wstring body;
    for (size_t i = first; first != std::wstring::npos && i <= last; ++i) {
        const wchar_t c = redacted[i];
        if (c == L'\r' && i + 1 <= last && redacted[i + 1] == L'\n')
            continue;
        body += (c < 0x20 && c != L'\t') || c == 0x7F ? L' ' : c;
    }
    if (body.size() > kLogLineMaxChars) {
        const size_t cut = body.size() - kLogLineMaxChars;
        body.resize(kLogLineMaxChars);
        body += L" ... (" + std::to_wstring(cut) + L" more characters)";
    }
    return line + body;
}

std::wstring LogFileStamp(const LogClock& clock)
{
    return Digits(clock.year, 4) + Digits(clock.month, 2) + Digits(clock.day, 2) + L'_' +
           Digits(clock.hour, 2) + Digits(clock.minute, 2) + Digits(clock.second, 2);
}
