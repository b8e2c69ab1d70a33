// Fuzzes the option parser against a direct statement of its rules.
// Input: byte 0 chooses the code-unit width (even: 16 bits, odd: 32 bits, little-endian);
// the rest is a sequence of code units in which unit 0 separates arguments.
#include "app/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::wstring> SplitArguments(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> args(1);
    if (size == 0)
        return args;
    size_t width = (data[0] & 1) ? 4 : 2;
    if (width > sizeof(wchar_t))
        width = sizeof(wchar_t);
    for (size_t i = 1; i + width <= size; i += width) {
        uint32_t unit = 0;
        for (size_t b = 0; b < width; ++b)
            unit |= static_cast<uint32_t>(data[i + b]) << (8 * b);
        if (unit == 0)
            args.emplace_back();
        else
            args.back() += static_cast<wchar_t>(unit);
    }
    return args;
}

const char* const kKeywords[] = {"/s", "/n", "/l", "/lang"};

bool IsKeyword(const std::wstring& arg, const char* keyword)
{
    std::wstring wide(keyword, keyword + std::char_traits<char>::length(keyword));
    return arg == wide;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> args = SplitArguments(data, size);

    std::vector<std::pair<std::string, std::wstring>> calls;
    COptionTable table;
    for (const char* keyword : kKeywords) {
        std::string name = keyword;
        table.Add(name, [&calls, name](const std::wstring& v) { calls.emplace_back(name, v); });
    }
    table.Parse(args, &AsciiNarrow);

    // Expected: one call per keyword argument, in order, valued by the next argument unless
    // that is missing, empty or starts with a backslash.
    std::vector<std::pair<std::string, std::wstring>> expected;
    for (size_t i = 0; i < args.size(); ++i) {
        for (const char* keyword : kKeywords) {
            if (!IsKeyword(args[i], keyword))
                continue;
            std::wstring value;
            if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != L'\\')
                value = args[i + 1];
            expected.emplace_back(keyword, value);
        }
    }
    if (calls != expected)
        std::abort();

    // The narrow form never grows and keeps the length in code units.
    for (const std::wstring& arg : args)
        if (AsciiNarrow(arg).size() != arg.size())
            std::abort();
    return 0;
}
