// Fuzzes the user-interface text formatter with translator-controlled patterns.
// Input: little-endian 16-bit code units forming the pattern. The formatter must
// never read past its arguments, must copy a pattern without '%' unchanged, and
// its output must stay within what the pattern's conversions can add.
#include "config/UITextFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring pattern;
    for (size_t i = 0; i + 2 <= size; i += 2)
        pattern += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    const std::wstring text = L"Varo Pro";
    const std::wstring out = FormatUIText(pattern, {text, -2147483647 - 1, 7});

    size_t percents = 0;
    for (wchar_t c : pattern)
        percents += (c == L'%') ? 1 : 0;
    if (percents == 0 && out != pattern)
        std::abort();
    // Each conversion writes at most its capped width or its argument (11 characters
    // for the smallest int), whichever is longer.
    const size_t perConversion = static_cast<size_t>(kMaxFieldWidth) + text.size() + 11;
    if (out.size() > pattern.size() + percents * perConversion)
        std::abort();
    return 0;
}
