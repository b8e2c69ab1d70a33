#include "config/TextNumber.h"

#include <climits>

namespace {

bool IsCrtSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

} // namespace

int WtoiLike(const wchar_t* first, const wchar_t* last)
{
    while (first != last && IsCrtSpace(*first))
        ++first;
    bool negative = false;
    if (first != last && (*first == L'+' || *first == L'-')) {
        negative = (*first == L'-');
        ++first;
    }
    // Accumulate in a wider type and stop growing once past the int range, so
    // that an arbitrarily long run of digits can never overflow.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; first != last && *first >= L'0' && *first <= L'9'; ++first) {
        if (value <= limit)
            value = value * 10 + (*first - L'0');
    }
    if (value > limit)
        value = limit;
    return static_cast<int>(negative ? -value : value);
}

int WtoiLike(const std::wstring& text)
{
    return WtoiLike(text.data(), text.data() + text.size());
}
