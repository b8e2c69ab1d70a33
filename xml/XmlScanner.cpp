#include "xml/XmlScanner.h"

#include <algorithm>

namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// Units that end a tag name; the set is ASCII, so a 128-entry table decides it.
struct NameStopTable
{
    bool stop[128] = {};
    constexpr NameStopTable()
    {
        const char set[] = " \t\n\r<>=\\/?!\"';";
        for (size_t i = 0; i + 1 < sizeof(set); ++i)
            stop[static_cast<unsigned char>(set[i])] = true;
    }
};
constexpr NameStopTable kNameStop;

bool IsNameStop(wchar_t c)
{
    return static_cast<unsigned>(c) < 128 && kNameStop.stop[static_cast<unsigned>(c)];
}

bool StartsStartTag(wchar_t c)
{
    unsigned u = static_cast<unsigned>(c);
    return u == ':' || u == '_' || (u >= 'A' && u <= 'Z') || u > 0x60;
}

bool IsQuote(wchar_t c)
{
    return c == L'"' || c == L'\'';
}

} // namespace

size_t CXmlScanner::NameEnd(size_t pos) const
{
    while (pos < m_length && !IsNameStop(m_text[pos]))
        ++pos;
    return pos;
}

size_t CXmlScanner::NextMarkup(size_t pos) const
{
    const wchar_t* p = m_text + pos;
    const wchar_t* end = m_text + m_length;
    while (p < end && *p != L'<')
        ++p;
    return static_cast<size_t>(p - m_text);
}

size_t CXmlScanner::Find(size_t pos, wchar_t c) const
{
    for (; pos < m_length; ++pos)
        if (m_text[pos] == c)
            return pos;
    return kNotFound;
}

size_t CXmlScanner::Find(size_t pos, const wchar_t* terminator, size_t terminatorLength) const
{
    while (pos < m_length && m_length - pos >= terminatorLength) {
        pos = Find(pos, terminator[0]);
        if (pos == kNotFound || m_length - pos < terminatorLength)
            return kNotFound;
        if (std::equal(terminator + 1, terminator + terminatorLength, m_text + pos + 1))
            return pos;
        ++pos;
    }
    return kNotFound;
}

void CXmlScanner::Unterminated(XmlNode& node, XmlMarkupKind markup, size_t end)
{
    node.kind = XmlNodeKind::Unterminated;
    node.markup = markup;
    node.end = end;
}

void CXmlScanner::Next(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink) const
{
    node = XmlNode();
    node.begin = pos;
    if (m_text[pos] != L'<') {
        node.kind = XmlNodeKind::Text;
        node.end = NextMarkup(pos + 1);
        return;
    }
    if (pos + 1 >= m_length)
        return Unterminated(node, XmlMarkupKind::Tag, m_length);
    wchar_t c = m_text[pos + 1];
    if (c == L'/') {
        node.nameBegin = pos + 2;
        node.nameEnd = NameEnd(pos + 2);
        size_t gt = Find(node.nameEnd, L'>');
        if (gt == kNotFound)
            return Unterminated(node, XmlMarkupKind::EndTag, m_length);
        node.kind = XmlNodeKind::EndTag;
        node.end = gt + 1;
    } else if (c == L'?') {
        size_t close = Find(pos + 2, L"?>", 2);
        if (close == kNotFound)
            return Unterminated(node, XmlMarkupKind::ProcessingInstruction, m_length);
        node.kind = XmlNodeKind::ProcessingInstruction;
        node.end = close + 2;
    } else if (c == L'!') {
        ScanExclamation(pos, node, sink);
    } else if (StartsStartTag(c)) {
        ScanStartTag(pos, node);
    } else {
        node.kind = XmlNodeKind::SyntaxError;
        node.error = XmlSyntaxError::FirstTag;
        node.end = pos + 1;
    }
}

// A start tag ends at the first '>' outside a quoted attribute value. A quote
// opens a value only after '=', so a stray apostrophe cannot swallow the rest
// of the document.
void CXmlScanner::ScanStartTag(size_t pos, XmlNode& node) const
{
    node.nameBegin = pos + 1;
    node.nameEnd = NameEnd(pos + 1);
    size_t p = node.nameEnd;
    size_t lastQuoteClose = kNotFound;
    bool afterEquals = false;
    for (; p < m_length; ++p) {
        wchar_t c = m_text[p];
        if (c == L'>')
            break;
        if (IsQuote(c) && afterEquals) {
            size_t close = Find(p + 1, c);
            if (close == kNotFound)
                return Unterminated(node, XmlMarkupKind::StartTag, m_length);
            lastQuoteClose = close;
            p = close;
            afterEquals = false;
        } else if (c == L'=') {
            afterEquals = true;
        } else if (!IsWhitespace(c)) {
            afterEquals = false;
        }
    }
    if (p >= m_length)
        return Unterminated(node, XmlMarkupKind::StartTag, m_length);
    node.end = p + 1;
    // "<x/>", "<x />", "<x a="1"/>" are empty-element tags; in "<x a=1/>" the
    // slash belongs to the unquoted value.
    size_t slash = p - 1;
    bool empty = m_text[slash] == L'/' &&
                 (slash == node.nameEnd || IsWhitespace(m_text[slash - 1]) ||
                  slash - 1 == lastQuoteClose);
    node.kind = empty ? XmlNodeKind::EmptyElementTag : XmlNodeKind::StartTag;
}

