// A small non-validating XML reader: the whole document is one UTF-16 text,
// an index records where each element lies in it, and a three-level cursor
// (parent, main, child position) walks the elements. Names and data are cut
// out of the text only when asked for.
#pragma once

#include "xml/XmlElementIndex.h"
#include "xml/XmlLog.h"
#include "xml/XmlParser.h"

#include <string>

class CXmlDocument
{
public:
    CXmlDocument();

    // Reads a file in any of its encodings and parses it; true when the file
    // was read and is well-formed. The log holds the reader's then the parser's events.
    bool Load(const std::wstring& path);
    // Replaces the text, clears the log and parses; true when well-formed.
    bool Parse(const std::wstring& text);

    // Next sibling at the main level called `name` (empty: any element).
    bool FindElement(const std::wstring& name = std::wstring());
    // Next child of the main position called `name` (empty: any element).
    bool FindChildElement(const std::wstring& name = std::wstring());
    // The child position becomes the main position.
    bool EnterElement();
    // The parent position becomes the main position.
    bool LeaveElement();
    // Text content of the element at the main position, references decoded.
    std::wstring GetElementData() const;

    const std::wstring& GetResultLog() const;

    // For Load: takes the decoded text, replaces the log by the reader's log,
    // then parses and appends the parse events; returns well-formedness.
    bool ParseLoaded(std::wstring&& text, const CXmlLog& readerLog);

private:
    friend class CXmlDocumentTestAccess;

    bool ParseText();
    int32_t FirstChildOf(int32_t element) const;
    int32_t FindSibling(int32_t from, const std::wstring& name) const;
    bool NameEquals(int32_t element, const std::wstring& name) const;
    void AppendMixedContent(size_t begin, size_t end, std::wstring& out) const;

    std::wstring m_text;
    CXmlElementIndex m_index;
    CXmlLog m_log;
    XmlParseLimits m_limits;

    // The cursor; 0 stands for "no element". The kind of the main position is
    // "element" exactly when m_main is not 0, so it is not stored apart.
    int32_t m_parent = 0;
    int32_t m_main = 0;
    int32_t m_child = 0;
};
