#include "config/FileNameRules.h"

namespace {

wchar_t AsciiUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualsAsciiNoCase(const std::wstring& text, const wchar_t* word)
{
    size_t i = 0;
    for (; word[i] != L'\0'; ++i) {
        if (i >= text.size() || AsciiUpper(text[i]) != word[i])
            return false;
    }
    return i == text.size();
}

// Windows maps the device names onto devices whatever extension follows them, and ignores
// blanks between the device name and the extension ("NUL .txt" is NUL as well).
bool IsReservedDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    static const wchar_t* const kPlain[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* word : kPlain) {
        if (EqualsAsciiNoCase(base, word))
            return true;
    }
    if (base.size() != 4)
        return false;
    const std::wstring stem = base.substr(0, 3);
    if (!EqualsAsciiNoCase(stem, L"COM") && !EqualsAsciiNoCase(stem, L"LPT"))
        return false;
    const wchar_t digit = base[3];
    // Superscript one, two and three count as digits for the device names.
    return (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 ||
           digit == 0x00B3;
}

bool IsForbiddenChar(wchar_t c)
{
    if (c < 0x20)
        return true;
    switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'?':
    case L'*':
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsSafeFileName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxFileNameChars)
        return false;
    for (wchar_t c : name) {
        if (IsForbiddenChar(c))
            return false;
    }
    // Covers "." and ".." too.
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsReservedDeviceName(name);
}

bool IsSafeRelativePath(const std::wstring& path)
{
    if (path.empty())
        return false;
    size_t begin = 0;
    for (;;) {
        const size_t end = path.find(L'\\', begin);
        const std::wstring part = path.substr(begin, end == std::wstring::npos ? end : end - begin);
        if (!IsSafeFileName(part))
            return false;
        if (end == std::wstring::npos)
            return true;
        begin = end + 1;
    }
}
