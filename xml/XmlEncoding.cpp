// Deciding the encoding of a file from its first bytes and decoding the rest
// into UTF-16, with the reader's log events.
#include "xml/XmlEncoding.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr wchar_t kReplacement = static_cast<wchar_t>(0xFFFD);

bool IsUtf16CodePage(unsigned cp) { return cp == kCodePageUtf16LE || cp == kCodePageUtf16BE; }
bool IsUtf32CodePage(unsigned cp) { return cp == kCodePageUtf32LE || cp == kCodePageUtf32BE; }

struct ByteOrderMark
{
    unsigned char bytes[4];
    size_t length;
    const wchar_t* encoding;
    unsigned unitSize;
    unsigned flag;
};

// The UTF-32 marks come first: FF FE 00 00 also begins with the UTF-16LE
// mark, but a UTF-16 text never starts with U+0000, while reading UTF-32 as
// UTF-16 would break every character above U+FFFF.
constexpr ByteOrderMark kMarks[] = {
    {{0xFF, 0xFE, 0x00, 0x00}, 4, L"UTF-32", 4, kXmlTextUtf32LE},
    {{0x00, 0x00, 0xFE, 0xFF}, 4, L"UTF-32BE", 4, kXmlTextUtf32BE},
    {{0xEF, 0xBB, 0xBF, 0}, 3, L"UTF-8", 1, kXmlTextUtf8Bom},
    {{0xFF, 0xFE, 0, 0}, 2, L"UTF-16LE", 2, kXmlTextUtf16LE},
    {{0xFE, 0xFF, 0, 0}, 2, L"UTF-16BE", 2, kXmlTextUtf16BE},
};

bool MatchMark(const unsigned char* head, size_t n, XmlTextFormat& format)
{
    for (const ByteOrderMark& mark : kMarks) {
        if (n >= mark.length && std::equal(mark.bytes, mark.bytes + mark.length, head)) {
            format.encoding = mark.encoding;
            format.unitSize = mark.unitSize;
            format.flags = mark.flag;
            format.offset = mark.length;
            return true;
        }
    }
    return false;
}

// A UTF-16 or UTF-32 name without a mark cannot be converted as bytes of a
// code page. The file's own layout of its first character '<' tells the unit
// size and byte order; bytes that do not look like such units mean the
// declaration is wrong and is disregarded.
void ApplyDeclaredUnits(const unsigned char* head, size_t n, XmlTextFormat& format)
{
    unsigned cp = CodePageFromEncodingName(format.encoding);
    if (IsUtf16CodePage(cp)) {
        if (n >= 2 && head[0] == '<' && head[1] == 0) {
            format.unitSize = 2;
            format.flags = kXmlTextUtf16LE;
        } else if (n >= 2 && head[0] == 0 && head[1] == '<') {
            format.unitSize = 2;
            format.flags = kXmlTextUtf16BE;
        } else {
            format.encoding.clear();
        }
    } else if (IsUtf32CodePage(cp)) {
        static const unsigned char le[4] = {'<', 0, 0, 0};
        static const unsigned char be[4] = {0, 0, 0, '<'};
        if (n >= 4 && std::equal(le, le + 4, head)) {
            format.unitSize = 4;
            format.flags = kXmlTextUtf32LE;
        } else if (n >= 4 && std::equal(be, be + 4, head)) {
            format.unitSize = 4;
            format.flags = kXmlTextUtf32BE;
        } else {
            format.encoding.clear();
        }
    }
}

unsigned char ByteAt(const std::string& bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

void ConvertBytes(unsigned codePage, const std::string& bytes, CodePageConverter convert,
                  std::wstring& text)
{
    if (bytes.empty())
        return;
    // A code page the system cannot convert (not installed, or one that is
    // not byte-oriented) still yields the text as well as the system's
    // default code page can give it, rather than no text at all.
    if (convert(codePage, bytes.data(), bytes.size(), text))
        return;
    text.clear();
    if (codePage != kCodePageDefault && convert(kCodePageDefault, bytes.data(), bytes.size(), text))
        return;
    text.clear();
}

} // namespace

XmlTextFormat DetectTextFormat(const unsigned char* head, size_t n, CXmlLog& log)
{
    XmlTextFormat format;
    if (MatchMark(head, n, format)) {
        log.Add(L"bom");
        return format;
    }
    format.encoding = FindDeclaredEncoding(head, n);
    if (!format.encoding.empty())
        ApplyDeclaredUnits(head, n, format);
    if (format.encoding.empty() && n > 0 && head[0] == '<')
        format.encoding = L"UTF-8";
    return format;
}

