// Result log of the XML reader: one empty element per event, appended only
// while the log is shorter than 1,000 characters so that a hostile document
// cannot make it grow without bound.
#pragma once

#include <string>

class CXmlLog
{
public:
    static constexpr size_t kMaxLength = 1000;

    // One event: <event textName="text" numName="num" offset2="n"/>.
    // A null attribute name leaves that attribute out.
    void Add(const wchar_t* event,
             const wchar_t* textName = nullptr, const std::wstring& text = std::wstring(),
             const wchar_t* numName = nullptr, long long num = 0,
             bool withOffset2 = false, long long offset2 = 0);

    // Appends another log's events (still subject to the length limit).
    void Append(const CXmlLog& other);

    void Clear() { m_text.clear(); }
    const std::wstring& Text() const { return m_text; }

private:
    std::wstring m_text;
};
