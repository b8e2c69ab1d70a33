#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

// Reaches the private index and limits of a document.
class CXmlDocumentTestAccess
{
public:
    static const CXmlElementIndex& Index(const CXmlDocument& doc) { return doc.m_index; }
    static XmlParseLimits& Limits(CXmlDocument& doc) { return doc.m_limits; }
};

namespace {

using R = XmlElementRecord;

std::wstring Repeat(const std::wstring& s, size_t n)
{
    std::wstring out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

int32_t Off(const std::wstring& text, const std::wstring& part, size_t from = 0)
{
    return static_cast<int32_t>(text.find(part, from));
}

const XmlElementRecord& Rec(const CXmlDocument& doc, int32_t i)
{
    return CXmlDocumentTestAccess::Index(doc)[i];
}

// Data of the child element `name` of the main position, the way the
// manifest reader takes a value: find, step in, read, step out.
std::wstring ChildData(CXmlDocument& doc, const std::wstring& name)
{
    if (!doc.FindChildElement(name) || !doc.EnterElement())
        return L"<missing>";
    std::wstring data = doc.GetElementData();
    doc.LeaveElement();
    return data;
}

std::wstring DataOf(const std::wstring& text)
{
    CXmlDocument doc;
    doc.Parse(text);
    if (!doc.FindElement())
        return L"<no element>";
    return doc.GetElementData();
}

} // namespace

// ---- Cursor ----

TEST(XmlDocumentCursor, ChildSearchContinuesAfterThePreviousMatch)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<a><b>x</b><c>y</c></a>"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    EXPECT_TRUE(doc.FindChildElement(L"c"));
    EXPECT_FALSE(doc.FindChildElement(L"b"));
}

TEST(XmlDocumentCursor, FailedChildSearchKeepsTheChildPosition)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<a><b/><c/><d>4</d></a>"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    ASSERT_TRUE(doc.FindChildElement(L"c"));
    EXPECT_FALSE(doc.FindChildElement(L"x"));
    EXPECT_FALSE(doc.FindChildElement(L"b"));
    EXPECT_EQ(ChildData(doc, L"d"), L"4");
}

TEST(XmlDocumentCursor, EnterWithoutChildStandsBeforeTheFirstChild)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<a><b>1</b><c>2</c><b>3</b></a>"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    EXPECT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetElementData(), L"");       // no main position
    EXPECT_FALSE(doc.EnterElement());           // nothing to enter from
    ASSERT_TRUE(doc.FindElement(L"c"));
    EXPECT_EQ(doc.GetElementData(), L"2");
    ASSERT_TRUE(doc.FindElement(L"b"));         // continues after c
    EXPECT_EQ(doc.GetElementData(), L"3");
    EXPECT_FALSE(doc.FindElement(L"b"));
    EXPECT_EQ(doc.GetElementData(), L"3");      // failure leaves the cursor
    // Leaving makes the old main position the child: a child search goes on after it.
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_FALSE(doc.FindChildElement(L"c"));
    EXPECT_FALSE(doc.LeaveElement());           // a is at the top level
}

TEST(XmlDocumentCursor, ChildSearchFromNoPositionTakesTheFirstElement)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<!-- c --><a><b>v</b></a>"));
    EXPECT_EQ(ChildData(doc, L"b"), L"v");
    EXPECT_FALSE(doc.FindElement());            // a has no sibling
}

TEST(XmlDocumentCursor, NamesMatchExactlyAndWhole)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<r><Product>1</Product><product_code>2</product_code>"
                          L"<product x='1'>3</product><product_code2/></r>"));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(ChildData(doc, L"product"), L"3");
    EXPECT_FALSE(doc.FindChildElement(L"product_code"));   // it came before product
    ASSERT_TRUE(doc.Parse(L"<r><product>1</product><product_code>2</product_code></r>"));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(ChildData(doc, L"product_code"), L"2");
    EXPECT_FALSE(doc.FindElement(L"Product"));
    ASSERT_TRUE(doc.Parse(L"<r><product_code>2</product_code></r>"));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_FALSE(doc.FindChildElement(L"product"));
    EXPECT_FALSE(doc.FindChildElement(L"Product_code"));
    EXPECT_FALSE(doc.FindChildElement(L"product_cod"));
    EXPECT_FALSE(doc.FindChildElement(L"product_code "));
}

