#include "xml/XmlParser.h"

#include <algorithm>

namespace {

// Tag names quoted in the log are cut to this length so that one event about
// a huge tag cannot blow up the log.
constexpr size_t kMaxLoggedName = 256;

// The open-element stack starts small (a manifest is a few levels deep) and doubles.
constexpr size_t kInitialOpenElements = 7;

const wchar_t* MarkupName(XmlMarkupKind kind)
{
    switch (kind) {
    case XmlMarkupKind::StartTag: return L"start_tag";
    case XmlMarkupKind::EndTag: return L"end_tag";
    case XmlMarkupKind::Comment: return L"comment";
    case XmlMarkupKind::CDataSection: return L"cdata_section";
    case XmlMarkupKind::ProcessingInstruction: return L"processing_instruction";
    case XmlMarkupKind::DocumentType: return L"document_type";
    case XmlMarkupKind::Tag: break;
    }
    return L"tag";
}

const wchar_t* SyntaxEvent(XmlSyntaxError error)
{
    switch (error) {
    case XmlSyntaxError::Exclamation: return L"exclamation_tag_syntax";
    case XmlSyntaxError::Comment: return L"comment_tag_syntax";
    case XmlSyntaxError::CDataSection: return L"cdata_section_syntax";
    case XmlSyntaxError::FirstTag:
    case XmlSyntaxError::None: break;
    }
    return L"first_tag_syntax";
}

} // namespace

CXmlParser::CXmlParser(const std::wstring& text, CXmlElementIndex& index, CXmlLog& log,
                       const XmlParseLimits& limits)
    : m_text(text.data()), m_length(text.size()), m_scanner(text.data(), text.size()),
      m_index(index), m_log(log), m_limits(limits)
{
    // Limits may be lowered (tests) but never raised beyond the field widths.
    XmlParseLimits widths;
    m_limits.maxTextLength = std::min(m_limits.maxTextLength, widths.maxTextLength);
    m_limits.maxStartTagLength = std::min(m_limits.maxStartTagLength, widths.maxStartTagLength);
    m_limits.maxEndTagLength = std::min(m_limits.maxEndTagLength, widths.maxEndTagLength);
    m_limits.maxLevel = std::min(m_limits.maxLevel, widths.maxLevel);
    m_limits.maxIndex = std::min(m_limits.maxIndex, widths.maxIndex);
}

bool CXmlParser::Run()
{
    if (m_length > m_limits.maxTextLength) {
        // Offsets would not fit their 32-bit fields: refuse the whole text.
        m_index.Clear();
        m_log.Add(L"text_too_long", nullptr, std::wstring(), L"length",
                  static_cast<long long>(m_length));
        return false;
    }
    if (!m_index.Reset(m_length / 64 + 8)) {
        m_index.Clear();
        m_log.Add(L"element_limit", nullptr, std::wstring(), L"offset", 0);
        return false;
    }
    m_index.SetMaxIndex(m_limits.maxIndex);
    m_index[0].length = static_cast<int32_t>(m_length);
    if (m_length == 0) {
        m_index[0].flags |= XmlElementRecord::kNotWellFormed;
        return false;
    }
    m_open.reserve(kInitialOpenElements);

    XmlNode node;
    size_t pos = 0;
    while (pos < m_length) {
        if (m_text[pos] != L'<') {
            pos = m_scanner.NextMarkup(pos);
            continue;
        }
        m_scanner.Next(pos, node, this);
        switch (node.kind) {
        case XmlNodeKind::StartTag:
        case XmlNodeKind::EmptyElementTag:
            if (!OnStartTag(node))
                node.end = m_length;   // the index is full: nothing more can be added
            break;
        case XmlNodeKind::EndTag: OnEndTag(node); break;
        case XmlNodeKind::SyntaxError: OnSyntaxError(node); break;
        case XmlNodeKind::Unterminated: OnUnterminated(node); break;
        default: break;   // text, CDATA, comments, PIs, DOCTYPE add nothing
        }
        pos = node.end;
    }
    CloseUnended(0, m_length);
    return Finish();
}

