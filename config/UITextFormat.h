// Fills the placeholders of a user-interface text ("%s is ready",
// "%02d mins %02d secs remaining...").
//
// The pattern may come from a translator's string.ini, so it is untrusted:
// handing it to swprintf would read arguments that were never passed when a
// translation adds or changes a conversion ("%s %s", "%n"). This formatter
// understands the conversions the texts use, consumes only the arguments it
// was given, and copies anything else literally.
#pragma once

#include <initializer_list>
#include <string>

// One argument: a text or a whole number. Either kind fills either
// conversion: a number in %s is written in decimal, a text in %d as it is.
struct UITextArg
{
    UITextArg(const wchar_t* value) : isNumber(false), number(0), text(value ? value : L"") {}
    UITextArg(const std::wstring& value) : isNumber(false), number(0), text(value) {}
    UITextArg(int value) : isNumber(true), number(value), text() {}
    UITextArg(long long value) : isNumber(true), number(value), text() {}

    bool isNumber;
    long long number;
    std::wstring text;
};

// Supported: "%%", and %s %S %d %i %u with the flags '-' and '0', a width and a
// precision (each at most kMaxFieldWidth), and the size letters h, l, w, which
// are ignored. A conversion without an argument left writes nothing; any other
// conversion is copied as written.
std::wstring FormatUIText(const std::wstring& pattern, std::initializer_list<UITextArg> args);

constexpr int kMaxFieldWidth = 256;