TEST(XmlDocumentCursor, EmptyDocumentAndFreshObjectFindNothing)
{
    CXmlDocument fresh;
    EXPECT_FALSE(fresh.FindElement());
    EXPECT_FALSE(fresh.FindChildElement());
    EXPECT_FALSE(fresh.EnterElement());
    EXPECT_FALSE(fresh.LeaveElement());
    EXPECT_EQ(fresh.GetElementData(), L"");
    EXPECT_EQ(fresh.GetResultLog(), L"");

    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L"just text"));
    EXPECT_FALSE(doc.FindElement());
    EXPECT_FALSE(doc.FindChildElement());
}

TEST(XmlDocumentCursor, ReadsAManifestInDocumentOrder)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(
        L"<?xml version=\"1.0\"?>\n<pelwebinstaller>\n"
        L"  <web_installer_version>7.0.0.10</web_installer_version>\n"
        L"  <product>\n    <pid>P</pid>\n    <registry>SOFTWARE\\Pel</registry>\n"
        L"    <main_component><name>m.msi</name><full_url>u</full_url></main_component>\n"
        L"    <language_pack><lang_id>1031</lang_id></language_pack>\n"
        L"    <language_pack><lang_id>1036</lang_id></language_pack>\n"
        L"  </product>\n</pelwebinstaller>\n"));
    ASSERT_TRUE(doc.FindElement(L"pelwebinstaller"));
    EXPECT_EQ(ChildData(doc, L"web_installer_version"), L"7.0.0.10");
    ASSERT_TRUE(doc.FindChildElement(L"product"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(ChildData(doc, L"pid"), L"P");
    EXPECT_EQ(ChildData(doc, L"short_name"), L"<missing>");
    EXPECT_EQ(ChildData(doc, L"registry"), L"SOFTWARE\\Pel");
    // Step into the last value found; later lookups are sibling searches.
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(L"main_component"));
    EXPECT_EQ(ChildData(doc, L"name"), L"m.msi");
    std::wstring ids;
    while (doc.FindElement(L"language_pack"))
        ids += ChildData(doc, L"lang_id") + L";";
    EXPECT_EQ(ids, L"1031;1036;");
}

// ---- Element data ----

TEST(XmlDocumentData, WhitespaceIsKeptAroundPlainText)
{
    EXPECT_EQ(DataOf(L"<a> x </a>"), L" x ");
    EXPECT_EQ(DataOf(L"<a>\r\n\tline\r\n</a>"), L"\r\n\tline\r\n");
    EXPECT_EQ(DataOf(L"<a>   </a>"), L"   ");
}

TEST(XmlDocumentData, MarkupInsideContentIsSkipped)
{
    EXPECT_EQ(DataOf(L"<a>\n  <!-- c -->x</a>"), L"x");
    EXPECT_EQ(DataOf(L"<a> p <?pi x?> q <!--c--></a>"), L" p  q ");
    EXPECT_EQ(DataOf(L"<a>  <!--c-->  </a>"), L"");
    EXPECT_EQ(DataOf(L"<a><?pi?></a>"), L"");
}

TEST(XmlDocumentData, CDataInnerTextIsVerbatim)
{
    EXPECT_EQ(DataOf(L"<a> <![CDATA[<&amp;> x]]> </a>"), L"<&amp;> x");
    EXPECT_EQ(DataOf(L"<a>p&lt;<![CDATA[q]]>r<?pi?>s</a>"), L"p<qrs");
    EXPECT_EQ(DataOf(L"<a><![CDATA[]]></a>"), L"");
    // The letters after "<![C" are not checked.
    EXPECT_EQ(DataOf(L"<a><![Cxxxx[in]]></a>"), L"in");
}

TEST(XmlDocumentData, ShortCDataSectionNeverReadsBackwards)
{
    // "<![C]]>" ends before the nine units of "<![CDATA[": its inner text is empty.
    EXPECT_EQ(DataOf(L"<a><![C]]>z</a>"), L"z");
    EXPECT_EQ(DataOf(L"<a>y<![C]]></a>"), L"y");
    EXPECT_EQ(DataOf(L"<a><![CDA]]></a>"), L"");
}