bool CXmlParser::Finish()
{
    XmlElementRecord& doc = m_index[0];
    bool wellFormed = !m_notWellFormed;
    if (doc.firstChild == 0) {
        m_log.Add(L"no_root_element");
        wellFormed = false;
    } else if (m_index[doc.firstChild].nextSibling != 0) {
        m_log.Add(L"root_has_sibling");
        wellFormed = false;
    }
    if (!wellFormed)
        doc.flags |= XmlElementRecord::kNotWellFormed;
    return wellFormed;
}

void CXmlParser::MarkError()
{
    m_notWellFormed = true;
    if (!m_open.empty())
        m_index[m_open.back().index].flags |= XmlElementRecord::kContainsError;
}

void CXmlParser::OnDoctypeError(size_t offset)
{
    m_log.Add(L"doctype_tag_syntax", nullptr, std::wstring(), L"offset",
              static_cast<long long>(offset));
    MarkError();
}

void CXmlParser::OnSyntaxError(const XmlNode& node)
{
    m_log.Add(SyntaxEvent(node.error), nullptr, std::wstring(), L"offset",
              static_cast<long long>(node.begin));
    MarkError();
}

void CXmlParser::OnUnterminated(const XmlNode& node)
{
    m_log.Add(L"unterminated_tag_syntax", L"type", MarkupName(node.markup), L"offset",
              static_cast<long long>(node.begin));
    MarkError();
}

// Saves cutting out tag names for events the full log would drop anyway.
bool CXmlParser::LogFull() const
{
    return m_log.Text().size() >= CXmlLog::kMaxLength;
}

std::wstring CXmlParser::LogName(size_t begin, size_t end) const
{
    return std::wstring(m_text + begin, std::min(end - begin, kMaxLoggedName));
}

std::wstring_view CXmlParser::NameOf(const OpenElement& open) const
{
    return std::wstring_view(m_text + open.nameBegin, open.nameLength);
}

bool CXmlParser::OnStartTag(const XmlNode& node)
{
    size_t tagLength = node.end - node.begin;
    if (tagLength > m_limits.maxStartTagLength) {
        m_log.Add(L"tag_too_long", L"type", L"start_tag", L"offset",
                  static_cast<long long>(node.begin));
        MarkError();
        return true;
    }
    size_t level = m_open.size();
    if (level > m_limits.maxLevel) {
        m_log.Add(L"nesting_too_deep", nullptr, std::wstring(), L"offset",
                  static_cast<long long>(node.begin));
        MarkError();
        return true;
    }
    int32_t element = m_index.Append();
    if (element < 0) {
        m_log.Add(L"element_limit", nullptr, std::wstring(), L"offset",
                  static_cast<long long>(node.begin));
        MarkError();
        return false;
    }
    int32_t parent = m_open.empty() ? 0 : m_open.back().index;
    XmlElementRecord& record = m_index[element];
    record.start = static_cast<int32_t>(node.begin);
    record.length = static_cast<int32_t>(tagLength);
    record.SetTagLengths(static_cast<uint32_t>(tagLength), 0);
    record.flags = static_cast<uint32_t>(level);
    record.parent = parent;
    LinkAsLastChild(parent, element);
    if (node.kind == XmlNodeKind::StartTag) {
        if (m_open.size() == m_open.capacity())
            m_open.reserve(m_open.capacity() * 2);
        m_open.push_back(OpenElement{element, static_cast<uint32_t>(node.nameBegin),
                                     static_cast<uint32_t>(node.nameEnd - node.nameBegin)});
    }
    return true;
}

void CXmlParser::LinkAsLastChild(int32_t parent, int32_t element)
{
    XmlElementRecord& p = m_index[parent];
    XmlElementRecord& e = m_index[element];
    if (p.firstChild == 0) {
        p.firstChild = element;
        e.flags |= XmlElementRecord::kFirstChild;
        e.prevSibling = element;
        return;
    }
    XmlElementRecord& first = m_index[p.firstChild];
    m_index[first.prevSibling].nextSibling = element;
    e.prevSibling = first.prevSibling;
    first.prevSibling = element;
}

