#include "xml/XmlLog.h"

namespace {

void AppendNumber(std::wstring& out, long long value)
{
    wchar_t digits[24];
    int n = 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        out += L'-';
    while (n > 0)
        out += digits[--n];
}

// Attribute values are escaped so that the log stays a readable XML fragment
// even when it quotes text from a broken document.
void AppendEscaped(std::wstring& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c; break;
        }
    }
}

} // namespace

void CXmlLog::Add(const wchar_t* event, const wchar_t* textName, const std::wstring& text,
                  const wchar_t* numName, long long num, bool withOffset2, long long offset2)
{
    if (m_text.size() >= kMaxLength)
        return;
    m_text += L'<';
    m_text += event;
    if (textName) {
        m_text += L' ';
        m_text += textName;
        m_text += L"=\"";
        AppendEscaped(m_text, text);
        m_text += L'"';
    }
    if (numName) {
        m_text += L' ';
        m_text += numName;
        m_text += L"=\"";
        AppendNumber(m_text, num);
        m_text += L'"';
    }
    if (withOffset2) {
        m_text += L" offset2=\"";
        AppendNumber(m_text, offset2);
        m_text += L'"';
    }
    m_text += L"/>";
}

void CXmlLog::Append(const CXmlLog& other)
{
    // Events are whole elements; copy them one by one so the limit applies per event.
    const std::wstring& src = other.m_text;
    size_t pos = 0;
    while (pos < src.size() && m_text.size() < kMaxLength) {
        size_t end = src.find(L"/>", pos);
        end = (end == std::wstring::npos) ? src.size() : end + 2;
        m_text.append(src, pos, end - pos);
        pos = end;
    }
}