void CXmlScanner::ScanExclamation(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink) const
{
    if (pos + 2 >= m_length)
        return Unterminated(node, XmlMarkupKind::Tag, m_length);
    wchar_t c = m_text[pos + 2];
    if (c == L'D')
        return ScanDocumentType(pos, node, sink);
    if (c != L'-' && c != L'[') {
        node.kind = XmlNodeKind::SyntaxError;
        node.error = XmlSyntaxError::Exclamation;
        node.end = pos + 1;
        return;
    }
    if (pos + 3 >= m_length)
        return Unterminated(node, XmlMarkupKind::Tag, m_length);
    if (c == L'-') {
        if (m_text[pos + 3] != L'-') {
            node.kind = XmlNodeKind::SyntaxError;
            node.error = XmlSyntaxError::Comment;
            node.end = pos + 1;
            return;
        }
        size_t close = Find(pos + 4, L"-->", 3);
        if (close == kNotFound)
            return Unterminated(node, XmlMarkupKind::Comment, m_length);
        node.kind = XmlNodeKind::Comment;
        node.end = close + 3;
        return;
    }
    if (m_text[pos + 3] != L'C') {
        node.kind = XmlNodeKind::SyntaxError;
        node.error = XmlSyntaxError::CDataSection;
        node.end = pos + 1;
        return;
    }
    // The letters "DATA[" are not checked; the inner text starts after the
    // nine units of "<![CDATA[", or at the terminator when it comes earlier
    // ("<![C]]>"), so it never has a negative length.
    size_t close = Find(pos + 4, L"]]>", 3);
    if (close == kNotFound)
        return Unterminated(node, XmlMarkupKind::CDataSection, m_length);
    node.kind = XmlNodeKind::CDataSection;
    node.innerBegin = std::min(pos + 9, close);
    node.innerEnd = close;
    node.end = close + 3;
}

// Up to and including the '>' that ends a markup declaration, outside quoted
// literals; kNotFound when the text ends first.
size_t CXmlScanner::SkipDeclaration(size_t pos) const
{
    for (; pos < m_length; ++pos) {
        wchar_t c = m_text[pos];
        if (c == L'>')
            return pos;
        if (IsQuote(c)) {
            pos = Find(pos + 1, c);
            if (pos == kNotFound)
                return kNotFound;
        }
    }
    return kNotFound;
}

// "<!D..." to its closing '>'. Inside the internal subset ("[...]") markup
// declarations (<!E, <!A, <!N), comments and processing instructions are
// skipped; any other markup is reported to the sink and scanning goes on.
// Quoted literals may hold '>', '[' and ']'.
void CXmlScanner::ScanDocumentType(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink) const
{
    bool inSubset = false;
    size_t p = pos + 3;
    while (p < m_length) {
        wchar_t c = m_text[p];
        if (IsQuote(c)) {
            size_t close = Find(p + 1, c);
            if (close == kNotFound)
                break;
            p = close + 1;
            continue;
        }
        if (c == L'[') {
            inSubset = true;
        } else if (c == L']') {
            inSubset = false;
        } else if (c == L'>' && !inSubset) {
            node.kind = XmlNodeKind::DocumentType;
            node.end = p + 1;
            return;
        } else if (c == L'<' && inSubset) {
            if (p + 2 >= m_length)
                break;
            wchar_t c1 = m_text[p + 1];
            wchar_t c2 = m_text[p + 2];
            size_t close = kNotFound;
            if (c1 == L'!' && (c2 == L'E' || c2 == L'A' || c2 == L'N')) {
                close = SkipDeclaration(p + 3);
                if (close == kNotFound)
                    break;
                p = close + 1;
                continue;
            }
            if (c1 == L'!' && c2 == L'-' && p + 3 < m_length && m_text[p + 3] == L'-') {
                close = Find(p + 4, L"-->", 3);
                if (close == kNotFound)
                    break;
                p = close + 3;
                continue;
            }
            if (c1 == L'?') {
                close = Find(p + 2, L"?>", 2);
                if (close == kNotFound)
                    break;
                p = close + 2;
                continue;
            }
            if (sink)
                sink->OnDoctypeError(p);
        }
        ++p;
    }
    Unterminated(node, XmlMarkupKind::DocumentType, m_length);
}