void CXmlParser::OnEndTag(const XmlNode& node)
{
    size_t tagLength = node.end - node.begin;
    if (tagLength > m_limits.maxEndTagLength) {
        m_log.Add(L"tag_too_long", L"type", L"end_tag", L"offset",
                  static_cast<long long>(node.begin));
        MarkError();
        return;
    }
    std::wstring_view name(m_text + node.nameBegin, node.nameEnd - node.nameBegin);
    long depth = (!m_open.empty() && NameOf(m_open.back()) == name)
                     ? static_cast<long>(m_open.size()) - 1
                     : FindOpen(name);
    if (depth < 0) {
        if (!LogFull())
            m_log.Add(L"lone_end_tag", L"tagname", LogName(node.nameBegin, node.nameEnd), L"offset",
                      static_cast<long long>(node.begin));
        m_notWellFormed = true;
        return;
    }
    CloseUnended(static_cast<size_t>(depth) + 1, node.begin);
    XmlElementRecord& record = m_index[m_open.back().index];
    record.length = static_cast<int32_t>(node.end) - record.start;
    record.SetTagLengths(record.StartTagLength(), static_cast<uint32_t>(tagLength));
    Pop();
}

// Depth of the innermost open element called `name`, or -1. Every entry this
// looks at above the match is closed as unended right after, and the name
// counts are only built once per entry, so the cost stays linear overall.
long CXmlParser::FindOpen(std::wstring_view name)
{
    for (size_t i = m_open.size(); i > m_counted; --i)
        if (NameOf(m_open[i - 1]) == name)
            return static_cast<long>(i - 1);
    for (; m_counted < m_open.size(); ++m_counted)
        ++m_openNames[NameOf(m_open[m_counted])];
    if (m_openNames.find(name) == m_openNames.end())
        return -1;
    for (size_t i = m_open.size(); i > 0; --i)
        if (NameOf(m_open[i - 1]) == name)
            return static_cast<long>(i - 1);
    return -1;
}

void CXmlParser::Pop()
{
    if (m_open.size() <= m_counted) {
        auto it = m_openNames.find(NameOf(m_open.back()));
        if (it != m_openNames.end() && --it->second == 0)
            m_openNames.erase(it);
        m_counted = m_open.size() - 1;
    }
    m_open.pop_back();
}

// Closes the open elements from `fromDepth` up as unended: each keeps only its
// start tag, and its children follow it as siblings. Hoisting outermost first
// moves every child once, straight to its final parent.
void CXmlParser::CloseUnended(size_t fromDepth, size_t position)
{
    if (fromDepth >= m_open.size())
        return;
    m_notWellFormed = true;
    for (size_t i = m_open.size(); i > fromDepth; --i) {
        const OpenElement& open = m_open[i - 1];
        XmlElementRecord& record = m_index[open.index];
        record.flags |= XmlElementRecord::kUnended;
        if (!LogFull())
            m_log.Add(L"unended_start_tag", L"tagname",
                      LogName(open.nameBegin, open.nameBegin + open.nameLength), L"offset",
                      record.start, true, static_cast<long long>(position));
    }
    for (size_t i = fromDepth; i < m_open.size(); ++i)
        HoistChildren(m_open[i].index);
    while (m_open.size() > fromDepth)
        Pop();
}

// Moves the children of `element` (the last child of its parent, being still
// open) up to follow it. Their nesting levels keep the depth at which their
// start tags appeared.
void CXmlParser::HoistChildren(int32_t element)
{
    XmlElementRecord& e = m_index[element];
    int32_t first = e.firstChild;
    if (first == 0)
        return;
    int32_t parent = e.parent;
    int32_t last = m_index[first].prevSibling;
    for (int32_t c = first; c != 0; c = m_index[c].nextSibling)
        m_index[c].parent = parent;
    m_index[first].flags &= ~XmlElementRecord::kFirstChild;
    m_index[first].prevSibling = element;
    e.nextSibling = first;
    e.firstChild = 0;
    m_index[m_index[parent].firstChild].prevSibling = last;
}
