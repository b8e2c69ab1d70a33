// Finding the encoding a document declares for itself in its first bytes:
// the XML declaration, or the Content-Type meta element of an html page.
//
// Only the bytes given are looked at, never beyond them: a declaration cut
// off by the end of the sniffed bytes counts as no declaration, since a
// truncated name would name the wrong encoding.
#include "xml/XmlEncoding.h"

#include <cstring>

namespace {

// The sniffed bytes with zero bytes dropped. The reader removes zero units
// before converting, so a declaration is looked for in what will be
// converted; this also lets a UTF-16 or UTF-32 file without a mark name its
// encoding.
class SniffText
{
public:
    SniffText(const unsigned char* head, size_t n)
    {
        for (size_t i = 0; i < n && m_size < kSniffLength; ++i)
            if (head[i] != 0)
                m_bytes[m_size++] = static_cast<char>(head[i]);
    }

    size_t Size() const { return m_size; }
    char At(size_t i) const { return i < m_size ? m_bytes[i] : '\0'; }
    const char* Data() const { return m_bytes; }

    bool StartsWith(size_t pos, const char* word) const
    {
        size_t len = std::strlen(word);
        return pos <= m_size && m_size - pos >= len && std::memcmp(m_bytes + pos, word, len) == 0;
    }

    // Case-insensitive (A-Z) version for html.
    bool StartsWithNoCase(size_t pos, const char* lowerWord) const
    {
        for (size_t k = 0; lowerWord[k]; ++k) {
            if (pos + k >= m_size || Lower(m_bytes[pos + k]) != lowerWord[k])
                return false;
        }
        return true;
    }

    size_t Find(size_t pos, const char* word) const
    {
        for (; pos < m_size; ++pos)
            if (StartsWith(pos, word))
                return pos;
        return m_size;
    }

