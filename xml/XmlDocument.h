// A small non-validating XML reader: the whole document is one UTF-16 text,
// an index records where each element lies in it, and a three-level cursor
// (parent, main, child position) walks the elements. Names and data are cut
// out of the text only when asked for.
#pragma once

#include "xml/XmlElementIndex.h"
#include "xml/XmlLog.h"
#include "xml/XmlParser.h"

#include <cstdint>
#include <string>

// Told of every element that a cursor search (FindElement, FindChildElement) finds, in every
// document of the process while it is installed. The vendor's manifest check and the
// installer's manifest load use it to learn which elements the installer's own readers visit,
// without a second copy of their reading rules. Otherwise none is installed; a search then
// costs one pointer load and test.
class IXmlFindObserver
{
public:
    // elementStart: offset of the '<' that opens the found element in the document text.
    virtual void OnElementFound(int32_t elementStart) = 0;

protected:
    ~IXmlFindObserver() = default;
};

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

    // Offset of the '<' that opens the element at the main position; -1 when there is none.
    int32_t GetMainElementStart() const;

    // Installs the process-wide find observer (nullptr removes it) and returns the one it
    // replaces. The observer is called on the thread of the search and must outlive its
    // installation.
    static IXmlFindObserver* SetFindObserver(IXmlFindObserver* observer);

    // For Load: takes the decoded text, replaces the log by the reader's log,
    // then parses and appends the parse events; returns well-formedness.
    bool ParseLoaded(std::wstring&& text, const CXmlLog& readerLog);

private:
    friend class CXmlDocumentTestAccess;

    bool ParseText();
    int32_t FirstChildOf(int32_t element) const;
    int32_t FindSibling(int32_t from, const std::wstring& name) const;
    void ReportFound(int32_t element) const;
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