TEST(XmlDocumentData, ElementsWithChildrenOrEmptyGiveNothing)
{
    EXPECT_EQ(DataOf(L"<a>x<b/></a>"), L"");
    EXPECT_EQ(DataOf(L"<a/>"), L"");
    EXPECT_EQ(DataOf(L"<a></a>"), L"");
    EXPECT_EQ(DataOf(L"<a x='1' />"), L"");
}

TEST(XmlDocumentData, ReferencesAreDecoded)
{
    EXPECT_EQ(DataOf(L"<a>&amp;&lt;&#65;&#x42;&AMP;</a>"), L"&<AB&");
    EXPECT_EQ(DataOf(L"<a>&unknown;&#0;&</a>"), L"&unknown;&#0;&");
    EXPECT_EQ(DataOf(L"<a>&eacute;</a>"), std::wstring(1, static_cast<wchar_t>(0xE9)));
    EXPECT_EQ(DataOf(L"<a>&Eacute;</a>"), std::wstring(1, static_cast<wchar_t>(0xC9)));
    EXPECT_EQ(DataOf(L"<a>&EACUTE;</a>"), std::wstring(1, static_cast<wchar_t>(0xC9)));
    // A reference cannot reach across markup: each text node decodes alone.
    EXPECT_EQ(DataOf(L"<a>&amp<!---->;</a>"), L"&amp;");
}

// ---- Parsing and the log ----

TEST(XmlDocumentParse, TextCommentsAndDeclarationsAroundTheRootAreAccepted)
{
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(L"\xFEFFlead<?xml version='1.0'?><!-- c --><r>v</r>tail<!--d--><?pi?>"));
    EXPECT_EQ(doc.GetResultLog(), L"");
    EXPECT_EQ(Rec(doc, 0).flags & R::kNotWellFormed, 0u);
}

TEST(XmlDocumentParse, NoRootAndRootSibling)
{
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L""));
    EXPECT_EQ(doc.GetResultLog(), L"");
    EXPECT_NE(Rec(doc, 0).flags & R::kNotWellFormed, 0u);
    EXPECT_FALSE(doc.Parse(L"<!-- only a comment -->"));
    EXPECT_EQ(doc.GetResultLog(), L"<no_root_element/>");
    EXPECT_FALSE(doc.Parse(L" \r\n"));
    EXPECT_EQ(doc.GetResultLog(), L"<no_root_element/>");
    EXPECT_FALSE(doc.Parse(L"<a/><b/>"));
    EXPECT_EQ(doc.GetResultLog(), L"<root_has_sibling/>");
    EXPECT_NE(Rec(doc, 0).flags & R::kNotWellFormed, 0u);
    // Both top-level elements are still indexed and reachable.
    EXPECT_TRUE(doc.FindElement(L"b"));
}

TEST(XmlDocumentParse, EmptyElementTagForms)
{
    std::wstring text = L"<r><x/><x /><x a=\"1\"/><x a='1'\t/><x a=1/></r>";
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(text));
    for (int32_t i = 2; i <= 5; ++i) {
        EXPECT_TRUE(Rec(doc, i).IsEmpty()) << i;
        EXPECT_EQ(Rec(doc, i).EndTagLength(), 0u);
        EXPECT_EQ(Rec(doc, i).flags & R::kUnended, 0u);
    }
    // In <x a=1/> the slash belongs to the value: a start tag left open.
    EXPECT_NE(Rec(doc, 6).flags & R::kUnended, 0u);
    EXPECT_EQ(doc.GetResultLog(),
              L"<unended_start_tag tagname=\"x\" offset=\"" + std::to_wstring(Off(text, L"<x a=1")) +
                  L"\" offset2=\"" + std::to_wstring(Off(text, L"</r>")) + L"\"/>");
}

TEST(XmlDocumentParse, QuotedGreaterThanStaysInsideTheTag)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<r a=\"x>y\" b = '>/'>data</r>"));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(doc.GetElementData(), L"data");
    // A quote that is not an attribute value does not open one.
    ASSERT_TRUE(doc.Parse(L"<r don't>data</r>"));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(doc.GetElementData(), L"data");
}

