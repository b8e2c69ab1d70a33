// Fuzzes version parsing and _wtoi-like reading against direct statements of
// their rules. Input: two texts separated by '|', one byte per code unit
// (bytes above 0x7F become code units above 0x7F).
#include "config/TextNumber.h"
#include "config/StartDecision.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Reference: the C library's strtol over an ASCII image of the text (non-ASCII
// units become a letter, which ends a number as any non-digit does).
int ReferenceWtoi(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += (c > 0 && c < 0x80) ? static_cast<char>(c) : 'z';
    errno = 0;
    long long v = std::strtoll(narrow.c_str(), nullptr, 10);
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return static_cast<int>(v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring a, b;
    std::wstring* cur = &a;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '|' && cur == &a) {
            cur = &b;
            continue;
        }
        cur->push_back(static_cast<wchar_t>(data[i]));
    }

    // Embedded nulls end the text for strtoll; compare only null-free texts.
    if (a.find(L'\0') == std::wstring::npos && WtoiLike(a) != ReferenceWtoi(a))
        std::abort();

    const VersionNumbers va = ParseVersion(a);
    const VersionNumbers vb = ParseVersion(b);
    const bool newer = IsNewerVersion(a, b);
    if (newer != (va.p1 == vb.p1 && va.p2 >= vb.p2 && va.p4 > vb.p4))
        std::abort();
    if (newer && IsNewerVersion(b, a))
        std::abort(); // the fourth numbers cannot both be higher
    if (IsNewerVersion(a, a))
        std::abort();
    const std::wstring::size_type end = a.find(L'\0');
    if ((end == std::wstring::npos ? a.size() : end) < 7 &&
        (va.p1 | va.p2 | va.p3 | va.p4) != 0)
        std::abort();
    return 0;
}
