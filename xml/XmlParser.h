// Builds the element index of a document text and logs what is wrong with it.
#pragma once

#include "xml/XmlElementIndex.h"
#include "xml/XmlLog.h"
#include "xml/XmlScanner.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// What the index can represent. A tag, a nesting level or an element count
// beyond these is reported instead of being wrapped into its field.
struct XmlParseLimits
{
    size_t maxTextLength = 0x7FFFFFFF;                               // offsets are 32-bit signed
    uint32_t maxStartTagLength = XmlElementRecord::kMaxStartTagLength;
    uint32_t maxEndTagLength = XmlElementRecord::kMaxEndTagLength;
    uint32_t maxLevel = XmlElementRecord::kLevelMask;
    int32_t maxIndex = CXmlElementIndex::kMaxIndex;
};

class CXmlParser : private IXmlDoctypeErrorSink
{
public:
    CXmlParser(const std::wstring& text, CXmlElementIndex& index, CXmlLog& log,
               const XmlParseLimits& limits);

    // Builds the index from scratch; returns whether the document is well-formed.
    bool Run();

private:
    struct OpenElement
    {
        int32_t index;
        uint32_t nameBegin;
        uint32_t nameLength;
    };

    void OnDoctypeError(size_t offset) override;
    bool OnStartTag(const XmlNode& node);
    void OnEndTag(const XmlNode& node);
    void OnSyntaxError(const XmlNode& node);
    void OnUnterminated(const XmlNode& node);
    void MarkError();
    void LinkAsLastChild(int32_t parent, int32_t element);
    void HoistChildren(int32_t element);
    void CloseUnended(size_t fromDepth, size_t position);
    void Pop();
    long FindOpen(std::wstring_view name);
    std::wstring_view NameOf(const OpenElement& open) const;
    bool LogFull() const;
    std::wstring LogName(size_t begin, size_t end) const;
    bool Finish();

    const wchar_t* m_text;
    size_t m_length;
    CXmlScanner m_scanner;
    CXmlElementIndex& m_index;
    CXmlLog& m_log;
    XmlParseLimits m_limits;
    bool m_notWellFormed = false;

    // Open elements, innermost last. End tags normally close the innermost
    // one; the name counts below answer "is this name open at all?" for the
    // rest, so that stray end tags never rescan a deep stack. Only the
    // entries below m_counted are counted: counting starts lazily, the first
    // time an end tag does not match the innermost element.
    std::vector<OpenElement> m_open;
    std::map<std::wstring_view, uint32_t> m_openNames;
    size_t m_counted = 0;
};