TEST(XmlDocumentParse, DocumentTypeWithInternalSubset)
{
    CXmlDocument doc;
    std::wstring subset = L"<!DOCTYPE r SYSTEM \"r>.dtd\" [\n <!ELEMENT r (#PCDATA)>\n"
                          L" <!ATTLIST r a CDATA \"x>]y\">\n <!ENTITY e '<v>'>\n"
                          L" <!NOTATION n SYSTEM \"n\">\n <!-- a <!x> comment -->\n <?pi ]> ?>\n]>";
    EXPECT_TRUE(doc.Parse(subset + L"<r>v</r>"));
    EXPECT_EQ(doc.GetResultLog(), L"");
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(doc.GetElementData(), L"v");

    std::wstring bad = L"<!DOCTYPE r [ <!ELEMENT r ANY> <!X> <x> ]><r/>";
    EXPECT_FALSE(doc.Parse(bad));
    EXPECT_EQ(doc.GetResultLog(),
              L"<doctype_tag_syntax offset=\"" + std::to_wstring(Off(bad, L"<!X")) +
                  L"\"/><doctype_tag_syntax offset=\"" + std::to_wstring(Off(bad, L"<x>")) + L"\"/>");
    EXPECT_TRUE(doc.FindElement(L"r"));
}

TEST(XmlDocumentParse, SyntaxErrorsAreLoggedAndMarkTheOpenElement)
{
    struct Case { const wchar_t* text; const wchar_t* event; };
    const Case cases[] = {
        {L"<r>< x</r>", L"first_tag_syntax"},
        {L"<r><1></r>", L"first_tag_syntax"},
        {L"<r><[x></r>", L"first_tag_syntax"},
        {L"<r><!x></r>", L"exclamation_tag_syntax"},
        {L"<r><!-x--></r>", L"comment_tag_syntax"},
        {L"<r><![X[a]]></r>", L"cdata_section_syntax"},
    };
    for (const Case& c : cases) {
        CXmlDocument doc;
        EXPECT_FALSE(doc.Parse(c.text)) << c.event;
        EXPECT_EQ(doc.GetResultLog(), std::wstring(L"<") + c.event + L" offset=\"3\"/>");
        EXPECT_NE(Rec(doc, 1).flags & R::kContainsError, 0u) << c.text;
        EXPECT_EQ(Rec(doc, 1).flags & R::kUnended, 0u) << c.text;   // scanning went on
    }
    // Outside every element the error only marks the document.
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L"<=><r/>"));
    EXPECT_EQ(Rec(doc, 1).flags & R::kContainsError, 0u);
    EXPECT_NE(Rec(doc, 0).flags & R::kNotWellFormed, 0u);
}

TEST(XmlDocumentParse, MarkupStartCharacters)
{
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(L"<_r><:a/><Zb/><\x00E9t/><{/></_r>"));
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Size(), 6u);
    EXPECT_FALSE(doc.Parse(L"<r><`/></r>"));
    EXPECT_TRUE(Contains(doc.GetResultLog(), L"first_tag_syntax"));
}

TEST(XmlDocumentParse, UnterminatedMarkupNamesItsKind)
{
    struct Case { const wchar_t* tail; const wchar_t* type; };
    const Case cases[] = {
        {L"<", L"tag"}, {L"<!", L"tag"}, {L"<!-", L"tag"}, {L"<![", L"tag"},
        {L"<a b='>", L"start_tag"}, {L"<a", L"start_tag"}, {L"</r", L"end_tag"},
        {L"<!-- x -", L"comment"}, {L"<![CDATA[x]]", L"cdata_section"},
        {L"<?pi ?", L"processing_instruction"}, {L"<!DOCTYPE r [ <!ELEMENT r", L"document_type"},
        {L"<!DOCTYPE r 'x>", L"document_type"},
    };
    for (const Case& c : cases) {
        std::wstring text = std::wstring(L"<r>") + c.tail;
        CXmlDocument doc;
        EXPECT_FALSE(doc.Parse(text)) << c.tail;
        EXPECT_EQ(doc.GetResultLog(),
                  std::wstring(L"<unterminated_tag_syntax type=\"") + c.type +
                      L"\" offset=\"3\"/><unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"" +
                      std::to_wstring(text.size()) + L"\"/>")
            << c.tail;
    }
}

