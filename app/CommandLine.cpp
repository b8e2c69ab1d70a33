#include "app/CommandLine.h"

#include <utility>

std::string AsciiNarrow(const std::wstring& wide)
{
    std::string narrow;
    narrow.reserve(wide.size());
    for (wchar_t c : wide) {
        // Compare as an unsigned code unit: wchar_t may be signed and 32 bits wide.
        unsigned long unit = static_cast<unsigned long>(c) & 0xFFFFFFFFul;
        narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each stands for two.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

void COptionTable::Add(const std::string& keyword, Handler handler, ValueRule rule)
{
    m_options[keyword] = Option{std::move(handler), rule};
}

const COptionTable::Option* COptionTable::FindOption(const std::string& keyword) const
{
    auto it = m_options.find(keyword);
    return it == m_options.end() ? nullptr : &it->second;
}

const COptionTable::Handler* COptionTable::Find(const std::string& keyword) const
{
    const Option* option = FindOption(keyword);
    return option ? &option->handler : nullptr;
}

void COptionTable::Parse(const std::vector<std::wstring>& args, NarrowConverter toNarrow) const
{
    static const std::wstring kNoValue;
    for (size_t i = 0; i < args.size(); ++i) {
        const Option* option = FindOption(toNarrow(args[i]));
        if (!option || !option->handler)
            continue;
        const std::wstring* value = &kNoValue;
        if (i + 1 < args.size()) {
            const std::wstring& candidate = args[i + 1];
            // A value that starts with a backslash is refused (it would be a path fragment
            // rather than an option value); one that starts with a slash is taken.
            if (!candidate.empty() && (candidate[0] != L'\\' || option->rule == ValueRule::Path))
                value = &candidate;
        }
        option->handler(*value);
    }
}
