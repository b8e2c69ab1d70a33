#include "engine/TransferRules.h"

int64_t ParseContentLength(const std::wstring& text)
{
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == L' ' || text[pos] == L'\t'))
        ++pos;
    if (pos < text.size() && text[pos] == L'+')
        ++pos;
    const int64_t limit = INT64_MAX / 10;
    int64_t value = 0;
    bool digits = false;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        const int digit = static_cast<int>(text[pos] - L'0');
        if (value > limit || (value == limit && digit > static_cast<int>(INT64_MAX % 10)))
            return 0;
        value = value * 10 + digit;
        digits = true;
    }
    return digits ? value : 0;
}

bool LengthQueryAcceptsStatus(uint32_t status)
{
    return status != 403 && status != 404 && status >= 200 && status <= 500;
}

bool IsSuccessStatus(uint32_t status) { return status >= 200 && status <= 299; }

bool IsBodyComplete(int64_t declared, uint64_t received)
{
    return declared < 0 || static_cast<uint64_t>(declared) == received;
}