TEST(XmlDocumentParse, LoneEndTagIsIgnored)
{
    CXmlDocument doc;
    std::wstring text = L"<r><a>1</a></x><b>2</b></r>";
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_EQ(doc.GetResultLog(),
              L"<lone_end_tag tagname=\"x\" offset=\"" + std::to_wstring(Off(text, L"</x>")) + L"\"/>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(ChildData(doc, L"a"), L"1");
    EXPECT_EQ(ChildData(doc, L"b"), L"2");
    EXPECT_EQ(Rec(doc, 1).length, static_cast<int32_t>(text.size()));
}

TEST(XmlDocumentParse, UnendedElementsHandTheirChildrenToTheirParent)
{
    std::wstring text = L"<r><u><x/><y>t</y><v><w/></r>";
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(text));
    std::wstring end = std::to_wstring(Off(text, L"</r>"));
    // Innermost first.
    EXPECT_EQ(doc.GetResultLog(),
              L"<unended_start_tag tagname=\"v\" offset=\"" + std::to_wstring(Off(text, L"<v>")) +
                  L"\" offset2=\"" + end + L"\"/><unended_start_tag tagname=\"u\" offset=\"3\" offset2=\"" +
                  end + L"\"/>");
    // r = 1, u = 2, x = 3, y = 4, v = 5, w = 6: now all children of r in text order.
    const int32_t order[] = {2, 3, 4, 5, 6};
    for (size_t i = 0; i < 5; ++i) {
        const R& e = Rec(doc, order[i]);
        EXPECT_EQ(e.parent, 1) << i;
        EXPECT_EQ(e.firstChild, 0) << i;
        EXPECT_EQ(e.nextSibling, i + 1 < 5 ? order[i + 1] : 0) << i;
        EXPECT_EQ(e.prevSibling, i > 0 ? order[i - 1] : 6) << i;   // first child: the last one
        EXPECT_EQ((e.flags & R::kFirstChild) != 0, i == 0) << i;
    }
    EXPECT_EQ(Rec(doc, 1).firstChild, 2);
    EXPECT_NE(Rec(doc, 2).flags & R::kUnended, 0u);
    EXPECT_EQ(Rec(doc, 2).length, 3);                    // its start tag alone
    EXPECT_NE(Rec(doc, 5).flags & R::kUnended, 0u);
    EXPECT_EQ(Rec(doc, 4).flags & R::kUnended, 0u);
    EXPECT_EQ(Rec(doc, 1).length, static_cast<int32_t>(text.size()));
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(ChildData(doc, L"u"), L"");
    EXPECT_EQ(ChildData(doc, L"y"), L"t");
    EXPECT_EQ(ChildData(doc, L"w"), L"");
}

TEST(XmlDocumentParse, UnendedAtTheEndBecomeTopLevel)
{
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L"<r><a>t</a>"));
    EXPECT_EQ(doc.GetResultLog(),
              L"<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"11\"/><root_has_sibling/>");
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    EXPECT_EQ(doc.GetElementData(), L"t");
    EXPECT_EQ(Rec(doc, 2).parent, 0);
}

TEST(XmlDocumentParse, EndTagsMatchTheInnermostOpenElementOfTheirName)
{
    // Stray end tags start the name counts; later tags must still pair up.
    CXmlDocument doc;
    std::wstring text = L"<a><a><q></z></q><b></a></a></a>";
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_EQ(doc.GetResultLog(),
              L"<lone_end_tag tagname=\"z\" offset=\"9\"/><unended_start_tag tagname=\"b\" offset=\"" +
                  std::to_wstring(Off(text, L"<b>")) + L"\" offset2=\"" +
                  std::to_wstring(Off(text, L"</a>")) + L"\"/><lone_end_tag tagname=\"a\" offset=\"" +
                  std::to_wstring(Off(text, L"</a></a>", Off(text, L"</a>") + 1) + 4) + L"\"/>");
    EXPECT_EQ(Rec(doc, 2).start + Rec(doc, 2).length, Off(text, L"</a>") + 4);   // inner a
    EXPECT_EQ(Rec(doc, 1).start + Rec(doc, 1).length, Off(text, L"</a>") + 8);   // outer a
    // After the stray end tag, a pushed name is found in the part not yet counted.
    EXPECT_FALSE(doc.Parse(L"<r></z><a><b><c></a></r>"));
    EXPECT_TRUE(Contains(doc.GetResultLog(), L"<unended_start_tag tagname=\"c\""));
    EXPECT_TRUE(Contains(doc.GetResultLog(), L"<unended_start_tag tagname=\"b\""));
    EXPECT_EQ(Rec(doc, 1).flags & R::kUnended, 0u);
    EXPECT_EQ(Rec(doc, 2).flags & R::kUnended, 0u);
}

