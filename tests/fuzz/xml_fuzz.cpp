// libFuzzer target for the XML document: parse arbitrary text, check the
// element index for consistency, then walk it with the cursor.
//
// Input layout: byte 0 = mode (bit 0 set: every byte is one UTF-16 unit, the
// top bytes standing for non-ASCII units; clear: little-endian byte pairs),
// byte 1 = number of trailing bytes that drive the cursor, then the text,
// then the cursor bytes.
#include "xml/XmlDocument.h"
#include "xml/XmlEntities.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class CXmlDocumentTestAccess
{
public:
    static const CXmlElementIndex& Index(const CXmlDocument& doc) { return doc.m_index; }
    static const std::wstring& Text(const CXmlDocument& doc) { return doc.m_text; }
};

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant failed: %s\n", what);
        std::abort();
    }
}

wchar_t ByteUnit(uint8_t b)
{
    // A few units outside ASCII so names, references and surrogates get exercised.
    static const wchar_t kHigh[] = {0xE9, 0xC9, 0x3B1, 0xD800, 0xDC00, 0xFEFF, 0xFFFF, 0x4E2D};
    return b >= 0xF8 ? kHigh[b - 0xF8] : static_cast<wchar_t>(b);
}

const std::wstring kNames[] = {
    L"", L"a", L"b", L"c", L"r", L"x", L"product", L"product_code", L"name", L"lang_id",
    L"pelwebinstaller", L"A", L"item", L"_", L":a", L"a b",
};

// Every element is reached exactly once from the document record, links agree
// in both directions, and every record lies inside the text.
void CheckIndex(const CXmlDocument& doc)
{
    const CXmlElementIndex& index = CXmlDocumentTestAccess::Index(doc);
    const std::wstring& text = CXmlDocumentTestAccess::Text(doc);
    if (index.Size() == 0)
        return;
    const int64_t textLength = static_cast<int64_t>(text.size());
    const int32_t size = static_cast<int32_t>(index.Size());
    std::vector<int32_t> work{0};
    std::vector<uint8_t> seen(index.Size(), 0);
    size_t reached = 0;
    while (!work.empty()) {
        int32_t p = work.back();
        work.pop_back();
        int32_t first = index[p].firstChild;
        int32_t prev = 0;
        for (int32_t c = first; c != 0; c = index[c].nextSibling) {
            Check(c > 0 && c < size, "child index in range");
            Check(!seen[c], "element reached once");
            seen[c] = 1;
            ++reached;
            const XmlElementRecord& e = index[c];
            Check(e.parent == p, "parent link");
            Check(((e.flags & XmlElementRecord::kFirstChild) != 0) == (c == first), "first-child flag");
            if (c != first)
                Check(e.prevSibling == prev, "previous sibling link");
            Check(e.start >= 0 && e.length > 0 && e.start + int64_t(e.length) <= textLength, "bounds");
            Check(text[static_cast<size_t>(e.start)] == L'<', "starts at <");
            Check(e.StartTagLength() + int64_t(e.EndTagLength()) <= e.length, "tag lengths");
            Check(text[static_cast<size_t>(e.start) + e.StartTagLength() - 1] == L'>', "start tag ends at >");
            if (e.EndTagLength() != 0)
                Check(text[static_cast<size_t>(e.start + e.length - 1)] == L'>', "end tag ends at >");
            if (p != 0)
                Check(e.start > index[p].start &&
                          e.start + int64_t(e.length) <= index[p].start + int64_t(index[p].length),
                      "inside parent");
            prev = c;
            work.push_back(c);
        }
        if (first != 0)
            Check(index[first].prevSibling == prev, "first child names the last child");
    }
    Check(reached + 1 == index.Size(), "every element reachable");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool byteUnits = (data[0] & 1) != 0;
    size_t commandCount = data[1];
    if (commandCount > size - 2)
        commandCount = size - 2;
    const uint8_t* body = data + 2;
    const size_t bodySize = size - 2 - commandCount;
    const uint8_t* commands = body + bodySize;

    std::wstring text;
    if (byteUnits) {
        for (size_t i = 0; i < bodySize; ++i)
            text += ByteUnit(body[i]);
    } else {
        for (size_t i = 0; i + 1 < bodySize; i += 2)
            text += static_cast<wchar_t>(body[i] | (body[i + 1] << 8));
    }

    CXmlDocument doc;
    const bool wellFormed = doc.Parse(text);
    // The log takes events while shorter than its limit; the last one may quote
    // a tag name of up to 256 units, each escaped to at most 6 ("&quot;").
    Check(doc.GetResultLog().size() < CXmlLog::kMaxLength + 6 * 256 + 100, "log stays bounded");
    Check(!wellFormed || doc.GetResultLog().empty(), "well-formed documents log nothing");
    CheckIndex(doc);

    std::wstring decoded;
    AppendXmlDecoded(text.data(), text.data() + text.size(), decoded);
    Check(decoded.size() <= text.size(), "decoding never grows the text");

    if (wellFormed) {
        const CXmlElementIndex& index = CXmlDocumentTestAccess::Index(doc);
        const int32_t root = index[0].firstChild;
        Check(root != 0 && index[root].nextSibling == 0, "well-formed means exactly one root");
        Check((index[0].flags & XmlElementRecord::kNotWellFormed) == 0, "document mark agrees");
    }

    for (size_t i = 0; i < commandCount; ++i) {
        const uint8_t b = commands[i];
        const std::wstring& name = kNames[(b >> 3) & 15];
        switch (b & 7) {
        case 0: doc.FindElement(name); break;
        case 1: doc.FindChildElement(name); break;
        case 2: doc.EnterElement(); break;
        case 3: doc.LeaveElement(); break;
        case 4: doc.FindElement(); break;
        case 5: doc.FindChildElement(); break;
        default: {
            std::wstring value = doc.GetElementData();
            Check(value.size() <= text.size(), "element data never longer than the text");
            break;
        }
        }
    }
    return 0;
}
