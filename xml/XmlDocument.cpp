#include "xml/XmlDocument.h"

#include "xml/XmlEntities.h"
#include "xml/XmlScanner.h"

#include <atomic>
#include <utility>

namespace {

std::atomic<IXmlFindObserver*> g_findObserver{nullptr};

} // namespace

CXmlDocument::CXmlDocument() = default;

IXmlFindObserver* CXmlDocument::SetFindObserver(IXmlFindObserver* observer)
{
    return g_findObserver.exchange(observer, std::memory_order_acq_rel);
}

void CXmlDocument::ReportFound(int32_t element) const
{
    if (IXmlFindObserver* observer = g_findObserver.load(std::memory_order_acquire))
        observer->OnElementFound(m_index[element].start);
}

int32_t CXmlDocument::GetMainElementStart() const
{
    return m_main == 0 ? -1 : m_index[m_main].start;
}

bool CXmlDocument::Parse(const std::wstring& text)
{
    m_text = text;
    m_log.Clear();
    return ParseText();
}

bool CXmlDocument::ParseLoaded(std::wstring&& text, const CXmlLog& readerLog)
{
    m_text = std::move(text);
    m_log = readerLog;
    return ParseText();
}

bool CXmlDocument::ParseText()
{
    m_parent = m_main = m_child = 0;
    CXmlParser parser(m_text, m_index, m_log, m_limits);
    return parser.Run();
}

const std::wstring& CXmlDocument::GetResultLog() const
{
    return m_log.Text();
}

// A refused parse leaves no document record; every search then fails.
int32_t CXmlDocument::FirstChildOf(int32_t element) const
{
    return m_index.Size() == 0 ? 0 : m_index[element].firstChild;
}

// The tag name is read from the text: from after the '<' up to the first unit
// that cannot be part of it. Comparison is exact and case-sensitive, and the
// whole name must match ("product" never matches "product_code").
bool CXmlDocument::NameEquals(int32_t element, const std::wstring& name) const
{
    if (name.empty())
        return true;
    CXmlScanner scanner(m_text.data(), m_text.size());
    size_t begin = static_cast<size_t>(m_index[element].start) + 1;
    size_t end = scanner.NameEnd(begin);
    return end - begin == name.size() && m_text.compare(begin, name.size(), name) == 0;
}

int32_t CXmlDocument::FindSibling(int32_t from, const std::wstring& name) const
{
    for (int32_t e = from; e != 0; e = m_index[e].nextSibling)
        if (NameEquals(e, name))
            return e;
    return 0;
}

bool CXmlDocument::FindElement(const std::wstring& name)
{
    int32_t from = m_main != 0 ? m_index[m_main].nextSibling : FirstChildOf(m_parent);
    int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    m_main = found;
    m_parent = m_index[found].parent;
    m_child = 0;
    ReportFound(found);
    return true;
}

bool CXmlDocument::FindChildElement(const std::wstring& name)
{
    if (m_main == 0 && !FindElement())
        return false;
    int32_t from = m_child != 0 ? m_index[m_child].nextSibling : m_index[m_main].firstChild;
    int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    m_child = found;
    ReportFound(found);
    return true;
}

bool CXmlDocument::EnterElement()
{
    if (m_main == 0)
        return false;
    // With no child position the cursor stands before the first child of the
    // old main position; the next FindElement starts there.
    m_parent = m_main;
    m_main = m_child;
    m_child = 0;
    return true;
}

bool CXmlDocument::LeaveElement()
{
    if (m_parent == 0)
        return false;
    m_child = m_main;
    m_main = m_parent;
    m_parent = m_index[m_parent].parent;
    return true;
}

std::wstring CXmlDocument::GetElementData() const
{
    std::wstring data;
    if (m_main == 0)
        return data;
    const XmlElementRecord& record = m_index[m_main];
    if (record.IsEmpty() || record.firstChild != 0)
        return data;
    size_t begin = static_cast<size_t>(record.start) + record.StartTagLength();
    size_t end = static_cast<size_t>(record.start) + static_cast<size_t>(record.length) -
                 record.EndTagLength();
    if (begin >= end)
        return data;
    if (m_text.find(L'<', begin) >= end)
        AppendXmlDecoded(m_text.data() + begin, m_text.data() + end, data);
    else
        AppendMixedContent(begin, end, data);
    return data;
}

// Content with markup: the text nodes that are not whitespace only, decoded,
// and the inner text of CDATA sections as it stands. Comments, processing
// instructions and other markup add nothing. The scanner only sees the
// content, so nothing it finds can reach past the element's end tag.
void CXmlDocument::AppendMixedContent(size_t begin, size_t end, std::wstring& out) const
{
    const wchar_t* text = m_text.data();
    CXmlScanner scanner(text, end);
    XmlNode node;
    for (size_t pos = begin; pos < end; pos = node.end) {
        scanner.Next(pos, node);
        switch (node.kind) {
        case XmlNodeKind::SyntaxError:
            // A '<' that starts no markup is kept as text.
            node.end = scanner.NextMarkup(pos + 1);
            AppendXmlDecoded(text + pos, text + node.end, out);
            break;
        case XmlNodeKind::Text: {
            bool whitespaceOnly = true;
            for (size_t i = pos; i < node.end && whitespaceOnly; ++i)
                whitespaceOnly = CXmlScanner::IsWhitespace(text[i]);
            if (!whitespaceOnly)
                AppendXmlDecoded(text + pos, text + node.end, out);
            break;
        }
        case XmlNodeKind::CDataSection:
            out.append(text + node.innerBegin, node.innerEnd - node.innerBegin);
            break;
        default:
            break;
        }
    }
}