TEST(XmlDocumentParse, RecordLayout)
{
    std::wstring text = L"<r><a x=\"1\">t</a><b/><c></c ></r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    const CXmlElementIndex& index = CXmlDocumentTestAccess::Index(doc);
    ASSERT_EQ(index.Size(), 5u);
    const R& d = index[0];
    EXPECT_EQ(d.start, 0);
    EXPECT_EQ(d.length, static_cast<int32_t>(text.size()));
    EXPECT_EQ(d.firstChild, 1);
    const R& r = index[1];
    EXPECT_EQ(r.flags, R::kFirstChild | 0u);
    EXPECT_EQ(r.prevSibling, 1);
    EXPECT_EQ(r.firstChild, 2);
    const R& a = index[2];
    EXPECT_EQ(a.start, Off(text, L"<a"));
    EXPECT_EQ(a.length, Off(text, L"<b/>") - a.start);
    EXPECT_EQ(a.tagLengths, 9u | (4u << 22));
    EXPECT_EQ(a.flags, R::kFirstChild | 1u);
    EXPECT_EQ(a.parent, 1);
    EXPECT_EQ(a.nextSibling, 3);
    EXPECT_EQ(a.prevSibling, 4);                 // the last child of r
    const R& b = index[3];
    EXPECT_EQ(b.length, 4);
    EXPECT_EQ(b.tagLengths, 4u);
    EXPECT_EQ(b.flags, 1u);
    EXPECT_EQ(b.prevSibling, 2);
    const R& c = index[4];
    EXPECT_EQ(c.StartTagLength(), 3u);
    EXPECT_EQ(c.EndTagLength(), 5u);
    EXPECT_EQ(c.length, 8);
    EXPECT_EQ(c.nextSibling, 0);
    EXPECT_EQ(c.prevSibling, 3);
}

TEST(XmlDocumentParse, ParseLoadedKeepsTheReaderLogFirst)
{
    CXmlLog reader;
    reader.Add(L"read", L"encoding", L"UTF-8", L"length", 8);
    CXmlDocument doc;
    EXPECT_FALSE(doc.ParseLoaded(std::wstring(L"<a>text"), reader));
    EXPECT_EQ(doc.GetResultLog(),
              L"<read encoding=\"UTF-8\" length=\"8\"/><unended_start_tag tagname=\"a\" offset=\"0\" "
              L"offset2=\"7\"/>");
    EXPECT_TRUE(doc.ParseLoaded(std::wstring(L"<a>v</a>"), CXmlLog()));
    EXPECT_EQ(doc.GetResultLog(), L"");
    ASSERT_TRUE(doc.FindElement(L"a"));
    EXPECT_EQ(doc.GetElementData(), L"v");
}

TEST(XmlDocumentParse, ParseAgainReplacesEverything)
{
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L"<a><b>"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    EXPECT_TRUE(doc.Parse(L"<c>1</c>"));
    EXPECT_EQ(doc.GetResultLog(), L"");
    EXPECT_EQ(doc.GetElementData(), L"");        // cursor reset
    EXPECT_FALSE(doc.FindElement(L"a"));
    EXPECT_TRUE(doc.FindElement(L"c"));
    EXPECT_EQ(doc.GetElementData(), L"1");
}

