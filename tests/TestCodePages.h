// A small portable stand-in for the system's code page conversion, so that
// the encoding decisions of the XML reader can be tested and fuzzed natively.
// It knows UTF-8 (a broken sequence gives U+FFFD per byte), windows-1252,
// ISO-8859-1 and US-ASCII; code page 0 (the system default) is taken to be
// windows-1252, as on an English system. Other code pages fail.
#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

inline void AppendUtf8Portable(const unsigned char* p, size_t n, std::wstring& out)
{
    for (size_t i = 0; i < n;) {
        unsigned c = p[i];
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2
                     : (c & 0xF8) == 0xF0 ? 3 : 9;
        unsigned long cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = extra != 9 && n - i > extra;
        for (size_t k = 1; ok && k <= extra; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static const unsigned long kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 | ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 | ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
        i += extra + 1;
    }
}

inline bool TestConvertCodePage(unsigned codePage, const char* bytes, size_t n, std::wstring& out)
{
    // windows-1252 bytes 0x80-0x9F; the five unassigned ones map to C1 controls.
    static const unsigned short k1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    switch (codePage) {
    case 65001:
        AppendUtf8Portable(p, n, out);
        return true;
    case 0:
    case 1252:
        for (size_t i = 0; i < n; ++i)
            out += static_cast<wchar_t>(p[i] >= 0x80 && p[i] < 0xA0 ? k1252[p[i] - 0x80] : p[i]);
        return true;
    case 28591:
        for (size_t i = 0; i < n; ++i)
            out += static_cast<wchar_t>(p[i]);
        return true;
    case 20127:
        for (size_t i = 0; i < n; ++i)
            out += static_cast<wchar_t>(p[i] < 0x80 ? p[i] : '?');
        return true;
    default:
        return false;
    }
}

} // namespace testing_support
