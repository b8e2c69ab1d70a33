#include "config/DocumentMap.h"

#include "xml/XmlScanner.h"

#include <algorithm>
#include <utility>

// The second of CXmlDocument::Load's two steps, keeping the text to cut names and count lines.
void CDocumentMap::LoadRead(XmlTextRead read)
{
    m_fileRead = read.success;
    m_encoding = read.encoding;
    m_text = read.text;
    CXmlDocument doc;
    const bool wellFormed = doc.ParseLoaded(std::move(read.text), read.log);
    m_wellFormed = m_fileRead && wellFormed;
    m_log = doc.GetResultLog();

    m_lineStarts.assign(1, 0);
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == L'\n' || (m_text[i] == L'\r' && (i + 1 == m_text.size() ||
                                                          m_text[i + 1] != L'\n')))
            m_lineStarts.push_back(i + 1);
    }
    m_elements.clear();
    if (m_wellFormed)
        ListElements(doc);
}

// Walks the whole tree with the document's own cursor, without recursion, so that a deeply
// nested file cannot exhaust the stack.
void CDocumentMap::ListElements(CXmlDocument& doc)
{
    if (!doc.FindElement())
        return;
    auto add = [&](int parent) {
        ElementInfo info;
        info.start = doc.GetMainElementStart();
        info.name = NameAt(info.start);
        info.line = LineOf(info.start);
        info.parent = parent;
        info.data = doc.GetElementData();
        m_elements.push_back(std::move(info));
        m_elements.back().subtreeEnd = static_cast<int>(m_elements.size());
        return static_cast<int>(m_elements.size()) - 1;
    };
    std::vector<int> open(1, add(-1));
    while (!open.empty()) {
        if (doc.FindChildElement() && doc.EnterElement()) {
            ++m_elements[open.back()].children;
            open.push_back(add(open.back()));
            continue;
        }
        m_elements[open.back()].subtreeEnd = static_cast<int>(m_elements.size());
        open.pop_back();
        if (open.empty() || !doc.LeaveElement())
            break;
    }
    // Only if the cursor refused to step out: whatever is still open ends at the list end.
    for (int i : open)
        m_elements[i].subtreeEnd = static_cast<int>(m_elements.size());
}

std::wstring CDocumentMap::NameAt(int32_t start) const
{
    if (start < 0 || static_cast<size_t>(start) >= m_text.size())
        return std::wstring();
    CXmlScanner scanner(m_text.data(), m_text.size());
    const size_t begin = static_cast<size_t>(start) + 1;
    return m_text.substr(begin, scanner.NameEnd(begin) - begin);
}

int CDocumentMap::LineOf(long long offset) const
{
    if (offset < 0 || m_lineStarts.empty())
        return 0;
    auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(),
                                  static_cast<size_t>(offset));
    return static_cast<int>(after - m_lineStarts.begin());
}

void CDocumentMap::MarkVisited(const std::vector<int32_t>& starts)
{
    std::vector<std::pair<int32_t, int>> byStart;
    byStart.reserve(m_elements.size());
    for (size_t i = 0; i < m_elements.size(); ++i)
        byStart.emplace_back(m_elements[i].start, static_cast<int>(i));
    std::sort(byStart.begin(), byStart.end());
    for (int32_t start : starts) {
        auto it = std::lower_bound(byStart.begin(), byStart.end(), std::make_pair(start, -1));
        if (it != byStart.end() && it->first == start)
            m_elements[it->second].visited = true;
    }
}

int CDocumentMap::FindVisited(const wchar_t* parentName, const wchar_t* name) const
{
    for (size_t i = 0; i < m_elements.size(); ++i) {
        const ElementInfo& e = m_elements[i];
        if (!e.visited || e.name != name)
            continue;
        if (parentName == nullptr ? e.parent < 0
                                  : e.parent >= 0 && m_elements[e.parent].visited &&
                                        m_elements[e.parent].name == parentName)
            return static_cast<int>(i);
    }
    return -1;
}

int CDocumentMap::FindChild(int element, const wchar_t* name, bool visitedOnly) const
{
    // The list is in document order: an element's descendants are the run right after it.
    for (int i = element + 1; i < m_elements[element].subtreeEnd; i = m_elements[i].subtreeEnd) {
        const ElementInfo& e = m_elements[i];
        if (e.name == name && (e.visited || !visitedOnly))
            return i;
    }
    return -1;
}

bool CDocumentMap::ExtentOf(int element, ElementExtent& extent) const
{
    // The parser accepted the document, so tags pair up: the end tag is the first one at
    // the element's own depth after its start tag.
    CXmlScanner scanner(m_text.data(), m_text.size());
    XmlNode node;
    size_t pos = static_cast<size_t>(m_elements[element].start);
    if (pos >= m_text.size())
        return false;
    scanner.Next(pos, node);
    if (node.kind == XmlNodeKind::EmptyElementTag) {
        extent.startTagEnd = extent.endTagBegin = extent.end = node.end;
        extent.emptyTag = true;
        return true;
    }
    if (node.kind != XmlNodeKind::StartTag)
        return false;
    extent.startTagEnd = node.end;
    extent.emptyTag = false;
    int depth = 0;
    for (pos = node.end; pos < m_text.size(); pos = node.end) {
        scanner.Next(pos, node);
        if (node.kind == XmlNodeKind::StartTag) {
            ++depth;
        } else if (node.kind == XmlNodeKind::EndTag) {
            if (depth == 0) {
                extent.endTagBegin = node.begin;
                extent.end = node.end;
                return true;
            }
            --depth;
        } else if (node.kind == XmlNodeKind::SyntaxError ||
                   node.kind == XmlNodeKind::Unterminated) {
            return false;
        }
    }
    return false;
}

int CDocumentMap::CountDescendants(int element) const
{
    return m_elements[element].subtreeEnd - element - 1;
}