TEST(XmlDocumentParse, LogStopsGrowingAfterAThousandCharacters)
{
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(L"<r>" + Repeat(L"</x>", 500) + L"</r>"));
    EXPECT_GE(doc.GetResultLog().size(), 1000u);
    EXPECT_LT(doc.GetResultLog().size(), 1100u);
    // A huge tag name is cut in the log.
    EXPECT_FALSE(doc.Parse(L"<" + Repeat(L"n", 5000) + L">"));
    EXPECT_TRUE(Contains(doc.GetResultLog(), L"\"" + Repeat(L"n", 256) + L"\""));
    EXPECT_LT(doc.GetResultLog().size(), 400u);
}

// ---- The paged index ----

TEST(XmlElementIndex, GrowsByHalfAndKeepsRecords)
{
    CXmlElementIndex index;
    ASSERT_TRUE(index.Reset(8));
    EXPECT_EQ(index.Capacity(), 8u);
    EXPECT_EQ(index.Size(), 1u);
    size_t seen[4] = {};
    for (int i = 1; i < 28; ++i) {
        int32_t e = index.Append();
        ASSERT_EQ(e, i);
        index[e].start = i * 7;
        if (i == 8) seen[0] = index.Capacity();
        if (i == 12) seen[1] = index.Capacity();
        if (i == 18) seen[2] = index.Capacity();
    }
    EXPECT_EQ(seen[0], 12u);
    EXPECT_EQ(seen[1], 18u);
    EXPECT_EQ(seen[2], 27u);
    for (int i = 1; i < 28; ++i)
        EXPECT_EQ(index[i].start, i * 7);
}

TEST(XmlElementIndex, RecordsLiveInPagesOf65536)
{
    CXmlElementIndex index;
    ASSERT_TRUE(index.Reset(65530));
    EXPECT_EQ(index.PageCount(), 1u);
    for (int32_t i = 1; i < 65540; ++i) {
        ASSERT_EQ(index.Append(), i);
        index[i].start = i;
    }
    EXPECT_EQ(index.Capacity(), 65530u + 65530u / 2);
    EXPECT_EQ(index.PageCount(), 2u);
    for (int32_t i = 1; i < 65540; ++i)
        ASSERT_EQ(index[i].start, i);
    index.SetMaxIndex(65540);
    EXPECT_EQ(index.Append(), 65540);
    EXPECT_EQ(index.Append(), -1);
    index.Clear();
    EXPECT_EQ(index.Append(), -1);               // no document record
}

TEST(XmlElementIndex, InitialCapacityFollowsTheTextLength)
{
    CXmlDocument doc;
    std::wstring text = L"<r>" + Repeat(L"<e/>", 40) + L"</r>";   // 167 units
    ASSERT_TRUE(doc.Parse(text));
    // 167 / 64 + 8 = 10 records, then 15, 22, 33, 49 for 42 records.
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Capacity(), 49u);
    ASSERT_TRUE(doc.Parse(std::wstring(640, L' ') + L"<r/>"));
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Capacity(), 18u);
}

TEST(XmlElementIndex, DocumentsBeyondOnePage)
{
    const size_t count = 70000;
    std::wstring text = L"<r>";
    for (size_t i = 0; i < count; ++i)
        text += L"<e>" + std::to_wstring(i) + L"</e>";
    text += L"</r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Size(), count + 2);
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).PageCount(), 2u);
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.EnterElement());
    size_t n = 0;
    std::wstring last;
    while (doc.FindElement(L"e")) {
        ++n;
        last = doc.GetElementData();
    }
    EXPECT_EQ(n, count);
    EXPECT_EQ(last, std::to_wstring(count - 1));
}

// ---- Limits of the fields ----

TEST(XmlDocumentLimits, StartTagLongerThanItsFieldIsRefused)
{
    const size_t limit = R::kMaxStartTagLength;   // 4,194,303
    std::wstring fits = L"<r><a" + std::wstring(limit - 3, L' ') + L">x</a></r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(fits));
    EXPECT_EQ(Rec(doc, 2).StartTagLength(), limit);
    EXPECT_EQ(Rec(doc, 2).EndTagLength(), 4u);
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(ChildData(doc, L"a"), L"x");

    std::wstring tooLong = L"<r><a" + std::wstring(limit - 2, L' ') + L">x</a></r>";
    EXPECT_FALSE(doc.Parse(tooLong));
    EXPECT_EQ(doc.GetResultLog(),
              L"<tag_too_long type=\"start_tag\" offset=\"3\"/><lone_end_tag tagname=\"a\" offset=\"" +
                  std::to_wstring(Off(tooLong, L"</a>")) + L"\"/>");
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Size(), 2u);
    EXPECT_NE(Rec(doc, 1).flags & R::kContainsError, 0u);
}