bool IsWellFormedUtf8(const char* bytes, size_t n)
{
    for (size_t i = 0; i < n;) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0)
            return true;
        size_t extra;
        if (c < 0x80)
            extra = 0;
        else if ((c & 0xE0) == 0xC0)
            extra = 1;
        else if ((c & 0xF0) == 0xE0)
            extra = 2;
        else if ((c & 0xF8) == 0xF0)
            extra = 3;
        else
            return false;
        // A sequence cut off by the end of the bytes lacks its continuation.
        if (n - i - 1 < extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

size_t RemoveZeroUnits(std::string& bytes, unsigned unitSize)
{
    if (unitSize == 0 || bytes.empty())
        return 0;
    char* p = &bytes[0];
    const size_t whole = bytes.size() - bytes.size() % unitSize;
    size_t out = 0;
    for (size_t in = 0; in < whole; in += unitSize) {
        bool zero = true;
        for (unsigned k = 0; k < unitSize; ++k)
            zero = zero && p[in + k] == 0;
        if (zero)
            continue;
        for (unsigned k = 0; k < unitSize; ++k)
            p[out + k] = p[in + k];
        out += unitSize;
    }
    bytes.erase(out, whole - out);
    return (whole - out) / unitSize;
}

void SwapUnitBytes(std::string& bytes, unsigned unitSize)
{
    if (unitSize < 2)
        return;
    size_t whole = bytes.size() - bytes.size() % unitSize;
    for (size_t i = 0; i < whole; i += unitSize)
        std::reverse(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                     bytes.begin() + static_cast<std::ptrdiff_t>(i + unitSize));
}

void AppendUtf16Units(const std::string& bytes, std::wstring& out)
{
    size_t whole = bytes.size() & ~static_cast<size_t>(1);
    out.reserve(out.size() + whole / 2 + 1);
    for (size_t i = 0; i < whole; i += 2)
        out += static_cast<wchar_t>(ByteAt(bytes, i) | (ByteAt(bytes, i + 1) << 8));
    if (whole != bytes.size())
        out += kReplacement;
}

void AppendUtf32Units(const std::string& bytes, std::wstring& out)
{
    size_t whole = bytes.size() - bytes.size() % 4;
    out.reserve(out.size() + whole / 4 + 1);
    for (size_t i = 0; i < whole; i += 4) {
        unsigned long v = static_cast<unsigned long>(ByteAt(bytes, i)) |
                          static_cast<unsigned long>(ByteAt(bytes, i + 1)) << 8 |
                          static_cast<unsigned long>(ByteAt(bytes, i + 2)) << 16 |
                          static_cast<unsigned long>(ByteAt(bytes, i + 3)) << 24;
        if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
            out += kReplacement;
        } else if (v >= 0x10000) {
            v -= 0x10000;
            out += static_cast<wchar_t>(0xD800 | (v >> 10));
            out += static_cast<wchar_t>(0xDC00 | (v & 0x3FF));
        } else {
            out += static_cast<wchar_t>(v);
        }
    }
    if (whole != bytes.size())
        out += kReplacement;
}

void DecodeText(XmlTextFormat& format, std::string& bytes, CodePageConverter convert,
                std::wstring& text, CXmlLog& log)
{
    const unsigned unit = format.unitSize ? format.unitSize : 1;
    log.Add(L"read", L"encoding", format.encoding, L"length",
            static_cast<long long>(bytes.size() / unit));
    size_t removed = RemoveZeroUnits(bytes, unit);
    if (removed != 0)
        log.Add(L"nulls_removed", nullptr, std::wstring(), L"count", static_cast<long long>(removed));
    if (format.flags & (kXmlTextUtf16BE | kXmlTextUtf32BE)) {
        SwapUnitBytes(bytes, unit);
        log.Add(L"endian_swap");
    }
    if (unit == 2) {
        AppendUtf16Units(bytes, text);
        return;
    }
    if (unit == 4) {
        AppendUtf32Units(bytes, text);
    } else {
        if (format.encoding.empty()) {
            if (IsWellFormedUtf8(bytes.data(), bytes.size()))
                format.encoding = L"UTF-8";
            log.Add(L"utf8_detection");
        }
        unsigned cp = CodePageFromEncodingName(format.encoding);
        // Units wider than a byte were ruled out by the format detection;
        // should such a name remain, bytes are not UTF-16/32 units.
        if (IsUtf16CodePage(cp) || IsUtf32CodePage(cp))
            cp = kCodePageDefault;
        ConvertBytes(cp, bytes, convert, text);
    }
    log.Add(L"converted_to", L"encoding", L"UTF-16", L"length", static_cast<long long>(text.size()));
}

XmlTextRead DecodeTextBuffer(const char* data, size_t n, CodePageConverter convert)
{
    XmlTextRead result;
    if (n == 0) {
        result.log.Add(L"read", L"encoding", std::wstring(), L"length", 0);
        result.success = true;
        return result;
    }
    const unsigned char* head = reinterpret_cast<const unsigned char*>(data);
    XmlTextFormat format = DetectTextFormat(head, std::min(n, kSniffLength), result.log);
    std::string bytes(data + format.offset, n - format.offset);
    DecodeText(format, bytes, convert, result.text, result.log);
    result.encoding = format.encoding;
    result.success = true;
    return result;
}

bool IsReadableLength(long long fileLength, size_t offset, unsigned unitSize)
{
    if (fileLength < 0 || unitSize == 0)
        return false;
    unsigned long long length = static_cast<unsigned long long>(fileLength);
    if (length < offset)
        return false;
    unsigned long long units = (length - offset + unitSize - 1) / unitSize;
    // Bytes of a code page give at most one unit each, UTF-32 at most two;
    // the byte buffer itself must also be addressable.
    unsigned long long maxUnits = unitSize == 4 ? kMaxTextUnits / 2 : kMaxTextUnits;
    return units <= maxUnits && length - offset <= static_cast<unsigned long long>(SIZE_MAX);
}

void LogFileError(CXmlLog& log, const std::wstring& systemMessage, unsigned long error)
{
    size_t end = systemMessage.find_first_of(L"\r\n");
    if (end == std::wstring::npos)
        end = systemMessage.size();
    end = std::min<size_t>(end, 100);
    if (end > 0 && end < systemMessage.size() && (systemMessage[end - 1] & 0xFC00) == 0xD800)
        --end; // keep a surrogate pair whole
    log.Add(L"file_error", L"msg", systemMessage.substr(0, end), L"n",
            static_cast<long long>(error));
}