    static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

private:
    char m_bytes[kSniffLength];
    size_t m_size = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The bytes of a value as UTF-16 units, the way the text is decoded for
// sniffing (UTF-8, a broken sequence giving U+FFFD).
std::wstring DecodeUtf8Value(const char* p, size_t n)
{
    std::wstring out;
    for (size_t i = 0; i < n;) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        size_t extra = 0;
        unsigned long cp = c;
        bool ok = true;
        if (c >= 0x80) {
            if ((c >> 5) == 6) { extra = 1; cp = c & 0x1Fu; }
            else if ((c >> 4) == 14) { extra = 2; cp = c & 0x0Fu; }
            else if ((c >> 3) == 30) { extra = 3; cp = c & 0x07u; }
            else ok = false;
        }
        for (size_t k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (static_cast<unsigned char>(p[i + k]) & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (static_cast<unsigned char>(p[i + k]) & 0x3Fu);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 | (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 | (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

// One attribute of a tag: name and value as positions in the sniffed text.
struct Attribute
{
    size_t name = 0, nameLength = 0, value = 0, valueLength = 0;
};

// Reads the attribute at pos (after any spaces). quotedOnly: XML pseudo-
// attributes must be quoted; html also allows bare values. Returns false at
// the end of the tag, at malformed input or when the text ends first.
bool NextAttribute(const SniffText& s, size_t& pos, bool quotedOnly, Attribute& attr)
{
    while (pos < s.Size() && IsSpace(s.At(pos)))
        ++pos;
    attr.name = pos;
    while (pos < s.Size() && !IsSpace(s.At(pos)) && s.At(pos) != '=' && s.At(pos) != '>' &&
           s.At(pos) != '?' && s.At(pos) != '/')
        ++pos;
    attr.nameLength = pos - attr.name;
    if (attr.nameLength == 0)
        return false;
    while (pos < s.Size() && IsSpace(s.At(pos)))
        ++pos;
    if (s.At(pos) != '=') {
        attr.valueLength = 0; // html attribute without a value
        attr.value = pos;
        return !quotedOnly && pos < s.Size();
    }
    ++pos;
    while (pos < s.Size() && IsSpace(s.At(pos)))
        ++pos;
    char quote = s.At(pos);
    if (quote == '"' || quote == '\'') {
        attr.value = ++pos;
        while (pos < s.Size() && s.At(pos) != quote)
            ++pos;
        if (pos >= s.Size())
            return false; // the value runs past the sniffed bytes
        attr.valueLength = pos - attr.value;
        ++pos;
        return true;
    }
    if (quotedOnly)
        return false;
    attr.value = pos;
    while (pos < s.Size() && !IsSpace(s.At(pos)) && s.At(pos) != '>')
        ++pos;
    attr.valueLength = pos - attr.value;
    return pos < s.Size();
}

bool NameIs(const SniffText& s, const Attribute& a, const char* lowerName)
{
    return a.nameLength == std::strlen(lowerName) && s.StartsWithNoCase(a.name, lowerName);
}

std::wstring FromXmlDeclaration(const SniffText& s)
{
    if (!s.StartsWith(0, "<?xml") || !IsSpace(s.At(5)))
        return std::wstring();
    size_t pos = 5;
    Attribute attr;
    while (NextAttribute(s, pos, true, attr)) {
        if (attr.nameLength == 8 && s.StartsWith(attr.name, "encoding"))
            return DecodeUtf8Value(s.Data() + attr.value, attr.valueLength);
    }
    return std::wstring();
}

// Skips a comment, declaration, processing instruction or end tag starting at
// pos; returns where scanning goes on (the end of the text when unclosed).
size_t SkipMarkup(const SniffText& s, size_t pos)
{
    if (s.StartsWith(pos, "<!--")) {
        size_t end = s.Find(pos + 4, "-->");
        return end < s.Size() ? end + 3 : s.Size();
    }
    size_t end = s.Find(pos, ">");
    return end < s.Size() ? end + 1 : s.Size();
}

// Name of the tag at pos ('<' then letters); pos moves past the name.
bool TagNameIs(const SniffText& s, size_t& pos, const char* lowerName)
{
    size_t start = ++pos;
    while (pos < s.Size() && !IsSpace(s.At(pos)) && s.At(pos) != '>' && s.At(pos) != '/')
        ++pos;
    return pos - start == std::strlen(lowerName) && s.StartsWithNoCase(start, lowerName);
}

// The charset= part of a Content-Type value.
std::wstring CharsetOf(const SniffText& s, size_t value, size_t length)
{
    size_t end = value + length;
    for (size_t p = value; p + 7 <= end; ++p) {
        if (!s.StartsWithNoCase(p, "charset"))
            continue;
        size_t q = p + 7;
        while (q < end && IsSpace(s.At(q)))
            ++q;
        if (q >= end || s.At(q) != '=')
            continue;
        ++q;
        while (q < end && (IsSpace(s.At(q)) || s.At(q) == '"' || s.At(q) == '\''))
            ++q;
        size_t start = q;
        while (q < end && !IsSpace(s.At(q)) && s.At(q) != ';' && s.At(q) != '"' && s.At(q) != '\'')
            ++q;
        return DecodeUtf8Value(s.Data() + start, q - start);
    }
    return std::wstring();
}

std::wstring FromMetaElement(const SniffText& s, size_t pos)
{
    Attribute attr;
    bool contentType = false;
    size_t content = 0, contentLength = 0;
    bool haveContent = false;
    while (NextAttribute(s, pos, false, attr)) {
        if (NameIs(s, attr, "http-equiv")) {
            contentType = attr.valueLength == 12 && s.StartsWithNoCase(attr.value, "content-type");
        } else if (NameIs(s, attr, "content")) {
            content = attr.value;
            contentLength = attr.valueLength;
            haveContent = true;
        }
    }
    return contentType && haveContent ? CharsetOf(s, content, contentLength) : std::wstring();
}

std::wstring FromHtmlMeta(const SniffText& s)
{
    // The first element must be html; comments, the doctype and processing
    // instructions may come before it.
    size_t pos = 0;
    for (;;) {
        pos = s.Find(pos, "<");
        if (pos >= s.Size())
            return std::wstring();
        if (IsLetter(s.At(pos + 1)))
            break;
        pos = SkipMarkup(s, pos);
    }
    if (!TagNameIs(s, pos, "html"))
        return std::wstring();
    while ((pos = s.Find(pos, "<")) < s.Size()) {
        if (s.StartsWithNoCase(pos, "</head") &&
            (IsSpace(s.At(pos + 6)) || s.At(pos + 6) == '>'))
            return std::wstring();
        if (!IsLetter(s.At(pos + 1))) {
            pos = SkipMarkup(s, pos);
            continue;
        }
        if (TagNameIs(s, pos, "meta")) {
            std::wstring charset = FromMetaElement(s, pos);
            if (!charset.empty())
                return charset;
        }
    }
    return std::wstring();
}

} // namespace

std::wstring FindDeclaredEncoding(const unsigned char* head, size_t n)
{
    SniffText s(head, n);
    std::wstring declared = FromXmlDeclaration(s);
    return declared.empty() ? FromHtmlMeta(s) : declared;
}
