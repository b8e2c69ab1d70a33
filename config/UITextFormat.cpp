#include "config/UITextFormat.h"

namespace {

struct FieldSpec
{
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    wchar_t conversion = 0;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads decimal digits at pos, capped so that a huge width cannot ask for a huge string.
int ReadCount(const std::wstring& s, size_t& pos)
{
    int value = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
        value = value * 10 + (s[pos] - L'0');
        if (value > kMaxFieldWidth)
            value = kMaxFieldWidth;
        ++pos;
    }
    return value;
}

// Parses the conversion that starts after a '%' at pos; on success pos is past it.
bool ParseField(const std::wstring& s, size_t& pos, FieldSpec& spec)
{
    for (; pos < s.size(); ++pos) {
        if (s[pos] == L'-')
            spec.leftAlign = true;
        else if (s[pos] == L'0')
            spec.zeroPad = true;
        else
            break;
    }
    spec.width = ReadCount(s, pos);
    if (pos < s.size() && s[pos] == L'.') {
        ++pos;
        spec.precision = ReadCount(s, pos);
    }
    while (pos < s.size() && (s[pos] == L'h' || s[pos] == L'l' || s[pos] == L'w'))
        ++pos;
    if (pos >= s.size())
        return false;
    const wchar_t c = s[pos];
    if (c != L's' && c != L'S' && c != L'd' && c != L'i' && c != L'u')
        return false;
    spec.conversion = c;
    ++pos;
    return true;
}

std::wstring DecimalText(long long value, int minDigits)
{
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (minDigits > static_cast<int>(digits.size()))
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), L'0');
    return value < 0 ? L"-" + digits : digits;
}

std::wstring FormatField(const FieldSpec& spec, const UITextArg& arg)
{
    const bool numeric = spec.conversion != L's' && spec.conversion != L'S';
    std::wstring body;
    if (arg.isNumber)
        body = DecimalText(arg.number, numeric ? spec.precision : -1);
    else
        body = arg.text;
    if (!numeric && spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision))
        body.resize(static_cast<size_t>(spec.precision));

    const size_t width = static_cast<size_t>(spec.width);
    if (body.size() >= width)
        return body;
    const size_t fill = width - body.size();
    if (spec.leftAlign)
        return body + std::wstring(fill, L' ');
    // Zero padding applies to numbers only, after the sign, as printf does it.
    if (spec.zeroPad && arg.isNumber && numeric && spec.precision < 0) {
        const size_t signLength = (!body.empty() && body[0] == L'-') ? 1 : 0;
        body.insert(signLength, fill, L'0');
        return body;
    }
    return std::wstring(fill, L' ') + body;
}

} // namespace

std::wstring FormatUIText(const std::wstring& pattern, std::initializer_list<UITextArg> args)
{
    std::wstring out;
    out.reserve(pattern.size());
    const UITextArg* next = args.begin();
    size_t pos = 0;
    while (pos < pattern.size()) {
        const wchar_t c = pattern[pos];
        if (c != L'%') {
            out += c;
            ++pos;
            continue;
        }
        if (pos + 1 < pattern.size() && pattern[pos + 1] == L'%') {
            out += L'%';
            pos += 2;
            continue;
        }
        size_t end = pos + 1;
        FieldSpec spec;
        if (!ParseField(pattern, end, spec)) {
            out += c;
            ++pos;
            continue;
        }
        if (next != args.end())
            out += FormatField(spec, *next++);
        pos = end;
    }
    return out;
}
