// In-memory dialog templates for tests: a base that appends words as the DLGTEMPLATE layout
// wants them.
#pragma once

#include <windows.h>

#include <vector>

namespace testing_support {

class CTemplateWords
{
public:
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

protected:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t* s)
    {
        for (; *s; ++s)
            Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Align() { if (m_words.size() % 2) Word(0); }
    std::vector<WORD> m_words;
};

} // namespace testing_support