TEST(XmlDocumentLimits, EndTagLongerThanItsFieldIsRefused)
{
    const size_t limit = R::kMaxEndTagLength;   // 1,023
    std::wstring fits = L"<r>x</r" + std::wstring(limit - 4, L' ') + L">";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(fits));
    EXPECT_EQ(Rec(doc, 1).EndTagLength(), limit);
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetElementData(), L"x");

    std::wstring tooLong = L"<r>x</r" + std::wstring(limit - 3, L' ') + L">";
    EXPECT_FALSE(doc.Parse(tooLong));
    EXPECT_EQ(doc.GetResultLog(),
              L"<tag_too_long type=\"end_tag\" offset=\"4\"/><unended_start_tag tagname=\"r\" "
              L"offset=\"0\" offset2=\"" + std::to_wstring(tooLong.size()) + L"\"/>");
}

TEST(XmlDocumentLimits, NestingDeeperThanTheLevelFieldIsRefused)
{
    const size_t deepest = 65536;   // levels 0 to 65535
    std::wstring text = Repeat(L"<a>", deepest + 1) + L"x" + Repeat(L"</a>", deepest + 1);
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(text));
    std::wstring log = doc.GetResultLog();
    EXPECT_EQ(log.find(L"<nesting_too_deep offset=\"" + std::to_wstring(deepest * 3) + L"\"/>"), 0u);
    EXPECT_TRUE(Contains(log, L"<lone_end_tag tagname=\"a\" offset=\"" +
                                  std::to_wstring(text.size() - 4) + L"\"/>"));
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Size(), deepest + 1);
    EXPECT_EQ(Rec(doc, static_cast<int32_t>(deepest)).Level(), 65535u);
    // The deepest element is reachable without recursion and holds the text.
    ASSERT_TRUE(doc.FindElement(L"a"));
    size_t depth = 1;
    while (doc.FindChildElement(L"a") && doc.EnterElement())
        ++depth;
    EXPECT_EQ(depth, deepest);
    EXPECT_EQ(doc.GetElementData(), L"x");
}

TEST(XmlDocumentLimits, DeepUnclosedNestingDoesNotExhaustTheStack)
{
    CXmlDocument doc;
    std::wstring text = Repeat(L"<a><b>", 200000);
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_TRUE(Contains(doc.GetResultLog(), L"<nesting_too_deep"));
    // Every unended element handed its children up: all are top-level now.
    size_t top = 0;
    while (doc.FindElement())
        ++top;
    EXPECT_EQ(top, 65536u);
}

TEST(XmlDocumentLimits, ElementCountLimit)
{
    CXmlDocument doc;
    CXmlDocumentTestAccess::Limits(doc).maxIndex = 3;
    std::wstring text = L"<r><a/><b/><c/></r>";
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_EQ(doc.GetResultLog(),
              L"<element_limit offset=\"" + std::to_wstring(Off(text, L"<c/>")) +
                  L"\"/><unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"" +
                  std::to_wstring(text.size()) + L"\"/><root_has_sibling/>");
    EXPECT_EQ(CXmlDocumentTestAccess::Index(doc).Size(), 4u);
    EXPECT_TRUE(doc.FindElement(L"b"));
}

TEST(XmlDocumentLimits, TextLongerThanTheOffsetsIsRefused)
{
    CXmlDocument doc;
    CXmlDocumentTestAccess::Limits(doc).maxTextLength = 10;
    EXPECT_TRUE(doc.Parse(L"<r>123</r>"));
    EXPECT_FALSE(doc.Parse(L"<r>1234</r>"));
    EXPECT_EQ(doc.GetResultLog(), L"<text_too_long length=\"11\"/>");
    EXPECT_FALSE(doc.FindElement());
    EXPECT_FALSE(doc.FindChildElement());
    EXPECT_EQ(doc.GetElementData(), L"");
}
