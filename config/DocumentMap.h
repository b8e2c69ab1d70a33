// Every element of an XML document with its name, line and data, parsed the same way the
// installer parses the file, and marked with whether the installer's reader visited it
// (standard C++). The installer lists from it the elements its manifest reader skipped; the
// vendor's check tool builds its whole report on it.
#pragma once

#include "xml/XmlDocument.h"
#include "xml/XmlEncoding.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct ElementInfo
{
    std::wstring name;
    int32_t start = 0;      // offset of its '<' in the document text
    int line = 0;           // 1-based
    int parent = -1;        // index in the map, -1 for a top-level element
    int children = 0;       // number of child elements
    int subtreeEnd = 0;     // index after its last descendant in the map
    std::wstring data;      // GetElementData at it: what a reader taking its value gets
    bool visited = false;   // found by one of the installer's searches
};

// Offsets of an element's parts in the document text.
struct ElementExtent
{
    size_t startTagEnd = 0;     // after the '>' of the start tag
    size_t endTagBegin = 0;     // the '<' of the end tag (startTagEnd for an empty-element tag)
    size_t end = 0;             // after the end tag
    bool emptyTag = false;      // written as <name/>
};

class CDocumentMap
{
public:
    // Parses a text read (and decoded) the way CXmlDocument::Load reads a file
    // (ReadTextFile), exactly as Load then parses it, and lists its elements.
    void LoadRead(XmlTextRead read);

    bool FileRead() const { return m_fileRead; }
    bool WellFormed() const { return m_wellFormed; }
    // The encoding the file was read in (empty: the system code page).
    const std::wstring& Encoding() const { return m_encoding; }
    // The reader's and parser's result log.
    const std::wstring& ResultLog() const { return m_log; }

    const std::vector<ElementInfo>& Elements() const { return m_elements; }
    // Marks the elements whose start offsets are given.
    void MarkVisited(const std::vector<int32_t>& starts);

    // Line of a text offset (1-based); line breaks are LF, CR LF or a lone CR.
    int LineOf(long long offset) const;
    // The document text the offsets refer to.
    const std::wstring& Text() const { return m_text; }
    // Where the parts of an element lie in the text; false when it cannot be scanned.
    bool ExtentOf(int element, ElementExtent& extent) const;

    // The first visited element called name whose parent is a visited element called
    // parentName (nullptr: a top-level element); -1 when none.
    int FindVisited(const wchar_t* parentName, const wchar_t* name) const;
    // Index of the first child of element called name, visited or not; -1 when none.
    int FindChild(int element, const wchar_t* name, bool visitedOnly) const;
    // Number of elements below element, at any depth.
    int CountDescendants(int element) const;

private:
    void ListElements(CXmlDocument& doc);
    std::wstring NameAt(int32_t start) const;

    std::wstring m_text;
    std::wstring m_encoding;
    std::wstring m_log;
    bool m_fileRead = false;
    bool m_wellFormed = false;
    std::vector<ElementInfo> m_elements;
    std::vector<size_t> m_lineStarts;
};

// Collects the start offsets of the elements found by the document searches of the thread
// that made it, for its own lifetime; the previous observer comes back afterwards. The
// observer is process-wide: searches of other threads are neither recorded nor passed on,
// and the thread's own are passed on to the previous observer, so that a recorder made
// while another one records hides nothing from it.
class CVisitRecorder : public IXmlFindObserver
{
public:
    // Installed last, once the members a search reaches are ready.
    CVisitRecorder() { m_previous = CXmlDocument::SetFindObserver(this); }
    ~CVisitRecorder() { CXmlDocument::SetFindObserver(m_previous); }
    CVisitRecorder(const CVisitRecorder&) = delete;
    CVisitRecorder& operator=(const CVisitRecorder&) = delete;

    void OnElementFound(int32_t elementStart) override
    {
        if (std::this_thread::get_id() != m_thread)
            return;
        m_starts.push_back(elementStart);
        if (m_previous)
            m_previous->OnElementFound(elementStart);
    }
    const std::vector<int32_t>& Starts() const { return m_starts; }

private:
    const std::thread::id m_thread = std::this_thread::get_id();
    std::vector<int32_t> m_starts;
    IXmlFindObserver* m_previous = nullptr;
};
