// Option table and command-line parsing rules of the installer (standard C++).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// Converts one argument to the narrow form that keywords are matched in. On Windows this
// is the thread's ANSI code page; the parser does not care how, so it is passed in.
using NarrowConverter = std::string (*)(const std::wstring& wide);

// Conversion without a code page: code units below 0x80 are kept, every other one becomes
// '?'. Keywords are ASCII, so a non-ASCII argument can never match one by accident.
std::string AsciiNarrow(const std::wstring& wide);

// One argument as it must stand on a command line so that the Windows splitting rules
// (CommandLineToArgvW) give it back unchanged: as it is when it has no blank, tab or quote
// and is not empty, else in quotes, with quotes escaped and the backslashes before them and
// before the closing quote doubled.
std::wstring QuoteArgument(const std::wstring& argument);

// Map from an option keyword (exact, case-sensitive) to the handler that receives its value.
class COptionTable
{
public:
    using Handler = std::function<void(const std::wstring& value)>;

    // Which next argument an option takes as its value.
    enum class ValueRule
    {
        NotBackslash, // any but one that starts with a backslash (a path fragment)
        Path,         // any, so that a UNC path (\\server\share\...) can be the value
    };

    // A later Add for the same keyword replaces the earlier handler.
    void Add(const std::string& keyword, Handler handler, ValueRule rule = ValueRule::NotBackslash);

    // Null when the keyword is not an option.
    const Handler* Find(const std::string& keyword) const;

    // Runs the rules over the whole argument vector, index 0 (the program path) included:
    // every argument that is a keyword calls its handler with the next argument as value,
    // or with an empty value when it is the last one, empty, or starts with a backslash
    // (unless the option takes a path).
    // The value argument is not consumed: it is examined as a keyword itself next.
    // Later occurrences of an option call the handler again, so the last one wins.
    void Parse(const std::vector<std::wstring>& args, NarrowConverter toNarrow) const;

private:
    struct Option
    {
        Handler handler;
        ValueRule rule = ValueRule::NotBackslash;
    };
    const Option* FindOption(const std::string& keyword) const;

    std::map<std::string, Option> m_options;
};
