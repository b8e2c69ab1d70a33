// Recognises one node of XML text at a time. The parser and the element data
// reader share it, so both agree on where markup begins and ends.
#pragma once

#include <cstddef>

enum class XmlNodeKind
{
    Text,                   // up to the next '<' (or the end)
    StartTag,
    EmptyElementTag,
    EndTag,
    CDataSection,
    Comment,
    ProcessingInstruction,
    DocumentType,
    SyntaxError,            // see XmlNode::error; scanning resumes at XmlNode::end
    Unterminated,           // the text ends inside markup; see XmlNode::markup
};

enum class XmlSyntaxError
{
    None,
    FirstTag,               // "<" followed by a character that cannot start markup
    Exclamation,            // "<!" followed by anything but -, [ or D
    Comment,                // "<!-" not followed by -
    CDataSection,           // "<![" not followed by C
};

// The kind of markup the text ended in.
enum class XmlMarkupKind
{
    Tag, StartTag, EndTag, Comment, CDataSection, ProcessingInstruction, DocumentType,
};

struct XmlNode
{
    XmlNodeKind kind = XmlNodeKind::Text;
    XmlSyntaxError error = XmlSyntaxError::None;
    XmlMarkupKind markup = XmlMarkupKind::Tag;
    size_t begin = 0;       // first unit of the node
    size_t end = 0;         // where the next node starts (always > begin)
    size_t nameBegin = 0;   // tags: the tag name
    size_t nameEnd = 0;
    size_t innerBegin = 0;  // CDATA sections: the verbatim inner text
    size_t innerEnd = 0;
};

// Receives each bad markup declaration found inside a document type declaration.
class IXmlDoctypeErrorSink
{
public:
    virtual void OnDoctypeError(size_t offset) = 0;

protected:
    ~IXmlDoctypeErrorSink() = default;
};

class CXmlScanner
{
public:
    // Scans text[0, length); the text must stay alive while the scanner is used.
    CXmlScanner(const wchar_t* text, size_t length) : m_text(text), m_length(length) {}

    // Reads the node that starts at `pos` (< length).
    void Next(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink = nullptr) const;

    // End of the tag name starting at `pos`: the first unit of the set
    // space, tab, LF, CR, < > = \ / ? ! " ' ; (or the end of the text).
    size_t NameEnd(size_t pos) const;

    // Position of the next '<' at or after `pos`, or the length.
    size_t NextMarkup(size_t pos) const;

    static bool IsWhitespace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

private:
    void ScanStartTag(size_t pos, XmlNode& node) const;
    void ScanExclamation(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink) const;
    void ScanDocumentType(size_t pos, XmlNode& node, IXmlDoctypeErrorSink* sink) const;
    size_t Find(size_t pos, wchar_t c) const;
    size_t Find(size_t pos, const wchar_t* terminator, size_t terminatorLength) const;
    size_t SkipDeclaration(size_t pos) const;
    static void Unterminated(XmlNode& node, XmlMarkupKind markup, size_t end);

    const wchar_t* m_text;
    size_t m_length;
};
